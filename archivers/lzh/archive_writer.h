// Adds members to an LZH archive, by copy-on-write.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "common/archive_replacement.h"
#include "common/job.h"
#include "common/source_tree.h"
#include "common/status.h"
#include "lzh/lzh_method.h"

namespace lzh {

struct WriteOptions {
    Method method = Method::Lh5;  // for members that shrink; others are stored (-lh0-)
    int threads = 2;
    std::chrono::milliseconds lockWait{10000};  // for another writer of the same archive
    arc::WriteCheckpoint checkpoint;            // test hook: each step a crash could stop at
};

// Adds `entries` (parents before children) to the archive at `archivePath`, creating it when
// missing. A member whose path is already there is replaced and its old bytes are not kept.
//
// The new archive is built beside the old one and renamed over it (arc::ArchiveReplacement):
// the kept members copied raw (everything before the end marker in one kernel copy when nothing
// is replaced, else member by member), the new members after them, then the end marker. At
// every moment, a kill or a power cut included, the archive is the old one or the new one,
// each complete; a failed or cancelled command leaves it byte-identical and no temporary file
// behind. One command at a time writes an archive: another waits up to options.lockWait, then
// gets ArchiveInUse. Entries that make one path both a file and a folder are left out as
// NameClash. Each member is named by entry.memberName ("/"-separated), stored as CP932 (plus
// UTF-16 when needed) in level-2 headers.
//
// Progress goes to `job` from the calling thread; the compressing threads only poll
// job.cancelled(). A cancelled command returns Cancelled.
arc::ArcResult addMembers(const std::string& archivePath, const std::vector<arc::SourceEntry>& entries,
                          const WriteOptions& options, arc::Job& job);
arc::ArcResult addMembers(const std::string& archivePath, const std::vector<arc::SourceEntry>& entries,
                          const WriteOptions& options);

}  // namespace lzh
