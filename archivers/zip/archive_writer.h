// Creates a ZIP archive or adds members to an existing one, by copy-on-write.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/archive_replacement.h"
#include "common/job.h"
#include "common/source_tree.h"
#include "common/status.h"

namespace arc::zip {

class CompressionHeadStart;

struct WriterOptions {
    int level = 5;                            // 0 stores, 1..9 deflate (see the command's default)
    unsigned threads = 0;                     // 0: one per core
    std::size_t wholeMemberLimit = 4u << 20;  // larger files are deflated in chunks
    std::size_t chunkSize = 1u << 20;
    std::size_t inFlightBytes = 24u << 20;      // input bytes being compressed at once
    std::chrono::milliseconds lockWait{10000};  // for another writer of the same archive
    // Test hooks: write zip64 records for every member and the end, whatever the sizes; fail
    // (as a write error would) after this many new members have been written; be told of each
    // step that changes what a crash would leave.
    bool forceZip64 = false;
    std::optional<std::size_t> failAfterMembers;
    WriteCheckpoint checkpoint;
};

// Adds `entries` to the archive at `archivePath`, creating it when missing. A member whose
// name is already in the archive is replaced, and its old bytes are not kept.
//
// The new archive is built beside the old one and renamed over it (ArchiveReplacement): the
// kept members are copied raw in one kernel copy (all of them, when nothing is replaced; else
// each kept member's range, its directory record moved to its new offset), the new members are
// compressed after them, then the directory. So at every moment, a kill or a power cut
// included, the archive is the old one or the new one, each complete; a failed or cancelled
// command leaves it byte-identical and no temporary file behind. Symbolic links to the archive
// are followed; a hard-linked archive is rewritten in its own inode (see ArchiveReplacement).
// One command at a time writes an archive: another one waits up to options.lockWait, then gives
// ArchiveInUse. An existing file whose directory does not read back consistently is refused
// with ArchiveCorrupt and not touched.
//
// Entries that would clash with each other or with the archive's members (a file and a folder
// of one name) are left out and reported as NameClash; the others are stored.
//
// Progress: job totals, then beginEntry/advance/endEntry per member on the calling thread;
// the worker threads only poll job.cancelled(). A cancelled command returns Cancelled.
//
// `headStart`, when given, holds the compression begun while `entries` were listed (with the
// same options and job); the writer takes over its threads and uses what matches.
ArcResult addToArchive(const std::string& archivePath, const std::vector<SourceEntry>& entries,
                       const WriterOptions& options, Job& job, CompressionHeadStart* headStart = nullptr);
ArcResult addToArchive(const std::string& archivePath, const std::vector<SourceEntry>& entries,
                       const WriterOptions& options);

}  // namespace arc::zip
