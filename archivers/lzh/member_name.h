// Member names: from header bytes to a UTF-8 path, and from a UTF-8 path to header bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "lzh/header_codec.h"

namespace lzh {

// The member's path in UTF-8 with "/" separators, not yet checked for safety. Decoding is per
// member: the UTF-16LE headers (0x44/0x45) first, then the 0x46 code page, else valid UTF-8,
// else CP932, else Latin-1. Separators are found only after decoding: 0xFF bytes (never part
// of a CP932 or UTF-8 character) and, for levels 0 and 1, whole backslash characters, so the
// 0x5C second byte of 表, ソ or 能 never splits a name. The name field ends at its first NUL.
// A link member's path still holds "name|target".
std::string decodeMemberPath(const MemberHeader& header);

// Whether backslashes in the decoded path are separators (DOS-era levels 0 and 1).
inline bool backslashSeparates(const MemberHeader& header)
{
    return header.level <= 1;
}

// The stored forms of a member path ("/"-separated UTF-8, relative, no trailing "/").
// Directory members keep their whole path in the directory header and have no name.
struct StoredName {
    std::string name;       // CP932
    std::string directory;  // CP932, each component followed by 0xFF
    std::optional<std::string> utf16Name;
    std::optional<std::string> utf16Directory;
};

StoredName encodeMemberPath(std::string_view memberPath, bool isDirectory);

// The key under which two member paths count as the same member: the cleaned relative path.
std::string memberKey(std::string_view decodedPath, bool backslashIsSeparator);

}  // namespace lzh
