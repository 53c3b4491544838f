// The platform the program asks for, environment in, platform out.
#include "shell/PlatformChoice.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct PlatformCase {
    const char* name;
    std::map<std::string, std::string> environment;
    std::vector<std::string> arguments;
    std::optional<std::string> platform;
};

class PlatformChoice : public ::testing::TestWithParam<PlatformCase> {};

TEST_P(PlatformChoice, WaylandSessionsUseXWaylandUnlessTheUserChose)
{
    const PlatformCase& c = GetParam();
    const auto environment = [&](const char* name) -> std::optional<std::string> {
        const auto found = c.environment.find(name);
        return found != c.environment.end() ? std::optional<std::string>(found->second) : std::nullopt;
    };
    EXPECT_EQ(ChoosePlatform(environment, c.arguments), c.platform) << c.name;
}

const std::map<std::string, std::string> kGnome = {
    {"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}};

INSTANTIATE_TEST_SUITE_P(
    Sessions, PlatformChoice,
    ::testing::Values(
        PlatformCase{"GNOME or KDE on Wayland", kGnome, {}, "xcb"},
        PlatformCase{
            "Wayland display without the session type", {{"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":1"}}, {}, "xcb"},
        PlatformCase{"X11 session", {{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}}, {}, std::nullopt},
        PlatformCase{
            "Wayland without XWayland", {{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "w"}}, {}, std::nullopt},
        PlatformCase{"user's QT_QPA_PLATFORM",
                     {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":0"}},
                     {},
                     std::nullopt},
        PlatformCase{"empty QT_QPA_PLATFORM is no choice",
                     {{"QT_QPA_PLATFORM", ""}, {"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":0"}},
                     {},
                     "xcb"},
        PlatformCase{"-platform on the command line", kGnome, {"-platform", "wayland"}, std::nullopt},
        PlatformCase{"nothing at all", {}, {}, std::nullopt}),
    [](const auto& info) { return std::to_string(info.index); });

}  // namespace
