// CRC-16/ARC (reflected polynomial 0xA001, initial value 0), the check value of LZH data and headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh {

// Continues `crc` over `size` bytes; start with 0.
std::uint16_t crc16Update(std::uint16_t crc, const void* data, std::size_t size);

}  // namespace lzh
