// Decoding and encoding of member names.
#include "lzh/member_name.h"

#include <vector>

#include "common/name_charset.h"
#include "common/safe_path.h"

namespace lzh {
namespace {

std::string utf16WithSeparators(const std::string& bytes)
{
    std::string copy = bytes;
    for (std::size_t i = 0; i + 1 < copy.size(); i += 2)
        if (static_cast<unsigned char>(copy[i]) == 0xFF && static_cast<unsigned char>(copy[i + 1]) == 0xFF) {
            copy[i] = '/';
            copy[i + 1] = '\0';
        }
    return arc::utf16leToUtf8(copy);
}

std::string decodeBytes(std::string bytes, const std::optional<std::uint32_t>& codePage)
{
    for (char& c : bytes)
        if (static_cast<unsigned char>(c) == 0xFF)
            c = '/';
    if (codePage == 65001u && arc::isValidUtf8(bytes))
        return bytes;
    if (codePage == 932u) {
        if (auto s = arc::cp932ToUtf8(bytes))
            return *s;
    }
    return arc::decodeLegacyName(bytes, arc::LastResort::Latin1);
}

std::string joinPath(std::string directory, const std::string& name)
{
    if (!directory.empty() && directory.back() != '/' && !name.empty())
        directory += '/';
    return directory + name;
}

}  // namespace

std::string decodeMemberPath(const MemberHeader& h)
{
    // Amiga tools store a comment after a NUL in the name field: the name ends there.
    const std::string storedName = h.name.substr(0, h.name.find('\0'));
    if (h.utf16Name || h.utf16Directory) {
        std::string directory =
            h.utf16Directory ? utf16WithSeparators(*h.utf16Directory) : decodeBytes(h.directory, h.codePage);
        std::string name = h.utf16Name ? utf16WithSeparators(*h.utf16Name) : decodeBytes(storedName, h.codePage);
        return joinPath(directory, name);
    }
    // One decoding decision for the whole path, so a CP932 folder and an ASCII name agree.
    std::string raw = h.directory;
    if (!raw.empty() && static_cast<unsigned char>(raw.back()) != 0xFF && !storedName.empty())
        raw += '\xFF';
    raw += storedName;
    return decodeBytes(raw, h.codePage);
}

StoredName encodeMemberPath(std::string_view memberPath, bool isDirectory)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= memberPath.size()) {
        std::size_t slash = memberPath.find('/', start);
        if (slash == std::string_view::npos)
            slash = memberPath.size();
        if (slash > start)
            parts.push_back(memberPath.substr(start, slash - start));
        start = slash + 1;
    }
    std::string_view base;
    if (!isDirectory && !parts.empty()) {
        base = parts.back();
        parts.pop_back();
    }

    StoredName out;
    bool exact = true;
    // A character without a CP932 form becomes '_' in the CP932 fields; the UTF-16 fields
    // then carry the real name.
    auto toCp932 = [&](std::string_view utf8) {
        if (auto s = arc::utf8ToCp932(utf8))
            return *s;
        exact = false;
        std::string result;
        std::size_t i = 0;
        while (i < utf8.size()) {
            std::size_t len = 1;
            unsigned char lead = static_cast<unsigned char>(utf8[i]);
            if (lead >= 0xF0)
                len = 4;
            else if (lead >= 0xE0)
                len = 3;
            else if (lead >= 0xC0)
                len = 2;
            auto one = arc::utf8ToCp932(utf8.substr(i, len));
            result += one ? *one : std::string("_");
            i += len;
        }
        return result;
    };
    std::string utf16Directory;
    for (std::string_view part : parts) {
        out.directory += toCp932(part);
        out.directory += '\xFF';
        utf16Directory += arc::utf8ToUtf16le(part);
        utf16Directory += "\xFF\xFF";
    }
    out.name = toCp932(base);
    if (!exact) {
        if (!base.empty())
            out.utf16Name = arc::utf8ToUtf16le(base);
        if (!utf16Directory.empty())
            out.utf16Directory = utf16Directory;
    }
    return out;
}

std::string memberKey(std::string_view decodedPath, bool backslashIsSeparator)
{
    auto safe = arc::safeRelativePath(decodedPath, backslashIsSeparator);
    return safe ? *safe : std::string(decodedPath);
}

}  // namespace lzh
