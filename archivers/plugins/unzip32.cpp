// libunzip32.so: the ZIP-extracting plug-in, a thin C face over the ZIP engine.
#include "plugins/plugin_api.h"
#include "plugins/plugin_bridge.h"
#include "zip/zip_commands.h"

namespace {
constexpr int kUnZipVersion = 100;

arc::ArcResult runEngine(std::string_view command, arc::Job& job)
{
    return arc::zip::runUnzipCommand(command, job);
}
}  // namespace

extern "C" int UnZip(uintptr_t /*owner*/, const char* command, char* output, uint32_t outputSize)
{
    return arc::runPluginCommand(runEngine, command, nullptr, output, outputSize);
}

extern "C" int UnZipRun(const char* command, const ArchiverCallbacks* callbacks, char* output, uint32_t outputSize)
{
    return arc::runPluginCommand(runEngine, command, callbacks, output, outputSize);
}

extern "C" int UnZipGetVersion(void)
{
    return kUnZipVersion;
}
