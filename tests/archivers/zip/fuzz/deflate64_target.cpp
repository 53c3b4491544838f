// The Deflate64 fuzz target's body: the decoder over memory, its output counted and capped.
#include <algorithm>

#include "zip/deflate64_inflater.h"
#include "zip_fuzz_targets.h"

namespace arc::zip::fuzz {

void deflate64Target(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 0;
    std::uint64_t produced = 0;
    Deflate64Inflater().inflate(
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
}

}  // namespace arc::zip::fuzz
