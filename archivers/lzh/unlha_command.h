// Runs one unlha32 command string: add (a), extract (x), list (l).
#pragma once

#include <string_view>

#include "common/job.h"
#include "common/status.h"

namespace lzh {

// Grammar (words split by arc::splitCommand, switches anywhere):
//   a [switches] ARCHIVE [BASE/] ITEM...   add files or folders; with BASE, "N/*.*" is the
//                                          folder BASE/N stored as N/..., "*.*" everything
//   x [switches] ARCHIVE DEST/ [*.*]       extract everything with paths under DEST
//   l ARCHIVE                              list member paths, one per line, in the message
// Switches: -lh5 (default), -lh6, -lh7 choose the method; -lh0 stores; -n, -n1, -r, -r2,
// -x, -x1, -q, -v, --i are accepted and change nothing visible.
// Adding stops before writing anything when a named item is missing; a FIFO, device or socket,
// the archive itself, or a file and a folder of one name are left out and named in the result
// (SpecialEntry, ArchiveItself, NameClash) while the rest is stored (see lzh::addMembers).
arc::ArcResult runUnlhaCommand(std::string_view command, arc::Job& job);
arc::ArcResult runUnlhaCommand(std::string_view command);

}  // namespace lzh
