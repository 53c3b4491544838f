// A deflate block walker: it follows the bit stream (RFC 1951) block by block and symbol by
// symbol, never writing output, to learn where the last block starts and where the stream ends.
#include "zip/deflate_joiner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace arc::zip {
namespace {

// Bits are taken least-significant first from a 64-bit buffer that refill() tops up to at
// least 56 bits, eight bytes at a time where the stream has them: one refill covers a whole
// literal/length and distance pair (at most 48 bits). Reads past the end yield zeros and are
// caught by `overrun()`.
class BitCursor {
public:
    explicit BitCursor(const std::string& bytes)
        : data_(reinterpret_cast<const std::uint8_t*>(bytes.data())), size_(bytes.size())
    {
    }

    void refill()
    {
        if (next_ + 8 <= size_) {
            std::uint64_t word;
            std::memcpy(&word, data_ + next_, 8);
            buffer_ |= word << count_;
            const unsigned bytes = (63 - count_) >> 3;
            next_ += bytes;
            count_ += bytes * 8;
            return;
        }
        while (count_ <= 56) {
            buffer_ |= static_cast<std::uint64_t>(next_ < size_ ? data_[next_] : 0) << count_;
            ++next_;
            count_ += 8;
        }
    }
    // The next `count` bits (at most 56 after a refill).
    std::uint32_t peek(unsigned count) const
    {
        return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << count) - 1));
    }
    void skip(unsigned count)
    {
        buffer_ >>= count;
        count_ -= count;
    }
    std::uint32_t take(unsigned count)
    {
        if (count_ < count)
            refill();
        const std::uint32_t value = peek(count);
        skip(count);
        return value;
    }
    void alignToByte() { skip(count_ & 7); }
    // Moves `bytes` whole bytes on; the cursor must be at a byte boundary.
    void skipBytes(std::uint64_t bytes)
    {
        const std::uint64_t target = position() / 8 + bytes;
        next_ = static_cast<std::size_t>(std::min<std::uint64_t>(target, size_ + 1));
        buffer_ = 0;
        count_ = 0;
        if (target > size_)
            next_ = size_ + 1;  // past the end: overrun() says so
    }
    bool overrun() const { return position() > static_cast<std::uint64_t>(size_) * 8; }
    std::uint64_t position() const { return static_cast<std::uint64_t>(next_) * 8 - count_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;  // the first byte not yet in the buffer
    std::uint64_t buffer_ = 0;
    unsigned count_ = 0;  // valid bits in the buffer
};

constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// What a code means to a walker that only skips: the bits it spans with its extra bits (low six
// bits), whether a distance follows, whether it ends the block; 0 for a pattern that is no code.
constexpr std::uint8_t kSkipBits = 0x3F;
constexpr std::uint8_t kSkipMatch = 0x40;
constexpr std::uint8_t kSkipEnd = 0x80;

// Canonical Huffman decoding through one table indexed by the next maxLength bits (bit-reversed
// codes, as deflate packs them). An entry holds symbol << 4 | code length; 0 means no code.
class HuffmanTable {
public:
    bool build(const std::uint8_t* lengths, unsigned count)
    {
        std::array<unsigned, 16> perLength{};
        maxLength_ = 0;
        for (unsigned i = 0; i < count; ++i) {
            ++perLength[lengths[i]];
            if (lengths[i] > maxLength_)
                maxLength_ = lengths[i];
        }
        perLength[0] = 0;
        int left = 1;
        for (unsigned length = 1; length < 16; ++length) {
            left = (left << 1) - static_cast<int>(perLength[length]);
            if (left < 0)
                return false;  // over-subscribed
        }
        entries_.assign(std::size_t{1} << maxLength_, 0);
        std::array<unsigned, 16> next{};
        for (unsigned length = 1, code = 0; length < 16; ++length) {
            code = (code + perLength[length - 1]) << 1;
            next[length] = code;
        }
        for (unsigned symbol = 0; symbol < count; ++symbol) {
            const unsigned length = lengths[symbol];
            if (length == 0)
                continue;
            unsigned code = next[length]++, reversed = 0;
            for (unsigned i = 0; i < length; ++i, code >>= 1)
                reversed = (reversed << 1) | (code & 1);
            for (std::size_t i = reversed; i < entries_.size(); i += std::size_t{1} << length)
                entries_[i] = static_cast<std::uint16_t>(symbol << 4 | length);
        }
        return true;
    }

    // The skip table (see kSkipBits) of a literal/length code, or of a distance code.
    void buildSkips(bool literalLength)
    {
        skips_.resize(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const unsigned length = entries_[i] & 15;
            const unsigned symbol = entries_[i] >> 4;
            std::uint8_t skip = 0;
            if (length == 0)
                skip = 0;
            else if (!literalLength)
                skip = symbol < 30 ? static_cast<std::uint8_t>(length + kDistanceExtra[symbol]) : 0;
            else if (symbol < 256)
                skip = static_cast<std::uint8_t>(length);
            else if (symbol == 256)
                skip = static_cast<std::uint8_t>(length | kSkipEnd);
            else if (symbol < 286)
                skip = static_cast<std::uint8_t>((length + kLengthExtra[symbol - 257]) | kSkipMatch);
            skips_[i] = skip;
        }
    }
    std::uint8_t skip(const BitCursor& bits) const { return skips_[bits.peek(maxLength_)]; }

