// The decoded output of the dictionary methods: a ring that keeps the window for copies and
// passes the bytes to the sink in 64 KiB steps, summing their CRC-16 on the way.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "lzh/bit_reader.h"
#include "lzh/byte_io.h"
#include "lzh/crc16.h"

namespace lzh {

// The ring holds 128 KiB: the largest window (64 KiB) plus the unflushed output (below
// 64 KiB + one match), so a copy source is never overwritten before it is read. The bytes
// "before the first one" sit at the ring's end, where history() lets a method put the
// window's starting contents.
class OutputWindow {
public:
    static constexpr std::uint32_t kSize = 1u << 17;
    static constexpr std::uint32_t kMask = kSize - 1;
    static constexpr std::uint32_t kFlushStep = 1u << 16;
    static constexpr std::uint32_t kMaxHistory = 1u << 16;

    explicit OutputWindow(ByteSink& sink) : sink_(sink), ring_(std::make_unique_for_overwrite<Byte[]>(kSize)) {}

    // The `count` bytes (at most kMaxHistory) that a copy reaching before the first output reads;
    // the last of them is the byte just before it. Fill them before decoding.
    std::uint8_t* history(std::uint32_t count) { return bytes() + kSize - count; }

    void put(std::uint8_t byte)
    {
        ring_[written_ & kMask] = static_cast<Byte>(byte);
        ++written_;
    }

    // Copies `length` bytes from `back` bytes behind the end (1 <= back <= 64 KiB); the source
    // may overlap what is being written, which repeats it.
    void copy(std::uint32_t back, std::uint32_t length)
    {
        std::uint32_t from = static_cast<std::uint32_t>(written_ - back) & kMask;
        std::uint32_t to = static_cast<std::uint32_t>(written_) & kMask;
        Byte* ring = ring_.get();
        if (from + length <= kSize && to + length <= kSize) {
            if (back >= length) {
                std::memcpy(ring + to, ring + from, length);
            } else {
                for (std::uint32_t i = 0; i < length; ++i)
                    ring[to + i] = ring[from + i];
            }
        } else {
            for (std::uint32_t i = 0; i < length; ++i)
                ring[(to + i) & kMask] = ring[(from + i) & kMask];
        }
        written_ += length;
    }

    bool flushDue() const { return written_ - flushed_ >= kFlushStep; }

    LzhStatus flush()
    {
        while (flushed_ < written_) {
            std::uint32_t at = static_cast<std::uint32_t>(flushed_) & kMask;
            std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(written_ - flushed_, kSize - at));
            crc_ = crc16Update(crc_, bytes() + at, n);
            LzhStatus st = sink_.write(bytes() + at, n);
            if (st != LzhStatus::Ok)
                return st;
            flushed_ += n;
        }
        return LzhStatus::Ok;
    }

    std::uint64_t written() const { return written_; }
    std::uint16_t crc() const { return crc_; }

private:
    ByteSink& sink_;
    // char8_t, unlike the other byte types, may not alias other objects: a byte stored into the
    // ring then does not force the decoder to reload its bit buffer and counters from memory,
    // which is most of the cost of a literal. Read back as bytes (which may alias anything).
    using Byte = char8_t;
    std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(ring_.get()); }
    std::unique_ptr<Byte[]> ring_;
    std::uint64_t written_ = 0;
    std::uint64_t flushed_ = 0;
    std::uint16_t crc_ = 0;
};

// How every dictionary method's stream ends: the decoded rest flushed, then the source's own
// failure first (a read error is not damage), a stream that ran past its data as Truncated,
// and the CRC only when all went well.
template <typename DecodeAll>
LzhStatus decodeStream(BitReader& bits, OutputWindow& out, DecodeAll&& decodeAll, std::uint16_t& crc)
{
    bits.start();
    LzhStatus st = decodeAll();
    if (st == LzhStatus::Ok)
        st = out.flush();
    if (bits.sourceStatus() != LzhStatus::Ok)
        return bits.sourceStatus();
    if (bits.overran())
        return LzhStatus::Truncated;
    crc = out.crc();
    return st;
}

}  // namespace lzh
