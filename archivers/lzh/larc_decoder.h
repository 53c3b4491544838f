// Decodes LArc's LZSS methods -lz5- and -lzs-, which LHA tools still read.
#pragma once

#include <cstdint>

#include "lzh/byte_io.h"
#include "lzh/lzh_method.h"

namespace lzh {

// -lz5-: a 4 KiB window; groups of eight items behind a flag byte (low bit first, 1 = a literal
// byte, 0 = a two-byte match of 12-bit window position and 4-bit length + 3).
// -lzs-: a 2 KiB window; a bit stream (most significant bit first) of items: 1 + 8 bits for a
// literal, 0 + 11-bit window position + 4-bit length + 2 for a match.
// Both name the copy's source by its absolute place in the window; writing starts 18 (-lz5-)
// or 17 (-lzs-) bytes before the window's end. -lzs- starts with a window of spaces, -lz5-
// with LArc's fixed pattern: each byte value 13 times, 0..255, 255..0, 128 zeros, spaces.
// The contract is decodeMember's.
LzhStatus decodeLarc(Method method, ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc);

}  // namespace lzh
