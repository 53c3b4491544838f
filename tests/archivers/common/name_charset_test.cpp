// Name charsets: strict CP932 both ways (0x5C second bytes, unmappable names), CP437,
// Latin-1, UTF-16LE with surrogates, and the legacy-name rule.
#include "common/name_charset.h"

#include <gtest/gtest.h>

namespace arc {
namespace {

using namespace std::string_literals;

struct Cp932Case {
    std::string utf8;
    std::string cp932;
};

class Cp932RoundTrip : public ::testing::TestWithParam<Cp932Case> {};

TEST_P(Cp932RoundTrip, EncodesAndDecodesExactly)
{
    const Cp932Case& c = GetParam();
    EXPECT_EQ(utf8ToCp932(c.utf8), c.cp932);
    EXPECT_EQ(cp932ToUtf8(c.cp932), c.utf8);
    EXPECT_EQ(decodeLegacyName(c.cp932, LastResort::Cp437), c.utf8);
}

// 表, ソ and 能 end in byte 0x5C, the ASCII backslash; ～ is FULLWIDTH TILDE (0x81 0x60);
// ① and 髙 are Microsoft extensions; ｱ is half-width katakana (one byte).
INSTANTIATE_TEST_SUITE_P(Names, Cp932RoundTrip,
                         ::testing::Values(Cp932Case{"plain.txt", "plain.txt"}, Cp932Case{"表", "\x95\x5C"},
                                           Cp932Case{"ソ", "\x83\x5C"}, Cp932Case{"能", "\x94\x5C"},
                                           Cp932Case{"表示/ソフト\\能力.txt",
                                                     "\x95\x5C\x8E\xA6/\x83\x5C\x83t\x83g\\\x94\x5C\x97\xCD.txt"},
                                           Cp932Case{"～", "\x81\x60"}, Cp932Case{"①", "\x87\x40"},
                                           Cp932Case{"髙", "\xFB\xFC"}, Cp932Case{"ｱ", "\xB1"}, Cp932Case{"", ""}));

TEST(Cp932, SecondByte5CStaysInsideTheCharacter)
{
    const std::optional<std::string> decoded = cp932ToUtf8("\x95\x5C\x83\x5C\x94\x5C");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, "表ソ能");
    EXPECT_EQ(decoded->find('\\'), std::string::npos);
}

TEST(Cp932, NamesWithoutACp932FormAreReported)
{
    for (const std::string& name : {"\U00020BB7"s, "a\U0001F600.txt"s, "\u00E9t\u00E9"s, "\u301C"s, "\u4E02"s}) {
        EXPECT_FALSE(utf8ToCp932(name)) << name;
    }
    EXPECT_FALSE(utf8ToCp932("\xFF\xFE"));  // not UTF-8 at all
}

TEST(Cp932, InvalidBytesAreRejected)
{
    for (const std::string& bytes : {"\x81"s, "ab\x95"s, "\x81\x20"s, "\x81\x7F"s, "\xA0"s, "\xFD"s, "\xFF"s}) {
        EXPECT_FALSE(cp932ToUtf8(bytes)) << ::testing::PrintToString(bytes);
    }
}

TEST(Utf8, ValidityIsStrict)
{
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("ascii"));
    EXPECT_TRUE(isValidUtf8("表ソ能\U00020BB7"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));      // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE8\xA1"));          // cut short
    EXPECT_FALSE(isValidUtf8("\x95\x5C"));          // CP932 表
}

TEST(SingleByte, Cp437AndLatin1MapEveryByte)
{
    EXPECT_EQ(cp437ToUtf8("caf\x82"), "café");
    EXPECT_EQ(cp437ToUtf8("\x81\xE1\xFF"), "üß\u00A0");
    EXPECT_EQ(latin1ToUtf8("caf\xE9"), "café");
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += static_cast<char>(b);
    EXPECT_TRUE(isValidUtf8(cp437ToUtf8(every)));
    EXPECT_TRUE(isValidUtf8(latin1ToUtf8(every)));
}

TEST(Utf16le, RoundTripsIncludingSurrogatePairs)
{
    const std::string name = "表ソ能/\U00020BB7/a\U0001F600";
    const std::string utf16 = utf8ToUtf16le(name);
    EXPECT_EQ(utf16.substr(0, 2), "\x68\x88");  // 表 = U+8868
    EXPECT_EQ(utf16leToUtf8(utf16), name);
    EXPECT_EQ(utf8ToUtf16le("\U00020BB7"), "\x42\xD8\xB7\xDF");
}

TEST(Utf16le, BrokenInputBecomesReplacementCharacters)
{
    EXPECT_EQ(utf16leToUtf8("a\0\x00\xD8"s), "a\uFFFD");  // lone high surrogate at the end
    EXPECT_EQ(utf16leToUtf8("\x00\xDC"
                            "b\0"s),
              "\uFFFD"
              "b");  // lone low surrogate
    EXPECT_EQ(utf16leToUtf8("\x00\xD8"
                            "b\0"s),
              "\uFFFD"
              "b");                                // high surrogate, no low one
    EXPECT_EQ(utf16leToUtf8("a\0b"s), "a\uFFFD");  // odd trailing byte
}

TEST(LegacyName, Utf8ThenCp932ThenLastResort)
{
    EXPECT_EQ(decodeLegacyName("表.txt", LastResort::Cp437), "表.txt");
    EXPECT_EQ(decodeLegacyName("\x95\x5C.txt", LastResort::Cp437), "表.txt");
    EXPECT_EQ(decodeLegacyName("\x81\x20", LastResort::Cp437), "ü ");
    EXPECT_EQ(decodeLegacyName("\x81\x20", LastResort::Latin1), "\u0081 ");
}

}  // namespace
}  // namespace arc