    // Returns the symbol, or -1 for a bit pattern that is no code. The cursor must hold at
    // least 15 bits.
    int decode(BitCursor& bits) const
    {
        const std::uint16_t entry = entries_[bits.peek(maxLength_)];
        if ((entry & 15) == 0)
            return -1;
        bits.skip(entry & 15);
        return entry >> 4;
    }

private:
    std::vector<std::uint16_t> entries_ = std::vector<std::uint16_t>(1, 0);
    std::vector<std::uint8_t> skips_ = std::vector<std::uint8_t>(1, 0);
    unsigned maxLength_ = 0;
};

constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

bool readDynamicTables(BitCursor& bits, HuffmanTable& literals, HuffmanTable& distances)
{
    const unsigned literalCount = bits.take(5) + 257;
    const unsigned distanceCount = bits.take(5) + 1;
    const unsigned codeLengthCount = bits.take(4) + 4;
    std::uint8_t codeLengths[19] = {};
    for (unsigned i = 0; i < codeLengthCount; ++i)
        codeLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(bits.take(3));
    HuffmanTable codeLengthTable;
    if (!codeLengthTable.build(codeLengths, 19))
        return false;
    std::uint8_t lengths[286 + 30] = {};
    for (unsigned i = 0; i < literalCount + distanceCount;) {
        bits.refill();
        const int symbol = codeLengthTable.decode(bits);
        if (symbol < 0 || bits.overrun())
            return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        unsigned repeat = 0;
        std::uint8_t value = 0;
        if (symbol == 16) {
            if (i == 0)
                return false;
            value = lengths[i - 1];
            repeat = 3 + bits.take(2);
        } else if (symbol == 17) {
            repeat = 3 + bits.take(3);
        } else {
            repeat = 11 + bits.take(7);
        }
        if (i + repeat > literalCount + distanceCount)
            return false;
        while (repeat-- > 0)
            lengths[i++] = value;
    }
    if (lengths[256] == 0)
        return false;
    if (!literals.build(lengths, literalCount) || !distances.build(lengths + literalCount, distanceCount))
        return false;
    literals.buildSkips(true);
    distances.buildSkips(false);
    return true;
}

void buildFixedTables(HuffmanTable& literals, HuffmanTable& distances)
{
    std::uint8_t lengths[288];
    for (unsigned i = 0; i < 288; ++i)
        lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    literals.build(lengths, 288);
    literals.buildSkips(true);
    std::uint8_t distanceLengths[30];
    std::memset(distanceLengths, 5, sizeof distanceLengths);
    distances.build(distanceLengths, 30);
    distances.buildSkips(false);
}

// Literals and matches are told apart without a branch: the distance is always looked up and
// skipped only for a match, since which of the two comes next is what a branch would guess
// wrong on most.
bool skipCompressedBlock(BitCursor& bits, const HuffmanTable& literals, const HuffmanTable& distances)
{
    for (;;) {
        bits.refill();
        const std::uint8_t code = literals.skip(bits);
        if (code == 0 || (code & kSkipEnd) != 0) {
            bits.skip(code & kSkipBits);
            return code != 0 && !bits.overrun();
        }
        bits.skip(code & kSkipBits);
        const std::uint8_t distance = distances.skip(bits);
        const bool match = (code & kSkipMatch) != 0;
        if (match && distance == 0)
            return false;
        bits.skip(distance & (match ? kSkipBits : 0));
        if (bits.overrun())
            return false;
    }
}

// Walks to the end of the final block: sets where its header starts and where the stream ends.
bool walkStream(const std::string& stream, std::uint64_t& lastHeaderBit, std::uint64_t& endBit)
{
    BitCursor bits(stream);
    HuffmanTable literals;
    HuffmanTable distances;
    for (;;) {
        const std::uint64_t header = bits.position();
        const bool final = bits.take(1) != 0;
        const unsigned type = bits.take(2);
        if (type == 0) {
            bits.alignToByte();
            const std::uint32_t length = bits.take(16);
            if ((bits.take(16) ^ 0xFFFF) != length)
                return false;
            bits.skipBytes(length);
        } else if (type == 1 || type == 2) {
            if (type == 1)
                buildFixedTables(literals, distances);
            else if (!readDynamicTables(bits, literals, distances))
                return false;
            if (!skipCompressedBlock(bits, literals, distances))
                return false;
        } else {
            return false;
        }
        if (bits.overrun())
            return false;
        if (final) {
            lastHeaderBit = header;
            endBit = bits.position();
            return true;
        }
    }
}

}  // namespace

bool makeDeflateContinuable(std::string& stream)
{
    std::uint64_t lastHeaderBit = 0;
    std::uint64_t endBit = 0;
    if (!walkStream(stream, lastHeaderBit, endBit))
        return false;
    stream.resize(static_cast<std::size_t>((endBit + 7) / 8));
    stream[lastHeaderBit / 8] = static_cast<char>(stream[lastHeaderBit / 8] & ~(1u << (lastHeaderBit % 8)));
    const unsigned usedInLastByte = static_cast<unsigned>(endBit % 8);
    if (usedInLastByte != 0)
        stream.back() = static_cast<char>(stream.back() & ((1u << usedInLastByte) - 1));
    // The empty stored block: 3 header bits (not final, type 00), padding to the byte boundary,
    // then LEN = 0 and NLEN = 0xFFFF. The header fits in the last byte's spare bits when there
    // are at least three of them; otherwise it starts (or spills) into a new zero byte.
    const unsigned spareBits = (8 - usedInLastByte) % 8;
    if (spareBits < 3)
        stream.push_back('\0');
    stream.append("\x00\x00\xFF\xFF", 4);
    return true;
}

}  // namespace arc::zip
