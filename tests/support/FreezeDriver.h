// Drives the compression window as a user does.
#pragma once

#include "support/WindowDriver.h"

#include "freeze/freezeform.h"
#include "shell/Windows.h"

class FreezeDriver : public WindowDriver {
public:
    explicit FreezeDriver(freezeform* window = ExistingFreezeWindow()) : WindowDriver(window) {}
    // Opens the window as the icon's menu and its timer do.
    static FreezeDriver open() { return FreezeDriver(OpenFreezeWindow()); }

    QString name() const { return text("Text1"); }
    QString directory() const { return text("Text2"); }
    QString hint() const { return text("omsgbox"); }
    QString pending() const { return text("pendingFiles"); }
    QString pendingList() const { return control("pendingFiles")->toolTip(); }
    void typeName(const QString& name) const { type("Text1", name); }
    void typeDirectory(const QString& directory) const { type("Text2", directory); }
    void messageAtEnd(bool on) const { tick("Check1", on); }
    void closeAfterJob(bool on) const { tick("Check2", on); }
    bool canFreeze() const { return isEnabled("freezebutton"); }
    void pressFreeze() const { click("freezebutton"); }
    void pressClose() const { click("endbutton"); }
    void pressSwitch() const { click("tofreeze"); }
};
