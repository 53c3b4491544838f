// Feeds a member's compressed bytes from the archive to the Deflate64 decoder.
#include "zip/raw_member_reader.h"

#include <cerrno>

#include <libdeflate.h>

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "zip/deflate64_inflater.h"

namespace arc::zip {

RawMemberResult inflateDeflate64Member(const ByteSource& source, std::uint64_t dataOffset, std::uint64_t compressedSize,
                                       std::uint64_t maxOutputSize,
                                       const std::function<bool(const unsigned char*, std::size_t)>& sink)
{
    RawMemberResult result;
    std::uint64_t offset = dataOffset;
    std::uint64_t remaining = compressedSize;
    bool tooLong = false;
    const auto input = [&](unsigned char* buffer, std::size_t capacity) -> std::size_t {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, remaining));
        if (size == 0)
            return 0;
        if (!source.readAt(offset, buffer, size)) {
            result.systemError = errno;
            return 0;
        }
        offset += size;
        remaining -= size;
        return size;
    };
    const auto output = [&](const unsigned char* data, std::size_t size) {
        if (size > maxOutputSize - result.size) {
            tooLong = true;
            return false;
        }
        result.crc32 = libdeflate_crc32(result.crc32, data, size);
        result.size += size;
        return sink(data, size);
    };
    Deflate64Inflater inflater;
    switch (inflater.inflate(input, output)) {
    case InflateStatus::Ok: result.status = RawMemberStatus::Ok; break;
    case InflateStatus::BadData: result.status = RawMemberStatus::BadData; break;
    case InflateStatus::Truncated:
        result.status = result.systemError != 0 ? RawMemberStatus::ReadFailed : RawMemberStatus::Truncated;
        break;
    case InflateStatus::Stopped: result.status = tooLong ? RawMemberStatus::TooLong : RawMemberStatus::Stopped; break;
    }
    return result;
}

namespace {
constexpr std::size_t kBlockSize = std::size_t{1} << 18;
}

RawMemberResult copyStoredMember(const ByteSource& source, std::uint64_t dataOffset, std::uint64_t size,
                                 const std::function<bool(const unsigned char*, std::size_t)>& sink)
{
    RawMemberResult result;
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlockSize]);
    while (result.size < size) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size - result.size));
        if (!source.readAt(dataOffset + result.size, buffer.get(), piece)) {
            result.systemError = errno;
            result.status = errno != 0 ? RawMemberStatus::ReadFailed : RawMemberStatus::Truncated;
            return result;
        }
        result.crc32 = libdeflate_crc32(result.crc32, buffer.get(), piece);
        result.size += piece;
        if (!sink(buffer.get(), piece)) {
            result.status = RawMemberStatus::Stopped;
            return result;
        }
    }
    return result;
}

RawMemberResult inflateDeflateMember(const ByteSource& source, std::uint64_t dataOffset,
                                     std::uint64_t maxCompressedSize, std::uint64_t maxOutputSize,
                                     const std::function<bool(const unsigned char*, std::size_t)>& sink)
{
    RawMemberResult result;
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        result.status = RawMemberStatus::BadData;
        return result;
    }
    const std::unique_ptr<unsigned char[]> in(new unsigned char[kBlockSize]);
    const std::unique_ptr<unsigned char[]> out(new unsigned char[kBlockSize]);
    std::uint64_t consumed = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            const auto piece =
                static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, maxCompressedSize - consumed));
            if (piece == 0) {
                result.status = RawMemberStatus::Truncated;
                break;
            }
            if (!source.readAt(dataOffset + consumed, in.get(), piece)) {
                result.systemError = errno;
                result.status = errno != 0 ? RawMemberStatus::ReadFailed : RawMemberStatus::Truncated;
                break;
            }
            consumed += piece;
            stream.next_in = in.get();
            stream.avail_in = static_cast<uInt>(piece);
        }
        stream.next_out = out.get();
        stream.avail_out = static_cast<uInt>(kBlockSize);
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            result.status = RawMemberStatus::BadData;
            break;
        }
        const std::size_t produced = kBlockSize - stream.avail_out;
        if (produced > maxOutputSize - result.size) {
            result.status = RawMemberStatus::TooLong;
            break;
        }
        result.crc32 = libdeflate_crc32(result.crc32, out.get(), produced);
        result.size += produced;
        if (produced != 0 && !sink(out.get(), produced)) {
            result.status = RawMemberStatus::Stopped;
            break;
        }
    }
    inflateEnd(&stream);
    return result;
}

}  // namespace arc::zip
