// Writes one block of the -lh5-/-lh6-/-lh7- stream: the code count, the three tables, the codes.
#pragma once

#include <bit>
#include <cstdint>

#include "lzh/bit_writer.h"
#include "lzh/lzh_method.h"

namespace lzh {

// `symbols[i]` is a literal (0..255) or a match length code (256 + length - 3); for a match,
// `distances[i]` is the distance minus one (the copy source is distances[i] + 1 bytes back).
// 1 <= count <= 65535.
void writeBlock(BitWriter& bits, const MethodParams& params, const std::uint16_t* symbols,
                const std::uint16_t* distances, int count);

// The position slot of a distance value: 0 and 1 stand for themselves, slot p >= 2 covers
// [2^(p-1), 2^p) with p - 1 extra bits.
inline int positionSlot(unsigned distance)
{
    return static_cast<int>(std::bit_width(distance));
}

}  // namespace lzh
