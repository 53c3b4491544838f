// Reads member headers of levels 0-3 and writes level-2 headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lzh/lzh_method.h"
#include "lzh/lzh_status.h"

namespace lzh {

// Positioned reads from an archive (a file or, for tests and fuzzing, memory).
class RandomAccess {
public:
    virtual ~RandomAccess() = default;
    // Reads up to `size` bytes at `offset`; fewer only at the end of the archive.
    virtual LzhStatus readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size, std::size_t& got) = 0;
};

class MemoryAccess final : public RandomAccess {
public:
    MemoryAccess(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    LzhStatus readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size, std::size_t& got) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// One member's header as stored; names are raw bytes, decoded later per entry.
struct MemberHeader {
    std::string methodId;          // the five method bytes, e.g. "-lh5-"
    std::optional<Method> method;  // nullopt for methods we do not handle
    int level = 0;
    char osId = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t originalSize = 0;
    std::int64_t mtime = -1;  // Unix time, -1 when unknown
    std::uint16_t dataCrc = 0;
    std::string name;                           // name field or 0x01 (level 0/1 may hold a path)
    std::string directory;                      // 0x02, 0xFF-separated, usually ending in 0xFF
    std::optional<std::string> utf16Name;       // 0x44, UTF-16LE
    std::optional<std::string> utf16Directory;  // 0x45, UTF-16LE, 0xFFFF-separated
    std::optional<std::uint32_t> codePage;      // 0x46
    std::optional<std::uint32_t> unixMode;      // 0x50 or the level-0 'U' extension
    bool hasHeaderCrc = false;                  // a 0x00 header CRC was present (and matched)
    std::uint64_t headerOffset = 0;             // where the header starts
    std::uint64_t dataOffset = 0;               // where the member's data starts

    bool isDirectory() const { return method == Method::Lhd; }
};

// Reads the header at `offset`. `atEnd` is set (and Ok returned) at the end marker or the end
// of the file. Sizes and lengths are checked against each other and against the archive
// before anything is allocated; a header never needs more than 1 MiB.
LzhStatus readMemberHeader(RandomAccess& archive, std::uint64_t offset, MemberHeader& header, bool& atEnd);

// What a level-2 header carries; names already in their stored byte forms.
struct HeaderFields {
    Method method = Method::Lh0;
    std::uint64_t compressedSize = 0;
    std::uint64_t originalSize = 0;
    std::int64_t mtime = 0;
    std::uint16_t dataCrc = 0;
    std::uint32_t unixMode = 0;                 // full st_mode (type and permission bits)
    std::string name;                           // CP932 (0x01); empty for directories
    std::string directory;                      // CP932 components each followed by 0xFF (0x02)
    std::optional<std::string> utf16Name;       // 0x44 when the name has no exact CP932 form
    std::optional<std::string> utf16Directory;  // 0x45, likewise
};

// Builds a level-2 header. Sizes of 4 GiB or more get the 64-bit size extension (0x42).
// Fails with TooLarge when the names do not fit a 64 KiB header.
LzhStatus writeLevel2Header(const HeaderFields& fields, std::vector<std::uint8_t>& out);

}  // namespace lzh
