// Builds complete, length-limited canonical Huffman codes for the encoder.
#pragma once

#include <cstdint>

namespace lzh {

// Fills lengths[0..symbolCount) with code lengths (0 for symbols of frequency 0) forming a
// complete prefix code no longer than maxBits. At least two symbols must have a nonzero
// frequency (a single symbol is written in the stream's one-symbol form instead), and
// symbolCount must not exceed 2^maxBits.
void buildCodeLengths(const std::uint32_t* freq, int symbolCount, int maxBits, std::uint8_t* lengths);

// Canonical codes for the lengths: shorter codes first, equal lengths in symbol order.
void buildCanonicalCodes(const std::uint8_t* lengths, int symbolCount, std::uint16_t* codes);

}  // namespace lzh
