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
    while (n > 0 && lengths[n - 1] == 0) --n;
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
            while (zeros < 3 && i + zeros < count && lengths[i + zeros] == 0) ++zeros;
            bits.put(2, static_cast<std::uint32_t>(zeros));
            i += zeros;
        }
    }
}

// Turns the C lengths into T symbols (with their extra bits), for counting and for writing.
template <typename Emit>
void forEachCLengthItem(const std::uint8_t* cLengths, int count, Emit emit)
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
        if (zeros <= 2) {
            for (int k = 0; k < zeros; ++k) emit(0, 0, 0);
        } else if (zeros <= 18) {
            emit(1, 4, zeros - 3);
        } else if (zeros == 19) {
            emit(0, 0, 0);
            emit(1, 4, 15);
        } else {
            emit(2, 9, zeros - 20);
        }
    }
}

}  // namespace

void writeBlock(BitWriter& bits, const MethodParams& params, const std::uint16_t* symbols,
                const std::uint16_t* distances, int count)
{
    std::uint32_t cFreq[kNC] = {};
    std::uint32_t pFreq[kMaxNP] = {};
    for (int i = 0; i < count; ++i) {
        cFreq[symbols[i]]++;
        if (symbols[i] >= 256) pFreq[positionSlot(distances[i])]++;
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
        std::uint32_t tFreq[kNT] = {};
        forEachCLengthItem(cLengths, cCount, [&](int t, int, int) { tFreq[t]++; });
        writeSmallTable(bits, tFreq, kNT, kTBit, true, tLengths, tCodes);
        bits.put(kCBit, static_cast<std::uint32_t>(cCount));
        forEachCLengthItem(cLengths, cCount, [&](int t, int extraBits, int extra) {
            bits.put(tLengths[t], tCodes[t]);
            bits.put(static_cast<unsigned>(extraBits), static_cast<std::uint32_t>(extra));
        });
    }

    std::uint8_t pLengths[kMaxNP] = {};
    std::uint16_t pCodes[kMaxNP] = {};
    writeSmallTable(bits, pFreq, params.np, params.pbit, false, pLengths, pCodes);

    for (int i = 0; i < count; ++i) {
        unsigned s = symbols[i];
        bits.put(cLengths[s], cCodes[s]);
        if (s >= 256) {
            unsigned d = distances[i];
            int slot = positionSlot(d);
            bits.put(pLengths[slot], pCodes[slot]);
            if (slot > 1) bits.put(static_cast<unsigned>(slot - 1), d - (1u << (slot - 1)));
        }
    }
}

}  // namespace lzh
