// The program's state and the owners of its windows, with the paths between the windows.
#include "shell/Windows.h"

#include <QApplication>
#include <QPointer>
#include <memory>

#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "options/Form1.h"
#include "services/Desktop.h"
#include "services/Session.h"
#include "shell/DropReception.h"
#include "shell/iconform.h"

namespace {

// The program's one root: the state of the run and its windows.
struct Program {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    QPointer<iconform> icon;
    QPointer<meltform> melt;
    QPointer<freezeform> freeze;
    bool endAfterJob = false;
};

Program& program()
{
    static Program instance;
    return instance;
}

void afterJob()
{
    if (program().endAfterJob) {
        program().endAfterJob = false;
        EndProgram();
    }
}

void openFreezeInPlaceOf(QWidget* window)
{
    UnhookDropWindow(window);
    UnloadWindow(window);
    freezeform* freeze = FreezeWindow();
    freeze->loaddata();
    ShowJobWindow(freeze);
}

void openMeltInPlaceOf(QWidget* window)
{
    UnhookDropWindow(window);
    UnloadWindow(window);
    meltform* melt = MeltWindow();
    melt->loaddata();
    ShowJobWindow(melt);
}

meltform* createMelt()
{
    auto* melt = new meltform(*program().session);
    QObject::connect(melt, &meltform::closed, melt, [melt] {
        UnhookDropWindow(melt);
        UnloadWindow(melt);
        if (ProgramSession().StartedWithFiles == kSet)
            EndProgram();
        else
            HookDropWindow(IconWindow());
    });
    QObject::connect(melt, &meltform::switchRequested, melt, [melt] { openFreezeInPlaceOf(melt); });
    QObject::connect(melt, &meltform::optionsRequested, melt, [melt] { OpenOptionsWindow(melt); });
    QObject::connect(melt, &meltform::jobFinished, melt, &afterJob);
    return melt;
}

freezeform* createFreeze()
{
    auto* freeze = new freezeform(*program().session);
    QObject::connect(freeze, &freezeform::closed, freeze, [freeze] {
        UnhookDropWindow(freeze);
        UnloadWindow(freeze);
        HookDropWindow(IconWindow());
    });
    QObject::connect(freeze, &freezeform::switchRequested, freeze, [freeze] { openMeltInPlaceOf(freeze); });
    QObject::connect(freeze, &freezeform::optionsRequested, freeze, [freeze] { OpenOptionsWindow(freeze); });
    QObject::connect(freeze, &freezeform::dropReceptionWanted, freeze, [freeze](bool wanted) {
        if (wanted) {
            AcceptFileDrops(freeze);
            HookDropWindow(freeze);
        } else {
            UnhookDropWindow(freeze);
        }
    });
    QObject::connect(freeze, &freezeform::jobFinished, freeze, &afterJob);
    return freeze;
}

}  // namespace

Session& ProgramSession()
{
    return *program().session;
}

void StartSession()
{
    program().session = std::make_unique<Session>();
    program().endAfterJob = false;
}

iconform* IconWindow()
{
    return program().icon;
}
void SetIconWindow(iconform* window)
{
    program().icon = window;
}

meltform* MeltWindow()
{
    if (!program().melt)
        program().melt = createMelt();
    return program().melt;
}
meltform* ExistingMeltWindow()
{
    return program().melt;
}

freezeform* FreezeWindow()
{
    if (!program().freeze)
        program().freeze = createFreeze();
    return program().freeze;
}
freezeform* ExistingFreezeWindow()
{
    return program().freeze;
}

void ShowJobWindow(QWidget* window)
{
    window->show();
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
    window->activateWindow();
    AcceptFileDrops(window);
    HookDropWindow(window);
}

void UnloadWindow(QWidget* window)
{
    if (!window)
        return;
    Program& p = program();
    if (window == p.melt)
        p.melt = nullptr;
    else if (window == p.freeze)
        p.freeze = nullptr;
    else if (window == p.icon)
        p.icon = nullptr;
    window->hide();
    window->deleteLater();
}

void EndProgram()
{
    if (iconform* window = program().icon)
        window->unload();
    QCoreApplication::quit();
}

bool RequestEndProgram(QWidget* asker)
{
    if (!ProgramSession().jobRunning) {
        EndProgram();
        return true;
    }
    if (program().endAfterJob)
        return true;  // asked once already; the job is stopping
    if (!desktop().askYesNo(asker, QStringLiteral("処理を中止しますか"), QStringLiteral("tembrel")))
        return false;
    program().endAfterJob = true;
    if (meltform* melt = program().melt; melt && melt->jobRunning())
        melt->stopJob(false);
    if (freezeform* freeze = program().freeze; freeze && freeze->jobRunning())
        freeze->stopJob(false);
    return true;
}

bool RefusedWhileJobRuns(QWidget* asker)
{
    if (!ProgramSession().jobRunning)
        return false;
    desktop().showMessage(
        asker, QStringLiteral("ほかの処理が実行中です。一度に一つの処理しかできません。終わるまでお待ちください。"),
        QStringLiteral("tembrel"));
    return true;
}

Form1* CreateOptionsWindow(QWidget* opener)
{
    auto* window = new Form1(ProgramSession().options, opener);
    QObject::connect(window, &Form1::optionsAccepted, window, [](const GlobalOptions& options) {
        ProgramSession().options = options;
        if (iconform* icon = IconWindow())
            icon->applyStacking(options.AlwaysOnTop == 1);
    });
    window->Intoform();
    return window;
}

void OpenOptionsWindow(QWidget* opener)
{
    std::unique_ptr<Form1> window(CreateOptionsWindow(opener));
    window->exec();
}
