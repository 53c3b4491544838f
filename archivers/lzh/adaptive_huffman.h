// The adaptive Huffman tree of -lh1- (LHarc 1.x): 314 symbols, 256 literals and the match
// lengths 3..60, whose codes change after every symbol.
#pragma once

#include <cstdint>

namespace lzh {

// Nodes are kept sorted by frequency, lowest first, which is the sibling property: the two
// children of a node are neighbours (child(n) and child(n) + 1, the second taken on a 1 bit)
// and every parent lies above its children, up to the root at kRoot. After a symbol, its
// leaf's and each ancestor's count go up by one; a node whose count now exceeds its right
// neighbour's swaps places with the last node of its old count, so the order holds. When the
// root's count reaches 0x8000, all counts are halved and the tree is rebuilt.
//
// Encoder and decoder must run this identically: every step below is part of the format.
class AdaptiveHuffman {
public:
    static constexpr int kSymbols = 314;
    static constexpr int kNodes = 2 * kSymbols - 1;
    static constexpr int kRoot = kNodes - 1;
    static constexpr unsigned kRebuildAt = 0x8000;

    AdaptiveHuffman() { reset(); }
    void reset();

    // The first child of an inner node; a value >= kNodes is a leaf: symbol = value - kNodes.
    unsigned child(unsigned node) const { return child_[node]; }
    // The node holding a symbol's leaf and a node's parent (for the encoder's walk up).
    unsigned leafOf(int symbol) const { return parent_[kNodes + symbol]; }
    unsigned parent(unsigned node) const { return parent_[node]; }

    // Counts one occurrence of `symbol` (after coding it).
    void update(int symbol);

private:
    void rebuild();

    std::uint32_t freq_[kNodes + 1];           // [kNodes] is a sentinel above every count
    std::uint16_t child_[kNodes];              // first child, or kNodes + symbol for a leaf
    std::uint16_t parent_[kNodes + kSymbols];  // [kNodes + symbol]: the symbol's leaf node
};

}  // namespace lzh
