// Result codes of the LZH codec and header layer, and their short names.
#pragma once

#include <string_view>

namespace lzh {

enum class LzhStatus {
    Ok,
    Truncated,          // the stream or header ended before the data it promises
    BadBlockSize,       // a block announces zero codes
    BadCodeTable,       // a code-length table is malformed, incomplete or over-subscribed
    BadHeader,          // a member header's fields are inconsistent
    HeaderChecksum,     // a header's checksum or header CRC does not match
    CrcMismatch,        // the data does not match its stored CRC-16
    UnsupportedMethod,  // a method we do not decode (-lh1- .. -lh4-, -lzs-, ...)
    UnsupportedHeader,  // a header level we do not read
    ReadFailed,
    WriteFailed,
    TooLarge,  // a size beyond what the format or this writer can carry
};

std::string_view lzhStatusName(LzhStatus status);

}  // namespace lzh
