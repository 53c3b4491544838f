// Decodes -lh2- (an LHarc 2 test method, still written by LHa for UNIX and jlha): an 8 KiB
// window, adaptive Huffman codes for literals/lengths and for positions alike.
#pragma once

#include <cstdint>

#include "lzh/byte_io.h"

namespace lzh {

// Literal/length symbols 0..285 share one adaptive tree (285 takes 8 more bits: lengths up to
// 287). Positions: a second adaptive tree over the upper 7 bits, plus 6 plain bits; it starts
// with value 0 alone and gains value k once more than 64 * k bytes have been decoded, so that
// only reachable distances ever have codes. While value 0 is alone its uses are counted, and
// its leaf keeps that count when the tree first splits (as jlha writes and reads the method).
// The contract is decodeMember's.
LzhStatus decodeLh2(ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc);

}  // namespace lzh
