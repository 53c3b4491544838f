// Turns a decoded member name into a relative path that cannot leave the destination.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace arc {

// `name` is UTF-8 and already decoded (so a 0x5C byte inside a CP932 character is gone).
// Backslashes count as separators when `backslashIsSeparator`. The name ends at its first NUL
// byte (callers need not cut it). Leading separators and drive prefixes ("/x", "\\x", "C:",
// "C:\x", "C:/x") are dropped, so such a name lands below the destination like any other.
// Empty and "." components are dropped; the result uses "/" and has no leading or trailing
// "/". Returns nullopt for a name with any ".." component, and for a name with nothing left
// after cleaning (see namesDestinationItself).
std::optional<std::string> safeRelativePath(std::string_view name, bool backslashIsSeparator);

// True for a name that, cleaned as above, means the destination itself ("", ".", "./", "/",
// "C:"): extractors pass such a directory entry over quietly instead of reporting it as unsafe.
bool namesDestinationItself(std::string_view name, bool backslashIsSeparator);

// Whether a symbolic link at `linkPath` (a safeRelativePath() result) pointing to `target`
// stays inside the destination. `target` must be non-empty and relative (no leading "/", no
// drive prefix, no NUL). Its ".." components must all come first and climb no higher than the
// destination: a ".." after a name could climb out through another link, whose own target
// the kernel resolves before the "..", so such targets are refused as well.
bool linkTargetStaysInside(std::string_view linkPath, std::string_view target);

}  // namespace arc
