// The shared life of a job window and its job.
#include "services/JobWindow.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "services/Desktop.h"
#include "services/Session.h"

namespace {

const QString kTitle = QStringLiteral("tembrel");

bool isEnter(const QKeyEvent* event)
{
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

void SayOneJobAtATime(QWidget* asker)
{
    desktop().showMessage(
        asker, QStringLiteral("ほかの処理が実行中です。一度に一つの処理しかできません。終わるまでお待ちください。"),
        kTitle);
}

bool RefusedWhileJobRuns(const Session& session, QWidget* asker)
{
    if (!session.jobRunning)
        return false;
    SayOneJobAtATime(asker);
    return true;
}

JobWindow::JobWindow(Session& session) : session_(session) {}

bool JobWindow::jobRunning() const
{
    return runner_ && runner_->running();
}

void JobWindow::closeWindow()
{
    if (jobRunning()) {
        askToStop(Then::Close, this);
        return;
    }
    if (ending_) {
        then_ = std::max(then_, Then::Close);
        return;
    }
    savedata();
    emit closed();
}

void JobWindow::endWithProgram(bool ask)
{
    if (jobRunning()) {
        if (ask)
            askToStop(Then::EndProgram, nullptr);
        else
            stop(Then::EndProgram, true);
        return;
    }
    if (ending_) {
        then_ = Then::EndProgram;
        return;
    }
    emit readyToEnd();
}

void JobWindow::switchWindow()
{
    if (RefusedWhileJobRuns(session_, this))
        return;
    savedata();
    emit switchRequested();
}

void JobWindow::askToStop(Then then, QWidget* parent)
{
    then_ = std::max(then_, then);
    if (question_)
        return;  // asked once: the answer serves every request
    const QPointer<JobWindow> self(this);
    question_ = desktop().ask(parent, QStringLiteral("処理を中止しますか"), kTitle, [self](bool yes) {
        if (!self)
            return;
        self->question_ = nullptr;
        if (yes)
            self->stop(self->then_, self->then_ != Then::Stay);
        else
            self->then_ = Then::Stay;
    });
}

void JobWindow::stop(Then then, bool quiet)
{
    then_ = std::max(then_, then);
    if (!jobRunning()) {
        // The job ended before the answer came: what was asked for happens now.
        if (!ending_)
            doThen(std::exchange(then_, Then::Stay));
        return;
    }
    quiet_ = quiet_ || quiet;
    runner_->cancel();
}

void JobWindow::doThen(Then then)
{
    if (then == Then::EndProgram) {
        emit readyToEnd();
    } else if (then == Then::Close) {
        savedata();
        emit closed();
    }
}

JobRunner* JobWindow::beginJob(const QString& caption, int steps)
{
    session_.jobRunning = true;
    quiet_ = false;
    then_ = Then::Stay;
    setInputsEnabled(false);
    runner_ = new JobRunner(this, caption, steps, session_.keepClear ? session_.keepClear() : QRect());
    connect(runner_, &JobRunner::cancelAsked, this,
            [this] { askToStop(Then::Stay, runner_ ? static_cast<QWidget*>(runner_->progressWindow()) : this); });
    return runner_;
}

void JobWindow::endJob(const std::function<JobEnding()>& apply)
{
    session_.jobRunning = false;
    ending_ = true;
    // The job ended on its own: a question about stopping it has nothing left to ask, and
    // whatever waited for it happens after the ending.
    delete question_.data();
    runner_->deleteLater();
    runner_ = nullptr;
    setInputsEnabled(true);

    const JobEnding ending = apply();
    hide();
    if (session_.options.NotifyMode == 0)
        desktop().beep();
    else
        desktop().playSound(session_.options.SoundFile);
    const QPointer<JobWindow> self(this);
    if (!quiet_) {
        if (!ending.report.isEmpty())
            desktop().showMessage(this, ending.report, kTitle, ending.detail);
        else if (!ending.finished.isEmpty())
            desktop().showFinished(this, ending.finished, kTitle, ending.folder);
    }
    if (!self)
        return;  // the program was ended while the message was up
    ending_ = false;
    quiet_ = false;
    const Then then = std::exchange(then_, Then::Stay);
    emit jobFinished();
    if (then == Then::Stay && ending.close) {
        doThen(Then::Close);
    } else if (then != Then::Stay) {
        doThen(then);
    } else {
        showNormal();
        raise();
        activateWindow();
    }
}

void JobWindow::setInputsEnabled(bool enabled)
{
    for (QWidget* input : jobInputs())
        input->setEnabled(enabled);
}

void JobWindow::runOnEnterInPopups(QComboBox* combo)
{
    for (QObject* popup : {static_cast<QObject*>(combo->view()),
                           combo->completer() ? static_cast<QObject*>(combo->completer()->popup()) : nullptr}) {
        if (popup && !popups_.contains(popup)) {
            popups_ << popup;
            popup->installEventFilter(this);
        }
    }
}

bool JobWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && popups_.contains(watched) && isEnter(static_cast<QKeyEvent*>(event))) {
        // The popup takes the key to pick its row; the job runs once the row is in the field,
        // unless the key reaches the window as well and runs it there.
        enterFromPopup_ = true;
        QTimer::singleShot(0, this, [this] {
            if (std::exchange(enterFromPopup_, false))
                pressMainButton();
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

void JobWindow::pressMainButton()
{
    if (mainButton()->isEnabled())
        mainButton()->click();
}

void JobWindow::closeEvent(QCloseEvent* event)
{
    // The title bar's close takes the close button's path, so nothing is left half done.
    event->ignore();
    closeWindow();
}

void JobWindow::keyPressEvent(QKeyEvent* event)
{
    if (isEnter(event)) {
        enterFromPopup_ = false;
        pressMainButton();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closeWindow();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
