// Decodes one member's compressed bytes by its method: whole in memory with libdeflate when it
// fits a bounded buffer, else streamed.
#pragma once

#include <libdeflate.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "zip/raw_member_reader.h"

namespace arc::zip {

inline constexpr std::uint16_t kMethodBzip2 = 12;
inline constexpr std::uint16_t kMethodLzma = 14;
inline constexpr std::uint16_t kMethodZstandard = 93;
inline constexpr std::uint16_t kMethodXz = 95;
inline constexpr std::uint16_t kMethodPpmd = 98;

// Members whose compressed and decoded sizes both fit this are read with one read and decoded
// whole (libdeflate); larger ones are streamed through bounded buffers (ISA-L's inflater).
inline constexpr std::uint64_t kWholeMemberLimit = std::uint64_t{8} << 20;

// Fills `buffer` with up to `capacity` compressed bytes and returns how many; 0 at the end of
// the member's bytes (or when they could not be read: the input itself remembers which).
using ByteInput = std::function<std::size_t(unsigned char* buffer, std::size_t capacity)>;
// Receives decoded bytes in order; false stops the decoding.
using ByteSink = std::function<bool(const unsigned char* data, std::size_t size)>;

// Stored, deflate and Deflate64 are decoded by our code, libdeflate and ISA-L; bzip2, LZMA, XZ,
// Zstandard and PPMd by libarchive, fed the (already decrypted) bytes as an unencrypted member.
bool methodDecoded(std::uint16_t method);

struct StreamedMember {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;  // the member's general-purpose flags (LZMA's end-marker bit)
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;  // the recorded size: nothing beyond it is handed over (TooLong)
};

// Decodes the member from `input` into `sink` with bounded memory (at most a few hundred KiB
// besides libarchive's own state). `result` counts and checksums what the sink received.
// Truncated: the input ended first (the caller tells a read failure apart).
RawMemberResult decodeStreamed(const StreamedMember& member, const ByteInput& input, const ByteSink& sink);

// A deflate stream already in memory, inflated into `out` (`size` bytes, the recorded size) with
// libdeflate; the CRC-32 of the output is set on success. A stream that needs more room than
// `size` is TooLong; one that ends short of it is BadData.
RawMemberResult inflateWhole(libdeflate_decompressor* decompressor, const unsigned char* in, std::size_t inSize,
                             unsigned char* out, std::size_t size);

}  // namespace arc::zip
