// WinZip AES decryption of one member.
#include "zip/winzip_aes.h"

#include <nettle/memops.h>
#include <nettle/memxor.h>
#include <nettle/pbkdf2.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "zip/zip_format.h"

namespace arc::zip {
namespace {

constexpr std::uint16_t kExtraWinZipAes = 0x9901;
constexpr unsigned kPbkdf2Iterations = 1000;

}  // namespace

std::optional<WinZipAesField> parseWinZipAesField(std::string_view extra)
{
    // [u16 vendor version]["AE"][u8 strength 1..3][u16 method]
    std::string_view data;
    if (!findExtraField(extra, kExtraWinZipAes, data) || data.size() < 7 || data[2] != 'A' || data[3] != 'E')
        return std::nullopt;
    WinZipAesField field;
    field.vendorVersion = load16(bytesOf(data));
    const unsigned strength = static_cast<unsigned char>(data[4]);
    field.method = load16(bytesOf(data) + 5);
    if (field.vendorVersion < 1 || field.vendorVersion > 2 || strength < 1 || strength > 3)
        return std::nullopt;
    field.keyBytes = 8 + 8 * strength;
    return field;
}

WinZipAesDecryptor::~WinZipAesDecryptor()
{
    // Key material does not outlive the member.
    std::memset(static_cast<void*>(&cipher_), 0, sizeof cipher_);
    std::memset(static_cast<void*>(&mac_), 0, sizeof mac_);
}

bool WinZipAesDecryptor::begin(const WinZipAesField& field, std::string_view passphrase, const unsigned char* salt,
                               const unsigned char* verifier)
{
    keyBytes_ = field.keyBytes;
    // The derived bytes: the AES key, the HMAC key, then the 2-byte verifier.
    std::vector<unsigned char> derived(2 * keyBytes_ + kAesVerifierSize);
    pbkdf2_hmac_sha1(passphrase.size(), reinterpret_cast<const std::uint8_t*>(passphrase.data()), kPbkdf2Iterations,
                     field.saltSize(), salt, derived.size(), derived.data());
    const bool accepted = memeql_sec(derived.data() + 2 * keyBytes_, verifier, kAesVerifierSize) != 0;
    if (accepted) {
        switch (keyBytes_) {
        case 16: aes128_set_encrypt_key(&cipher_.aes128, derived.data()); break;
        case 24: aes192_set_encrypt_key(&cipher_.aes192, derived.data()); break;
        default: aes256_set_encrypt_key(&cipher_.aes256, derived.data()); break;
        }
        hmac_sha1_set_key(&mac_, keyBytes_, derived.data() + keyBytes_);
        std::memset(counter_, 0, sizeof counter_);
        keystreamUsed_ = sizeof keystream_;
    }
    std::memset(derived.data(), 0, derived.size());
    return accepted;
}

// Fills the keystream with the next blocks' encrypted counters, many blocks per AES call.
void WinZipAesDecryptor::refill()
{
    unsigned char counters[sizeof keystream_];
    for (std::size_t block = 0; block < sizeof counters; block += 16) {
        for (unsigned char& byte : counter_)
            if (++byte != 0)
                break;
        std::memcpy(counters + block, counter_, 16);
    }
    switch (keyBytes_) {
    case 16: aes128_encrypt(&cipher_.aes128, sizeof counters, keystream_, counters); break;
    case 24: aes192_encrypt(&cipher_.aes192, sizeof counters, keystream_, counters); break;
    default: aes256_encrypt(&cipher_.aes256, sizeof counters, keystream_, counters); break;
    }
    keystreamUsed_ = 0;
}

void WinZipAesDecryptor::decrypt(unsigned char* data, std::size_t size)
{
    hmac_sha1_update(&mac_, size, data);
    while (size > 0) {
        if (keystreamUsed_ == sizeof keystream_)
            refill();
        const std::size_t piece = std::min(size, sizeof keystream_ - keystreamUsed_);
        memxor(data, keystream_ + keystreamUsed_, piece);
        keystreamUsed_ += piece;
        data += piece;
        size -= piece;
    }
}

bool WinZipAesDecryptor::authenticate(const unsigned char* storedMac)
{
    unsigned char mac[kAesMacSize];
    hmac_sha1_digest(&mac_, sizeof mac, mac);
    return memeql_sec(mac, storedMac, kAesMacSize) != 0;
}

}  // namespace arc::zip
