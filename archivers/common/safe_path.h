// Turns a decoded member name into a relative path that cannot leave the destination.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace arc {

// `name` is UTF-8 and already decoded (so a 0x5C byte inside a CP932 character is gone).
// Backslashes count as separators when `backslashIsSeparator`. Empty and "." components are
// dropped; the result uses "/" and has no leading or trailing "/". Returns nullopt for a name
// that would escape or is meaningless: absolute ("/x"), a drive prefix ("C:"), any ".."
// component, an embedded NUL, or nothing left after cleaning.
std::optional<std::string> safeRelativePath(std::string_view name, bool backslashIsSeparator);

}  // namespace arc

namespace arc {

// True for a directory name that means the destination itself ("./", ".", "./."): extractors
// pass such an entry over quietly instead of reporting it as unsafe.
bool namesDestinationItself(std::string_view name, bool backslashIsSeparator);

}  // namespace arc
