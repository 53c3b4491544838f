// The -lh3- decoder: tables per block into the canonical decoders the -lh5- decoder uses.
#include "lzh/lh3_decoder.h"

#include <cstring>
#include <memory>

#include "lzh/bit_reader.h"
#include "lzh/huffman_decoder.h"
#include "lzh/output_window.h"

namespace lzh {
namespace {

constexpr int kSymbols = 286;  // 256 literals, lengths 3..31, and the escape
constexpr int kEscape = kSymbols - 1;
constexpr int kPositions = 128;  // 8 KiB window / 64
constexpr std::uint32_t kWindow = 8192;

// The fixed position code: how many of the 128 values have each length, in value order.
constexpr int kFixedPositionCounts[10] = {0, 0, 1, 0, 2, 3, 7, 18, 47, 50};

class Lh3Decoder {
public:
    Lh3Decoder(ByteSource& source, ByteSink& sink) : bits_(source), out_(sink)
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
        std::uint32_t blockLeft = 0;
        while (remaining > 0) {
            if (blockLeft == 0) {
                if (bits_.overran())
                    return LzhStatus::Truncated;
                blockLeft = bits_.get(16);
                if (blockLeft == 0)
                    blockLeft = 65536;
                if (!readCodes() || !readPositions())
                    return LzhStatus::BadCodeTable;
            }
            --blockLeft;
            int c = codes_.decode(bits_);
            if (c == kEscape)
                c += static_cast<int>(bits_.get(8));
            if (c < 256) {
                out_.put(static_cast<std::uint8_t>(c));
                --remaining;
            } else {
                std::uint32_t length = static_cast<std::uint32_t>(c - 253);
                const std::uint32_t top = static_cast<std::uint32_t>(positions_.decode(bits_));
                const std::uint32_t back = ((top << 6) | bits_.get(6)) + 1;
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

    // Three leading lengths of 1 (an impossible code otherwise) announce a single symbol.
    static bool singleMark(const std::uint8_t* lengths)
    {
        return lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1;
    }

    bool readCodes()
    {
        std::uint8_t lengths[kSymbols] = {};
        for (int i = 0; i < kSymbols; ++i) {
            lengths[i] = bits_.get(1) != 0 ? static_cast<std::uint8_t>(bits_.get(4) + 1) : 0;
            if (i == 2 && singleMark(lengths)) {
                const int symbol = static_cast<int>(bits_.get(9));
                if (symbol >= kSymbols)
                    return false;
                codes_.buildSingle(symbol);
                return true;
            }
        }
        return codes_.build(lengths, kSymbols);
    }

    bool readPositions()
    {
        std::uint8_t lengths[kPositions] = {};
        if (bits_.get(1) == 0) {
            int value = 0;
            for (int length = 0; length < 10; ++length)
                for (int k = 0; k < kFixedPositionCounts[length]; ++k)
                    lengths[value++] = static_cast<std::uint8_t>(length);
            return positions_.build(lengths, kPositions);
        }
        for (int i = 0; i < kPositions; ++i) {
            lengths[i] = static_cast<std::uint8_t>(bits_.get(4));
            if (i == 2 && singleMark(lengths)) {
                positions_.buildSingle(static_cast<int>(bits_.get(7)));
                return true;
            }
        }
        return positions_.build(lengths, kPositions);
    }

    BitReader bits_;
    OutputWindow out_;
    HuffmanDecoder codes_{12};
    HuffmanDecoder positions_{8};
};

}  // namespace

LzhStatus decodeLh3(ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc)
{
    crc = 0;
    auto decoder = std::make_unique<Lh3Decoder>(source, sink);
    return decoder->run(originalSize, crc);
}

}  // namespace lzh
