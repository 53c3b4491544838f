// libFuzzer target: the Deflate64 decoder, which reads members libarchive refuses.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "zip/deflate64_inflater.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 0;
    std::uint64_t produced = 0;
    arc::zip::Deflate64Inflater().inflate(
        [&](unsigned char* buffer, std::size_t capacity) {
            const std::size_t piece = std::min(capacity, size - at);
            std::copy_n(data + at, piece, buffer);
            at += piece;
            return piece;
        },
        [&](const unsigned char*, std::size_t piece) {
            produced += piece;
            return produced < (std::uint64_t{16} << 20);
        });
    return 0;
}
