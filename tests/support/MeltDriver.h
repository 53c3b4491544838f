// Drives the extraction window as a user does.
#pragma once

#include "support/WindowDriver.h"

#include "melt/meltform.h"
#include "shell/Windows.h"

class MeltDriver : public WindowDriver {
public:
    explicit MeltDriver(meltform* window = ExistingMeltWindow()) : WindowDriver(window) {}
    // Opens the window as the icon's menu does, the archive field filled when `archives` is given.
    static MeltDriver open(const std::optional<QString>& archives = std::nullopt)
    {
        return MeltDriver(OpenMeltWindow(archives));
    }

    meltform* form() const { return static_cast<meltform*>(window_.data()); }
    QString archive() const { return text("Text1"); }
    QString destination() const { return text("Text2"); }
    QString hint() const { return text("omsgbox"); }
    void typeArchive(const QString& archives) const { type("Text1", archives); }
    void typeDestination(const QString& directory) const { type("Text2", directory); }
    void typeMoveDirectory(const QString& directory) const { type("Text3", directory); }
    void chooseFollowUp(int index) const { tick(QStringLiteral("Option1(%1)").arg(index)); }
    int followUp() const
    {
        for (int i = 0; i < 4; ++i) {
            if (isTicked(QStringLiteral("Option1(%1)").arg(i)))
                return i;
        }
        return -1;
    }
    void intoStemFolder(bool on) const { tick("Check1", on); }
    void closeAfterJob(bool on) const { tick("Check3", on); }
    void messageAtEnd(bool on) const { tick("Check2", on); }
    void pressMelt() const { click("meltbutton"); }
    void pressClose() const { click("endbutton"); }
    void pressSwitch() const { click("tomelt"); }
};
