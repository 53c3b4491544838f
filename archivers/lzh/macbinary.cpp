// MacBinary header recognition, and the filter that keeps the data fork.
#include "lzh/macbinary.h"

#include <algorithm>

namespace lzh {
namespace {

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint64_t padded(std::uint64_t size)
{
    return (size + 127) / 128 * 128;
}

// CRC-16/XMODEM (polynomial 0x1021, initial 0), as MacBinary II computes over bytes 0..123.
std::uint16_t xmodemCrc(const std::uint8_t* data, std::size_t size)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                      : static_cast<std::uint16_t>(crc << 1);
    }
    return crc;
}

}  // namespace

bool macBinaryDataFork(const std::uint8_t* header, std::uint64_t fileSize, std::uint64_t& dataForkSize)
{
    if (header[0] != 0 || header[74] != 0 || header[82] != 0 || header[1] < 1 || header[1] > 63)
        return false;
    const std::uint64_t data = bigEndian32(header + 83);
    const std::uint64_t resource = bigEndian32(header + 87);
    const std::uint64_t needed = kMacBinaryHeaderSize + (resource == 0 ? data : padded(data) + resource);
    if (needed > fileSize)
        return false;
    const std::uint16_t storedCrc = static_cast<std::uint16_t>((header[124] << 8) | header[125]);
    const bool crcMatches = storedCrc != 0 && storedCrc == xmodemCrc(header, 124);
    // MacBinary I has no CRC and leaves bytes 99..125 zero; its size must then add up exactly.
    const bool versionOne = std::all_of(header + 99, header + 126, [](std::uint8_t b) { return b == 0; }) &&
                            fileSize == kMacBinaryHeaderSize + padded(data) + padded(resource);
    if (!crcMatches && !versionOne)
        return false;
    dataForkSize = data;
    return true;
}

LzhStatus MacBinaryDataForkSink::write(const std::uint8_t* data, std::size_t size)
{
    if (!decided_) {
        const std::size_t take = std::min(size, kMacBinaryHeaderSize - held_);
        std::copy(data, data + take, header_ + held_);
        held_ += take;
        data += take;
        size -= take;
        if (held_ < kMacBinaryHeaderSize)
            return LzhStatus::Ok;
        decided_ = true;
        macBinary_ = macBinaryDataFork(header_, memberSize_, dataLeft_);
        if (macBinary_) {
            skipped_(kMacBinaryHeaderSize);
        } else if (const LzhStatus st = next_.write(header_, held_); st != LzhStatus::Ok) {
            return st;
        }
    }
    if (!macBinary_)
        return size == 0 ? LzhStatus::Ok : next_.write(data, size);
    const auto pass = static_cast<std::size_t>(std::min<std::uint64_t>(size, dataLeft_));
    dataLeft_ -= pass;
    if (size > pass)
        skipped_(size - pass);
    return pass == 0 ? LzhStatus::Ok : next_.write(data, pass);
}

LzhStatus MacBinaryDataForkSink::finish()
{
    if (decided_ || held_ == 0)
        return LzhStatus::Ok;
    decided_ = true;
    return next_.write(header_, held_);
}

}  // namespace lzh
