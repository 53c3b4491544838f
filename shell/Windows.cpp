// Owners of the program's windows.
#include "shell/Windows.h"

#include <QApplication>
#include <QPointer>

#include "freeze/freezeform.h"
#include "melt/meltform.h"
#include "shell/DropReception.h"
#include "shell/iconform.h"

namespace {

QPointer<iconform> icon;
QPointer<meltform> melt;
QPointer<freezeform> freeze;

template <typename Window>
Window* createdIfNeeded(QPointer<Window>& slot)
{
    if (!slot)
        slot = new Window;
    return slot;
}

}  // namespace

iconform* IconWindow() { return icon; }
void SetIconWindow(iconform* window) { icon = window; }

meltform* MeltWindow() { return createdIfNeeded(melt); }
meltform* ExistingMeltWindow() { return melt; }
freezeform* FreezeWindow() { return createdIfNeeded(freeze); }
freezeform* ExistingFreezeWindow() { return freeze; }

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
    if (window == melt)
        melt = nullptr;
    else if (window == freeze)
        freeze = nullptr;
    else if (window == icon)
        icon = nullptr;
    window->hide();
    window->deleteLater();
}

void EndProgram()
{
    if (iconform* window = icon)
        window->unload();
    QCoreApplication::quit();
}
