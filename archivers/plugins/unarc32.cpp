// libunarc32.so: the plug-in that extracts 7z, RAR, tar.*, cpio, ISO 9660, CAB and xar, a thin C
// face over the unarc engine.
#include "plugins/plugin_api.h"
#include "plugins/plugin_bridge.h"
#include "unarc/unarc_command.h"

namespace {
constexpr int kUnArcVersion = 100;

arc::ArcResult runEngine(std::string_view command, arc::Job& job)
{
    return arc::unarc::runUnarcCommand(command, job);
}
}  // namespace

extern "C" int UnArc(uintptr_t /*owner*/, const char* command, char* output, uint32_t outputSize)
{
    return arc::runPluginCommand(runEngine, command, nullptr, output, outputSize);
}

extern "C" int UnArcRun(const char* command, const ArchiverCallbacks* callbacks, char* output, uint32_t outputSize)
{
    return arc::runPluginCommand(runEngine, command, callbacks, output, outputSize);
}

extern "C" int UnArcGetVersion(void)
{
    return kUnArcVersion;
}
