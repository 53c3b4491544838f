// Cleans a decoded member name into a relative path that stays inside the destination.
#include "common/safe_path.h"

namespace arc {

namespace {

bool isSeparator(char c, bool backslashIsSeparator)
{
    return c == '/' || (backslashIsSeparator && c == '\\');
}

bool hasDrivePrefix(std::string_view name)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return name.size() >= 2 && isLetter(name[0]) && name[1] == ':';
}

}  // namespace

std::optional<std::string> safeRelativePath(std::string_view name, bool backslashIsSeparator)
{
    if (name.find('\0') != std::string_view::npos)
        return std::nullopt;
    if (name.empty() || isSeparator(name.front(), backslashIsSeparator) || hasDrivePrefix(name))
        return std::nullopt;

    std::string result;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !isSeparator(name[end], backslashIsSeparator))
            ++end;
        const std::string_view component = name.substr(start, end - start);
        if (component == "..")
            return std::nullopt;
        // "./C:/x" would still start with a drive once the "." is dropped.
        if (result.empty() && hasDrivePrefix(component))
            return std::nullopt;
        if (!component.empty() && component != ".") {
            if (!result.empty())
                result += '/';
            result += component;
        }
        start = end + 1;
    }
    if (result.empty())
        return std::nullopt;
    return result;
}

}  // namespace arc

namespace arc {

bool namesDestinationItself(std::string_view name, bool backslashIsSeparator)
{
    if (name.empty() || name.front() == '/' || (backslashIsSeparator && name.front() == '\\'))
        return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && name[end] != '/' && !(backslashIsSeparator && name[end] == '\\'))
            ++end;
        const std::string_view component = name.substr(start, end - start);
        if (!component.empty() && component != ".")
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace arc
