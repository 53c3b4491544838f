// The -lh5-/-lh6-/-lh7- decoder: per block, read the three tables, then decode codes into a
// ring buffer that is flushed to the sink in 64 KiB steps.
//
// The ring holds 128 KiB: the largest window (64 KiB) plus the unflushed output (below
// 64 KiB + one match), so a copy source is never overwritten before it is read. The window
// starts filled with spaces, as the format's reference decoders do, so a distance reaching
// before the first byte reads 0x20 rather than failing.
#include "lzh/lzh_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "lzh/bit_reader.h"
#include "lzh/crc16.h"
#include "lzh/huffman_decoder.h"

namespace lzh {
namespace {

constexpr std::uint32_t kRingSize = 1u << 17;
constexpr std::uint32_t kRingMask = kRingSize - 1;
constexpr std::uint32_t kFlushStep = 1u << 16;

class StreamDecoder {
public:
    StreamDecoder(Method method, ByteSource& source, ByteSink& sink)
        : params_(paramsOf(method)), bits_(source), sink_(sink), ring_(std::make_unique_for_overwrite<std::uint8_t[]>(kRingSize))
    {
        // Only the window below position 0 can be read before it is written.
        const std::size_t window = std::size_t{1} << params_.dictionaryBits;
        std::memset(ring_.get() + kRingSize - window, 0x20, window);
    }

    LzhStatus run(std::uint64_t originalSize, std::uint16_t& crc)
    {
        bits_.start();
        LzhStatus st = decodeAll(originalSize);
        if (st == LzhStatus::Ok) st = flush();
        if (bits_.sourceStatus() != LzhStatus::Ok) return bits_.sourceStatus();
        if (bits_.overran()) return LzhStatus::Truncated;
        crc = crc_;
        return st;
    }

private:
    LzhStatus decodeAll(std::uint64_t remaining)
    {
        while (remaining > 0) {
            if (bits_.overran()) return LzhStatus::Truncated;
            std::uint32_t codes = bits_.get(16);
            if (codes == 0) return LzhStatus::BadBlockSize;
            if (!readTTable() || !readCTable() || !readPTable()) return LzhStatus::BadCodeTable;
            while (codes-- > 0 && remaining > 0) {
                int c = cTable_.decode(bits_);
                if (c < 256) {
                    ring_[written_ & kRingMask] = static_cast<std::uint8_t>(c);
                    ++written_;
                    --remaining;
                } else {
                    std::uint32_t length = static_cast<std::uint32_t>(c - 256 + kMinMatch);
                    int slot = pTable_.decode(bits_);
                    std::uint32_t distance = slot <= 1 ? static_cast<std::uint32_t>(slot)
                                                       : (1u << (slot - 1)) + bits_.get(static_cast<unsigned>(slot - 1));
                    if (length > remaining) length = static_cast<std::uint32_t>(remaining);
                    copyMatch(distance + 1, length);
                    remaining -= length;
                }
                if (written_ - flushed_ >= kFlushStep) {
                    if (bits_.overran()) return LzhStatus::Truncated;
                    LzhStatus st = flush();
                    if (st != LzhStatus::Ok) return st;
                }
            }
        }
        return LzhStatus::Ok;
    }

    void copyMatch(std::uint32_t back, std::uint32_t length)
    {
        std::uint32_t from = static_cast<std::uint32_t>(written_ - back) & kRingMask;
        std::uint32_t to = static_cast<std::uint32_t>(written_) & kRingMask;
        std::uint8_t* ring = ring_.get();
        if (from + length <= kRingSize && to + length <= kRingSize) {
            if (back >= length) {
                std::memcpy(ring + to, ring + from, length);
            } else {
                for (std::uint32_t i = 0; i < length; ++i) ring[to + i] = ring[from + i];
            }
        } else {
            for (std::uint32_t i = 0; i < length; ++i) ring[(to + i) & kRingMask] = ring[(from + i) & kRingMask];
        }
        written_ += length;
    }

    LzhStatus flush()
    {
        while (flushed_ < written_) {
            std::uint32_t at = static_cast<std::uint32_t>(flushed_) & kRingMask;
            std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(written_ - flushed_, kRingSize - at));
            crc_ = crc16Update(crc_, ring_.get() + at, n);
            LzhStatus st = sink_.write(ring_.get() + at, n);
            if (st != LzhStatus::Ok) return st;
            flushed_ += n;
        }
        return LzhStatus::Ok;
    }

