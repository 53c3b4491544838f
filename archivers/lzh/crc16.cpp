// CRC-16/ARC with slicing by eight: eight independent table look-ups per eight bytes instead of
// a chain of eight dependent ones. Table k gives the CRC of a byte followed by k zero bytes.
#include "lzh/crc16.h"

#include <array>

namespace lzh {
namespace {

using Tables = std::array<std::array<std::uint16_t, 256>, 8>;

constexpr Tables makeTables()
{
    Tables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
        t[0][i] = static_cast<std::uint16_t>(c);
    }
    for (unsigned i = 0; i < 256; ++i)
        for (int s = 1; s < 8; ++s)
            t[s][i] = static_cast<std::uint16_t>((t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF]);
    return t;
}

constexpr Tables kTables = makeTables();

}  // namespace

std::uint16_t crc16Update(std::uint16_t crc, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    unsigned c = crc;
    while (size >= 8) {
        c ^= static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8);
        c = kTables[7][c & 0xFF] ^ kTables[6][c >> 8] ^ kTables[5][p[2]] ^ kTables[4][p[3]] ^ kTables[3][p[4]] ^
            kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size--)
        c = (c >> 8) ^ kTables[0][(c ^ *p++) & 0xFF];
    return static_cast<std::uint16_t>(c);
}

}  // namespace lzh
