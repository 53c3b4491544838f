// Runs one unarc32 command string: extract (x) or list (l).
#pragma once

#include <string_view>

#include "common/job.h"
#include "common/status.h"

namespace arc::unarc {

// Grammar (words split by arc::splitCommand, switches anywhere):
//   x [switches] ARCHIVE DEST/ [*.*]   extract everything with paths under DEST, creating it
//   l ARCHIVE                          list the entry names, one per line, in the message
// ARCHIVE may name any volume of a set: the set is read from its first volume. Switches: -n,
// -n1, -q, -v, --i, -r, -r2, -x, -x1 are accepted and change nothing visible (the plug-in shows
// no window; existing files are asked about through the job).
ArcResult runUnarcCommand(std::string_view command, Job& job);
ArcResult runUnarcCommand(std::string_view command);

}  // namespace arc::unarc
