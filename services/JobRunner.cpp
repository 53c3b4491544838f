// The worker thread of a job and its bridge to the user-interface thread.
#include "services/JobRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>

#include "services/Desktop.h"
#include "services/ProgressWindow.h"
#include "services/QuestionDialogs.h"

namespace {

// At most about 20 progress updates a second reach the window.
constexpr qint64 kProgressIntervalMs = 50;

}  // namespace

// Lives on the worker's side: called only by the worker thread, except cancel() and
// cancelled(), which any thread may call.
class WorkerContext final : public JobContext {
public:
    explicit WorkerContext(JobRunner* runner, int archiveCount) : runner_(runner), archiveCount_(archiveCount) {}

    void cancel() { cancelled_.store(true); }
    bool cancelled() const override { return cancelled_.load(); }

    void beginArchive(const QString& archive, const QString& destination) override
    {
        archive_ = archive;
        destination_ = destination;
        declined_ = false;
        created_.clear();
        folders_.clear();
        lastEntry_.clear();
        noteMissingFolders(QDir::cleanPath(destination), QString());
        if (!numbered_)
            ++archiveNumber_;
        report(QString(), 0, 0);
    }

    void beginStep(const QString& label, int number) override
    {
        numbered_ = true;
        archiveNumber_ = number;
        report(label, 0, 0);
    }

    bool archiveDeclined() const override { return declined_; }
    QStringList filesCreated() const override { return created_; }
    QStringList foldersCreated() const override { return folders_; }
    void cancelJob() override
    {
        cancel();
        QMetaObject::invokeMethod(runner_, &JobRunner::cancel, Qt::QueuedConnection);
    }

    bool goOnWithoutRoom(std::uint64_t needed, std::uint64_t available) override
    {
        if (cancelled())
            return false;
        bool goOn = false;
        const QString name = QFileInfo(archive_).fileName();
        QMetaObject::invokeMethod(
            runner_, [&] { goOn = runner_->askGoOnWithoutRoom(name, needed, available); },
            Qt::BlockingQueuedConnection);
        return goOn && !cancelled();
    }

    bool progress(const Pack::Progress& progress) override
    {
        if (cancelled() || declined_)
            return false;
        noteEntry(progress.entryName);
        report(progress.entryName, progress.jobBytesDone, progress.jobBytesTotal);
        return true;
    }

    std::optional<QString> passphrase(const QString&, const QString&, unsigned attempt) override
    {
        if (cancelled() || declined_)
            return std::nullopt;
        std::optional<QString> answer;
        const QString name = QFileInfo(archive_).fileName();
        QMetaObject::invokeMethod(
            runner_, [&] { answer = runner_->askPassword(name, attempt > 1); }, Qt::BlockingQueuedConnection);
        if (!answer)
            declined_ = true;  // the rest of this archive is skipped
        return answer;
    }

    Pack::Overwrite exists(const Pack::ExistingFile& file) override
    {
        if (cancelled())
            return Pack::Overwrite::Cancel;
        if (all_)
            return *all_;
        Pack::Overwrite answer = Pack::Overwrite::Cancel;
        QMetaObject::invokeMethod(
            runner_, [&] { answer = runner_->askOverwrite(destination_, file); }, Qt::BlockingQueuedConnection);
        // An "all" answer holds for the rest of the job, every archive of it.
        if (answer == Pack::Overwrite::OverwriteAll)
            all_ = Pack::Overwrite::Overwrite;
        else if (answer == Pack::Overwrite::SkipAll)
            all_ = Pack::Overwrite::Skip;
        else if (answer == Pack::Overwrite::Cancel)
            cancel();
        return answer;
    }

private:
    // An entry is announced before its file is written: whether a file of its name is there
    // then tells whether the archive creates it.
    void noteEntry(const QString& entry)
    {
        if (entry.isEmpty() || entry == lastEntry_)
            return;
        lastEntry_ = entry;
        const QString root = QDir::cleanPath(destination_);
        const QString path = QDir::cleanPath(root + QLatin1Char('/') + entry);
        if (!path.startsWith(root + QLatin1Char('/')))
            return;
        noteMissingFolders(entry.endsWith(QLatin1Char('/')) ? path : QFileInfo(path).absolutePath(), root);
        if (!QFileInfo::exists(path))
            created_ << path;
    }

    // Notes `folder` and its parents up to `root` (or up to the first that exists) that are not
    // there yet, outermost first.
    void noteMissingFolders(const QString& folder, const QString& root)
    {
        QStringList missing;
        for (QString at = folder; !at.isEmpty() && at != root && !QFileInfo::exists(at);) {
            missing.prepend(at);
            const QString parent = QFileInfo(at).absolutePath();
            if (parent == at)
                break;
            at = parent;
        }
        for (const QString& made : missing) {
            if (!folders_.contains(made))
                folders_ << made;
        }
    }

    void report(const QString& entry, std::uint64_t done, std::uint64_t total)
    {
        runner_->postProgress({QFileInfo(archive_).fileName(), entry, done, total, archiveNumber_, archiveCount_});
    }

