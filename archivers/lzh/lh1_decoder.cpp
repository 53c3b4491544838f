// The -lh1- decoder. The symbol's code is walked bit by bit down the adaptive tree, taking the
// bits from one 32-bit peek; the tree changes after every symbol, so no look-up table can
// stand in for the walk.
#include "lzh/lh1_decoder.h"

#include <cstring>
#include <memory>

#include "lzh/adaptive_huffman.h"
#include "lzh/bit_reader.h"
#include "lzh/output_window.h"

namespace lzh {
namespace {

constexpr std::uint32_t kWindow = 4096;
constexpr int kFirstLengthSymbol = 256;
constexpr std::uint32_t kMinMatchLh1 = 3;
constexpr unsigned kLowBits = 6;

// How many of the 64 upper-bit values have each code length (3..8): a complete code.
constexpr int kLengthCounts[9] = {0, 0, 0, 1, 3, 8, 12, 24, 16};

constexpr Lh1PositionCode makePositionCode()
{
    Lh1PositionCode pc{};
    unsigned code = 0;  // canonical, in units of 1/256
    int value = 0;
    for (int length = 3; length <= 8; ++length) {
        for (int k = 0; k < kLengthCounts[length]; ++k, ++value) {
            pc.length[value] = static_cast<std::uint8_t>(length);
            pc.code[value] = static_cast<std::uint8_t>(code);
            code += 1u << (8 - length);
        }
    }
    return pc;
}

constexpr Lh1PositionCode kPositionCode = makePositionCode();

// The next 8 bits name the upper value and its code length at once.
struct PositionTable {
    std::uint8_t value[256];
    std::uint8_t length[256];
};

constexpr PositionTable makePositionTable()
{
    PositionTable t{};
    for (int v = 0; v < 64; ++v) {
        const unsigned span = 1u << (8 - kPositionCode.length[v]);
        for (unsigned i = 0; i < span; ++i) {
            t.value[kPositionCode.code[v] + i] = static_cast<std::uint8_t>(v);
            t.length[kPositionCode.code[v] + i] = kPositionCode.length[v];
        }
    }
    return t;
}

constexpr PositionTable kPositionTable = makePositionTable();

class Lh1Decoder {
public:
    Lh1Decoder(ByteSource& source, ByteSink& sink) : bits_(source), out_(sink)
    {
        std::memset(out_.history(kWindow), 0x20, kWindow);
    }

    LzhStatus run(std::uint64_t remaining, std::uint16_t& crc)
    {
        return decodeStream(
            bits_, out_, [&] { return decodeAll(remaining); }, crc);
    }

private:
    LzhStatus decodeAll(std::uint64_t remaining)
    {
        while (remaining > 0) {
            const int c = decodeSymbol();
            tree_.update(c);
            if (c < kFirstLengthSymbol) {
                out_.put(static_cast<std::uint8_t>(c));
                --remaining;
            } else {
                std::uint32_t length = static_cast<std::uint32_t>(c - kFirstLengthSymbol) + kMinMatchLh1;
                const std::uint32_t v = bits_.peek(8 + kLowBits);
                const unsigned top = v >> kLowBits;
                const unsigned codeLength = kPositionTable.length[top];
                const std::uint32_t low = (v >> (8 - codeLength)) & ((1u << kLowBits) - 1);
                bits_.skip(codeLength + kLowBits);
                const std::uint32_t back = ((std::uint32_t{kPositionTable.value[top]} << kLowBits) | low) + 1;
                if (length > remaining)
                    length = static_cast<std::uint32_t>(remaining);
                out_.copy(back, length);
                remaining -= length;
            }
            if (out_.flushDue()) {
                if (bits_.overran())
                    return LzhStatus::Truncated;
                LzhStatus st = out_.flush();
                if (st != LzhStatus::Ok)
                    return st;
            }
        }
        return LzhStatus::Ok;
    }

    int decodeSymbol()
    {
        unsigned node = tree_.child(AdaptiveHuffman::kRoot);
        std::uint32_t word = bits_.peek(32);
        unsigned used = 0;
        while (node < static_cast<unsigned>(AdaptiveHuffman::kNodes)) {
            node = tree_.child(node + (word >> 31));
            word <<= 1;
            if (++used == 32) {
                bits_.skip(32);
                word = bits_.peek(32);
                used = 0;
            }
        }
        bits_.skip(used);
        return static_cast<int>(node) - AdaptiveHuffman::kNodes;
    }

    BitReader bits_;
    OutputWindow out_;
    AdaptiveHuffman tree_;
};

}  // namespace

const Lh1PositionCode& lh1PositionCode()
{
    return kPositionCode;
}

LzhStatus decodeLh1(ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc)
{
    crc = 0;
    auto decoder = std::make_unique<Lh1Decoder>(source, sink);
    return decoder->run(originalSize, crc);
}

}  // namespace lzh
