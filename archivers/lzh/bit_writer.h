// Appends bits most-significant first to a byte vector, as the LZH stream orders them.
#pragma once

#include <cstdint>
#include <vector>

namespace lzh {

// Bits gather in a 64-bit accumulator (only its low `pending_` bits are still to be written);
// whenever 32 are complete they leave as four bytes, so fewer than 32 wait between calls.
// flush() writes what remains, padding the last byte with zeros.
class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    // Writes the low `count` bits of `value` (count <= 32).
    void put(unsigned count, std::uint32_t value)
    {
        if (count == 0)
            return;
        acc_ = (acc_ << count) | (value & ((std::uint64_t{1} << count) - 1));
        pending_ += count;
        if (pending_ >= 32) {
            pending_ -= 32;
            const auto word = static_cast<std::uint32_t>(acc_ >> pending_);
            const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
                                           static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
            out_.insert(out_.end(), bytes, bytes + 4);
        }
    }

    void flush()
    {
        while (pending_ >= 8) {
            pending_ -= 8;
            out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
        }
        if (pending_ > 0)
            out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
        pending_ = 0;
        acc_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    unsigned pending_ = 0;
};

}  // namespace lzh
