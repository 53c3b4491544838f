// A small Deflate64 decoder: canonical Huffman codes with a 9-bit lookup table and a
// code-by-code fallback for longer codes, and a 128 KiB circular window that keeps 64 KiB of
// history behind at most 64 KiB of output not yet handed over.
#include "zip/deflate64_inflater.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace arc::zip {
namespace {

constexpr int kMaxBits = 15;
constexpr int kFastBits = 9;
constexpr std::size_t kWindowSize = std::size_t{1} << 17;
constexpr std::size_t kWindowMask = kWindowSize - 1;
constexpr std::size_t kFlushSize = std::size_t{1} << 16;
constexpr std::size_t kInputSize = std::size_t{1} << 16;

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::array<std::uint32_t, 32> kDistanceBase = {
    1,   2,   3,   4,   5,    7,    9,    13,   17,   25,   33,   49,    65,    97,    129,   193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                                         7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// The order in which a dynamic block sends its code-length code lengths.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

// Thrown only inside this file, for ending a decode from deep inside the bit reader; caught
// by inflate(), so nothing crosses the public interface.
struct Stop {
    InflateStatus status;
};

// A canonical Huffman code: symbols sorted by code length, the count of each length, and a
// table indexed by the next kFastBits input bits (LSB first) for the codes that fit in it.
class HuffmanCode {
public:
    // False when the lengths over-subscribe the code space. An incomplete code is accepted (a
    // distance code may have a single symbol); a bit pattern it leaves unused is BadData.
    bool build(const std::uint8_t* lengths, int symbolCount)
    {
        counts_.fill(0);
        for (int s = 0; s < symbolCount; ++s)
            ++counts_[lengths[s]];
        counts_[0] = 0;
        int left = 1;
        for (int len = 1; len <= kMaxBits; ++len) {
            left = (left << 1) - counts_[len];
            if (left < 0)
                return false;
        }
        std::array<std::uint16_t, kMaxBits + 2> offsets{};
        for (int len = 1; len <= kMaxBits; ++len)
            offsets[len + 1] = offsets[len] + counts_[len];
        symbols_.assign(symbolCount, 0);
        for (int s = 0; s < symbolCount; ++s)
            if (lengths[s] != 0)
                symbols_[offsets[lengths[s]]++] = static_cast<std::uint16_t>(s);

        fast_.fill(0);
        int code = 0;
        int index = 0;
        for (int len = 1; len <= kFastBits; ++len) {
            for (int i = 0; i < counts_[len]; ++i, ++code, ++index) {
                int reversed = 0;
                for (int b = 0; b < len; ++b)
                    reversed |= ((code >> b) & 1) << (len - 1 - b);
                for (int fill = reversed; fill < (1 << kFastBits); fill += 1 << len)
                    fast_[fill] = static_cast<std::uint16_t>((symbols_[index] << 4) | len);
            }
            code <<= 1;
        }
        return true;
    }

    // Decodes one symbol from `bits` (at least kMaxBits valid bits, LSB first); sets `used`.
    // -1 when the bits match no code.
    int decode(std::uint32_t bits, int& used) const
    {
        const std::uint16_t entry = fast_[bits & ((1u << kFastBits) - 1)];
        if (entry != 0) {
            used = entry & 0xF;
            return entry >> 4;
        }
        int code = 0;
        int first = 0;
        int index = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            code |= static_cast<int>((bits >> (len - 1)) & 1);
            const int count = counts_[len];
            if (code - first < count) {
                used = len;
                return symbols_[index + (code - first)];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    std::array<std::uint16_t, kMaxBits + 1> counts_{};
    std::vector<std::uint16_t> symbols_;
    std::array<std::uint16_t, 1 << kFastBits> fast_{};
};

class Decoder {
public:
    Decoder(const Deflate64Inflater::Input& input, const Deflate64Inflater::Output& output)
        : input_(input), output_(output), inBuffer_(new unsigned char[kInputSize]),
          window_(new unsigned char[kWindowSize])
    {
    }

    void run()
    {
        bool final = false;
        while (!final) {
            final = bits(1) != 0;
            switch (bits(2)) {
            case 0: storedBlock(); break;
            case 1: fixedBlock(); break;
            case 2: dynamicBlock(); break;
            default: throw Stop{InflateStatus::BadData};
            }
        }
        flush();
    }

private:
    int nextByte()
    {
        if (inPos_ == inSize_) {
            inSize_ = input_(inBuffer_.get(), kInputSize);
            inPos_ = 0;
            if (inSize_ == 0)
                return -1;
        }
        return inBuffer_[inPos_++];
    }

    // Keeps at least `count` bits in the buffer; past the input's end it pads with zeros, and
    // only bits actually consumed beyond the end count as truncation.
    void need(int count)
    {
        while (bitCount_ < count) {
            const int byte = nextByte();
            if (byte < 0) {
                padBits_ += 8;
                bitBuffer_ |= 0;
            } else {
                bitBuffer_ |= static_cast<std::uint64_t>(byte) << bitCount_;
            }
            bitCount_ += 8;
        }
    }
    void drop(int count)
    {
        bitBuffer_ >>= count;
        bitCount_ -= count;
        if (padBits_ > bitCount_)
            throw Stop{InflateStatus::Truncated};
    }
    std::uint32_t bits(int count)
    {
        if (count == 0)
            return 0;
        need(count);
        const auto value = static_cast<std::uint32_t>(bitBuffer_ & ((std::uint64_t{1} << count) - 1));
        drop(count);
        return value;
    }
    int symbol(const HuffmanCode& code)
    {
        need(kMaxBits);
        int used = 0;
        const int s = code.decode(static_cast<std::uint32_t>(bitBuffer_), used);
        if (s < 0)
            throw Stop{InflateStatus::BadData};
        drop(used);
        return s;
    }

    void put(unsigned char byte)
    {
        window_[position_ & kWindowMask] = byte;
        ++position_;
        if (position_ - flushed_ == kFlushSize)
            flush();
    }
    void flush()
    {
        while (flushed_ < position_) {
            const std::size_t start = flushed_ & kWindowMask;
            const std::size_t size =
                static_cast<std::size_t>(std::min<std::uint64_t>(position_ - flushed_, kWindowSize - start));
            if (!output_(window_.get() + start, size))
                throw Stop{InflateStatus::Stopped};
            flushed_ += size;
        }
    }

    void storedBlock()
    {
        drop(bitCount_ % 8);
        const std::uint32_t length = bits(16);
        if ((bits(16) ^ 0xFFFF) != length)
            throw Stop{InflateStatus::BadData};
        for (std::uint32_t i = 0; i < length; ++i) {
            int byte;
            if (bitCount_ >= 8) {
                byte = static_cast<int>(bits(8));
            } else {
                byte = nextByte();
                if (byte < 0)
                    throw Stop{InflateStatus::Truncated};
            }
            put(static_cast<unsigned char>(byte));
        }
    }

    void fixedBlock()
    {
        std::array<std::uint8_t, 320> lengths{};
        for (int s = 0; s < 288; ++s)
            lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        for (int s = 288; s < 320; ++s)
            lengths[s] = 5;
        literals_.build(lengths.data(), 288);
        distances_.build(lengths.data() + 288, 32);
        codes();
    }

    void dynamicBlock()
    {
        const int literalCount = static_cast<int>(bits(5)) + 257;
        const int distanceCount = static_cast<int>(bits(5)) + 1;
        const int lengthCodeCount = static_cast<int>(bits(4)) + 4;
        if (literalCount > 286)
            throw Stop{InflateStatus::BadData};
        std::array<std::uint8_t, 19> codeLengths{};
        for (int i = 0; i < lengthCodeCount; ++i)
            codeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(bits(3));
        HuffmanCode lengthCode;
        if (!lengthCode.build(codeLengths.data(), 19))
            throw Stop{InflateStatus::BadData};
        std::array<std::uint8_t, 286 + 32> lengths{};
        for (int i = 0; i < literalCount + distanceCount;) {
            const int s = symbol(lengthCode);
            if (s < 16) {
                lengths[i++] = static_cast<std::uint8_t>(s);
                continue;
            }
            std::uint8_t value = 0;
            int repeat;
            if (s == 16) {
                if (i == 0)
                    throw Stop{InflateStatus::BadData};
                value = lengths[i - 1];
                repeat = 3 + static_cast<int>(bits(2));
            } else if (s == 17) {
                repeat = 3 + static_cast<int>(bits(3));
            } else {
                repeat = 11 + static_cast<int>(bits(7));
            }
            if (i + repeat > literalCount + distanceCount)
                throw Stop{InflateStatus::BadData};
            while (repeat-- > 0)
                lengths[i++] = value;
        }
        if (lengths[256] == 0)
            throw Stop{InflateStatus::BadData};
        if (!literals_.build(lengths.data(), literalCount))
            throw Stop{InflateStatus::BadData};
        if (!distances_.build(lengths.data() + literalCount, distanceCount))
            throw Stop{InflateStatus::BadData};
        codes();
    }

    void codes()
    {
        for (;;) {
            const int s = symbol(literals_);
            if (s < 256) {
                put(static_cast<unsigned char>(s));
                continue;
            }
            if (s == 256)
                return;
            if (s > 285)
                throw Stop{InflateStatus::BadData};
            const std::uint32_t length = kLengthBase[s - 257] + bits(kLengthExtra[s - 257]);
            const int d = symbol(distances_);
            if (d > 31)
                throw Stop{InflateStatus::BadData};
            const std::uint32_t distance = kDistanceBase[d] + bits(kDistanceExtra[d]);
            if (distance > position_)
                throw Stop{InflateStatus::BadData};
            for (std::uint32_t i = 0; i < length; ++i)
                put(window_[(position_ - distance) & kWindowMask]);
        }
    }

    const Deflate64Inflater::Input& input_;
    const Deflate64Inflater::Output& output_;
    std::unique_ptr<unsigned char[]> inBuffer_;
    std::size_t inSize_ = 0;
    std::size_t inPos_ = 0;
    std::uint64_t bitBuffer_ = 0;
    int bitCount_ = 0;
    int padBits_ = 0;
    std::unique_ptr<unsigned char[]> window_;
    std::uint64_t position_ = 0;  // bytes decoded so far
    std::uint64_t flushed_ = 0;   // bytes handed to the output so far
    HuffmanCode literals_;
    HuffmanCode distances_;
};

}  // namespace

InflateStatus Deflate64Inflater::inflate(const Input& input, const Output& output)
{
    try {
        Decoder decoder(input, output);
        decoder.run();
        return InflateStatus::Ok;
    } catch (const Stop& stop) {
        return stop.status;
    }
}

}  // namespace arc::zip
