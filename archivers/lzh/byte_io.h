// The small byte source and sink interfaces the codec reads from and writes to.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lzh/lzh_status.h"

namespace lzh {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills up to `capacity` bytes; `got` = 0 means the end of the source.
    virtual LzhStatus read(std::uint8_t* buffer, std::size_t capacity, std::size_t& got) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual LzhStatus write(const std::uint8_t* data, std::size_t size) = 0;
};

// A source over bytes already in memory.
class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
    LzhStatus read(std::uint8_t* buffer, std::size_t capacity, std::size_t& got) override
    {
        got = capacity < left_ ? capacity : left_;
        for (std::size_t i = 0; i < got; ++i)
            buffer[i] = data_[i];
        data_ += got;
        left_ -= got;
        return LzhStatus::Ok;
    }

private:
    const std::uint8_t* data_;
    std::size_t left_;
};

}  // namespace lzh
