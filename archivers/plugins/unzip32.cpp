// libunzip32.so: the ZIP-extracting plug-in, a thin C face over the ZIP engine.
#include "common/status.h"
#include "plugins/plugin_api.h"
#include "zip/zip_commands.h"

namespace {
constexpr int kUnzipVersion = 100;
}

extern "C" int UnZip(uintptr_t /*owner*/, const char* command, char* output, uint32_t outputSize) {
    if (command == nullptr)
        return arc::deliverResult(arc::ArcResult::failure(arc::ArcStatus::BadCommand, "no command"), output, outputSize);
    try {
        return arc::deliverResult(arc::zip::runUnzipCommand(command), output, outputSize);
    } catch (...) {
        return arc::deliverResult(arc::ArcResult::failure(arc::ArcStatus::Internal, "internal error"), output, outputSize);
    }
}

extern "C" int UnZipGetVersion(void) { return kUnzipVersion; }
