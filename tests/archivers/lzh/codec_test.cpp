// The -lh5-/-lh6-/-lh7- codec: round trips over input shapes, truncations, forged tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "lzh/bit_writer.h"
#include "lzh/crc16.h"
#include "lzh/huffman_builder.h"
#include "lzh/lzh_decoder.h"
#include "lzh/lzh_encoder.h"
#include "lzh_test_support.h"

namespace lzh::testing {
namespace {

std::uint16_t crcOf(const Bytes& bytes)
{
    return crc16Update(0, bytes.data(), bytes.size());
}

TEST(Crc16, MatchesTheArcCheckValueAndAnyChunking)
{
    const std::string check = "123456789";
    EXPECT_EQ(crc16Update(0, check.data(), check.size()), 0xBB3D);
    const Bytes data = randomBytes(1001, 3);
    for (std::size_t split : {0u, 1u, 3u, 5u, 500u, 1001u}) {
        std::uint16_t crc = crc16Update(0, data.data(), split);
        crc = crc16Update(crc, data.data() + split, data.size() - split);
        EXPECT_EQ(crc, crcOf(data)) << "split at " << split;
    }
}

TEST(HuffmanBuilder, CodesAreCompleteAndWithinSixteenBits)
{
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint32_t> freq(kNC, 0);
        const int used = 2 + static_cast<int>(rng() % (kNC - 1));
        for (int i = 0; i < used; ++i)
            freq[rng() % kNC] = 1 + rng() % 1000;
        if (round % 4 == 0) {  // Fibonacci weights force unlimited lengths far past 16
            std::uint32_t a = 1, b = 1;
            for (int i = 0; i < 30; ++i, std::swap(a, b), b += a)
                freq[static_cast<std::size_t>(i)] = a;
        }
        std::vector<std::uint8_t> lengths(kNC);
        buildCodeLengths(freq.data(), kNC, kMaxCodeBits, lengths.data());
        std::uint64_t kraft = 0;
        int nonzero = 0;
        for (int s = 0; s < kNC; ++s) {
            ASSERT_LE(lengths[s], kMaxCodeBits);
            ASSERT_EQ(lengths[s] != 0, freq[s] != 0) << "symbol " << s;
            if (lengths[s] != 0)
                kraft += std::uint64_t{1} << (kMaxCodeBits - lengths[s]);
            nonzero += freq[s] != 0;
        }
        if (nonzero >= 2) {
            EXPECT_EQ(kraft, std::uint64_t{1} << kMaxCodeBits) << "round " << round;
        }
    }
}

enum class Shape { Empty, OneByte, WindowMinusOne, Window, WindowPlusOne, BlockBoundaryRun, Random, Text, Zeros };

struct CodecCase {
    Method method;
    Shape shape;
};

std::string shapeName(Shape s)
{
    static const char* names[] = {"Empty",  "OneByte", "WindowMinusOne", "Window", "WindowPlusOne", "BlockBoundaryRun",
                                  "Random", "Text",    "Zeros"};
    return names[static_cast<int>(s)];
}

Bytes inputFor(const CodecCase& c)
{
    const std::size_t window = std::size_t{1} << paramsOf(c.method).dictionaryBits;
    switch (c.shape) {
    case Shape::Empty: return {};
    case Shape::OneByte: return {0x41};
    case Shape::WindowMinusOne: return textBytes(window - 1, 1);
    case Shape::Window: return textBytes(window, 2);
    case Shape::WindowPlusOne: {
        // The tail repeats the head exactly one window back: a match at the longest distance.
        Bytes b = randomBytes(window + 1 + 300, 4);
        std::copy(b.begin(), b.begin() + 300, b.begin() + static_cast<std::ptrdiff_t>(window) + 1);
        return b;
    }
    case Shape::BlockBoundaryRun: {
        // Enough literals to fill more than a block of codes, then a long run straddling it.
        Bytes b = randomBytes(40000, 5);
        b.insert(b.end(), 70000, 'x');
        Bytes tail = randomBytes(30000, 6);
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    }
    case Shape::Random: return randomBytes(200000, 8);
    case Shape::Text: return textBytes(1u << 20, 9);
    case Shape::Zeros: return Bytes(1u << 20, 0);
    }
    return {};
}

class CodecRoundTrip : public ::testing::TestWithParam<CodecCase> {};

TEST_P(CodecRoundTrip, DecodesToTheInputWithItsCrc)
{
    const Bytes input = inputFor(GetParam());
    const Bytes compressed = encode(GetParam().method, input);
    Bytes output;
    std::uint16_t crc = 0;
    ASSERT_EQ(decode(GetParam().method, compressed, input.size(), output, crc), LzhStatus::Ok);
    EXPECT_TRUE(output == input);
    EXPECT_EQ(crc, crcOf(input));
    if (GetParam().shape == Shape::Zeros || GetParam().shape == Shape::Text) {
        EXPECT_LT(compressed.size(), input.size() / 2);
    }
    // Feeding the encoder a byte at a time gives a stream that decodes the same.
    if (input.size() <= 20000) {
        Bytes piecewise;
        ASSERT_EQ(decode(GetParam().method, encode(GetParam().method, input, 1), input.size(), piecewise, crc),
                  LzhStatus::Ok);
        EXPECT_TRUE(piecewise == input);
    }
}

std::vector<CodecCase> allCodecCases()
{
    std::vector<CodecCase> cases;
    for (Method m : {Method::Lh5, Method::Lh6, Method::Lh7})
        for (int s = 0; s <= static_cast<int>(Shape::Zeros); ++s)
            cases.push_back({m, static_cast<Shape>(s)});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(MethodsAndShapes, CodecRoundTrip, ::testing::ValuesIn(allCodecCases()),
                         [](const ::testing::TestParamInfo<CodecCase>& info) {
                             return std::string(methodId(info.param.method).substr(1, 3)) + "_" +
                                    shapeName(info.param.shape);
                         });

class CodecTruncation : public ::testing::TestWithParam<Method> {};

TEST_P(CodecTruncation, EveryShortenedStreamIsReportedTruncated)
{
    Bytes input = textBytes(12000, 21);
    const Bytes noise = randomBytes(3000, 22);
    input.insert(input.end(), noise.begin(), noise.end());
    const Bytes compressed = encode(GetParam(), input);
    for (std::size_t length = 0; length < compressed.size(); ++length) {
        Bytes cut(compressed.begin(), compressed.begin() + static_cast<std::ptrdiff_t>(length));
        Bytes output;
        std::uint16_t crc = 0;
        ASSERT_EQ(decode(GetParam(), cut, input.size(), output, crc), LzhStatus::Truncated) << "length " << length;
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, CodecTruncation, ::testing::Values(Method::Lh5, Method::Lh6, Method::Lh7));

// Streams written bit by bit, as a test-only encoder would.
struct ForgedStream {
    Bytes bytes;
    BitWriter bits{bytes};
    Bytes finish()
    {
        bits.flush();
        bits.put(32, 0);  // spare bits, so only the table itself can be wrong
        bits.put(32, 0);
        return bytes;
    }
};

LzhStatus decodeForged(ForgedStream& s, std::uint64_t size, Bytes& out)
{
    std::uint16_t crc = 0;
    return decode(Method::Lh5, s.finish(), size, out, crc);
}

TEST(ForgedStream, SingleSymbolFormsDecodeWithoutBits)
{
    ForgedStream s;
    s.bits.put(16, 5);                             // five codes
    s.bits.put(kTBit, 0), s.bits.put(kTBit, 0);    // T: one symbol
    s.bits.put(kCBit, 0), s.bits.put(kCBit, 'A');  // C: only 'A'
    s.bits.put(4, 0), s.bits.put(4, 0);            // P: one symbol
    Bytes out;
    ASSERT_EQ(decodeForged(s, 5, out), LzhStatus::Ok);
    EXPECT_EQ(std::string(out.begin(), out.end()), "AAAAA");
}

struct BadTableCase {
    const char* name;
    void (*write)(BitWriter&);
    LzhStatus expected;
};

const BadTableCase kBadTables[] = {
    {"ZeroBlockSize", [](BitWriter& b) { b.put(16, 0); }, LzhStatus::BadBlockSize},
    {"TCountAboveNineteen", [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 20); }, LzhStatus::BadCodeTable},
    {"TSingleSymbolOutOfRange", [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 0), b.put(kTBit, 25); },
     LzhStatus::BadCodeTable},
    {"TIncompleteCode",  // lengths 1 and 2 only: half a code space left unassigned
     [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 2), b.put(3, 1), b.put(3, 2); }, LzhStatus::BadCodeTable},
    {"TOversubscribedCode",  // three codes of length 1
     [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 3), b.put(3, 1), b.put(3, 1), b.put(3, 1), b.put(2, 0); },
     LzhStatus::BadCodeTable},
    {"TLengthAboveSixteen",  // "111" and ten more ones: 17
     [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 2), b.put(3, 7), b.put(10, 0x3FF), b.put(1, 0); },
     LzhStatus::BadCodeTable},
    {"TZeroRunPastCount",  // three lengths, then a run of three zeros beyond them
     [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 4), b.put(3, 1), b.put(3, 1), b.put(3, 0), b.put(2, 3); },
     LzhStatus::BadCodeTable},
    {"CCountAboveNc", [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 0), b.put(kTBit, 3), b.put(kCBit, 511); },
     LzhStatus::BadCodeTable},
    {"CSingleSymbolOutOfRange",
     [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 0), b.put(kTBit, 3), b.put(kCBit, 0), b.put(kCBit, 510); },
     LzhStatus::BadCodeTable},
    {"CIncompleteCode",  // T says every C length is 1 (symbol 3); a single length-1 code is incomplete
     [](BitWriter& b) { b.put(16, 1), b.put(kTBit, 0), b.put(kTBit, 3), b.put(kCBit, 1); }, LzhStatus::BadCodeTable},
    {"PCountAboveNp",
     [](BitWriter& b) {
         b.put(16, 1), b.put(kTBit, 0), b.put(kTBit, 0), b.put(kCBit, 0), b.put(kCBit, 'A'), b.put(4, 15);
     },
     LzhStatus::BadCodeTable},
    {"PSingleSymbolOutOfRange",
     [](BitWriter& b) {
         b.put(16, 1), b.put(kTBit, 0), b.put(kTBit, 0), b.put(kCBit, 0), b.put(kCBit, 'A'), b.put(4, 0), b.put(4, 14);
     },
     LzhStatus::BadCodeTable},
};

