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
// Chains: head_[hash of 3 bytes] is the newest position with that hash, prev_[p % window]
// the next older one. A candidate is used only while it is strictly older than the one before
// it and less than a window back, which also discards ring slots reused by newer positions.
class LzssMatcher {
public:
    struct Settings {
        int maxChain = 48;   // candidates examined per search
        int niceLength = 128;  // stop searching at a match this long
    };

    LzssMatcher(int windowBits, Settings settings);

    // Copies as much of the input as fits and returns how much that was.
    std::size_t append(const std::uint8_t* data, std::size_t size);

    // Adds position p to the chains (needs 3 bytes at p).
    void insert(int p)
    {
        std::uint32_t h = hashAt(p);
        prev_[p & windowMask_] = head_[h];
        head_[h] = p;
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
    static constexpr int kHashBits = 16;
    static constexpr int kSlideStep = 256 * 1024;
    static constexpr int kNil = -(1 << 30);

    std::uint32_t hashAt(int p) const
    {
        const std::uint8_t* b = buffer_.get() + p;
        std::uint32_t v = (std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | b[2];
        return (v * 2654435761u) >> (32 - kHashBits);
    }

    Settings settings_;
    int windowMask_;
    int capacity_;
    int end_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::unique_ptr<std::int32_t[]> head_;
    std::unique_ptr<std::int32_t[]> prev_;
};

}  // namespace lzh
