// The X11-through-XWayland choice on Wayland sessions.
#include "shell/PlatformChoice.h"

#include <cstdlib>

std::optional<std::string> ChoosePlatform(const std::function<std::optional<std::string>(const char*)>& environment,
                                          const std::vector<std::string>& arguments)
{
    const auto set = [&](const char* name) {
        const std::optional<std::string> value = environment(name);
        return value && !value->empty();
    };
    if (set("QT_QPA_PLATFORM"))
        return std::nullopt;
    for (const std::string& argument : arguments) {
        if (argument == "-platform" || argument == "--platform" || argument.starts_with("-platform="))
            return std::nullopt;
    }
    const bool wayland =
        environment("XDG_SESSION_TYPE") == std::optional<std::string>("wayland") || set("WAYLAND_DISPLAY");
    if (wayland && set("DISPLAY"))
        return "xcb";
    return std::nullopt;
}

bool WindowSystemNamed(const std::function<const char*(const char*)>& environment)
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = environment(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

void ApplyPlatformChoice(int argc, char** argv)
{
    const auto environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    const std::optional<std::string> platform =
        ChoosePlatform(environment, std::vector<std::string>(argv + 1, argv + argc));
    if (platform)
        setenv("QT_QPA_PLATFORM", platform->c_str(), 1);
}
