// What the two job windows share: the close, switch and stop paths, Enter and Esc, one job at
// a time, and a job that runs while the window's inputs stay as they were when it started.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>

#include "services/JobRunner.h"

class QComboBox;
class QPushButton;
class Session;

// Tells the user that one job runs at a time. Every refusal of a second job (icon, menu, job
// windows, drops) says the same.
void SayOneJobAtATime(QWidget* asker);
// True, after saying so, while a job runs.
bool RefusedWhileJobRuns(const Session& session, QWidget* asker);

// What a job window shows and does once its outcome was applied.
struct JobEnding {
    QString report;      // failures or "中止しました": shown whenever it is not empty
    QString detail;      // English, under 詳細
    QString finished;    // "解凍が終了しました" when the job went well and the option asks for it
    QString folder;      // offered by ﾌｫﾙﾀﾞを開く beside `finished`
    bool close = false;  // the job's own choice to close the window afterwards
};

class JobWindow : public QMainWindow {
    Q_OBJECT

public:
    bool jobRunning() const;
    // A job runs, or its ending (follow-ups, messages) is still under way.
    bool busy() const { return jobRunning() || ending_; }

    // 閉じる, its menu item, the title bar and Esc: saves and emits closed(). While a job runs,
    // asks once whether to stop it: はい stops it and the window closes once it stopped; when
    // the job ends first, the question is withdrawn and the window closes after the job's
    // ending.
    void closeWindow();
    // The program is to end: emits readyToEnd() at once, or, while a job runs, as closeWindow
    // does (asking only when `ask`) once the job stopped or ended.
    void endWithProgram(bool ask);
    // Saves and emits switchRequested(); while a job runs, says that one job runs at a time.
    void switchWindow();
    // The main button: builds the job from the fields as they are now and starts it.
    virtual void startJob() = 0;

signals:
    void closed();
    void switchRequested();
    void optionsRequested();
    void jobFinished();
    void readyToEnd();

protected:
    explicit JobWindow(Session& session);

    virtual void savedata() = 0;
    // The controls whose values a job uses: disabled while it runs.
    virtual QList<QWidget*> jobInputs() const = 0;
    virtual QPushButton* mainButton() const = 0;

    // Runs `work` on a worker thread with a progress window over this one. Once it is done,
    // `apply` deals with the outcome (follow-ups, history, fields) and tells what to show; the
    // window then hides, beeps or plays, shows the message and closes or comes back.
    template <typename Outcome>
    void runJob(const QString& caption, int steps, std::function<Outcome(JobContext&)> work,
                std::function<JobEnding(const Outcome&)> apply)
    {
        JobRunner* runner = beginJob(caption, steps);
        runner->start<Outcome>(std::move(work), [this, apply = std::move(apply)](const Outcome& outcome) {
            endJob([&] { return apply(outcome); });
        });
    }

    // Enter in the combo box's list or completion popup picks the row and runs the job, as
    // Enter in the field does.
    void runOnEnterInPopups(QComboBox* combo);

    void closeEvent(QCloseEvent* event) override;
    // Enter presses the main button (a focused button presses itself first); Esc closes.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    Session& session_;

private:
    // What waits for the running job to stop or end; a later request outranks an earlier one.
    enum class Then { Stay, Close, EndProgram };

    JobRunner* beginJob(const QString& caption, int steps);
    void endJob(const std::function<JobEnding()>& apply);
    void askToStop(Then then, QWidget* parent);
    void stop(Then then, bool quiet);
    void doThen(Then then);
    void setInputsEnabled(bool enabled);
    void pressMainButton();

    QPointer<JobRunner> runner_;
    QPointer<QObject> question_;
    Then then_ = Then::Stay;
    bool quiet_ = false;   // stopped for a close or the end: the ending says nothing
    bool ending_ = false;  // the outcome is being applied and its messages shown
    bool enterFromPopup_ = false;
    QList<QObject*> popups_;
};
