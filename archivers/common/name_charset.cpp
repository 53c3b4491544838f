// Conversions between archive name charsets (CP932, CP437, Latin-1, UTF-16LE) and UTF-8.
#include "common/name_charset.h"

#include <cstdio>

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace arc {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 character at `pos` strictly (no overlong forms, no surrogates, at most
// U+10FFFF) and advances `pos`; returns nothing and leaves `pos` alone on a bad sequence.
std::optional<char32_t> nextUtf8(std::string_view s, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length;
    char32_t c;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (pos + length > s.size())
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (byte(pos + i) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    pos += length;
    return c;
}

// One iconv conversion of a whole string; nullopt on any byte or character the target set
// cannot take (iconv reports those as EILSEQ or EINVAL for a cut-off sequence).
std::optional<std::string> convertStrictly(const char* toCode, const char* fromCode, std::string_view in)
{
    iconv_t cd = iconv_open(toCode, fromCode);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    std::array<char, 1024> buffer;
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
        // glibc counts irreversible conversions in rc; a name must map exactly or not at all.
        if (rc != static_cast<std::size_t>(-1) && rc > 0) {
            ok = false;
            break;
        }
    }
    if (ok) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            ok = false;
        out.append(buffer.data(), buffer.size() - outLeft);
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    return out;
}

constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

}  // namespace

bool isValidUtf8(std::string_view bytes)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (!nextUtf8(bytes, pos))
            return false;
    }
    return true;
}

std::optional<std::string> cp932ToUtf8(std::string_view bytes)
{
    // iconv decodes the double-byte pairs as units, so a 0x5C second byte (表 = 0x95 0x5C)
    // never appears as a separate backslash.
    return convertStrictly("UTF-8", "CP932", bytes);
}

std::optional<std::string> utf8ToCp932(std::string_view utf8)
{
    if (!isValidUtf8(utf8))
        return std::nullopt;
    std::optional<std::string> encoded = convertStrictly("CP932", "UTF-8", utf8);
    if (!encoded)
        return std::nullopt;
    // Some characters have a one-way CP932 mapping (U+301C WAVE DASH is written as the byte
    // pair that reads back as U+FF5E): such a name would change on the way back, so it counts
    // as having no CP932 form and the caller keeps the Unicode name.
    const std::optional<std::string> back = cp932ToUtf8(*encoded);
    if (!back || *back != utf8)
        return std::nullopt;
    return encoded;
}

std::string cp437ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        appendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{kCp437High[b - 0x80]});
    }
    return out;
}

std::string latin1ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char byte : bytes)
        appendUtf8(out, static_cast<unsigned char>(byte));
    return out;
}

std::string utf16leToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    const auto unitAt = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    std::size_t pos = 0;
    while (pos + 1 < bytes.size()) {
        const char16_t unit = unitAt(pos);
        pos += 2;
        if (unit >= 0xD800 && unit <= 0xDBFF && pos + 1 < bytes.size()) {
            const char16_t low = unitAt(pos);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                pos += 2;
                appendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
        }
        appendUtf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? kReplacement : char32_t{unit});
    }
    if (pos < bytes.size())
        appendUtf8(out, kReplacement);
    return out;
}

std::string utf8ToUtf16le(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() * 2);
    const auto appendUnit = [&](char32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>((unit >> 8) & 0xFF);
    };
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::optional<char32_t> c = nextUtf8(utf8, pos);
        if (!c) {
            ++pos;  // a byte that starts no valid character stands for one replacement character
            c = kReplacement;
        }
        if (*c >= 0x10000) {
            appendUnit(0xD800 + ((*c - 0x10000) >> 10));
            appendUnit(0xDC00 + ((*c - 0x10000) & 0x3FF));
        } else {
            appendUnit(*c);
        }
    }
    return out;
}

std::string decodeLegacyName(std::string_view bytes, LastResort lastResort)
{
    if (isValidUtf8(bytes))
        return std::string(bytes);
    if (std::optional<std::string> decoded = cp932ToUtf8(bytes))
        return *decoded;
    return lastResort == LastResort::Cp437 ? cp437ToUtf8(bytes) : latin1ToUtf8(bytes);
}

std::string escapedForListing(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const bool c1 = byte == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) < 0xA0 &&
                        static_cast<unsigned char>(name[i + 1]) >= 0x80;
        char escape[8];
        if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else if (c1) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(name[++i]));
            out += escape;
        } else {
            out += name[i];
        }
    }
    return out;
}

}  // namespace arc
