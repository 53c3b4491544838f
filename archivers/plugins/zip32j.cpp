// libzip32j.so: the ZIP-creating plug-in, a thin C face over the ZIP engine.
#include "plugins/plugin_api.h"
#include "plugins/plugin_bridge.h"
#include "zip/zip_commands.h"

namespace {
constexpr int kZipVersion = 100;

arc::ArcResult runEngine(std::string_view command, arc::Job& job)
{
    return arc::zip::runZipCommand(command, job);
}
}  // namespace

extern "C" int Zip(uintptr_t /*owner*/, const char* command, char* output, uint32_t outputSize)
{
    return arc::runPluginCommand(runEngine, command, nullptr, output, outputSize);
}

extern "C" int ZipRun(const char* command, const ArchiverCallbacks* callbacks, char* output, uint32_t outputSize)
{
    return arc::runPluginCommand(runEngine, command, callbacks, output, outputSize);
}

extern "C" int ZipGetVersion(void)
{
    return kZipVersion;
}
