// Reading and compressing, run on the writer's worker threads.
#include "zip/compression_units.h"

#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "zip/zip_format.h"

namespace arc::zip {
namespace {

// Reads exactly `length` bytes; a short read means the file shrank while being archived.
bool readExactly(int fd, std::uint64_t offset, char* out, std::size_t length, std::string& why)
{
    while (length > 0) {
        const ssize_t got = ::pread(fd, out, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            why = std::strerror(errno);
            return false;
        }
        if (got == 0) {
            errno = 0;
            why = "the file became shorter while it was being read";
            return false;
        }
        out += got;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

// `errno` still holds the reason when the read itself failed; a short read leaves it 0.
UnitResult readFailure(const std::string& displayName, const std::string& why)
{
    UnitResult result;
    result.error =
        ArcResult::failure(ArcStatus::InputMissing, "cannot read " + displayName + ": " + why, displayName, errno);
    return result;
}

UnitResult noMemory(const std::string& displayName)
{
    UnitResult result;
    result.error = ArcResult::failure(ArcStatus::NoMemory, "out of memory while compressing " + displayName);
    return result;
}

}  // namespace

SourceFile::~SourceFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

UnitResult compressWholeFile(const SourceFile& file, std::uint64_t size, const std::string& displayName, int level,
                             WorkerContext& context)
{
    try {
        std::string input(static_cast<std::size_t>(size), '\0');
        std::string why;
        if (!readExactly(file.fd(), 0, input.data(), input.size(), why))
            return readFailure(displayName, why);
        UnitResult result;
        result.inputSize = size;
        result.crc32 = libdeflate_crc32(0, input.data(), input.size());
        result.method = level == 0 ? kMethodStored : context.whole.compress(input, result.data);
        if (level == 0)
            result.data = std::move(input);
        if (result.method == 0xFFFF)
            return noMemory(displayName);
        return result;
    } catch (const std::bad_alloc&) {
        return noMemory(displayName);
    }
}

UnitResult compressChunk(const SourceFile& file, std::uint64_t offset, std::size_t length, bool lastChunk,
                         const std::string& displayName, int level, WorkerContext& context)
{
    try {
        const std::size_t dictionarySize =
            level == 0 ? 0
                       : static_cast<std::size_t>(std::min<std::uint64_t>(offset, ChunkCompressor::kDictionarySize));
        std::string buffer(dictionarySize + length, '\0');
        std::string why;
        if (!readExactly(file.fd(), offset - dictionarySize, buffer.data(), buffer.size(), why))
            return readFailure(displayName, why);
        const std::string_view dictionary(buffer.data(), dictionarySize);
        const std::string_view input(buffer.data() + dictionarySize, length);
        UnitResult result;
        result.inputSize = length;
        result.crc32 = libdeflate_crc32(0, input.data(), input.size());
        if (level == 0) {
            result.method = kMethodStored;
            result.data.assign(input);
            return result;
        }
        result.method = kMethodDeflate;
        result.data.reserve(length + length / 64 + 64);
        if (!context.chunk.compress(dictionary, input, lastChunk, result.data))
            return noMemory(displayName);
        return result;
    } catch (const std::bad_alloc&) {
        return noMemory(displayName);
    }
}

}  // namespace arc::zip
