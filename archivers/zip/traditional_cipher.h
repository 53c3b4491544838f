// The original PKWARE ("ZipCrypto") stream cipher, for reading members encrypted with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace arc::zip {

inline constexpr std::size_t kTraditionalHeaderSize = 12;

// Three 32-bit keys updated by every plaintext byte. A member starts with 12 encrypted bytes
// whose last one must equal a check byte: the high byte of the CRC-32, or, for members whose
// sizes follow in a data descriptor, of the MS-DOS time. A wrong passphrase passes that check
// with a chance of 1 in 256 and is then caught by the CRC.
//
// Threading: one object per member and thread.
class TraditionalDecryptor {
public:
    explicit TraditionalDecryptor(std::string_view passphrase);
    // Decrypts the 12-byte header in place; true when its last byte is `check`.
    bool acceptHeader(unsigned char* header, unsigned char check);
    void decrypt(unsigned char* data, std::size_t size);

private:
    void update(unsigned char plain);
    unsigned char keystreamByte() const;

    std::uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

}  // namespace arc::zip
