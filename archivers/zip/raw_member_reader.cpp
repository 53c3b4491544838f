// Feeds a member's compressed bytes from the archive to the Deflate64 decoder.
#include "zip/raw_member_reader.h"

#include <libdeflate.h>

#include <algorithm>

#include "zip/deflate64_inflater.h"

namespace arc::zip {

RawMemberResult inflateDeflate64Member(const ByteSource& source, std::uint64_t dataOffset, std::uint64_t compressedSize,
                                       std::uint64_t maxOutputSize,
                                       const std::function<bool(const unsigned char*, std::size_t)>& sink) {
    RawMemberResult result;
    std::uint64_t offset = dataOffset;
    std::uint64_t remaining = compressedSize;
    bool readFailed = false;
    bool tooLong = false;
    const auto input = [&](unsigned char* buffer, std::size_t capacity) -> std::size_t {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, remaining));
        if (size == 0) return 0;
        if (!source.readAt(offset, buffer, size)) {
            readFailed = true;
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
    case InflateStatus::Truncated: result.status = readFailed ? RawMemberStatus::ReadFailed : RawMemberStatus::Truncated; break;
    case InflateStatus::Stopped: result.status = tooLong ? RawMemberStatus::TooLong : RawMemberStatus::Stopped; break;
    }
    return result;
}

}  // namespace arc::zip
