// Decodes -lh3- (an LHarc 2 test method, still written by LHa for UNIX and jlha): an 8 KiB
// window and static Huffman codes sent per block, in a simpler table form than -lh5-'s.
#pragma once

#include <cstdint>

#include "lzh/byte_io.h"

namespace lzh {

// Block: 16 bits of symbol count (0 meaning 65536); the 286 literal/length code lengths, each
// a 0 bit (unused) or a 1 bit and 4 bits of length - 1; a 1 bit and 128 position code lengths
// of 4 bits each, or a 0 bit for the fixed position code. Three leading lengths of 1 mark a
// table of one symbol, whose value follows (9 bits, or 7 for positions). Symbol 285 takes 8
// more bits (lengths up to 287); a match's position is its code's value times 64 plus 6 bits.
// The contract is decodeMember's.
LzhStatus decodeLh3(ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc);

}  // namespace lzh
