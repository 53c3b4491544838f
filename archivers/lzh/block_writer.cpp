// Block writer: frequencies, length-limited codes, and the three tables in the stream's layout.
//
// Table layouts (all counts are "number of lengths that follow"; a count of 0 announces the
// one-symbol form, where the next field is the only symbol and its code has no bits):
//   T (codes the C lengths): 5-bit count; each length in 3 bits, or for 7..16 "111" followed
//     by length-7 ones and a zero; after the third length a 2-bit count of zero lengths that
//     are skipped.
//   C (literals and lengths): 9-bit count; each length through T: 0 = one zero, 1 + 4 bits =
//     3..18 zeros, 2 + 9 bits = 20..531 zeros, k >= 3 = length k - 2.
//   P (position slots): PBIT-bit count; lengths as in T, without the zero-run field.
// Every code written is complete (Kraft sum exactly one), which decoders require.
#include "lzh/block_writer.h"

#include <algorithm>
#include <cstring>

#include "lzh/huffman_builder.h"

namespace lzh {
namespace {

void writeLengthValue(BitWriter& bits, int length)
{
    if (length <= 6)
        bits.put(3, static_cast<std::uint32_t>(length));
    else
        bits.put(static_cast<unsigned>(length - 3), (1u << (length - 3)) - 2);
}

int usedCount(const std::uint8_t* lengths, int n)
{
    while (n > 0 && lengths[n - 1] == 0)
        --n;
    return n;
}

int singleSymbol(const std::uint32_t* freq, int n, int& used)
{
    int symbol = 0;
    used = 0;
    for (int s = 0; s < n; ++s)
        if (freq[s] != 0) {
            symbol = s;
            ++used;
        }
    return symbol;
}

// Writes a T or P table and leaves the code lengths/codes to use in lengths/codes.
void writeSmallTable(BitWriter& bits, const std::uint32_t* freq, int n, int countBits, bool zeroRunField,
                     std::uint8_t* lengths, std::uint16_t* codes)
{
    int used = 0;
    int symbol = singleSymbol(freq, n, used);
    if (used <= 1) {
        std::memset(lengths, 0, static_cast<std::size_t>(n));
        bits.put(static_cast<unsigned>(countBits), 0);
        bits.put(static_cast<unsigned>(countBits), static_cast<std::uint32_t>(symbol));
        return;
    }
    buildCodeLengths(freq, n, kMaxCodeBits, lengths);
    buildCanonicalCodes(lengths, n, codes);
    int count = usedCount(lengths, n);
    bits.put(static_cast<unsigned>(countBits), static_cast<std::uint32_t>(count));
    for (int i = 0; i < count;) {
        writeLengthValue(bits, lengths[i++]);
        if (zeroRunField && i == 3) {
            int zeros = 0;
            while (zeros < 3 && i + zeros < count && lengths[i + zeros] == 0)
                ++zeros;
            bits.put(2, static_cast<std::uint32_t>(zeros));
            i += zeros;
        }
    }
}

// How runs of zero C lengths are spelled: T0 is one zero, T1 + 4 bits is 3..18 zeros, T2 + 9 bits
// is 20..531 zeros. Which spelling is cheapest depends on the T code, which depends on the
// spelling, so writeBlock tries a few styles and keeps the cheapest.
struct RunStyle {
    bool useT1;
    bool useT2;
    int minRunForT1;  // shorter runs are spelled with T0s
};

constexpr RunStyle kRunStyles[] = {
    {true, true, 3},  {true, true, 4},  {true, true, 5},  {true, true, 6},   {true, false, 3},
    {true, false, 4}, {true, false, 5}, {false, true, 3}, {false, false, 3},
};

// Turns the C lengths into T symbols (with their extra bits), for counting and for writing.
template <typename Emit>
void forEachCLengthItem(const std::uint8_t* cLengths, int count, const RunStyle& style, Emit emit)
{
    for (int i = 0; i < count;) {
        int length = cLengths[i++];
        if (length != 0) {
            emit(length + 2, 0, 0);
            continue;
        }
        int zeros = 1;
        while (i < count && cLengths[i] == 0) {
            ++i;
            ++zeros;
        }
        while (zeros > 0) {
            if (style.useT2 && zeros >= 20) {
                const int take = std::min(zeros, 531);
                emit(2, 9, take - 20);
                zeros -= take;
            } else if (style.useT1 && zeros >= std::max(3, style.minRunForT1)) {
                const int take = std::min(zeros, 18);
                emit(1, 4, take - 3);
                zeros -= take;
            } else {
                emit(0, 0, 0);
                --zeros;
            }
        }
    }
}

// Bits of a T or P table as writeSmallTable writes it (several symbols in use).
int smallTableBits(const std::uint8_t* lengths, int n, int countBits, bool zeroRunField)
{
    const int count = usedCount(lengths, n);
    int bits = countBits;
    for (int i = 0; i < count;) {
        const int length = lengths[i++];
        bits += length <= 6 ? 3 : length - 3;
        if (zeroRunField && i == 3) {
            int zeros = 0;
            while (zeros < 3 && i + zeros < count && lengths[i + zeros] == 0)
                ++zeros;
            bits += 2;
            i += zeros;
        }
    }
    return bits;
}

// Bits the T table and the C lengths take when spelled in `style`.
long cTableBits(const std::uint8_t* cLengths, int cCount, const RunStyle& style)
{
    std::uint32_t tFreq[kNT] = {};
    long extraBits = 0;
    forEachCLengthItem(cLengths, cCount, style, [&](int t, int bits, int) {
        tFreq[t]++;
        extraBits += bits;
    });
    int used = 0;
    singleSymbol(tFreq, kNT, used);
    if (used <= 1)
        return 2 * kTBit + extraBits;
    std::uint8_t tLengths[kNT];
    buildCodeLengths(tFreq, kNT, kMaxCodeBits, tLengths);
    long bits = smallTableBits(tLengths, kNT, kTBit, true) + extraBits;
    for (int t = 0; t < kNT; ++t)
        bits += static_cast<long>(tFreq[t]) * tLengths[t];
    return bits;
}

}  // namespace

void writeBlock(BitWriter& bits, const MethodParams& params, const std::uint16_t* symbols,
                const std::uint16_t* distances, int count)
{
    std::uint32_t cFreq[kNC] = {};
    std::uint32_t pFreq[kMaxNP] = {};
    for (int i = 0; i < count; ++i) {
        cFreq[symbols[i]]++;
        if (symbols[i] >= 256)
            pFreq[positionSlot(distances[i])]++;
    }

    bits.put(16, static_cast<std::uint32_t>(count));

    std::uint8_t cLengths[kNC] = {};
    std::uint16_t cCodes[kNC] = {};
    std::uint8_t tLengths[kNT] = {};
    std::uint16_t tCodes[kNT] = {};
    int cUsed = 0;
    int cSymbol = singleSymbol(cFreq, kNC, cUsed);
    if (cUsed == 1) {
        bits.put(kTBit, 0);
        bits.put(kTBit, 0);
        bits.put(kCBit, 0);
        bits.put(kCBit, static_cast<std::uint32_t>(cSymbol));
    } else {
        buildCodeLengths(cFreq, kNC, kMaxCodeBits, cLengths);
        buildCanonicalCodes(cLengths, kNC, cCodes);
        int cCount = usedCount(cLengths, kNC);
        const RunStyle* best = &kRunStyles[0];
        long bestBits = cTableBits(cLengths, cCount, *best);
        for (const RunStyle& style : kRunStyles) {
            const long styleBits = cTableBits(cLengths, cCount, style);
            if (styleBits < bestBits) {
                bestBits = styleBits;
                best = &style;
            }
        }
        std::uint32_t tFreq[kNT] = {};
        forEachCLengthItem(cLengths, cCount, *best, [&](int t, int, int) { tFreq[t]++; });
        writeSmallTable(bits, tFreq, kNT, kTBit, true, tLengths, tCodes);
        bits.put(kCBit, static_cast<std::uint32_t>(cCount));
        forEachCLengthItem(cLengths, cCount, *best, [&](int t, int extraBits, int extra) {
            bits.put(tLengths[t], tCodes[t]);
            bits.put(static_cast<unsigned>(extraBits), static_cast<std::uint32_t>(extra));
        });
    }

    std::uint8_t pLengths[kMaxNP] = {};
    std::uint16_t pCodes[kMaxNP] = {};
    writeSmallTable(bits, pFreq, params.np, params.pbit, false, pLengths, pCodes);

    for (int i = 0; i < count; ++i) {
        const unsigned s = symbols[i];
        if (s < 256) {
            bits.put(cLengths[s], cCodes[s]);
            continue;
        }
        // The length code and the position code together fit one 32-bit put.
        const unsigned d = distances[i];
        const int slot = positionSlot(d);
        bits.put(cLengths[s] + pLengths[slot],
                 (static_cast<std::uint32_t>(cCodes[s]) << pLengths[slot]) | pCodes[slot]);
        if (slot > 1)
            bits.put(static_cast<unsigned>(slot - 1), d - (1u << (slot - 1)));
    }
}

}  // namespace lzh