    JobRunner* runner_;
    std::atomic<bool> cancelled_{false};
    QString archive_, destination_;
    bool declined_ = false;
    bool numbered_ = false;
    int archiveNumber_ = 0, archiveCount_ = 0;
    std::optional<Pack::Overwrite> all_;
    QStringList created_;
    QStringList folders_;
    QString lastEntry_;
};

JobRunner::JobRunner(QWidget* jobWindow, const QString& caption, int archiveCount, const QRect& keepClear)
    : QObject(jobWindow), jobWindow_(jobWindow), caption_(caption), keepClear_(keepClear), archiveCount_(archiveCount)
{
    connect(&watcher_, &QFutureWatcher<void>::finished, this, &JobRunner::onFinished);
}

JobRunner::~JobRunner()
{
    // Never leave a worker running behind a deleted runner: it calls back into it.
    if (running_) {
        cancel();
        watcher_.waitForFinished();
    }
    delete progress_;
}

void JobRunner::begin(std::function<void(JobContext&)> work, std::function<void()> apply)
{
    apply_ = std::move(apply);
    context_ = std::make_unique<WorkerContext>(this, archiveCount_);
    progress_ = new ProgressWindow(caption_);
    connect(progress_, &ProgressWindow::cancelClicked, this, &JobRunner::cancelAsked);
    placeProgressWindow();
    progress_->show();
    running_ = true;
    WorkerContext* context = context_.get();
    watcher_.setFuture(QtConcurrent::run([work = std::move(work), context] { work(*context); }));
}

void JobRunner::placeProgressWindow()
{
    // The frame is not there before the window is shown: the job window's frame tells its size.
    QSize frameMargins(8, 32);
    QRect over;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (jobWindow_ && jobWindow_->isVisible()) {
        over = jobWindow_->frameGeometry();
        const QSize margins = over.size() - jobWindow_->geometry().size();
        if (margins.width() > 0 && margins.height() > 0)
            frameMargins = margins;
        if (QScreen* its = jobWindow_->screen())
            screen = its;
    }
    progress_->adjustSize();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    progress_->move(ProgressPlace(over, progress_->size() + frameMargins, area, keepClear_).topLeft());
}

void JobRunner::cancel()
{
    if (!context_ || !running_)
        return;
    context_->cancel();
    if (progress_)
        progress_->showCancelling();
}

bool JobRunner::cancelRequested() const
{
    return context_ && context_->cancelled();
}

// Called on the worker thread: keeps the latest state and wakes the window once; reports that
// come faster than the window shows them are merged into the latest.
void JobRunner::postProgress(const ProgressSnapshot& snapshot)
{
    {
        QMutexLocker lock(&snapshotMutex_);
        latest_ = snapshot;
    }
    if (!progressPosted_.exchange(true))
        QMetaObject::invokeMethod(this, &JobRunner::deliverProgress, Qt::QueuedConnection);
}

void JobRunner::deliverProgress()
{
    if (shownAt_.isValid() && shownAt_.elapsed() < kProgressIntervalMs) {
        QTimer::singleShot(kProgressIntervalMs - shownAt_.elapsed(), this, &JobRunner::deliverProgress);
        return;
    }
    progressPosted_.store(false);
    ProgressSnapshot snapshot;
    {
        QMutexLocker lock(&snapshotMutex_);
        snapshot = latest_;
    }
    shownAt_.restart();
    showProgress(snapshot);
}

void JobRunner::showProgress(const ProgressSnapshot& snapshot)
{
    if (progress_ && running_)
        progress_->showState(snapshot.archive, snapshot.archiveNumber, snapshot.archiveCount, snapshot.entry,
                             snapshot.bytesDone, snapshot.bytesTotal);
}

std::optional<QString> JobRunner::askPassword(const QString& archiveName, bool again)
{
    if (cancelRequested())
        return std::nullopt;
    return desktop().askPassword(progress_, archiveName, again);
}

Pack::Overwrite JobRunner::askOverwrite(const QString& destination, const Pack::ExistingFile& file)
{
    if (cancelRequested())
        return Pack::Overwrite::Cancel;
    return desktop().askOverwrite(progress_, destination, file);
}

bool JobRunner::askGoOnWithoutRoom(const QString& archiveName, std::uint64_t needed, std::uint64_t available)
{
    if (cancelRequested())
        return false;
    return desktop().askContinue(
        progress_,
        QStringLiteral("解凍先の空き容量が足りないかもしれません。\n書庫 %1 を解凍すると %2 になりますが、空きは %3 "
                       "です。\n不要なﾌｧｲﾙを消すか、空きのあるﾃﾞｨﾚｸﾄﾘを選んでください。続けますか？")
            .arg(archiveName, SizeText(needed), SizeText(available)),
        QStringLiteral("tembrel"));
}

void JobRunner::onFinished()
{
    running_ = false;
    if (progress_) {
        progress_->hide();
        progress_->deleteLater();
    }
    const std::function<void()> apply = std::move(apply_);
    apply_ = nullptr;
    if (apply)
        apply();
    emit finished();
}
