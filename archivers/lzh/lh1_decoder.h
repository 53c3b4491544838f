// Decodes -lh1- (LHarc 1.x): a 4 KiB window, literals and match lengths 3..60 in an adaptive
// Huffman code, match positions as a fixed code for their upper 6 bits plus 6 plain bits.
#pragma once

#include <cstdint>

#include "lzh/byte_io.h"

namespace lzh {

// The contract of decodeMember: exactly `originalSize` bytes to `sink`, their CRC-16 in `crc`,
// Truncated when the stream ends early; fixed memory whatever the sizes claim.
LzhStatus decodeLh1(ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc);

// The fixed code of a position's upper 6 bits: code lengths 3..8, assigned in order of the
// value (canonically), so value 0 has the 3-bit code 000.
struct Lh1PositionCode {
    std::uint8_t length[64];
    std::uint8_t code[64];  // left-aligned in 8 bits
};
const Lh1PositionCode& lh1PositionCode();

}  // namespace lzh
