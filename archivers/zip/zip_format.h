// ZIP record layouts, signatures and the little-endian field helpers shared by reader and writer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace arc::zip {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;

inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndSize = 22;
inline constexpr std::size_t kZip64EndSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::size_t kMaxCommentSize = 0xFFFF;

inline constexpr std::uint16_t kExtraZip64 = 0x0001;
inline constexpr std::uint16_t kExtraTimestamp = 0x5455;
inline constexpr std::uint16_t kExtraNtfsTimes = 0x000a;
inline constexpr std::uint16_t kExtraUnicodePath = 0x7075;

inline constexpr std::uint16_t kFlagDataDescriptor = 1u << 3;
inline constexpr std::uint16_t kFlagUtf8 = 1u << 11;

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflate = 8;

// Made by Unix (high byte 3), format version 3.0: readers then take the high 16 bits of the
// external attributes as a Unix mode.
inline constexpr std::uint16_t kVersionMadeBy = (3u << 8) | 30u;
inline constexpr std::uint16_t kVersionStored = 10;
inline constexpr std::uint16_t kVersionDeflate = 20;
inline constexpr std::uint16_t kVersionZip64 = 45;

inline constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
inline constexpr std::uint16_t kMax16 = 0xFFFFu;

inline std::uint16_t load16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t load32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t load64(const unsigned char* p)
{
    return static_cast<std::uint64_t>(load32(p)) | (static_cast<std::uint64_t>(load32(p + 4)) << 32);
}

inline void append16(std::string& out, std::uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
inline void append32(std::string& out, std::uint32_t value)
{
    append16(out, value & 0xFFFF);
    append16(out, value >> 16);
}
inline void append64(std::string& out, std::uint64_t value)
{
    append32(out, static_cast<std::uint32_t>(value));
    append32(out, static_cast<std::uint32_t>(value >> 32));
}
inline void store32(std::string& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline const unsigned char* bytesOf(std::string_view s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

// One field of an extra block: [u16 id][u16 size][data]. Returns false when the block is
// malformed before `id` was found; `found` stays empty when the id is absent.
bool findExtraField(std::string_view extra, std::uint16_t id, std::string_view& found);

// MS-DOS date and time (local time, 2-second resolution, 1980..2107).
struct DosDateTime {
    std::uint16_t time = 0;
    std::uint16_t date = (0u << 9) | (1u << 5) | 1u;
};
DosDateTime toDosDateTime(std::int64_t unixTime);

}  // namespace arc::zip
