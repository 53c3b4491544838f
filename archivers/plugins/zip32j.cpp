// libzip32j.so: the ZIP-creating plug-in, a thin C face over the ZIP engine.
#include "common/status.h"
#include "plugins/plugin_api.h"
#include "zip/zip_commands.h"

namespace {
constexpr int kZipVersion = 100;
}

extern "C" int Zip(uintptr_t /*owner*/, const char* command, char* output, uint32_t outputSize) {
    if (command == nullptr)
        return arc::deliverResult(arc::ArcResult::failure(arc::ArcStatus::BadCommand, "no command"), output, outputSize);
    try {
        return arc::deliverResult(arc::zip::runZipCommand(command), output, outputSize);
    } catch (...) {
        return arc::deliverResult(arc::ArcResult::failure(arc::ArcStatus::Internal, "internal error"), output, outputSize);
    }
}

extern "C" int ZipGetVersion(void) { return kZipVersion; }
