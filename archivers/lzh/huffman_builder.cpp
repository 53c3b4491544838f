// Length-limited Huffman code construction.
//
// The optimal (unlimited) code lengths come from the two-queue method over leaves sorted by
// frequency: internal nodes are created in nondecreasing weight order, so the two lightest
// nodes are always at the heads of the two queues. Lengths beyond the limit are then clamped
// and the Kraft sum repaired on the histogram of lengths: while the code is over-subscribed, a
// code of the longest length below the limit is lengthened by one; while it is incomplete, a
// code at the longest present length is shortened (that length's weight always fits the
// deficit, as the sum and 2^limit are both multiples of it). Finally the lengths are handed
// out again, shortest to the most frequent symbols, so the result is both complete and close
// to optimal.
#include "lzh/huffman_builder.h"

#include <algorithm>
#include <vector>

namespace lzh {

void buildCodeLengths(const std::uint32_t* freq, int symbolCount, int maxBits, std::uint8_t* lengths)
{
    std::vector<int> order;
    for (int s = 0; s < symbolCount; ++s) {
        lengths[s] = 0;
        if (freq[s] != 0)
            order.push_back(s);
    }
    const int leafCount = static_cast<int>(order.size());
    if (leafCount < 2) {
        if (leafCount == 1)
            lengths[order[0]] = 1;
        return;
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return freq[a] < freq[b]; });

    const int nodeCount = 2 * leafCount - 1;
    std::vector<std::uint64_t> weight(nodeCount);
    std::vector<int> parent(nodeCount, -1);
    for (int i = 0; i < leafCount; ++i)
        weight[i] = freq[order[i]];
    int nextLeaf = 0;
    int nextInner = leafCount;
    for (int made = leafCount; made < nodeCount; ++made) {
        int pick[2];
        for (int& p : pick) {
            if (nextLeaf < leafCount && (nextInner >= made || weight[nextLeaf] <= weight[nextInner]))
                p = nextLeaf++;
            else
                p = nextInner++;
        }
        weight[made] = weight[pick[0]] + weight[pick[1]];
        parent[pick[0]] = made;
        parent[pick[1]] = made;
    }
    std::vector<int> depth(nodeCount, 0);
    for (int n = nodeCount - 2; n >= 0; --n)
        depth[n] = depth[parent[n]] + 1;

    std::vector<int> count(maxBits + 1, 0);
    for (int i = 0; i < leafCount; ++i)
        count[std::min(depth[i], maxBits)]++;

    const std::uint64_t full = std::uint64_t{1} << maxBits;
    std::uint64_t kraft = 0;
    for (int len = 1; len <= maxBits; ++len)
        kraft += static_cast<std::uint64_t>(count[len]) << (maxBits - len);
    while (kraft > full) {
        int len = maxBits - 1;
        while (len > 0 && count[len] == 0)
            --len;
        count[len]--;
        count[len + 1]++;
        kraft -= std::uint64_t{1} << (maxBits - len - 1);
    }
    while (kraft < full) {
        int len = maxBits;
        while (len > 1 && count[len] == 0)
            --len;
        count[len]--;
        count[len - 1]++;
        kraft += std::uint64_t{1} << (maxBits - len);
    }

    int leaf = 0;  // least frequent first, so they take the longest codes
    for (int len = maxBits; len >= 1; --len)
        for (int k = 0; k < count[len]; ++k)
            lengths[order[leaf++]] = static_cast<std::uint8_t>(len);
}

void buildCanonicalCodes(const std::uint8_t* lengths, int symbolCount, std::uint16_t* codes)
{
    int count[17] = {};
    for (int s = 0; s < symbolCount; ++s)
        count[lengths[s]]++;
    count[0] = 0;
    unsigned next[18] = {};
    unsigned code = 0;
    for (int len = 1; len <= 16; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (int s = 0; s < symbolCount; ++s)
        if (lengths[s] != 0)
            codes[s] = static_cast<std::uint16_t>(next[lengths[s]]++);
}

}  // namespace lzh
