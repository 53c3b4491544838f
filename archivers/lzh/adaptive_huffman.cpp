// Starting tree, update and rebuild of the -lh1- adaptive code.
#include "lzh/adaptive_huffman.h"

namespace lzh {

void AdaptiveHuffman::reset()
{
    // Leaves first, each counted once, then inner nodes pairing neighbours from the bottom.
    for (int i = 0; i < kSymbols; ++i) {
        freq_[i] = 1;
        child_[i] = static_cast<std::uint16_t>(kNodes + i);
        parent_[kNodes + i] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
        freq_[j] = freq_[i] + freq_[i + 1];
        child_[j] = static_cast<std::uint16_t>(i);
        parent_[i] = parent_[i + 1] = static_cast<std::uint16_t>(j);
    }
    freq_[kNodes] = 0xFFFF;
    parent_[kRoot] = 0;
}

void AdaptiveHuffman::rebuild()
{
    // Gather the leaves at the bottom with their counts halved (rounding up, so none is 0).
    int j = 0;
    for (int i = 0; i < kNodes; ++i) {
        if (child_[i] >= kNodes) {
            freq_[j] = (freq_[i] + 1) / 2;
            child_[j] = child_[i];
            ++j;
        }
    }
    // Pair neighbours again; each new inner node goes in above the last node not heavier.
    for (int i = 0, n = kSymbols; n < kNodes; i += 2, ++n) {
        const std::uint32_t f = freq_[i] + freq_[i + 1];
        int k = n - 1;
        while (f < freq_[k])
            --k;
        ++k;
        for (int m = n; m > k; --m) {
            freq_[m] = freq_[m - 1];
            child_[m] = child_[m - 1];
        }
        freq_[k] = f;
        child_[k] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0; i < kNodes; ++i) {
        const unsigned k = child_[i];
        if (k >= kNodes) {
            parent_[k] = static_cast<std::uint16_t>(i);
        } else {
            parent_[k] = parent_[k + 1] = static_cast<std::uint16_t>(i);
        }
    }
}

void AdaptiveHuffman::update(int symbol)
{
    if (freq_[kRoot] == kRebuildAt)
        rebuild();
    unsigned c = parent_[kNodes + symbol];
    do {
        const std::uint32_t k = ++freq_[c];
        if (k > freq_[c + 1]) {
            // Swap c with the last node of its old count (l), children and all.
            unsigned l = c + 1;
            while (k > freq_[l + 1])
                ++l;
            freq_[c] = freq_[l];
            freq_[l] = k;

            const unsigned i = child_[c];
            parent_[i] = static_cast<std::uint16_t>(l);
            if (i < kNodes)
                parent_[i + 1] = static_cast<std::uint16_t>(l);

            const unsigned j = child_[l];
            child_[l] = static_cast<std::uint16_t>(i);
            parent_[j] = static_cast<std::uint16_t>(c);
            if (j < kNodes)
                parent_[j + 1] = static_cast<std::uint16_t>(c);
            child_[c] = static_cast<std::uint16_t>(j);

            c = l;
        }
        c = parent_[c];
    } while (c != 0);
}

}  // namespace lzh
