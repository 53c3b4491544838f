// Streaming -lh5-/-lh6-/-lh7- encoder: bytes in, compressed bytes appended to a vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "lzh/bit_writer.h"
#include "lzh/lzh_method.h"

namespace lzh {

class LzssMatcher;

// Feed the member's bytes with write() in pieces of any size, then call finish() once.
// Compressed bytes are appended to `out` as blocks complete; the caller may drain `out`
// between calls. Memory stays constant whatever the input size (about 1 MiB).
class LzhEncoder {
public:
    struct Settings {
        int maxChain = 128;
        int niceLength = 256;
        int secondLookBelow = 16;         // pending matches shorter than this also look two bytes on
        int blockCodes = 32768;           // codes per block (at most 65535)
        unsigned farForShortMatch = 256;  // a 3-byte match this far back costs more than literals
    };

    // `sizeHint` is the expected input size (0 when unknown); it only tunes set-up costs.
    explicit LzhEncoder(Method method, std::uint64_t sizeHint = 0);
    LzhEncoder(Method method, Settings settings, std::uint64_t sizeHint = 0);
    ~LzhEncoder();
    LzhEncoder(const LzhEncoder&) = delete;
    LzhEncoder& operator=(const LzhEncoder&) = delete;

    void write(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out);
    void finish(std::vector<std::uint8_t>& out);

private:
    void parse(int limit, std::vector<std::uint8_t>& out);
    void emitLiteral(std::uint8_t byte, std::vector<std::uint8_t>& out);
    void emitMatch(int length, unsigned distance, std::vector<std::uint8_t>& out);
    void flushBlock(std::vector<std::uint8_t>& out);

    MethodParams params_;
    Settings settings_;
    std::unique_ptr<LzssMatcher> matcher_;
    std::vector<std::uint16_t> symbols_;
    std::vector<std::uint16_t> distances_;
    int tokens_ = 0;
    int pos_ = 0;
    // The lazy step: a match found at pos_ - 1 waits to see whether pos_ has a longer one.
    bool pending_ = false;
    int pendingLength_ = 0;
    unsigned pendingDistance_ = 0;
    // Whole bytes move to the caller's vector after each block; a partial byte stays in bits_.
    std::vector<std::uint8_t> blockBytes_;
    BitWriter bits_{blockBytes_};
};

}  // namespace lzh
