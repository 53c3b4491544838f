// Builds decoding tables for canonical codes and decodes codes longer than the table.
#include "lzh/huffman_decoder.h"

#include <algorithm>

namespace lzh {

HuffmanDecoder::HuffmanDecoder(int tableBits) : tableBits_(tableBits), table_(std::size_t{1} << tableBits) {}

void HuffmanDecoder::buildSingle(int symbol)
{
    std::fill(table_.begin(), table_.end(), static_cast<std::uint32_t>(symbol) << 8);
}

bool HuffmanDecoder::build(const std::uint8_t* lengths, int symbolCount)
{
    std::fill(std::begin(count_), std::end(count_), 0u);
    for (int s = 0; s < symbolCount; ++s) {
        if (lengths[s] > 16)
            return false;
        count_[lengths[s]]++;
    }
    count_[0] = 0;
    std::uint32_t kraft = 0;
    for (int len = 1; len <= 16; ++len)
        kraft += count_[len] << (16 - len);
    if (kraft != (1u << 16))
        return false;

    std::uint32_t code = 0;
    std::uint32_t index = 0;
    for (int len = 1; len <= 16; ++len) {
        firstCode_[len] = code;
        firstIndex_[len] = index;
        code = (code + count_[len]) << 1;
        index += count_[len];
    }
    sorted_.assign(index, 0);
    std::uint32_t next[17];
    std::copy(std::begin(firstIndex_), std::end(firstIndex_), next);
    for (int s = 0; s < symbolCount; ++s)
        if (lengths[s] != 0)
            sorted_[next[lengths[s]]++] = static_cast<std::uint16_t>(s);

    // Primary table: each code of at most tableBits bits fills the entries it prefixes; the
    // remaining entries (prefixes of longer codes) send the decoder to the slow path.
    std::fill(table_.begin(), table_.end(), kLong);
    std::uint32_t i = 0;
    for (int len = 1; len <= tableBits_; ++len) {
        for (std::uint32_t k = 0; k < count_[len]; ++k, ++i) {
            std::uint32_t c = firstCode_[len] + k;
            std::uint32_t span = 1u << (tableBits_ - len);
            std::uint32_t entry = (static_cast<std::uint32_t>(sorted_[i]) << 8) | static_cast<std::uint32_t>(len);
            std::fill_n(table_.begin() + c * span, span, entry);
        }
    }
    return true;
}

int HuffmanDecoder::decodeLong(BitReader& bits) const
{
    std::uint32_t code = bits.peek(16);
    for (int len = tableBits_ + 1; len <= 16; ++len) {
        std::uint32_t c = code >> (16 - len);
        if (c - firstCode_[len] < count_[len]) {
            bits.skip(static_cast<unsigned>(len));
            return sorted_[firstIndex_[len] + c - firstCode_[len]];
        }
    }
    return 0;  // unreachable for a complete code
}

}  // namespace lzh
