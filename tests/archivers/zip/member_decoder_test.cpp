// The two ways a deflated member is decoded, whole (libdeflate) and streamed (ISA-L, fed in
// pieces of any size), give the same bytes and CRC-32 for every input, and both refuse a
// stream cut short.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "zip/member_decoder.h"
#include "zip/zip_format.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

std::string rawDeflate(const std::string& input, int level)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, input.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

struct Decoded {
    zip::RawMemberResult result;
    std::string bytes;
};

Decoded whole(const std::string& compressed, std::size_t size)
{
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    Decoded decoded;
    decoded.bytes.resize(size);
    decoded.result = zip::inflateWhole(decompressor, reinterpret_cast<const unsigned char*>(compressed.data()),
                                       compressed.size(), reinterpret_cast<unsigned char*>(decoded.bytes.data()), size);
    libdeflate_free_decompressor(decompressor);
    return decoded;
}

// Fed in pieces of random sizes (1 byte to 70 KiB), as reads and decryption may cut them.
Decoded streamed(const std::string& compressed, std::size_t size, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::size_t at = 0;
    const auto input = [&](unsigned char* buffer, std::size_t capacity) {
        const std::size_t piece = std::min({capacity, compressed.size() - at, std::size_t{1} + rng() % 70000});
        std::memcpy(buffer, compressed.data() + at, piece);
        at += piece;
        return piece;
    };
    Decoded decoded;
    const auto sink = [&](const unsigned char* data, std::size_t bytes) {
        decoded.bytes.append(reinterpret_cast<const char*>(data), bytes);
        return true;
    };
    decoded.result =
        zip::decodeStreamed(zip::StreamedMember{zip::kMethodDeflate, 0, compressed.size(), size}, input, sink);
    return decoded;
}

struct Shape {
    const char* label;
    std::string bytes;
};

class WholeAndStreamed : public ::testing::TestWithParam<std::tuple<Shape, int>> {};

TEST_P(WholeAndStreamed, GiveTheSameBytesAndRefuseACutStream)
{
    const std::string& input = std::get<0>(GetParam()).bytes;
    const std::string compressed = rawDeflate(input, std::get<1>(GetParam()));
    const Decoded a = whole(compressed, input.size());
    const Decoded b = streamed(compressed, input.size(), static_cast<std::uint32_t>(input.size()));
    ASSERT_EQ(a.result.status, zip::RawMemberStatus::Ok);
    ASSERT_EQ(b.result.status, zip::RawMemberStatus::Ok);
    EXPECT_TRUE(a.bytes == input && b.bytes == input);
    EXPECT_EQ(a.result.crc32, crcOf(input));
    EXPECT_EQ(b.result.crc32, crcOf(input));
    EXPECT_EQ(a.result.size, b.result.size);
    for (const std::size_t cut : {compressed.size() / 2, compressed.size() - 1}) {
        if (cut == 0)
            continue;
        const std::string shorter = compressed.substr(0, cut);
        EXPECT_NE(whole(shorter, input.size()).result.status, zip::RawMemberStatus::Ok);
        EXPECT_NE(streamed(shorter, input.size(), 7).result.status, zip::RawMemberStatus::Ok);
    }
}

std::vector<Shape> shapes()
{
    const std::string text = textBytes(1200000);
    return {{"Empty", ""},
            {"OneByte", "x"},
            {"WindowMinusOne", text.substr(0, 32767)},
            {"WindowPlusOne", text.substr(0, 32769)},
            {"Random", randomBytes(300000, 11)},
            {"Runs", std::string(1u << 20, 'a') + randomBytes(1000, 2) + std::string(70000, '\0')},
            {"LargeText", text}};
}

INSTANTIATE_TEST_SUITE_P(Inputs, WholeAndStreamed,
                         ::testing::Combine(::testing::ValuesIn(shapes()), ::testing::Values(1, 6, 9)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) + "Level" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace arc::testing
