// Extracts one member from the archive's raw bytes, without libarchive: for Deflate64, for
// members whose recorded sizes were cut to 32 bits, and for members libarchive cannot reach.
#pragma once

#include <cstdint>
#include <string>

#include "common/disk_writer.h"
#include "common/job.h"
#include "common/status.h"
#include "zip/central_directory.h"

namespace arc::zip {

struct RawMemberPlan {
    std::string name;  // for failures
    std::string path;  // safe relative path
    std::uint32_t mode = 0;
    std::int64_t mtime = -1;
    std::uint16_t method = 0;  // 0 stored, 8 deflate, 9 Deflate64
    std::uint64_t dataOffset = 0;
    std::uint64_t compressedSize = 0;  // stored: the bytes to copy; else the most the stream may use
    std::uint32_t crc32 = 0;
    std::uint64_t size = 0;
    bool sizeModulo4GiB = false;  // `size` holds only the low 32 bits of the real size
};

enum class RawOutcome { Committed, Failed, Cancelled };

// True for the methods extractRawMember() decodes.
bool rawMethodSupported(std::uint16_t method);

// Decodes the member, writes it through `writer` (advancing `job` per block) and commits it
// only when its CRC-32 and size match; otherwise nothing stays and `failure` says why, naming
// the entry.
RawOutcome extractRawMember(const ByteSource& source, const RawMemberPlan& plan, SafeDiskWriter& writer, Job& job,
                            ArcResult& failure);

}  // namespace arc::zip