    // Lengths of the T and P tables: 3 bits, or 7 and up as "111" plus a unary tail.
    bool readSmallLengths(std::uint8_t* lengths, int count, int zeroRunAfter)
    {
        for (int i = 0; i < count;) {
            unsigned length = bits_.get(3);
            if (length == 7) {
                while (bits_.get(1) == 1) {
                    if (++length > 16) return false;
                }
            }
            lengths[i++] = static_cast<std::uint8_t>(length);
            if (i == zeroRunAfter) {
                int zeros = static_cast<int>(bits_.get(2));
                if (i + zeros > count) return false;
                for (int k = 0; k < zeros; ++k) lengths[i++] = 0;
            }
        }
        return true;
    }

    bool readSmallTable(HuffmanDecoder& table, int symbolCount, int countBits, int zeroRunAfter)
    {
        int count = static_cast<int>(bits_.get(static_cast<unsigned>(countBits)));
        if (count == 0) {
            int symbol = static_cast<int>(bits_.get(static_cast<unsigned>(countBits)));
            if (symbol >= symbolCount) return false;
            table.buildSingle(symbol);
            return true;
        }
        if (count > symbolCount) return false;
        std::uint8_t lengths[kMaxNP > kNT ? kMaxNP : kNT] = {};
        if (!readSmallLengths(lengths, count, zeroRunAfter)) return false;
        return table.build(lengths, symbolCount);
    }

    bool readTTable() { return readSmallTable(tTable_, kNT, kTBit, 3); }
    bool readPTable() { return readSmallTable(pTable_, params_.np, params_.pbit, -1); }

    bool readCTable()
    {
        int count = static_cast<int>(bits_.get(kCBit));
        if (count == 0) {
            int symbol = static_cast<int>(bits_.get(kCBit));
            if (symbol >= kNC) return false;
            cTable_.buildSingle(symbol);
            return true;
        }
        if (count > kNC) return false;
        std::uint8_t lengths[kNC] = {};
        for (int i = 0; i < count;) {
            int t = tTable_.decode(bits_);
            if (t > 2) {
                lengths[i++] = static_cast<std::uint8_t>(t - 2);
                continue;
            }
            int zeros = t == 0 ? 1 : t == 1 ? static_cast<int>(bits_.get(4)) + 3 : static_cast<int>(bits_.get(kCBit)) + 20;
            if (i + zeros > count) return false;
            i += zeros;  // already zero
        }
        return cTable_.build(lengths, kNC);
    }

    MethodParams params_;
    BitReader bits_;
    ByteSink& sink_;
    std::unique_ptr<std::uint8_t[]> ring_;
    std::uint64_t written_ = 0;
    std::uint64_t flushed_ = 0;
    std::uint16_t crc_ = 0;
    HuffmanDecoder tTable_{8};
    HuffmanDecoder cTable_{12};
    HuffmanDecoder pTable_{8};
};

LzhStatus copyStored(ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc)
{
    std::vector<std::uint8_t> buffer(256 * 1024);
    std::uint16_t sum = 0;
    while (originalSize > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(originalSize, buffer.size()));
        std::size_t got = 0;
        LzhStatus st = source.read(buffer.data(), want, got);
        if (st != LzhStatus::Ok) return st;
        if (got == 0) return LzhStatus::Truncated;
        sum = crc16Update(sum, buffer.data(), got);
        st = sink.write(buffer.data(), got);
        if (st != LzhStatus::Ok) return st;
        originalSize -= got;
    }
    crc = sum;
    return LzhStatus::Ok;
}

}  // namespace

LzhStatus decodeMember(Method method, ByteSource& source, std::uint64_t originalSize, ByteSink& sink,
                       std::uint16_t& crc)
{
    crc = 0;
    switch (method) {
    case Method::Lhd: return LzhStatus::Ok;
    case Method::Lh0: return copyStored(source, originalSize, sink, crc);
    default: break;
    }
    auto decoder = std::make_unique<StreamDecoder>(method, source, sink);
    return decoder->run(originalSize, crc);
}

}  // namespace lzh