class ForgedBadTable : public ::testing::TestWithParam<BadTableCase> {};

TEST_P(ForgedBadTable, GivesItsOwnStatus)
{
    ForgedStream s;
    GetParam().write(s.bits);
    Bytes out;
    EXPECT_EQ(decodeForged(s, 10, out), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Tables, ForgedBadTable, ::testing::ValuesIn(kBadTables),
                         [](const ::testing::TestParamInfo<BadTableCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(SizeHint, AnInputLargerThanPromisedStillRoundTrips)
{
    // A file that grows while it is read: the encoder was set up for 1,000 bytes.
    const Bytes input = textBytes(700000, 31);
    for (Method m : {Method::Lh5, Method::Lh7}) {
        LzhEncoder encoder(m, 1000);
        Bytes compressed;
        for (std::size_t at = 0; at < input.size(); at += 65536)
            encoder.write(input.data() + at, std::min<std::size_t>(65536, input.size() - at), compressed);
        encoder.finish(compressed);
        Bytes output;
        std::uint16_t crc = 0;
        ASSERT_EQ(decode(m, compressed, input.size(), output, crc), LzhStatus::Ok);
        EXPECT_TRUE(output == input);
    }
}

TEST(HostileSizes, AHugeClaimedSizeEndsAsTruncatedNotAHang)
{
    const Bytes compressed = encode(Method::Lh7, textBytes(5000, 1));
    Bytes output;
    std::uint16_t crc = 0;
    EXPECT_EQ(decode(Method::Lh7, compressed, std::uint64_t{1} << 40, output, crc), LzhStatus::Truncated);
    EXPECT_LT(output.size(), 64u << 20);
}

TEST(StoredData, CopiesAndReportsShortSources)
{
    const Bytes input = randomBytes(70000, 2);
    Bytes output;
    std::uint16_t crc = 0;
    ASSERT_EQ(decode(Method::Lh0, input, input.size(), output, crc), LzhStatus::Ok);
    EXPECT_TRUE(output == input);
    EXPECT_EQ(crc, crcOf(input));
    EXPECT_EQ(decode(Method::Lh0, input, input.size() + 1, output, crc), LzhStatus::Truncated);
}

}  // namespace
}  // namespace lzh::testing
