// The sliding window and hash chains that find earlier occurrences of the upcoming bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lzh {

// The window buffer holds the last `windowSize` bytes already coded plus up to two slide
// steps of new input. Positions are buffer offsets; when the coded position has a whole slide
// step of history beyond the window, the buffer moves down by that step and every stored
// position with it (the step is a multiple of the window, so ring slots keep their meaning).
//
// Chains: head_[hash of 4 bytes] is the newest position with that hash, prev_[p % window]
// the next older one. Hashing four bytes keeps chains free of the many candidates that share
// only three; three-byte matches pay off only close by, so a separate table remembers just
// the newest position of each 3-byte hash and is consulted for short distances. A candidate is used only while it is
// strictly older than the one before it and less than a window back, which also discards ring slots reused by newer
// positions. So only slots written for this input are ever followed, and prev_ needs no clearing.
class LzssMatcher {
public:
    struct Settings {
        int maxChain = 48;               // candidates examined per search
        int niceLength = 128;            // stop searching at a match this long
        unsigned shortMatchReach = 256;  // distance - 1 limit for 3-byte matches
    };

    // `sizeHint` (0 when unknown) sizes the hash table and buffer for small inputs, so that
    // setting up for a 2 KiB file does not cost as much as for a 200 MiB one.
    LzssMatcher(int windowBits, Settings settings, std::uint64_t sizeHint = 0);

    // Copies as much of the input as fits and returns how much that was.
    std::size_t append(const std::uint8_t* data, std::size_t size);

    // Adds position p to the chains (needs 3 bytes at p).
    void insert(int p)
    {
        std::uint32_t h = hash4At(p);
        prev_[p & windowMask_] = head_[h];
        head_[h] = p;
        head3_[hash3At(p)] = p;
    }

    // Inserts p and returns the longest match at p longer than `minLength` within maxChain
    // candidates (0 when none), its distance minus one in `distance`.
    int insertAndFind(int p, int minLength, int chainLimit, unsigned& distance);

    const std::uint8_t* data() const { return buffer_.get(); }
    int end() const { return end_; }
    int windowSize() const { return windowMask_ + 1; }
    const Settings& settings() const { return settings_; }

    // Moves the buffer down when `codedPosition` leaves enough history; returns the shift.
    int slideIfNeeded(int codedPosition);

private:
    static constexpr int kHash3Bits = 12;
    static constexpr int kSlideStep = 256 * 1024;
    static constexpr int kNil = -(1 << 30);

    // Past the end the buffer holds zero padding, so hashing 4 bytes is always defined.
    std::uint32_t hash4At(int p) const
    {
        const std::uint8_t* b = buffer_.get() + p;
        std::uint32_t v = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
        return (v * 2654435761u) >> hashShift_;
    }
    std::uint32_t hash3At(int p) const
    {
        const std::uint8_t* b = buffer_.get() + p;
        std::uint32_t v = (std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | b[2];
        return (v * 2654435761u) >> (32 - kHash3Bits);
    }

    Settings settings_;
    int windowMask_;
    int capacity_;
    int hashShift_;
    std::size_t hashSize_;
    int end_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::unique_ptr<std::int32_t[]> head_;
    std::unique_ptr<std::int32_t[]> head3_;
    std::unique_ptr<std::int32_t[]> prev_;
};

}  // namespace lzh
