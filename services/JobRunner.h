// Runs one compression or extraction job on a worker thread while a progress window shows how
// far it got. The job window gathers a job value and hands it over with the work to do; the
// work returns an outcome value, which the job window applies on the user-interface thread once
// the worker has finished. The worker never touches a widget: progress reaches the window by
// queued calls (at most about 20 a second), and the questions a job asks (password, overwrite)
// wait on the user-interface thread for the answer.
#pragma once

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>

#include "services/Pack.h"
#include "services/ProgressWindow.h"

// What a running job sees of its caller: the plug-in listener, the cancel flag, and the
// archive being worked on.
class JobContext : public Pack::Listener {
public:
    // True once the user asked to stop the whole job.
    virtual bool cancelled() const = 0;
    // A new archive starts; its password answers and a declined password are forgotten. Each
    // archive is a step of the job unless the job numbers its steps itself.
    virtual void beginArchive(const QString& archive, const QString& destination) = 0;
    // Step `number` (from 1) of the job starts, on `label` (a job that makes one archive of
    // many entries counts the entries).
    virtual void beginStep(const QString& label, int number) = 0;
    // True when the user declined to give the current archive's password: the archive is
    // skipped, the job goes on with the next.
    virtual bool archiveDeclined() const = 0;
    // The files of the current archive that were not there before it started writing them
    // (as far as the progress reports tell): what a declined archive leaves to remove.
    virtual QStringList filesCreated() const = 0;
    // The folders the current archive made, its destination's included, deepest last.
    virtual QStringList foldersCreated() const = 0;
    // Stops the whole job, as キャンセル does.
    virtual void cancelJob() = 0;
    // Asks whether to go on although `needed` bytes may not fit in the `available` bytes left
    // where the current archive goes; false also when the job was cancelled meanwhile.
    virtual bool goOnWithoutRoom(std::uint64_t needed, std::uint64_t available) = 0;
};

struct ProgressSnapshot {
    QString archive;  // the archive's file name
    QString entry;
    std::uint64_t bytesDone = 0, bytesTotal = 0;
    int archiveNumber = 0, archiveCount = 0;
};

class JobRunner final : public QObject {
    Q_OBJECT

public:
    // `caption` titles the progress window ("TEMBREL(解凍中)"); it appears centred over
    // `jobWindow` (over the screen without one), wholly on the screen and clear of `keepClear`.
    // `steps` is the number of archives, or of entries for a job that makes one archive.
    JobRunner(QWidget* jobWindow, const QString& caption, int steps, const QRect& keepClear = {});
    ~JobRunner() override;

    // Starts `work` on a worker thread; `apply` receives its outcome on this thread after the
    // worker finished, then finished() is emitted.
    template <typename Outcome>
    void start(std::function<Outcome(JobContext&)> work, std::function<void(const Outcome&)> apply)
    {
        auto outcome = std::make_shared<Outcome>();
        begin([work = std::move(work), outcome](JobContext& context) { *outcome = work(context); },
              [apply = std::move(apply), outcome] { apply(*outcome); });
    }

    bool running() const { return running_; }
    // Asks the worker to stop; it ends at the next progress report or question.
    void cancel();
    bool cancelRequested() const;
    ProgressWindow* progressWindow() const { return progress_; }

signals:
    void finished();
    // The user asked to cancel from the progress window (its button or its title bar).
    void cancelAsked();

private:
    friend class WorkerContext;
    void begin(std::function<void(JobContext&)> work, std::function<void()> apply);
    void postProgress(const ProgressSnapshot& snapshot);
    void deliverProgress();
    void showProgress(const ProgressSnapshot& snapshot);
    std::optional<QString> askPassword(const QString& archiveName, bool again);
    Pack::Overwrite askOverwrite(const QString& destination, const Pack::ExistingFile& file);
    bool askGoOnWithoutRoom(const QString& archiveName, std::uint64_t needed, std::uint64_t available);
    void placeProgressWindow();
    void onFinished();

    QPointer<QWidget> jobWindow_;
    QPointer<ProgressWindow> progress_;
    std::unique_ptr<class WorkerContext> context_;
    QFutureWatcher<void> watcher_;
    std::function<void()> apply_;
    QString caption_;
    QRect keepClear_;
    int archiveCount_ = 0;
    bool running_ = false;
    QMutex snapshotMutex_;
    ProgressSnapshot latest_;
    std::atomic<bool> progressPosted_{false};
    QElapsedTimer shownAt_;
};
