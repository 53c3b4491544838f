// Deflate for ZIP members: whole buffers through libdeflate, large files as chained zlib chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zip/scratch_buffer.h"

struct libdeflate_compressor;
struct z_stream_s;

namespace arc::zip {

// Level 0 stores; 1..9 deflate (6 is the default). Each compressor belongs to one thread.
class WholeCompressor {
public:
    explicit WholeCompressor(int level);
    ~WholeCompressor();
    WholeCompressor(const WholeCompressor&) = delete;
    WholeCompressor& operator=(const WholeCompressor&) = delete;

    // Compresses `input` into `output` as one complete deflate stream and returns
    // kMethodDeflate, or copies it and returns kMethodStored when deflate would not shrink it.
    // Returns 0xFFFF when the compressor could not be created (out of memory).
    std::uint16_t compress(std::string_view input, std::string& output);

private:
    int level_;
    libdeflate_compressor* compressor_ = nullptr;
    ScratchBuffer deflated_;
};

// A large file is cut into chunks that two threads can deflate at once and that still join
// into one valid deflate stream. Each chunk is compressed whole by libdeflate and made
// continuable (makeDeflateContinuable: not final, ending on a byte boundary); the last chunk
// ends the stream. Should a chunk's stream not parse, zlib compresses it instead, primed with
// the 32 KiB of input before it and ended with a sync flush. A chunk that deflate cannot shrink
// is written as stored blocks, which keeps both the size and the time of incompressible data
// down: a quick libdeflate pass over a sample of the chunk decides whether a full pass is
// worth its time.
class ChunkCompressor {
public:
    static constexpr std::size_t kDictionarySize = 32 * 1024;

    explicit ChunkCompressor(int level);
    ~ChunkCompressor();
    ChunkCompressor(const ChunkCompressor&) = delete;
    ChunkCompressor& operator=(const ChunkCompressor&) = delete;

    // Appends the deflate bytes of `input` to `output`. `dictionary` is the input just before
    // it (empty for the first chunk). False only when zlib fails (out of memory).
    bool compress(std::string_view dictionary, std::string_view input, bool lastChunk, std::string& output);

private:
    bool looksIncompressible(std::string_view input);
    bool compressWithZlib(std::string_view dictionary, std::string_view input, bool lastChunk, std::string& output);

    int level_;
    z_stream_s* stream_ = nullptr;
    libdeflate_compressor* probe_ = nullptr;
    libdeflate_compressor* deflater_ = nullptr;
    ScratchBuffer probeOutput_;
    ScratchBuffer deflated_;
    std::string chunkOutput_;
};

// Appends `input` as stored deflate blocks (at most 65535 bytes each); the last block is final
// when `lastChunk`. The stream must be at a byte boundary.
void appendStoredBlocks(std::string_view input, bool lastChunk, std::string& output);

}  // namespace arc::zip
