// Drives the icon and its popup menu as a user does.
#pragma once

#include <QMenu>
#include <QTimer>

#include "support/Drops.h"
#include "support/WindowDriver.h"

#include "shell/Windows.h"
#include "shell/iconform.h"
#include "shell/menuform.h"

class IconDriver : public WindowDriver {
public:
    IconDriver() : WindowDriver(IconWindow()) {}

    // A point on an opaque pixel of the icon, where the shape takes drops.
    static QPoint onIcon() { return {30, 40}; }
    bool drop(const QStringList& paths) const { return DropFiles(window_, paths, onIcon()); }
    // Holds or lets go the tick that hands a drop to a job window.
    void holdTicks(bool held) const
    {
        auto* timer = control<QTimer>("Timer2");
        held ? timer->stop() : timer->start();
    }
    // Right button on the icon, then the item of its menu.
    void chooseFromMenu(const QString& item) const
    {
        PopupIconMenu(window_->mapToGlobal(onIcon()));
        menuform* menu = ExistingMenuForm();
        menu->closeMenu();
        menu->findChild<QAction*>(item)->trigger();
    }
    QStringList menuItems() const
    {
        PopupIconMenu(window_->mapToGlobal(onIcon()));
        QStringList captions;
        for (QAction* action : ExistingMenuForm()->findChild<QMenu*>("omenu")->actions())
            captions << (action->isSeparator() ? "-" : action->text());
        ExistingMenuForm()->closeMenu();
        return captions;
    }
};
