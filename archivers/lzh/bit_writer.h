// Appends bits most-significant first to a byte vector, as the LZH stream orders them.
#pragma once

#include <cstdint>
#include <vector>

namespace lzh {

// Bits gather in a 64-bit accumulator, oldest at the top; whole bytes leave it as soon as eight
// are complete, so at most seven bits wait between calls. flush() pads the last byte with zeros.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    // Writes the low `count` bits of `value` (count <= 32).
    void put(unsigned count, std::uint32_t value)
    {
        if (count == 0) return;
        acc_ = (acc_ << count) | (value & ((std::uint64_t{1} << count) - 1));
        pending_ += count;
        while (pending_ >= 8) {
            pending_ -= 8;
            out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
        }
    }

    void flush()
    {
        if (pending_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
        pending_ = 0;
        acc_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    unsigned pending_ = 0;
};

}  // namespace lzh
