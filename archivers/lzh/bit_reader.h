// Reads the LZH bit stream most-significant bit first from a ByteSource.
#pragma once

#include <cstdint>
#include <memory>

#include "lzh/byte_io.h"

namespace lzh {

// A 64-bit accumulator is kept topped up to at least 32 valid bits from a 64 KiB buffer, so
// peek() of up to 32 bits never touches the source. Past the end of the source the reader
// supplies zero bits and counts them: overran() tells the decoder that it consumed bits that
// do not exist, which is how truncation is detected without any end marker in the stream.
class BitReader {
public:
    explicit BitReader(ByteSource& source) : source_(source), buffer_(new std::uint8_t[kBufferSize]) {}

    std::uint32_t peek(unsigned count) const { return static_cast<std::uint32_t>(acc_ >> (64 - count)); }

    void skip(unsigned count)
    {
        acc_ <<= count;
        valid_ -= static_cast<int>(count);
        if (valid_ < 32)
            refill();
    }

    std::uint32_t get(unsigned count)
    {
        if (count == 0)
            return 0;
        std::uint32_t v = peek(count);
        skip(count);
        return v;
    }

    // Call once before the first read.
    void start() { refill(); }

    // True when more bits were consumed than the source held.
    bool overran() const { return zeroBits_ > valid_; }
    LzhStatus sourceStatus() const { return sourceStatus_; }

private:
    static constexpr std::size_t kBufferSize = 65536;

    void refill()
    {
        if (end_ - pos_ >= 8) {
            // Fast path: OR in eight bytes at once and count the whole ones taken. The bits of
            // the first byte not taken land exactly where its later refill puts them again.
            std::uint64_t word = 0;
            for (int i = 0; i < 8; ++i)
                word = (word << 8) | buffer_[pos_ + static_cast<std::size_t>(i)];
            acc_ |= word >> valid_;
            const int taken = (64 - valid_) >> 3;
            pos_ += static_cast<std::size_t>(taken);
            valid_ += 8 * taken;
            return;
        }
        while (valid_ <= 56) {
            if (pos_ == end_ && !fetch()) {
                valid_ += 8;  // zero bits past the end
                zeroBits_ += 8;
                continue;
            }
            acc_ |= static_cast<std::uint64_t>(buffer_[pos_++]) << (56 - valid_);
            valid_ += 8;
        }
    }

    bool fetch()
    {
        if (ended_)
            return false;
        std::size_t got = 0;
        LzhStatus st = source_.read(buffer_.get(), kBufferSize, got);
        if (st != LzhStatus::Ok)
            sourceStatus_ = st;
        if (st != LzhStatus::Ok || got == 0) {
            ended_ = true;
            return false;
        }
        pos_ = 0;
        end_ = got;
        return true;
    }

    ByteSource& source_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t acc_ = 0;
    int valid_ = 0;     // bits in acc_, including the zero bits supplied past the end
    int zeroBits_ = 0;  // zero bits supplied past the end so far; more than valid_ means overrun
    bool ended_ = false;
    LzhStatus sourceStatus_ = LzhStatus::Ok;
};

}  // namespace lzh
