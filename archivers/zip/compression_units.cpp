// Reading and compressing, run on the writer's worker threads.
#include "zip/compression_units.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
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
        char* bytes = context.input.reserve(static_cast<std::size_t>(size));
        std::string why;
        if (!readExactly(file.fd(), 0, bytes, static_cast<std::size_t>(size), why))
            return readFailure(displayName, why);
        const std::string_view input(bytes, static_cast<std::size_t>(size));
        UnitResult result;
        result.inputSize = size;
        result.crc32 = libdeflate_crc32(0, input.data(), input.size());
        if (level == 0) {
            result.method = kMethodStored;
            result.data.assign(input);
            return result;
        }
        result.method = context.whole.compress(input, result.data);
        if (result.method == 0xFFFF)
            return noMemory(displayName);
        return result;
    } catch (const std::bad_alloc&) {
        return noMemory(displayName);
    }
}

UnitResult compressFileAt(const std::string& path, std::size_t wholeLimit, int level, WorkerContext& context)
{
    try {
        SourceFile file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        struct stat info {};
        if (file.fd() < 0 || ::fstat(file.fd(), &info) != 0) {
            const int error = errno;
            UnitResult result;
            result.error = ArcResult::failure(
                ArcStatus::InputMissing,
                (file.fd() < 0 ? "cannot open " : "could not read ") + path + ": " + std::strerror(error), path, error);
            return result;
        }
        if (!S_ISREG(info.st_mode)) {
            UnitResult result;
            result.error = ArcResult::failure(ArcStatus::InputMissing, path + " is no longer a regular file", path);
            return result;
        }
        const auto size = static_cast<std::uint64_t>(info.st_size);
        if (size > wholeLimit) {
            UnitResult result;
            result.grown = true;
            return result;
        }
        return compressWholeFile(file, size, path, level, context);
    } catch (const std::bad_alloc&) {
        return noMemory(path);
    }
}

CompressionPool::Job wholeFileJob(std::string path, std::size_t wholeLimit, int level, const Job* job)
{
    return [path = std::move(path), wholeLimit, level, job](WorkerContext& context) {
        if (job->cancelled()) {
            UnitResult result;
            result.error = cancelledResult();
            return result;
        }
        return compressFileAt(path, wholeLimit, level, context);
    };
}

UnitResult compressChunk(const SourceFile& file, std::uint64_t offset, std::size_t length, bool lastChunk,
                         const std::string& displayName, int level, WorkerContext& context, std::string buffer)
{
    try {
        const std::size_t dictionarySize =
            level == 0 ? 0
                       : static_cast<std::size_t>(std::min<std::uint64_t>(offset, ChunkCompressor::kDictionarySize));
        char* bytes = context.input.reserve(dictionarySize + length);
        std::string why;
        if (!readExactly(file.fd(), offset - dictionarySize, bytes, dictionarySize + length, why))
            return readFailure(displayName, why);
        const std::string_view dictionary(bytes, dictionarySize);
        const std::string_view input(bytes + dictionarySize, length);
        UnitResult result;
        result.inputSize = length;
        result.crc32 = libdeflate_crc32(0, input.data(), input.size());
        result.data = std::move(buffer);
        result.data.clear();
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
