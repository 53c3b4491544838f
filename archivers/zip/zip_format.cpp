// Extra-field lookup and DOS time conversion.
#include "zip/zip_format.h"

#include <ctime>

namespace arc::zip {

bool findExtraField(std::string_view extra, std::uint16_t id, std::string_view& found)
{
    found = {};
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const std::uint16_t fieldId = load16(bytesOf(extra) + pos);
        const std::uint16_t fieldSize = load16(bytesOf(extra) + pos + 2);
        if (pos + 4 + fieldSize > extra.size())
            return false;
        if (fieldId == id) {
            found = extra.substr(pos + 4, fieldSize);
            return true;
        }
        pos += 4 + fieldSize;
    }
    return true;
}

DosDateTime toDosDateTime(std::int64_t unixTime)
{
    DosDateTime result;
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr)
        return result;
    const int year = local.tm_year + 1900;
    if (year < 1980)
        return result;
    if (year > 2107) {
        result.date = static_cast<std::uint16_t>((127u << 9) | (12u << 5) | 31u);
        result.time = static_cast<std::uint16_t>((23u << 11) | (59u << 5) | 29u);
        return result;
    }
    result.date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    result.time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return result;
}

}  // namespace arc::zip
