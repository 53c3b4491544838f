// Decodes one member's data (-lh0-, -lh1-, -lh4- .. -lh7-, -lz4-, -lz5-, -lzs-) into a sink.
#pragma once

#include <cstdint>

#include "lzh/byte_io.h"
#include "lzh/lzh_method.h"

namespace lzh {

// Reads compressed bytes from `source` (which should end where the member's data ends) and
// writes exactly `originalSize` bytes to `sink`, leaving their CRC-16 in `crc`. Never reads
// past the end of the source nor writes more than `originalSize`; memory is fixed (about
// 200 KiB) whatever the sizes claim. Fails with Truncated when the data ends early,
// BadBlockSize / BadCodeTable for a malformed stream, and the source's or sink's error.
LzhStatus decodeMember(Method method, ByteSource& source, std::uint64_t originalSize, ByteSink& sink,
                       std::uint16_t& crc);

}  // namespace lzh
