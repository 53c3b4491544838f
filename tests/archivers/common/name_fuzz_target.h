// One input through every name routine of the shared layer, checking what must always hold:
// outputs are valid UTF-8, conversions that succeed round-trip, and a cleaned path can never
// climb out. Used by the libFuzzer target and by the ordinary replay and random tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace arc::testing {

// Returns an empty string when every property holds, otherwise a description of the first
// that did not.
std::string checkNameProperties(std::string_view input);

}  // namespace arc::testing
