// Reads LZH archives: the header scan, listing, and safe extraction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/job.h"
#include "common/status.h"
#include "lzh/header_codec.h"

namespace lzh {

struct ScannedArchive {
    std::vector<MemberHeader> members;
    std::uint64_t endOffset = 0;  // where the end marker is (or the file ends without one);
                                  // when not complete, where the next header starts
    std::uint64_t fileSize = 0;
    bool complete = false;  // the end was reached (not just `maxMembers`)
};

// Reads the headers from `startOffset` on, at most `maxMembers` of them, checking that each
// member's data lies inside the file. Reading in batches keeps memory proportional to the
// batch, not to however many headers a (possibly hostile) archive holds.
LzhStatus scanArchive(RandomAccess& archive, std::uint64_t fileSize, ScannedArchive& out, std::uint64_t startOffset = 0,
                      std::size_t maxMembers = SIZE_MAX);

// The members' decoded paths (as stored, before any safety cleaning), in archive order.
arc::ArcResult listArchive(const std::string& archivePath, std::vector<std::string>& paths);

// Extracts every member under `destination` (created when missing) through SafeDiskWriter:
// a file reaches its final name only after its CRC-16 matched. Members that would land
// outside the destination are skipped and reported (UnsafeEntry), as are members with an
// unknown method (UnsupportedMethod), bad data (CrcMismatch, ArchiveCorrupt) and FIFOs,
// devices and sockets (SpecialEntry); links ("name|target") go to the writer, which makes
// only those that stay inside. The others are still extracted, and the first failure's code
// is returned with every message.
//
// `job` gets the totals as far as the headers read so far tell, each member that is not a
// directory (beginEntry/endEntry) and its bytes as they are written. A stop asked for through
// it (or the overwrite question's Cancel) abandons the member being written, leaves the
// files already committed, and gives a result with Cancelled merged in. Called on one thread;
// the decoding workers only poll the job's cancel flag.
arc::ArcResult extractArchive(const std::string& archivePath, const std::string& destination, arc::Job& job);
arc::ArcResult extractArchive(const std::string& archivePath, const std::string& destination);

}  // namespace lzh
