// Member headers and names: level-2 writing read back, forged level 0/1 headers, hostile fields.
#include <gtest/gtest.h>

#include <cstring>

#include "common/safe_path.h"
#include "lzh/crc16.h"
#include "lzh/header_codec.h"
#include "lzh/member_name.h"
#include "lzh_test_support.h"

namespace lzh::testing {
namespace {

LzhStatus readAt0(const Bytes& bytes, MemberHeader& h, bool& atEnd)
{
    MemoryAccess access(bytes.data(), bytes.size());
    return readMemberHeader(access, 0, h, atEnd);
}

Bytes level2(const std::string& memberPath, bool isDirectory = false, std::uint64_t size = 10)
{
    StoredName names = encodeMemberPath(memberPath, isDirectory);
    HeaderFields f;
    f.method = isDirectory ? Method::Lhd : Method::Lh5;
    f.compressedSize = isDirectory ? 0 : size;
    f.originalSize = isDirectory ? 0 : size * 2;
    f.mtime = 1700000000;
    f.dataCrc = 0xBEEF;
    f.unixMode = isDirectory ? 040755 : 0100644;
    f.name = names.name;
    f.directory = names.directory;
    f.utf16Name = names.utf16Name;
    f.utf16Directory = names.utf16Directory;
    Bytes out;
    EXPECT_EQ(writeLevel2Header(f, out), LzhStatus::Ok);
    return out;
}

// A level-0 header as DOS-era tools wrote it: the whole path in the name field.
Bytes level0(const std::string& rawName, const std::string& method = "-lh0-", std::uint32_t size = 0)
{
    Bytes h(24 + rawName.size(), 0);
    h[0] = static_cast<std::uint8_t>(22 + rawName.size());
    std::memcpy(&h[2], method.data(), 5);
    h[7] = static_cast<std::uint8_t>(size);
    h[11] = static_cast<std::uint8_t>(size);
    h[15] = 0, h[16] = 0x60, h[17] = 0x21, h[18] = 0x58;  // a DOS time and date
    h[20] = 0;
    h[21] = static_cast<std::uint8_t>(rawName.size());
    std::memcpy(&h[22], rawName.data(), rawName.size());
    std::uint8_t sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i)
        sum = static_cast<std::uint8_t>(sum + h[i]);
    h[1] = sum;
    return h;
}

TEST(Level2Header, ReadsBackWhatWasWritten)
{
    const Bytes bytes = level2("docs/notes/a.txt");
    MemberHeader h;
    bool atEnd = true;
    ASSERT_EQ(readAt0(bytes, h, atEnd), LzhStatus::Ok);
    EXPECT_FALSE(atEnd);
    EXPECT_EQ(h.level, 2);
    EXPECT_EQ(bytes[19], 0x20);
    EXPECT_EQ(h.method, Method::Lh5);
    EXPECT_EQ(h.compressedSize, 10u);
    EXPECT_EQ(h.originalSize, 20u);
    EXPECT_EQ(h.mtime, 1700000000);
    EXPECT_EQ(h.dataCrc, 0xBEEF);
    EXPECT_EQ(h.unixMode, 0100644u);
    EXPECT_EQ(h.name, "a.txt");
    EXPECT_EQ(h.directory, "docs\xFFnotes\xFF");
    EXPECT_EQ(h.dataOffset, bytes.size());
    EXPECT_EQ(decodeMemberPath(h), "docs/notes/a.txt");
}

TEST(Level2Header, NamesGoInCp932AndGainUtf16OnlyWhenNeeded)
{
    MemberHeader h;
    bool atEnd = false;
    ASSERT_EQ(readAt0(level2("表示/ソフト能.txt"), h, atEnd), LzhStatus::Ok);
    EXPECT_EQ(h.name, "\x83\x5C\x83\x74\x83\x67\x94\x5C.txt");
    EXPECT_FALSE(h.utf16Name.has_value());
    EXPECT_EQ(decodeMemberPath(h), "表示/ソフト能.txt");

    ASSERT_EQ(readAt0(level2("café😀/naïve😀.txt"), h, atEnd), LzhStatus::Ok);
    ASSERT_TRUE(h.utf16Name.has_value());
    ASSERT_TRUE(h.utf16Directory.has_value());
    EXPECT_EQ(decodeMemberPath(h), "café😀/naïve😀.txt");
}

TEST(Level2Header, DirectoriesKeepTheirPathInTheDirectoryHeader)
{
    MemberHeader h;
    bool atEnd = false;
    ASSERT_EQ(readAt0(level2("N/sub", true), h, atEnd), LzhStatus::Ok);
    EXPECT_TRUE(h.isDirectory());
    EXPECT_EQ(h.directory, "N\xFFsub\xFF");
    EXPECT_EQ(arc::safeRelativePath(decodeMemberPath(h), false), "N/sub");
}

TEST(Level2Header, SizeLowByteIsNeverZero)
{
    for (std::size_t length = 1; length < 600; ++length) {
        const Bytes bytes = level2(std::string(length, 'n'));
        const std::size_t total = bytes[0] | (bytes[1] << 8);
        ASSERT_EQ(total, bytes.size());
        ASSERT_NE(bytes[0], 0) << "name length " << length;
        MemberHeader h;
        bool atEnd = false;
        ASSERT_EQ(readAt0(bytes, h, atEnd), LzhStatus::Ok);
        ASSERT_FALSE(atEnd);
    }
}

TEST(Level2Header, LargeSizesUseTheSixtyFourBitExtension)
{
    MemberHeader h;
    bool atEnd = false;
    ASSERT_EQ(readAt0(level2("big.bin", false, std::uint64_t{5} << 32), h, atEnd), LzhStatus::Ok);
    EXPECT_EQ(h.compressedSize, std::uint64_t{5} << 32);
    EXPECT_EQ(h.originalSize, std::uint64_t{10} << 32);
}

TEST(Level2Header, ACorruptedByteFailsTheHeaderCrc)
{
    Bytes bytes = level2("a.txt");
    bytes[bytes.size() - 5] ^= 0x01;  // inside the mode extension
    MemberHeader h;
    bool atEnd = false;
    EXPECT_EQ(readAt0(bytes, h, atEnd), LzhStatus::HeaderChecksum);
}

TEST(Level2Header, EveryTruncationIsANamedError)
{
    const Bytes bytes = level2("dir/file.txt");
    for (std::size_t length = 1; length < bytes.size(); ++length) {
        Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        MemberHeader h;
        bool atEnd = false;
        EXPECT_EQ(readAt0(cut, h, atEnd), LzhStatus::Truncated) << "length " << length;
    }
}

TEST(Level2Header, ExtensionsRunningPastTheHeaderAreRejected)
{
    Bytes bytes = level2("a.txt");
    bytes[24] = 0xF0;  // the first extension claims more bytes than the header has
    bytes[25] = 0x00;
    MemberHeader h;
    bool atEnd = false;
    EXPECT_EQ(readAt0(bytes, h, atEnd), LzhStatus::BadHeader);
    Bytes tiny = bytes;
    tiny[0] = 10, tiny[1] = 0;  // total smaller than the fixed part
    EXPECT_EQ(readAt0(tiny, h, atEnd), LzhStatus::BadHeader);
}

TEST(EndMarker, AZeroByteOrNothingEndsTheArchive)
{
    MemberHeader h;
    bool atEnd = false;
    ASSERT_EQ(readAt0(Bytes{0}, h, atEnd), LzhStatus::Ok);
    EXPECT_TRUE(atEnd);
    ASSERT_EQ(readAt0(Bytes{}, h, atEnd), LzhStatus::Ok);
    EXPECT_TRUE(atEnd);
}

struct Level0NameCase {
    const char* name;
    std::string raw;
    std::string expected;  // after safeRelativePath
};

const Level0NameCase kLevel0Names[] = {
    {"BackslashSeparates", "dir\\sub\\a.txt", "dir/sub/a.txt"},
    {"TrailByteOfHyouStaysInside", "dir\\\x95\x5C\x8E\xA6.txt", "dir/表示.txt"},
    {"TrailByteOfSoStaysInside", "\x83\x5C\x83\x74\x83\x67\\\x94\x5C.txt", "ソフト/能.txt"},
    {"FfSeparates",
     "a\xFF"
     "b.txt",
     "a/b.txt"},
    {"Utf8Kept", "フォルダ\\x.txt", "フォルダ/x.txt"},
    {"Latin1LastResort", "d\\caf\xFD.txt", "d/cafý.txt"},  // 0xFD leads no CP932 character
};

class Level0Names : public ::testing::TestWithParam<Level0NameCase> {};

TEST_P(Level0Names, DecodeBeforeSplitting)
{
    MemberHeader h;
    bool atEnd = false;
    ASSERT_EQ(readAt0(level0(GetParam().raw), h, atEnd), LzhStatus::Ok);
    EXPECT_EQ(h.level, 0);
    EXPECT_EQ(arc::safeRelativePath(decodeMemberPath(h), backslashSeparates(h)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, Level0Names, ::testing::ValuesIn(kLevel0Names),
                         [](const ::testing::TestParamInfo<Level0NameCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(Level0Header, ChecksumMismatchAndEscapesAreCaught)
{
    Bytes bytes = level0("a.txt");
    bytes[1] ^= 0xFF;
    MemberHeader h;
    bool atEnd = false;
    EXPECT_EQ(readAt0(bytes, h, atEnd), LzhStatus::HeaderChecksum);
    for (const char* hostile : {"..\\..\\evil.txt", "a\\..\\..\\b"}) {
        ASSERT_EQ(readAt0(level0(hostile), h, atEnd), LzhStatus::Ok);
        EXPECT_FALSE(arc::safeRelativePath(decodeMemberPath(h), backslashSeparates(h)).has_value()) << hostile;
    }
}

TEST(Level1Header, ExtendedHeadersAreCountedOutOfTheDataSize)
{
    // Base header with name "f.txt", then a directory extension "d\xFF", then 4 data bytes.
    const std::string name = "f.txt";
    const std::string dirExt = std::string("\x02") + "d\xFF";
    Bytes h(27 + name.size(), 0);
    h[0] = static_cast<std::uint8_t>(25 + name.size());
    std::memcpy(&h[2], "-lh0-", 5);
    const std::uint32_t skip = static_cast<std::uint32_t>(dirExt.size() + 2 + 4);
    h[7] = static_cast<std::uint8_t>(skip);
    h[11] = 4;
    h[19] = 0x20;
    h[20] = 1;
    h[21] = static_cast<std::uint8_t>(name.size());
    std::memcpy(&h[22], name.data(), name.size());
    h[24 + name.size()] = 'U';
    h[25 + name.size()] = static_cast<std::uint8_t>(dirExt.size() + 2);
    std::uint8_t sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i)
        sum = static_cast<std::uint8_t>(sum + h[i]);
    h[1] = sum;
    h.insert(h.end(), dirExt.begin(), dirExt.end());
    h.push_back(0), h.push_back(0);
    const std::size_t dataAt = h.size();
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    MemberHeader m;
    bool atEnd = false;
    ASSERT_EQ(readAt0(h, m, atEnd), LzhStatus::Ok);
    EXPECT_EQ(m.compressedSize, 4u);
    EXPECT_EQ(m.dataOffset, dataAt);
    EXPECT_EQ(decodeMemberPath(m), "d/f.txt");
}

TEST(Level3Header, FourByteSizesAreRead)
{
    const std::string name = "l3.txt";
    const std::size_t extSize = 1 + name.size() + 4;
    Bytes h(32 + extSize, 0);
    h[0] = 4;  // word size
    std::memcpy(&h[2], "-lh0-", 5);
    h[7] = 3, h[11] = 3, h[19] = 0x20, h[20] = 3, h[23] = 'U';
    h[24] = static_cast<std::uint8_t>(h.size());
    h[28] = static_cast<std::uint8_t>(extSize);
    h[32] = 0x01;
    std::memcpy(&h[33], name.data(), name.size());
    h.insert(h.end(), {'a', 'b', 'c'});
    MemberHeader m;
    bool atEnd = false;
    ASSERT_EQ(readAt0(h, m, atEnd), LzhStatus::Ok);
    EXPECT_EQ(m.level, 3);
    EXPECT_EQ(decodeMemberPath(m), "l3.txt");
    EXPECT_EQ(m.dataOffset, 32 + extSize);
    EXPECT_EQ(m.compressedSize, 3u);
}

TEST(MemberNames, Utf16AndCodePageHeadersComeFirst)
{
    MemberHeader h;
    h.level = 2;
    h.name = "\x95\x5C.txt";  // 表.txt in CP932
    EXPECT_EQ(decodeMemberPath(h), "表.txt");
    h.codePage = 65001;
    h.name = "表.txt";
    EXPECT_EQ(decodeMemberPath(h), "表.txt");
    h.utf16Name = std::string("\x3A\x00\x29\x00", 4);  // ":)" in UTF-16LE
    h.utf16Directory = std::string("d\0\xFF\xFF", 4);
    EXPECT_EQ(decodeMemberPath(h), "d/:)");
}

}  // namespace
}  // namespace lzh::testing
