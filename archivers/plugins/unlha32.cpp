// libunlha32.so: the LZH plug-in, a thin C face over the LZH engine.
#include "lzh/unlha_command.h"
#include "plugins/plugin_api.h"
#include "plugins/plugin_bridge.h"

namespace {
constexpr int kUnlhaVersion = 100;

arc::ArcResult runEngine(std::string_view command, arc::Job& job)
{
    return lzh::runUnlhaCommand(command, job);
}
}  // namespace

extern "C" int Unlha(uintptr_t /*owner*/, const char* command, char* output, uint32_t outputSize)
{
    return arc::runPluginCommand(runEngine, command, nullptr, output, outputSize);
}

extern "C" int UnlhaRun(const char* command, const ArchiverCallbacks* callbacks, char* output, uint32_t outputSize)
{
    return arc::runPluginCommand(runEngine, command, callbacks, output, outputSize);
}

extern "C" int UnlhaGetVersion(void)
{
    return kUnlhaVersion;
}
