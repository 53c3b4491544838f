// WinZip AES (AE-1, AE-2): key derivation, the password verifier, AES-CTR as WinZip counts it,
// and the HMAC-SHA1-80 authentication code, over nettle.
#pragma once

#include <nettle/aes.h>
#include <nettle/hmac.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace arc::zip {

inline constexpr std::uint16_t kMethodWinZipAes = 99;
inline constexpr std::size_t kAesVerifierSize = 2;
inline constexpr std::size_t kAesMacSize = 10;

// The 0x9901 extra field of an AES-encrypted member.
struct WinZipAesField {
    unsigned vendorVersion = 0;  // 1: AE-1 (the CRC-32 is stored), 2: AE-2 (it is 0)
    unsigned keyBytes = 0;       // 16, 24 or 32
    std::uint16_t method = 0;    // the compression method under the encryption
    std::size_t saltSize() const { return keyBytes / 2; }
    // Salt and verifier before the data, authentication code after it.
    std::size_t overhead() const { return saltSize() + kAesVerifierSize + kAesMacSize; }
};

// The member's AES field; nullopt when it is missing or names an unknown strength or vendor.
std::optional<WinZipAesField> parseWinZipAesField(std::string_view extra);

// Decrypts one member. The authentication code covers the encrypted bytes, so it is computed
// as they pass, before they are decrypted in place.
//
// CTR as WinZip defines it: the counter is a 128-bit little-endian number starting at 1, one
// per 16-byte block; the last block of a member may be short.
//
// Threading: one object per member and thread.
class WinZipAesDecryptor {
public:
    WinZipAesDecryptor() = default;
    WinZipAesDecryptor(const WinZipAesDecryptor&) = delete;
    WinZipAesDecryptor& operator=(const WinZipAesDecryptor&) = delete;
    ~WinZipAesDecryptor();

    // Derives the keys (PBKDF2-HMAC-SHA1, 1000 iterations) from `passphrase` and the member's
    // `salt` (field.saltSize() bytes). False when the derived verifier differs from `verifier`:
    // the passphrase is wrong (a wrong one passes with a chance of 1 in 65,536, and is then
    // caught by the authentication code).
    bool begin(const WinZipAesField& field, std::string_view passphrase, const unsigned char* salt,
               const unsigned char* verifier);
    void decrypt(unsigned char* data, std::size_t size);
    // True when the stored 10-byte code matches the encrypted bytes that passed decrypt().
    bool authenticate(const unsigned char* storedMac);

private:
    union Cipher {
        aes128_ctx aes128;
        aes192_ctx aes192;
        aes256_ctx aes256;
    };
    void refill();

    unsigned keyBytes_ = 0;
    Cipher cipher_{};
    hmac_sha1_ctx mac_{};
    unsigned char counter_[16] = {};
    unsigned char keystream_[4096] = {};
    std::size_t keystreamUsed_ = sizeof keystream_;
};

}  // namespace arc::zip
