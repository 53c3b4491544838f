// Drives the options window as a user does; the window is made and filled as its openers do.
#pragma once

#include <memory>

#include "support/WindowDriver.h"

#include "options/Form1.h"
#include "shell/Windows.h"

class OptionsDriver : public WindowDriver {
public:
    OptionsDriver() : WindowDriver(CreateOptionsWindow(nullptr)), owned_(static_cast<Form1*>(window_.data())) {}

    QString soundFile() const { return text("Text1"); }
    QString browseDirectory() const { return text("Text3"); }
    void pressOk() const { click("Command2"); }
    void pressCancel() const { click("Command3"); }
    void pressReassociate() const { click("Command4"); }
    void pickSound() const { click("Command1"); }
    void pickDirectory() const { click("Command5"); }

private:
    std::unique_ptr<Form1> owned_;
};
