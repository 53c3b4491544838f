// The life of a command-line action's job, from the progress window to the exit status.
#include "actions/ActionRun.h"

#include <memory>

#include "services/Desktop.h"
#include "services/Session.h"

namespace {

const QString kTitle = QStringLiteral("tembrel");

}  // namespace

ActionRun::ActionRun(Session& session) : session_(session) {}

JobRunner* ActionRun::begin(const QString& caption, int steps)
{
    session_.jobRunning = true;
    runner_ = new JobRunner(nullptr, caption, steps);
    runner_->setParent(this);
    connect(runner_, &JobRunner::cancelAsked, this, &ActionRun::askToStop);
    return runner_;
}

void ActionRun::askToStop()
{
    if (question_ || !runner_)
        return;
    const QPointer<ActionRun> self(this);
    question_ =
        desktop().ask(runner_->progressWindow(), QStringLiteral("処理を中止しますか"), kTitle, [self](bool yes) {
            if (!self)
                return;
            self->question_ = nullptr;
            if (yes && self->runner_)
                self->runner_->cancel();
        });
}

void ActionRun::stop()
{
    quiet_ = true;
    if (runner_ && runner_->running())
        runner_->cancel();
    else
        finish(1);  // the job is over; a message may still be up, and goes with the program
}

void ActionRun::end(const ActionEnding& ending)
{
    session_.jobRunning = false;
    delete question_.data();
    runner_->deleteLater();
    // A job that ended whole before a late stop reached it still succeeded.
    const int status = ending.succeeded ? 0 : 1;
    if (quiet_) {
        finish(status);
        return;
    }
    // The program ends once the sound is over and the message was read, whichever comes last.
    auto waiting = std::make_shared<int>(2);
    const QPointer<ActionRun> self(this);
    const auto oneDone = [self, waiting, status] {
        if (--*waiting == 0 && self)
            self->finish(status);
    };
    if (session_.options.NotifyMode == 0) {
        desktop().beep();
        oneDone();
    } else {
        desktop().playSoundThen(session_.options.SoundFile, oneDone);
    }
    if (!ending.report.isEmpty())
        desktop().showMessage(nullptr, ending.report, kTitle, ending.detail);
    oneDone();
}

void ActionRun::finish(int exitStatus)
{
    if (std::exchange(over_, true))
        return;
    emit ended(exitStatus);
}
