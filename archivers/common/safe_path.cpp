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

std::string_view upToNul(std::string_view name)
{
    return name.substr(0, name.find('\0'));
}

enum class Cleaned { Path, Nothing, Escape };

// Splits `name` into its components, leaving out empty and "." ones and any drive prefix
// before the first name ("C:", "./C:x", "C:D:x"), and joins them with "/" into `result`.
Cleaned clean(std::string_view name, bool backslashIsSeparator, std::string& result)
{
    name = upToNul(name);
    result.clear();
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !isSeparator(name[end], backslashIsSeparator))
            ++end;
        std::string_view component = name.substr(start, end - start);
        start = end + 1;
        while (result.empty() && hasDrivePrefix(component))
            component.remove_prefix(2);
        if (component == "..")
            return Cleaned::Escape;
        if (component.empty() || component == ".")
            continue;
        if (!result.empty())
            result += '/';
        result += component;
    }
    return result.empty() ? Cleaned::Nothing : Cleaned::Path;
}

}  // namespace

std::optional<std::string> safeRelativePath(std::string_view name, bool backslashIsSeparator)
{
    std::string result;
    if (clean(name, backslashIsSeparator, result) != Cleaned::Path)
        return std::nullopt;
    return result;
}

bool namesDestinationItself(std::string_view name, bool backslashIsSeparator)
{
    std::string result;
    return clean(name, backslashIsSeparator, result) == Cleaned::Nothing;
}

bool linkTargetStaysInside(std::string_view linkPath, std::string_view target)
{
    if (target.empty() || target.find('\0') != std::string_view::npos || target.front() == '/' ||
        hasDrivePrefix(target))
        return false;
    // The folder the link is in is as deep as the link's path has separators.
    std::size_t depth = 0;
    for (const char c : linkPath)
        depth += c == '/' ? 1 : 0;
    bool climbing = true;
    std::size_t start = 0;
    while (start <= target.size()) {
        std::size_t end = target.find('/', start);
        if (end == std::string_view::npos)
            end = target.size();
        const std::string_view component = target.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (component != "..") {
            climbing = false;
            continue;
        }
        if (!climbing || depth == 0)
            return false;
        --depth;
    }
    return true;
}

}  // namespace arc
