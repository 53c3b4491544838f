// libunlha32.so: the LZH plug-in, a thin C face over the LZH engine.
#include "common/status.h"
#include "lzh/unlha_command.h"
#include "plugins/plugin_api.h"

namespace {
constexpr int kUnlhaVersion = 100;
}

extern "C" int Unlha(uintptr_t /*owner*/, const char* command, char* output, uint32_t outputSize)
{
    if (command == nullptr)
        return arc::deliverResult(arc::ArcResult::failure(arc::ArcStatus::BadCommand, "no command"), output, outputSize);
    try {
        return arc::deliverResult(lzh::runUnlhaCommand(command), output, outputSize);
    } catch (...) {
        // The engine reports errors as values; only allocation failure can get here.
        return arc::deliverResult(arc::ArcResult::failure(arc::ArcStatus::NoMemory, "out of memory"), output, outputSize);
    }
}

extern "C" int UnlhaGetVersion(void) { return kUnlhaVersion; }
