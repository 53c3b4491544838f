// Table-driven decoding of the stream's canonical Huffman codes.
#pragma once

#include <cstdint>
#include <vector>

#include "lzh/bit_reader.h"

namespace lzh {

// A primary table indexed by the next `tableBits` bits answers every code of at most that
// length in one look-up; longer codes (rare: at most 16 bits) fall back to a canonical walk
// over the lengths. A one-symbol table answers its symbol without consuming any bits.
class HuffmanDecoder {
public:
    explicit HuffmanDecoder(int tableBits);

    // False unless the lengths (each 0..16) form a complete prefix code, which the stream
    // requires; an incomplete or over-subscribed set is a malformed table.
    bool build(const std::uint8_t* lengths, int symbolCount);
    void buildSingle(int symbol);

    int decode(BitReader& bits) const
    {
        std::uint32_t entry = table_[bits.peek(static_cast<unsigned>(tableBits_))];
        unsigned length = entry & 0xFF;
        if (length != kLong) {
            if (length != 0)
                bits.skip(length);
            return static_cast<int>(entry >> 8);
        }
        return decodeLong(bits);
    }

private:
    static constexpr unsigned kLong = 0xFF;
    int decodeLong(BitReader& bits) const;

    int tableBits_;
    std::vector<std::uint32_t> table_;
    std::vector<std::uint16_t> sorted_;  // symbols by (length, symbol)
    std::uint32_t firstCode_[17] = {};
    std::uint32_t firstIndex_[17] = {};
    std::uint32_t count_[17] = {};
};

}  // namespace lzh
