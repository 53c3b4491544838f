// Runs the job of a command-line action without any window of its own: the progress window
// over the screen with its questions (password, overwrite, free space, stopping), the
// notification at the end, a message for whatever went wrong, and the exit status.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "services/JobRunner.h"

class Session;

struct ActionEnding {
    QString report;  // Japanese, shown when not empty
    QString detail;  // English, under 詳細
    bool succeeded = false;
};

class ActionRun final : public QObject {
    Q_OBJECT

public:
    explicit ActionRun(Session& session);

    Session& session() const { return session_; }

    // Runs `work` on a worker thread; `apply` turns its outcome into the ending.
    template <typename Outcome>
    void run(const QString& caption, int steps, std::function<Outcome(JobContext&)> work,
             std::function<ActionEnding(const Outcome&)> apply)
    {
        JobRunner* runner = begin(caption, steps);
        runner->start<Outcome>(std::move(work),
                               [this, apply = std::move(apply)](const Outcome& outcome) { end(apply(outcome)); });
    }

    // The session ends (SIGTERM, SIGHUP): the job stops as キャンセル stops it, and the action
    // ends without a message.
    void stop();

signals:
    // Once: 0 when the whole action succeeded, 1 when something failed or it was stopped first.
    void ended(int exitStatus);

private:
    JobRunner* begin(const QString& caption, int steps);
    void end(const ActionEnding& ending);
    void askToStop();
    void finish(int exitStatus);

    Session& session_;
    QPointer<JobRunner> runner_;
    QPointer<QObject> question_;
    bool quiet_ = false;
    bool over_ = false;
};
