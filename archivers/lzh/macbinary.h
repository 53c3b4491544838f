// MacBinary members of the Macintosh LHA writer (OS id 'm'): the data fork is what is extracted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "lzh/byte_io.h"

namespace lzh {

inline constexpr std::size_t kMacBinaryHeaderSize = 128;

// The data fork's size when `header` (128 bytes) is a MacBinary I, II or III header that
// describes a file of `fileSize` bytes (header, data fork and resource fork, each fork padded to
// 128 bytes, the last one perhaps not); false for anything else.
//
// Checks: the zero bytes at 0, 74 and 82, a name of 1 to 63 bytes, forks that fit the file, and
// either the header's CRC-16 (MacBinary II and III) or, without one, a size that is exactly
// the header and the padded forks (MacBinary I).
bool macBinaryDataFork(const std::uint8_t* header, std::uint64_t fileSize, std::uint64_t& dataForkSize);

// Passes a member's decoded bytes on, keeping only the data fork when they start with a valid
// MacBinary header, unchanged otherwise. The bytes held back are counted through `skipped`, so
// progress still reaches the member's size. finish() hands over what is still held when the
// member is shorter than a header.
class MacBinaryDataForkSink final : public ByteSink {
public:
    MacBinaryDataForkSink(ByteSink& next, std::uint64_t memberSize, std::function<void(std::size_t)> skipped)
        : next_(next), memberSize_(memberSize), skipped_(std::move(skipped))
    {
    }
    LzhStatus write(const std::uint8_t* data, std::size_t size) override;
    LzhStatus finish();

private:
    ByteSink& next_;
    std::uint64_t memberSize_;
    std::function<void(std::size_t)> skipped_;
    std::uint8_t header_[kMacBinaryHeaderSize] = {};
    std::size_t held_ = 0;
    bool decided_ = false;
    bool macBinary_ = false;
    std::uint64_t dataLeft_ = 0;  // data-fork bytes still to pass on
};

}  // namespace lzh
