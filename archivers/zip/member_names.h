// Decides how one ZIP member's stored name bytes are read, entry by entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace arc::zip {

// The UTF-8 flag (bit 11) means the bytes are UTF-8; else an Info-ZIP Unicode Path field
// (0x7075) whose CRC-32 matches the stored bytes gives the UTF-8 name; else bytes that are
// valid UTF-8 are taken as such; else CP932; else CP437, the format's original code page.
// Backslashes are left in place: they are separators only after decoding, so that a 0x5C
// byte inside a CP932 character (表, ソ) never splits the name.
std::string decodeMemberName(std::string_view rawName, std::uint16_t flags, std::string_view extra);

// The UTF-8 name from a Unicode Path field, or empty when there is none or its CRC does not
// match `rawName` (the field then describes an older name and is ignored).
std::string unicodePathName(std::string_view rawName, std::string_view extra);

}  // namespace arc::zip
