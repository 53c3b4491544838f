// The fuzz target over unarc32's reading path, shared by the libFuzzer program and the replay test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace arc::unarc::fuzz {

// `data` as an archive (one volume, or two when `volumes` is 2: split in the middle): every
// header read, every name decoded and made safe, every entry's data read to the end, the
// output capped so a run stays short (the reader itself never needs the cap to end).
void readingTarget(const std::uint8_t* data, std::size_t size, int volumes = 1);

}  // namespace arc::unarc::fuzz
