// The small window that shows a running job: the archive, the current entry, a bar with the
// percentage, the bytes done of the total, the time taken and the time left, and キャンセル.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class ProgressWindow final : public QWidget {
    Q_OBJECT

public:
    explicit ProgressWindow(const QString& caption);

    // Shows the state of the job; a total of 0 means not yet known.
    void showState(const QString& archive, int archiveNumber, int archiveCount, const QString& entry,
                   std::uint64_t bytesDone, std::uint64_t bytesTotal);
    // Shown while the job winds down after キャンセル.
    void showCancelling();

    int percent() const;
    QString archiveText() const;
    QString entryText() const;

signals:
    // キャンセル, or the title bar's close.
    void cancelClicked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls(const QString& caption);
    void showTimes();

    QGroupBox* frame_ = nullptr;
    QLabel* archive_ = nullptr;
    QLabel* entry_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* bytes_ = nullptr;
    QLabel* times_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* clock_ = nullptr;
    QElapsedTimer elapsed_;
    std::uint64_t done_ = 0, total_ = 0;
    int stepPercent_ = 0;
};

// Where a window whose frame has `frameSize` goes: centred on `over` (on `screen` when `over`
// is empty), moved wholly onto `screen`, and moved beside `keepClear` when it would cover it.
QRect ProgressPlace(const QRect& over, const QSize& frameSize, const QRect& screen, const QRect& keepClear);

// "1:05" for 65 seconds, "1:01:05" above an hour.
QString DurationText(qint64 seconds);
