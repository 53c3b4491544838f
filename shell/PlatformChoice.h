// Which Qt platform plug-in the program asks for, from the session's environment.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// On a Wayland desktop a frameless shaped window can neither place itself nor be shaped by a
// mask, so the icon runs on X11 through XWayland there. Returns "xcb" for a Wayland session
// that has an X display to offer, unless the user already chose a platform (QT_QPA_PLATFORM
// or -platform on the command line); nullopt leaves the choice to Qt.
std::optional<std::string> ChoosePlatform(const std::function<std::optional<std::string>(const char*)>& environment,
                                          const std::vector<std::string>& arguments);

// Whether the session names a window system to show a window on: an X display, a Wayland
// socket, or a platform the user chose.
bool WindowSystemNamed(const std::function<const char*(const char*)>& environment);

// The same, for this process: sets QT_QPA_PLATFORM before QApplication is built.
void ApplyPlatformChoice(int argc, char** argv);
