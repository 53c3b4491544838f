// Greedy LZSS over a 4 KiB window with a chain of earlier places per 3-byte hash; codes from
// walking the adaptive tree from a symbol's leaf up to the root.
#include "lh1_test_encoder.h"

#include <algorithm>

#include "lzh/adaptive_huffman.h"
#include "lzh/bit_writer.h"
#include "lzh/lh1_decoder.h"

namespace lzh::testing {
namespace {

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kMaxLength = 60;
constexpr std::size_t kMinLength = 3;

void putSymbol(BitWriter& bits, AdaptiveHuffman& tree, int symbol)
{
    std::vector<unsigned> path;
    for (unsigned node = tree.leafOf(symbol); node != AdaptiveHuffman::kRoot;) {
        const unsigned parent = tree.parent(node);
        path.push_back(node - tree.child(parent));
        node = parent;
    }
    for (auto it = path.rbegin(); it != path.rend(); ++it)
        bits.put(1, *it);
    tree.update(symbol);
}

}  // namespace

std::vector<std::uint8_t> encodeLh1(const std::vector<std::uint8_t>& input)
{
    std::vector<std::uint8_t> out;
    BitWriter bits(out);
    AdaptiveHuffman tree;
    const Lh1PositionCode& positions = lh1PositionCode();
    std::vector<std::int64_t> head(1 << 16, -1), previous(input.size(), -1);
    auto hashAt = [&](std::size_t i) {
        return (input[i] * 2654435761u ^ input[i + 1] * 40503u ^ input[i + 2]) & 0xFFFF;
    };
    std::size_t i = 0;
    auto insert = [&](std::size_t at) {
        if (at + kMinLength > input.size())
            return;
        const unsigned h = hashAt(at);
        previous[at] = head[h];
        head[h] = static_cast<std::int64_t>(at);
    };
    while (i < input.size()) {
        std::size_t bestLength = 0, bestBack = 0;
        if (i + kMinLength <= input.size()) {
            int tries = 64;
            for (std::int64_t at = head[hashAt(i)];
                 at >= 0 && i - static_cast<std::size_t>(at) <= kWindow && tries-- > 0;
                 at = previous[static_cast<std::size_t>(at)]) {
                const std::size_t from = static_cast<std::size_t>(at);
                std::size_t n = 0;
                while (n < kMaxLength && i + n < input.size() && input[from + n] == input[i + n])
                    ++n;
                if (n > bestLength)
                    bestLength = n, bestBack = i - from;
            }
        }
        if (bestLength >= kMinLength) {
            putSymbol(bits, tree, static_cast<int>(256 + bestLength - kMinLength));
            const unsigned position = static_cast<unsigned>(bestBack - 1);
            const unsigned top = position >> 6;
            bits.put(positions.length[top], positions.code[top] >> (8 - positions.length[top]));
            bits.put(6, position & 0x3F);
            for (std::size_t k = 0; k < bestLength; ++k)
                insert(i + k);
            i += bestLength;
        } else {
            putSymbol(bits, tree, input[i]);
            insert(i);
            ++i;
        }
    }
    bits.flush();
    return out;
}

}  // namespace lzh::testing
