// Conversions between the character sets that archive member names arrive in and UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace arc {

bool isValidUtf8(std::string_view bytes);

// Strict CP932 (Shift_JIS with the Microsoft extensions) to UTF-8; nullopt when the bytes are
// not valid CP932. A 0x5C second byte of a double-byte character stays inside the character.
std::optional<std::string> cp932ToUtf8(std::string_view bytes);

// UTF-8 to CP932; nullopt when some character has no CP932 form (or the input is not UTF-8).
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// Single-byte sets: every byte has a character, so these never fail.
std::string cp437ToUtf8(std::string_view bytes);
std::string latin1ToUtf8(std::string_view bytes);

// UTF-16LE (as in LZH extended headers 0x44/0x45) to and from UTF-8. Unpaired surrogates and an
// odd trailing byte become U+FFFD when decoding.
std::string utf16leToUtf8(std::string_view bytes);
std::string utf8ToUtf16le(std::string_view utf8);

enum class LastResort { Cp437, Latin1 };

// The legacy-name rule for names without a Unicode mark: valid UTF-8 as it is, else CP932,
// else the last-resort single-byte set.
std::string decodeLegacyName(std::string_view bytes, LastResort lastResort);

// A decoded (UTF-8) name for a listing, one per line: its control characters (C0, DEL, C1)
// written as \xNN or \uNNNN, so that no name can break a line or drive a terminal.
std::string escapedForListing(std::string_view name);

}  // namespace arc
