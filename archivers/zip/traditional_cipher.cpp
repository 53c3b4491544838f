// The traditional PKWARE cipher: keys stirred with CRC-32 and a linear congruence.
#include "zip/traditional_cipher.h"

#include <array>

namespace arc::zip {
namespace {

constexpr std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();

constexpr std::uint32_t crcStep(std::uint32_t crc, unsigned char byte)
{
    return kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

TraditionalDecryptor::TraditionalDecryptor(std::string_view passphrase)
{
    for (const char c : passphrase)
        update(static_cast<unsigned char>(c));
}

void TraditionalDecryptor::update(unsigned char plain)
{
    keys_[0] = crcStep(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = crcStep(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
}

unsigned char TraditionalDecryptor::keystreamByte() const
{
    const std::uint32_t temp = (keys_[2] & 0xFFFF) | 2;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

void TraditionalDecryptor::decrypt(unsigned char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        data[i] ^= keystreamByte();
        update(data[i]);
    }
}

bool TraditionalDecryptor::acceptHeader(unsigned char* header, unsigned char check)
{
    decrypt(header, kTraditionalHeaderSize);
    return header[kTraditionalHeaderSize - 1] == check;
}

}  // namespace arc::zip
