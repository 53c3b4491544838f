// The progress window of a running job.
#include "services/ProgressWindow.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "services/QuestionDialogs.h"

QString DurationText(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const qint64 hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

QRect ProgressPlace(const QRect& over, const QSize& frameSize, const QRect& screen, const QRect& keepClear)
{
    const auto onScreen = [&](QRect place) {
        place.moveLeft(std::max(screen.left(), std::min(place.left(), screen.right() + 1 - place.width())));
        place.moveTop(std::max(screen.top(), std::min(place.top(), screen.bottom() + 1 - place.height())));
        return place;
    };
    QRect place(QPoint(), frameSize);
    place.moveCenter(over.isEmpty() ? screen.center() : over.center());
    place = onScreen(place);
    if (keepClear.isEmpty() || !place.intersects(keepClear))
        return place;
    // Beside the icon, on whichever side stays nearest the centred place.
    const QRect candidates[] = {
        onScreen(QRect(QPoint(place.left(), keepClear.bottom() + 1), frameSize)),
        onScreen(QRect(QPoint(keepClear.right() + 1, place.top()), frameSize)),
        onScreen(QRect(QPoint(place.left(), keepClear.top() - frameSize.height()), frameSize)),
        onScreen(QRect(QPoint(keepClear.left() - frameSize.width(), place.top()), frameSize)),
    };
    const QRect* best = nullptr;
    for (const QRect& candidate : candidates) {
        if (candidate.intersects(keepClear))
            continue;
        const int distance = (candidate.topLeft() - place.topLeft()).manhattanLength();
        if (!best || distance < (best->topLeft() - place.topLeft()).manhattanLength())
            best = &candidate;
    }
    return best ? *best : place;
}

ProgressWindow::ProgressWindow(const QString& caption) : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    createControls(caption);
    elapsed_.start();
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &ProgressWindow::showTimes);
    clock_->start();
    showTimes();
}

void ProgressWindow::createControls(const QString& caption)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    frame_ = new QGroupBox(caption.section(QLatin1Char('('), 1).section(QLatin1Char(')'), 0, 0), this);
    outer->addWidget(frame_);
    auto* grid = new QGridLayout(frame_);
    grid->addWidget(new QLabel(QStringLiteral("書庫  :"), frame_), 0, 0);
    archive_ = new QLabel(frame_);
    archive_->setObjectName(QStringLiteral("archive"));
    grid->addWidget(archive_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("ﾌｧｲﾙ :"), frame_), 1, 0);
    entry_ = new QLabel(frame_);
    entry_->setObjectName(QStringLiteral("entry"));
    grid->addWidget(entry_, 1, 1, 1, 2);
    bar_ = new QProgressBar(frame_);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setFormat(QStringLiteral("%p%"));
    grid->addWidget(bar_, 2, 0, 1, 3);
    bytes_ = new QLabel(frame_);
    bytes_->setObjectName(QStringLiteral("bytes"));
    grid->addWidget(bytes_, 3, 0, 1, 2);
    times_ = new QLabel(frame_);
    times_->setObjectName(QStringLiteral("times"));
    grid->addWidget(times_, 4, 0, 1, 2);
    cancel_ = new QPushButton(QStringLiteral("キャンセル"), frame_);
    cancel_->setObjectName(QStringLiteral("cancel"));
    grid->addWidget(cancel_, 4, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    // Names come and go with every entry: a fixed width keeps the window from jumping.
    const int width = QFontMetrics(font()).horizontalAdvance(QLatin1Char('M')) * 38;
    archive_->setFixedWidth(width);
    entry_->setFixedWidth(width);
    setFixedWidth(width + QFontMetrics(font()).horizontalAdvance(QStringLiteral("ﾌｧｲﾙ :")) + 40);
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::cancelClicked);
}

void ProgressWindow::showState(const QString& archive, int archiveNumber, int archiveCount, const QString& entry,
                               std::uint64_t bytesDone, std::uint64_t bytesTotal)
{
    const QString counted =
        archiveCount > 1 ? QStringLiteral(" (%1/%2)").arg(archiveNumber).arg(archiveCount) : QString();
    archive_->setText(QFontMetrics(archive_->font()).elidedText(archive, Qt::ElideMiddle, archive_->width() - 60) +
                      counted);
    entry_->setText(QFontMetrics(entry_->font()).elidedText(entry, Qt::ElideMiddle, entry_->width()));
    done_ = bytesDone;
    total_ = bytesTotal;
    // Without byte counts the bar moves by the steps done.
    stepPercent_ = archiveCount > 0 ? std::clamp((archiveNumber - 1) * 100 / archiveCount, 0, 100) : 0;
    bar_->setValue(percent());
    bytes_->setText(total_ > 0 ? SizeText(done_) + QStringLiteral(" / ") + SizeText(total_) : SizeText(done_));
    showTimes();
}

void ProgressWindow::showCancelling()
{
    cancel_->setEnabled(false);
    entry_->setText(QStringLiteral("中止しています..."));
}

int ProgressWindow::percent() const
{
    if (total_ == 0)
        return stepPercent_;
    return static_cast<int>(std::min<std::uint64_t>(100, done_ * 100 / total_));
}

QString ProgressWindow::archiveText() const
{
    return archive_->text();
}
QString ProgressWindow::entryText() const
{
    return entry_->text();
}

void ProgressWindow::showTimes()
{
    const qint64 seconds = elapsed_.elapsed() / 1000;
    QString text = QStringLiteral("経過 ") + DurationText(seconds);
    // The time left is a guess from the pace so far: shown once there is a second of pace.
    if (total_ > 0 && done_ > 0 && done_ < total_ && elapsed_.elapsed() >= 1000) {
        const double left = static_cast<double>(elapsed_.elapsed()) * static_cast<double>(total_ - done_) /
                            static_cast<double>(done_) / 1000.0;
        text += QStringLiteral("   残り 約") + DurationText(static_cast<qint64>(left + 0.5));
    }
    times_->setText(text);
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    // The window goes when the job ends; a close from its title bar is a request to cancel.
    event->ignore();
    if (cancel_->isEnabled())
        emit cancelClicked();
}
