// The one body of every plug-in entry point: C callbacks turned into a job listener, the
// engine's command run, failures handed back, the result delivered.
#pragma once

#include <functional>

#include "common/job.h"
#include "common/status.h"
#include "plugins/plugin_api.h"

namespace arc {

using EngineCommand = std::function<ArcResult(std::string_view command, Job& job)>;

// Runs `engine` for `command` with the caller's callbacks (null for none) and delivers the result.
int runPluginCommand(const EngineCommand& engine, const char* command, const ArchiverCallbacks* callbacks, char* output,
                     std::uint32_t outputSize);

}  // namespace arc
