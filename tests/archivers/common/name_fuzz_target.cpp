// Properties of the name routines for arbitrary bytes (see name_fuzz_target.h).
#include "name_fuzz_target.h"

#include "common/command_line.h"
#include "common/name_charset.h"
#include "common/safe_path.h"

namespace arc::testing {

namespace {

bool hasEscape(const std::string& path)
{
    if (path.empty() || path.front() == '/' || path.back() == '/' || path.find('\0') != std::string::npos)
        return true;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string_view part = std::string_view(path).substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::string checkNameProperties(std::string_view input)
{
    for (const LastResort last : {LastResort::Cp437, LastResort::Latin1}) {
        if (!isValidUtf8(decodeLegacyName(input, last)))
            return "decodeLegacyName gave invalid UTF-8";
    }
    if (!isValidUtf8(cp437ToUtf8(input)) || !isValidUtf8(latin1ToUtf8(input)))
        return "single-byte decoding gave invalid UTF-8";
    const std::string fromUtf16 = utf16leToUtf8(input);
    if (!isValidUtf8(fromUtf16))
        return "utf16leToUtf8 gave invalid UTF-8";
    if (utf16leToUtf8(utf8ToUtf16le(fromUtf16)) != fromUtf16)
        return "UTF-16LE round trip changed the text";
    if (const auto decoded = cp932ToUtf8(input)) {
        if (!isValidUtf8(*decoded))
            return "cp932ToUtf8 gave invalid UTF-8";
    }
    if (const auto encoded = utf8ToCp932(input)) {
        if (cp932ToUtf8(*encoded) != input)
            return "utf8ToCp932 result does not decode back";
    }
    for (const bool backslash : {false, true}) {
        if (const auto safe = safeRelativePath(input, backslash)) {
            if (hasEscape(*safe))
                return "safeRelativePath let an escape through: " + *safe;
            if (backslash && safe->find('\\') != std::string::npos)
                return "safeRelativePath kept a backslash separator";
            if (safeRelativePath(*safe, backslash) != safe)
                return "safeRelativePath is not stable on its own output";
        }
    }
    for (const std::string& word : splitCommand(input)) {
        if (word.find('"') != std::string::npos)
            return "splitCommand kept a quote";
    }
    return {};
}

}  // namespace arc::testing
