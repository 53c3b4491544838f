// Builds the local headers, central directory records and end records the writer emits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace arc::zip {

struct MemberRecord {
    std::string name;  // as stored: "/"-separated, directories end in "/"
    bool isDirectory = false;
    std::uint16_t method = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localHeaderOffset = 0;
    std::uint32_t permissions = 0;  // st_mode & 07777
    std::int64_t mtime = 0;         // Unix time
    bool zip64Local = false;        // the local header carries a zip64 extra with both sizes
};

// The local header; with zip64Local its size fields hold 0xFFFFFFFF and the zip64 extra holds
// both real sizes, so a header written before the data can be patched in place afterwards.
std::string buildLocalHeader(const MemberRecord& member);

// The central directory record, with a zip64 extra holding exactly the fields that overflow
// (or all three when `forceZip64`, which tests use to exercise readers' zip64 paths).
std::string buildCentralRecord(const MemberRecord& member, bool forceZip64);

// The end of the archive: zip64 end record and locator when a count or offset needs them (or
// when forced), then the classic end record with `comment`.
std::string buildEndRecords(std::uint64_t entries, std::uint64_t directoryOffset, std::uint64_t directorySize,
                            std::string_view comment, bool forceZip64);

// Offset of the CRC field within a local header: patched once a streamed member is done.
inline constexpr std::size_t kLocalCrcOffset = 14;

}  // namespace arc::zip

namespace arc::zip {

// `raw` (a central directory record exactly as read) with its local header offset changed to
// `newOffset`, everything else kept byte for byte: in the 32-bit field, or in the zip64 extra
// when the record keeps it there. Empty when the record cannot say `newOffset` (a 32-bit field
// too small, or a malformed zip64 extra).
std::string relocatedCentralRecord(std::string_view raw, std::uint64_t newOffset);

}  // namespace arc::zip
