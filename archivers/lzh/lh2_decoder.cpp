// The -lh2- decoder. Both trees live in one node array, kept in order of falling count from
// each root (the literal tree's root is node 0, the position tree's kPosRoot); runs of nodes of
// equal count form blocks whose leader (lowest index) is where a node goes before its count
// rises, which keeps the order without searching. An inner node's children are child and
// child - 1; a negative child is a leaf, ~symbol (positions are symbols kChars + value).
// Encoder and decoder must step these trees identically, so every detail is format.
#include "lzh/lh2_decoder.h"

#include <cstring>
#include <memory>

#include "lzh/bit_reader.h"
#include "lzh/output_window.h"

namespace lzh {
namespace {

constexpr int kCodes = 286;  // literal/length symbols in use
constexpr int kEscape = kCodes - 1;
constexpr int kChars = 314;  // symbol numbering shared with -lh1-: positions start here
constexpr int kTreeC = 2 * kChars;
constexpr int kTree = kTreeC + 2 * 128;
constexpr int kCharRoot = 0;
constexpr int kPosRoot = kTreeC;
constexpr unsigned kRebuildAt = 0x8000;
constexpr std::uint32_t kWindow = 8192;
constexpr std::uint64_t kGroupBytes = 64;

class DynamicTrees {
public:
    DynamicTrees()
    {
        for (int i = 0; i < kTree + 2; ++i)
            stock_[i] = i;
        // Literal tree: leaves at the bottom, counted once, in one block; inner nodes pair them.
        int j = kCodes * 2 - 2;
        for (int i = 0; i < kCodes; ++i, --j) {
            freq_[j] = 1;
            child_[j] = ~i;
            leaf_[i] = j;
            block_[j] = 1;
        }
        avail_ = 2;
        edge_[1] = kCodes - 1;
        for (int i = kCodes * 2 - 2; j >= 0; i -= 2, --j) {
            const unsigned f = freq_[j] = freq_[i] + freq_[i - 1];
            child_[j] = i;
            parent_[i] = parent_[i - 1] = j;
            if (f == freq_[j + 1]) {
                edge_[block_[j] = block_[j + 1]] = j;
            } else {
                edge_[block_[j] = stock_[avail_++]] = j;
            }
        }
        // Position tree: value 0 alone.
        freq_[kPosRoot] = 1;
        child_[kPosRoot] = ~kChars;
        leaf_[kChars] = kPosRoot;
        edge_[block_[kPosRoot] = stock_[avail_++]] = kPosRoot;
        lastPos_ = kPosRoot;
    }

    template <typename Bit> int decodeChar(Bit nextBit)
    {
        int c = child_[kCharRoot];
        do
            c = child_[c - nextBit()];
        while (c > 0);
        c = ~c;
        updateChar(c);
        return c;
    }

    // `decoded`: bytes decoded before this position; gives the values that became reachable.
    template <typename Bit> int decodePosition(std::uint64_t decoded, Bit nextBit)
    {
        while (decoded > nextGroup_) {
            addPosition(static_cast<int>(nextGroup_ / kGroupBytes));
            nextGroup_ += kGroupBytes;
            if (nextGroup_ >= kWindow)
                nextGroup_ = UINT64_MAX;
        }
        int c = child_[kPosRoot];
        while (c > 0)
            c = child_[c - nextBit()];
        c = ~c - kChars;
        updatePosition(c);
        return c;
    }

private:
    // Counts one more at node p: it first trades places with its block's leader, then leaves
    // the block for a new one or the one above. Returns the parent to go on with.
    int step(int p)
    {
        const int b = block_[p];
        const int q = edge_[b];
        if (q != p) {
            const int r = child_[p], s = child_[q];
            child_[p] = s;
            child_[q] = r;
            if (r >= 0)
                parent_[r] = parent_[r - 1] = q;
            else
                leaf_[~r] = q;
            if (s >= 0)
                parent_[s] = parent_[s - 1] = p;
            else
                leaf_[~s] = p;
            p = q;
            leaveBlock(p, b);
        } else if (b == block_[p + 1]) {
            leaveBlock(p, b);
        } else if (++freq_[p] == freq_[p - 1]) {
            stock_[--avail_] = b;  // p was its block's only node: the block goes
            block_[p] = block_[p - 1];
        }
        return parent_[p];
    }

    void leaveBlock(int p, int b)
    {
        edge_[b]++;
        if (++freq_[p] == freq_[p - 1]) {
            block_[p] = block_[p - 1];
        } else {
            edge_[block_[p] = stock_[avail_++]] = p;
        }
    }

    void updateChar(int symbol)
    {
        if (freq_[kCharRoot] == kRebuildAt)
            rebuild(kCharRoot, kCodes * 2 - 1);
        freq_[kCharRoot]++;
        for (int q = leaf_[symbol]; q != kCharRoot;)
            q = step(q);
    }

