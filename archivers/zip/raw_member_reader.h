// Decodes a stored, deflate or Deflate64 member straight from the archive's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "zip/central_directory.h"

namespace arc::zip {

enum class RawMemberStatus {
    Ok,          // decoded; `crc32` and `size` describe what the sink received
    BadData,     // the compressed stream is malformed
    Truncated,   // the stream needs more bytes than the member's compressed size holds
    TooLong,     // the stream decodes to more than `maxOutputSize`
    ReadFailed,  // the archive could not be read (a data that ends early is Truncated)
    Stopped,     // the sink asked to stop
};

struct RawMemberResult {
    RawMemberStatus status = RawMemberStatus::Ok;
    std::uint32_t crc32 = 0;
    std::uint64_t size = 0;
    int systemError = 0;  // errno of ReadFailed
};

// Decodes the Deflate64 stream of `compressedSize` bytes at `dataOffset`, handing the output to
// `sink` in pieces of at most 64 KiB (false from the sink stops). Never hands over more than
// `maxOutputSize` bytes: a member that decodes to more is TooLong, so a lying size cannot
// fill the disk.
RawMemberResult inflateDeflate64Member(const ByteSource& source, std::uint64_t dataOffset, std::uint64_t compressedSize,
                                       std::uint64_t maxOutputSize,
                                       const std::function<bool(const unsigned char*, std::size_t)>& sink);

// Copies `size` stored bytes at `dataOffset` to `sink`, in pieces of at most 256 KiB.
RawMemberResult copyStoredMember(const ByteSource& source, std::uint64_t dataOffset, std::uint64_t size,
                                 const std::function<bool(const unsigned char*, std::size_t)>& sink);

// Inflates the deflate stream at `dataOffset` up to its own end, reading at most
// `maxCompressedSize` bytes and handing over at most `maxOutputSize`. For members whose
// recorded sizes cannot be trusted: the stream itself says where it ends.
RawMemberResult inflateDeflateMember(const ByteSource& source, std::uint64_t dataOffset,
                                     std::uint64_t maxCompressedSize, std::uint64_t maxOutputSize,
                                     const std::function<bool(const unsigned char*, std::size_t)>& sink);

}  // namespace arc::zip
