// libdeflate for whole members, zlib for chained chunks of large ones.
#include "zip/member_compressor.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

#include "zip/deflate_joiner.h"
#include "zip/zip_format.h"

namespace arc::zip {

WholeCompressor::WholeCompressor(int level) : level_(level)
{
    if (level_ > 0)
        compressor_ = libdeflate_alloc_compressor(std::clamp(level_, 1, 12));
}

WholeCompressor::~WholeCompressor()
{
    if (compressor_ != nullptr)
        libdeflate_free_compressor(compressor_);
}

std::uint16_t WholeCompressor::compress(std::string_view input, std::string& output)
{
    if (level_ > 0 && !input.empty()) {
        if (compressor_ == nullptr)
            return 0xFFFF;
        // Room for one byte less than the input: libdeflate gives up (returns 0) exactly when
        // deflate would not shrink the data, and then the member is stored.
        const std::size_t room = input.size() - 1;
        char* deflated = deflated_.reserve(room);
        const std::size_t produced =
            room == 0 ? 0 : libdeflate_deflate_compress(compressor_, input.data(), input.size(), deflated, room);
        if (produced != 0) {
            output.assign(deflated, produced);
            return kMethodDeflate;
        }
    }
    output.assign(input);
    return kMethodStored;
}

ChunkCompressor::ChunkCompressor(int level) : level_(std::clamp(level, 1, 9)) {}

ChunkCompressor::~ChunkCompressor()
{
    if (probe_ != nullptr)
        libdeflate_free_compressor(probe_);
    if (deflater_ != nullptr)
        libdeflate_free_compressor(deflater_);
    if (stream_ != nullptr) {
        deflateEnd(stream_);
        delete stream_;
    }
}

void appendStoredBlocks(std::string_view input, bool lastChunk, std::string& output)
{
    do {
        const std::size_t length = std::min<std::size_t>(input.size(), 0xFFFF);
        const bool final = lastChunk && length == input.size();
        output.push_back(final ? '\x01' : '\x00');
        append16(output, static_cast<std::uint32_t>(length));
        append16(output, static_cast<std::uint32_t>(~length & 0xFFFF));
        output.append(input.substr(0, length));
        input.remove_prefix(length);
    } while (!input.empty());
}

// Random or already-compressed data is recognised from samples: if the fastest libdeflate
// level cannot save 2 % on 64 KiB at the start, the middle and the end, the chunk is stored
// without a full pass. Compressible data usually fails the first sample, so it pays for one.
bool ChunkCompressor::looksIncompressible(std::string_view input)
{
    constexpr std::size_t kSampleSize = 64 * 1024;
    if (input.size() < 4 * kSampleSize)
        return false;
    if (probe_ == nullptr)
        probe_ = libdeflate_alloc_compressor(1);
    if (probe_ == nullptr)
        return false;
    constexpr std::size_t kRoom = kSampleSize - kSampleSize / 50;
    char* room = probeOutput_.reserve(kRoom);
    for (std::size_t at : {std::size_t{0}, input.size() / 2, input.size() - kSampleSize}) {
        if (libdeflate_deflate_compress(probe_, input.data() + at, kSampleSize, room, kRoom) != 0)
            return false;
    }
    return true;
}

bool ChunkCompressor::compress(std::string_view dictionary, std::string_view input, bool lastChunk, std::string& output)
{
    if (looksIncompressible(input)) {
        appendStoredBlocks(input, lastChunk, output);
        return true;
    }
    if (deflater_ == nullptr)
        deflater_ = libdeflate_alloc_compressor(level_);
    if (deflater_ == nullptr || input.empty())
        return compressWithZlib(dictionary, input, lastChunk, output);
    char* deflated = deflated_.reserve(input.size());
    const std::size_t produced =
        libdeflate_deflate_compress(deflater_, input.data(), input.size(), deflated, input.size());
    if (produced == 0) {
        appendStoredBlocks(input, lastChunk, output);
        return true;
    }
    chunkOutput_.assign(deflated, produced);
    if (!lastChunk && !makeDeflateContinuable(chunkOutput_))
        return compressWithZlib(dictionary, input, lastChunk, output);
    output += chunkOutput_;
    return true;
}

bool ChunkCompressor::compressWithZlib(std::string_view dictionary, std::string_view input, bool lastChunk,
                                       std::string& output)
{
    if (stream_ == nullptr) {
        stream_ = new (std::nothrow) z_stream{};
        if (stream_ == nullptr)
            return false;
        if (deflateInit2(stream_, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            delete stream_;
            stream_ = nullptr;
            return false;
        }
    } else if (deflateReset(stream_) != Z_OK) {
        return false;
    }
    if (!dictionary.empty()) {
        dictionary = dictionary.substr(dictionary.size() - std::min(dictionary.size(), kDictionarySize));
        if (deflateSetDictionary(stream_, reinterpret_cast<const Bytef*>(dictionary.data()),
                                 static_cast<uInt>(dictionary.size())) != Z_OK)
            return false;
    }
    const std::size_t start = output.size();
    // Worth deflating only if it saves something: beyond this bound the chunk is stored.
    const std::size_t limit = input.size() + 5 * (input.size() / 0xFFFF + 1);
    output.resize(start + deflateBound(stream_, static_cast<uLong>(input.size())) + 16);
    stream_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream_->avail_in = static_cast<uInt>(input.size());
    stream_->next_out = reinterpret_cast<Bytef*>(output.data() + start);
    stream_->avail_out = static_cast<uInt>(output.size() - start);
    const int result = deflate(stream_, lastChunk ? Z_FINISH : Z_SYNC_FLUSH);
    if (result == Z_STREAM_ERROR || stream_->avail_in != 0 || (lastChunk && result != Z_STREAM_END))
        return false;
    const std::size_t produced = output.size() - start - stream_->avail_out;
    if (produced >= limit) {
        output.resize(start);
        appendStoredBlocks(input, lastChunk, output);
    } else {
        output.resize(start + produced);
    }
    return true;
}

}  // namespace arc::zip
