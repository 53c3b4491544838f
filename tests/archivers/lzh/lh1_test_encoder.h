// A small -lh1- encoder for the tests: greedy matches, the engine's adaptive tree for codes.
// Its output is checked by an independent reader (lhasa) before our decoder is trusted with it.
#pragma once

#include <cstdint>
#include <vector>

namespace lzh::testing {

std::vector<std::uint8_t> encodeLh1(const std::vector<std::uint8_t>& input);

}  // namespace lzh::testing