    void updatePosition(int value)
    {
        if (posTotal_ == kRebuildAt) {
            rebuild(kPosRoot, lastPos_ + 1);
            posTotal_ = freq_[kPosRoot];
            freq_[kPosRoot] = 0xFFFF;
        }
        for (int q = leaf_[value + kChars]; q != kPosRoot;)
            q = step(q);
        if (lastPos_ == kPosRoot)
            freq_[kPosRoot]++;  // the root is value 0's leaf: it counts too
        posTotal_++;
    }

    // The last node (a leaf, lowest count) splits into itself and a new leaf of count 0.
    void addPosition(int value)
    {
        const int r = lastPos_ + 1, q = r + 1;
        child_[r] = child_[lastPos_];
        leaf_[~child_[r]] = r;
        child_[q] = ~(value + kChars);
        child_[lastPos_] = q;
        freq_[r] = freq_[lastPos_];
        freq_[q] = 0;
        block_[r] = block_[lastPos_];
        if (lastPos_ == kPosRoot) {
            freq_[kPosRoot] = 0xFFFF;  // the root's count is kept in posTotal_ from now on
            edge_[block_[kPosRoot]]++;
            posTotal_--;
        }
        parent_[r] = parent_[q] = lastPos_;
        lastPos_ = q;
        leaf_[value + kChars] = q;
        edge_[block_[q] = stock_[avail_++]] = q;
        updatePosition(value);
    }

    // Halves the counts of the leaves of nodes [start, end) and rebuilds that tree and its blocks.
    void rebuild(int start, int end)
    {
        int j = start;
        for (int i = start; i < end; ++i) {
            if (child_[i] < 0) {
                freq_[j] = (freq_[i] + 1) / 2;
                child_[j] = child_[i];
                ++j;
            }
            const int b = block_[i];
            if (edge_[b] == i)
                stock_[--avail_] = b;
        }
        --j;
        int i = end - 1;
        for (int l = end - 2; i >= start; l -= 2) {
            while (i >= l) {
                freq_[i] = freq_[j];
                child_[i] = child_[j];
                --i, --j;
            }
            const unsigned f = freq_[l] + freq_[l + 1];
            int k = start;
            while (f < freq_[k])
                ++k;
            while (j >= k) {
                freq_[i] = freq_[j];
                child_[i] = child_[j];
                --i, --j;
            }
            freq_[i] = f;
            child_[i] = l + 1;
            --i;
        }
        unsigned f = 0;
        int b = 0;
        for (i = start; i < end; ++i) {
            const int c = child_[i];
            if (c < 0)
                leaf_[~c] = i;
            else
                parent_[c] = parent_[c - 1] = i;
            if (freq_[i] == f) {
                block_[i] = b;
            } else {
                edge_[b = block_[i] = stock_[avail_++]] = i;
                f = freq_[i];
            }
        }
    }

    unsigned freq_[kTree + 2] = {};
    int child_[kTree + 2] = {};
    int parent_[kTree + 2] = {};
    int block_[kTree + 2] = {};
    int edge_[kTree + 2] = {};
    int stock_[kTree + 2] = {};
    int leaf_[kChars + 128] = {};
    int avail_ = 0;
    int lastPos_ = 0;
    unsigned posTotal_ = 1;
    std::uint64_t nextGroup_ = kGroupBytes;
};

class Lh2Decoder {
public:
    Lh2Decoder(ByteSource& source, ByteSink& sink) : bits_(source), out_(sink)
    {
        std::memset(out_.history(kWindow), 0x20, kWindow);
    }

    LzhStatus run(std::uint64_t originalSize, std::uint16_t& crc)
    {
        return decodeStream(
            bits_, out_, [&] { return decodeAll(originalSize); }, crc);
    }

private:
    LzhStatus decodeAll(std::uint64_t originalSize)
    {
        auto nextBit = [this] { return static_cast<int>(bits_.get(1)); };
        std::uint64_t done = 0;
        while (done < originalSize) {
            int c = trees_.decodeChar(nextBit);
            if (c == kEscape)
                c += static_cast<int>(bits_.get(8));
            if (c < 256) {
                out_.put(static_cast<std::uint8_t>(c));
                ++done;
            } else {
                std::uint32_t length = static_cast<std::uint32_t>(c - 253);
                const std::uint32_t top = static_cast<std::uint32_t>(trees_.decodePosition(done, nextBit));
                const std::uint32_t back = ((top << 6) | bits_.get(6)) + 1;
                if (length > originalSize - done)
                    length = static_cast<std::uint32_t>(originalSize - done);
                out_.copy(back, length);
                done += length;
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

    BitReader bits_;
    OutputWindow out_;
    DynamicTrees trees_;
};

}  // namespace

LzhStatus decodeLh2(ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc)
{
    crc = 0;
    auto decoder = std::make_unique<Lh2Decoder>(source, sink);
    return decoder->run(originalSize, crc);
}

}  // namespace lzh
