// Creates a ZIP archive or adds members to an existing one in place.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/job.h"
#include "common/source_tree.h"
#include "common/status.h"

namespace arc::zip {

struct WriterOptions {
    int level = 6;                                  // 0 stores, 1..9 deflate
    unsigned threads = 0;                           // 0: one per core
    std::size_t wholeMemberLimit = 4u << 20;        // larger files are deflated in chunks
    std::size_t chunkSize = 1u << 20;
    std::size_t inFlightBytes = 24u << 20;          // input bytes being compressed at once
    // Test hooks: write zip64 records for every member and the end, whatever the sizes; fail
    // (as a write error would) after this many new members have been written.
    bool forceZip64 = false;
    std::optional<std::size_t> failAfterMembers;
};

// Adds `entries` to the archive at `archivePath`, creating it when missing. A member whose
// name is already in the archive is replaced: the new data is written and the directory
// points at it, the old data stays behind as unused bytes.
//
// An existing archive is extended in place: the new members are written from where its
// central directory started, then the kept and the new directory records and the end records.
// Existing member data is never rewritten. Before the first write, the overwritten tail (old
// directory and end records) and the old size are kept; on any failure they are written back
// and the file is cut to its old size, so the archive is byte-for-byte what it was. An archive
// that is missing is removed again on failure. An existing file whose directory does not read
// back consistently is refused with ArchiveCorrupt and not touched.
ArcResult addToArchive(const std::string& archivePath, const std::vector<SourceEntry>& entries,
                       const WriterOptions& options, Job& job);
ArcResult addToArchive(const std::string& archivePath, const std::vector<SourceEntry>& entries,
                       const WriterOptions& options);

}  // namespace arc::zip
