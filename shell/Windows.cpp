// The program's state and the owners of its windows, with the paths between the windows.
#include "shell/Windows.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "options/Form1.h"
#include "services/Session.h"
#include "services/Settings.h"
#include "shell/DropReception.h"
#include "shell/iconform.h"
#include "shell/menuform.h"

namespace {

// The program's one root: the state of the run and its windows.
struct Program {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    QPointer<iconform> icon;
    QPointer<meltform> melt;
    QPointer<freezeform> freeze;
    QPointer<menuform> menu;
    bool endSavesPlace = false;
};

Program& program()
{
    static Program instance;
    return instance;
}

// A drop is recorded only when it can be taken; while a job runs it changes nothing and the
// note comes after the drop (never inside it, where the drag source still waits).
bool takeDrop(QWidget* window, const QStringList& names)
{
    if (ProgramSession().jobRunning) {
        QTimer::singleShot(0, window, [window] { SayOneJobAtATime(window); });
        return false;
    }
    ProgramSession().RecordDroppedFiles(names);
    return true;
}

void finishEnd()
{
    if (std::exchange(program().endSavesPlace, false)) {
        if (iconform* icon = program().icon; icon && icon->isVisible()) {
            SavePositionSetting(QStringLiteral("iconleft"), icon->leftTwips());
            SavePositionSetting(QStringLiteral("icontop"), icon->topTwips());
        }
    }
    UnloadMenuForm();
    EndProgram();
}

void showJobWindow(QWidget* window)
{
    window->show();
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
    window->activateWindow();
    AcceptFileDrops(window);
}

void connectJobWindow(JobWindow* window)
{
    QObject::connect(window, &JobWindow::optionsRequested, window, [window] { OpenOptionsWindow(window); });
    QObject::connect(window, &JobWindow::readyToEnd, window, &finishEnd);
}

meltform* meltWindow()
{
    if (program().melt)
        return program().melt;
    auto* melt = new meltform(*program().session);
    QObject::connect(melt, &JobWindow::closed, melt, [melt] {
        UnhookDropWindow(melt);
        UnloadWindow(melt);
        if (ProgramSession().StartedWithFiles == kSet)
            EndProgram();
        else
            GiveDropsToIcon();
    });
    QObject::connect(melt, &JobWindow::switchRequested, melt, [melt] {
        UnhookDropWindow(melt);
        UnloadWindow(melt);
        OpenFreezeWindow();
    });
    connectJobWindow(melt);
    program().melt = melt;
    return melt;
}

freezeform* freezeWindow()
{
    if (program().freeze)
        return program().freeze;
    auto* freeze = new freezeform(*program().session);
    QObject::connect(freeze, &JobWindow::closed, freeze, [freeze] {
        UnhookDropWindow(freeze);
        UnloadWindow(freeze);
        GiveDropsToIcon();
    });
    QObject::connect(freeze, &JobWindow::switchRequested, freeze, [freeze] {
        UnhookDropWindow(freeze);
        UnloadWindow(freeze);
        OpenMeltWindow();
    });
    connectJobWindow(freeze);
    program().freeze = freeze;
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
    program().endSavesPlace = false;
    program().session->keepClear = [] {
        iconform* icon = program().icon;
        return icon && icon->isVisible() ? icon->frameGeometry() : QRect();
    };
}

iconform* CreateIconWindow()
{
    auto* icon = new iconform(*program().session);
    QObject::connect(icon, &iconform::dropReceptionWanted, icon, &GiveDropsToIcon);
    QObject::connect(icon, &iconform::meltWanted, icon, [](const QString& archives) { OpenMeltWindow(archives); });
    QObject::connect(icon, &iconform::freezeWanted, icon, &OpenFreezeWindow);
    QObject::connect(icon, &iconform::menuWanted, icon, &PopupIconMenu);
    QObject::connect(icon, &iconform::endWanted, icon, [] { RequestEndProgram(false); });
    program().icon = icon;
    return icon;
}

iconform* IconWindow()
{
    return program().icon;
}

void PopupIconMenu(const QPoint& globalPosition)
{
    menuform* menu = program().menu;
    if (!menu) {
        menu = new menuform(*program().session);
        QObject::connect(menu, &menuform::meltWanted, menu, &OpenMeltWindow);
        QObject::connect(menu, &menuform::freezeWanted, menu, &OpenFreezeWindow);
        QObject::connect(menu, &menuform::optionsWanted, menu, [] { OpenOptionsWindow(nullptr); });
        QObject::connect(menu, &menuform::endWanted, menu, [] { RequestEndProgram(true); });
        program().menu = menu;
    }
    menu->popup(globalPosition);
}

menuform* ExistingMenuForm()
{
    return program().menu;
}

void UnloadMenuForm()
{
    if (menuform* menu = program().menu) {
        program().menu = nullptr;
        menu->closeMenu();
        menu->deleteLater();
    }
}

meltform* ExistingMeltWindow()
{
    return program().melt;
}
freezeform* ExistingFreezeWindow()
{
    return program().freeze;
}

meltform* OpenMeltWindow(const std::optional<QString>& archives)
{
    UnhookDropWindow(program().icon);
    meltform* melt = meltWindow();
    if (archives)
        melt->setArchive(*archives);
    melt->loaddata();
    showJobWindow(melt);
    HookDropWindow(melt, [melt](const QStringList& names) {
        if (takeDrop(melt, names))
            melt->setArchive(QuotedList(names));
    });
    return melt;
}

freezeform* OpenFreezeWindow()
{
    UnhookDropWindow(program().icon);
    freezeform* freeze = freezeWindow();
    freeze->loaddata();
    showJobWindow(freeze);
    HookDropWindow(freeze, [freeze](const QStringList& names) {
        if (takeDrop(freeze, names))
            ProgramSession().FreezeDropPending = kSet;
    });
    return freeze;
}

void GiveDropsToIcon()
{
    iconform* icon = program().icon;
    if (!icon)
        return;
    AcceptFileDrops(icon);
    HookDropWindow(icon, [icon](const QStringList& names) {
        if (takeDrop(icon, names))
            ProgramSession().IconDropPending = kSet;
    });
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
    if (iconform* icon = program().icon) {
        icon->removeShape();
        UnloadWindow(program().freeze);
        UnloadWindow(program().melt);
        UnloadMenuForm();
        UnhookDropWindow(icon);
        UnloadWindow(icon);
    }
    QCoreApplication::quit();
}

void RequestEndProgram(bool savePlace, bool ask)
{
    program().endSavesPlace = program().endSavesPlace || savePlace;
    for (JobWindow* window : {static_cast<JobWindow*>(program().melt), static_cast<JobWindow*>(program().freeze)}) {
        if (window && window->busy()) {
            window->endWithProgram(ask);
            return;
        }
    }
    finishEnd();
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
