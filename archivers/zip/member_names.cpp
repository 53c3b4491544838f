// Per-entry name decoding.
#include "zip/member_names.h"

#include <libdeflate.h>

#include "common/name_charset.h"
#include "zip/zip_format.h"

namespace arc::zip {

std::string unicodePathName(std::string_view rawName, std::string_view extra)
{
    std::string_view field;
    if (!findExtraField(extra, kExtraUnicodePath, field) || field.size() < 5)
        return {};
    // [u8 version = 1][u32 CRC-32 of the stored name][UTF-8 name]
    if (static_cast<unsigned char>(field[0]) != 1)
        return {};
    if (load32(bytesOf(field) + 1) != libdeflate_crc32(0, rawName.data(), rawName.size()))
        return {};
    const std::string_view name = field.substr(5);
    if (name.empty() || !isValidUtf8(name))
        return {};
    return std::string(name);
}

std::string decodeMemberName(std::string_view rawName, std::uint16_t flags, std::string_view extra)
{
    if ((flags & kFlagUtf8) != 0 && isValidUtf8(rawName))
        return std::string(rawName);
    std::string unicode = unicodePathName(rawName, extra);
    if (!unicode.empty())
        return unicode;
    return decodeLegacyName(rawName, LastResort::Cp437);
}

}  // namespace arc::zip
