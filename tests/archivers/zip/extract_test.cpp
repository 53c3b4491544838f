// Hostile and damaged archives: nothing lands outside the destination, nothing half-written
// stays under a final name, and the result names the failure while safe entries still arrive.
#include <sys/stat.h>

#include <string>

#include "common/status.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

// "@OUT@" in a name or link target stands for the folder beside the destination that no
// entry may reach.
struct HostileCase {
    const char* label;
    std::vector<RawMember> members;
    ArcStatus expected;
    std::map<std::string, std::string> expectedFiles;       // what the destination must hold exactly
    std::string (*reshape)(std::string archive) = nullptr;  // applied to the archive's bytes
};

// A program stub before the archive whose offsets were not adjusted (self-extracting archives).
std::string withStub(std::string archive)
{
    return "MZ" + std::string(3000, '\x90') + archive;
}

// Bytes between the first and the second entry, the offsets left as they were.
std::string withPadding(std::string archive)
{
    return archive.insert(archive.find("PK\x03\x04", 4), std::string(777, '\0'));
}

std::string withStubAndPadding(std::string archive)
{
    return withStub(withPadding(std::move(archive)));
}

// The end record's directory size one record too large: the directory cannot be found.
std::string withDirectoryMisplaced(std::string archive)
{
    archive[archive.size() - 10] = static_cast<char>(archive[archive.size() - 10] + 7);
    return archive;
}

std::string unicodePathExtra(const std::string& rawName, const std::string& utf8)
{
    std::string extra = "\x75\x70";
    const std::uint16_t size = static_cast<std::uint16_t>(5 + utf8.size());
    extra += static_cast<char>(size & 0xFF);
    extra += static_cast<char>(size >> 8);
    extra += '\x01';
    const std::uint32_t crc = crcOf(rawName);
    for (int i = 0; i < 4; ++i)
        extra += static_cast<char>((crc >> (8 * i)) & 0xFF);
    return extra + utf8;
}

RawMember raw(std::string name, std::string data, std::uint16_t flags = 0, std::uint32_t mode = 0100644,
              std::optional<std::uint32_t> crc = std::nullopt, std::string centralExtra = {})
{
    return RawMember{std::move(name), std::move(data), flags, mode, crc, std::move(centralExtra)};
}

std::vector<HostileCase> hostileCases()
{
    const std::string cp932Name = "\x95\x5c\x8e\xa6\\\x83\x5c.txt";  // 表示\ソ.txt
    using Files = std::map<std::string, std::string>;
    const std::vector<RawMember> twoMembers = {raw("one.txt", "first"), raw("two/second.txt", "the second member")};
    const Files twoFiles = {{"one.txt", "f:first"}, {"two", "d"}, {"two/second.txt", "f:the second member"}};
    return {
        {"DotDot", {raw("../evil.txt", "x"), raw("ok.txt", "ok")}, ArcStatus::UnsafeEntry, Files{{"ok.txt", "f:ok"}}},
        {"DeepDotDot",
         {raw("a/../../evil.txt", "x"), raw("ok.txt", "ok")},
         ArcStatus::UnsafeEntry,
         Files{{"ok.txt", "f:ok"}}},
        {"AbsoluteLandsBelow",
         {raw("/abs.txt", "x"), raw("ok.txt", "ok")},
         ArcStatus::Ok,
         Files{{"abs.txt", "f:x"}, {"ok.txt", "f:ok"}}},
        {"BackslashDotDot", {raw("..\\..\\evil.txt", "x")}, ArcStatus::UnsafeEntry, Files{}},
        {"DriveLetterLandsBelow", {raw("C:\\drive.txt", "x")}, ArcStatus::Ok, Files{{"drive.txt", "f:x"}}},
        {"SymlinkThenFileThroughIt",
         {raw("lnk", "@OUT@", 0, 0120777), raw("lnk/f.txt", "through")},
         ArcStatus::UnsafeEntry,
         Files{{"lnk", "d"}, {"lnk/f.txt", "f:through"}}},
        {"CrcMismatch",
         {raw("bad.txt", "payload", 0, 0100644, 1234u), raw("good.txt", "good")},
         ArcStatus::CrcMismatch,
         Files{{"good.txt", "f:good"}}},
        // Large enough to be decoded ahead on a worker, which must catch the mismatch too.
        {"LargeMemberCrcMismatch",
         {raw("big.bin", std::string(std::size_t{5} << 20, 'z'), 0, 0100644, 1234u), raw("good.txt", "good")},
         ArcStatus::CrcMismatch,
         Files{{"good.txt", "f:good"}}},
        {"RelativeLinkLeavingTheDestination",
         {raw("up", "../../escape", 0, 0120777), raw("ok.txt", "ok")},
         ArcStatus::UnsafeEntry,
         Files{{"ok.txt", "f:ok"}}},
        {"SpecialEntriesAreSkipped",
         {raw("fifo", "", 0, 0010644), raw("dev", "", 0, 0020644), raw("ok.txt", "ok")},
         ArcStatus::SpecialEntry,
         Files{{"ok.txt", "f:ok"}}},
        {"NameCutAtNul", {raw(std::string("cut.txt\0/../../x", 16), "n")}, ArcStatus::Ok, Files{{"cut.txt", "f:n"}}},
        {"BackslashIsASeparator",
         {raw("dir\\file.txt", "x")},
         ArcStatus::Ok,
         Files{{"dir", "d"}, {"dir/file.txt", "f:x"}}},
        {"Cp932With5cSecondBytes",
         {raw(cp932Name, "sjis")},
         ArcStatus::Ok,
         Files{{"表示", "d"}, {"表示/ソ.txt", "f:sjis"}}},
        {"Utf8Flag", {raw("日本.txt", "u", 0x0800)}, ArcStatus::Ok, Files{{"日本.txt", "f:u"}}},
        {"UnicodePathField",
         {raw("old?.txt", "p", 0, 0100644, std::nullopt, unicodePathExtra("old?.txt", "ユニ.txt"))},
         ArcStatus::Ok,
         Files{{"ユニ.txt", "f:p"}}},
        {"StaleUnicodePathFieldIsIgnored",
         {raw("kept.txt", "p", 0, 0100644, std::nullopt, unicodePathExtra("other", "ユニ.txt"))},
         ArcStatus::Ok,
         Files{{"kept.txt", "f:p"}}},
        {"SelfExtractingStub", twoMembers, ArcStatus::Ok, twoFiles, withStub},
        {"PaddingBetweenEntries", twoMembers, ArcStatus::Ok, twoFiles, withPadding},
        {"StubAndPadding", twoMembers, ArcStatus::Ok, twoFiles, withStubAndPadding},
        {"DirectoryMisplaced", twoMembers, ArcStatus::ArchiveCorrupt, twoFiles, withDirectoryMisplaced},
    };
}

class HostileArchive : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileArchive, OnlySafeEntriesLandInsideTheDestination)
{
    TempDir dir;
    const fs::path outside = dir.path() / "outside";
    fs::create_directories(outside);
    std::vector<RawMember> members = GetParam().members;
    for (RawMember& member : members) {
        for (std::string* text : {&member.name, &member.data}) {
            const auto at = text->find("@OUT@");
            if (at != std::string::npos)
                text->replace(at, 5, outside.string());
        }
    }
    const std::string archive = (dir.path() / "hostile.zip").string();
    writeFile(archive,
              GetParam().reshape != nullptr ? GetParam().reshape(buildStoredZip(members)) : buildStoredZip(members));
    const fs::path destination = dir.path() / "dest" / "inner";
    const auto result = unzipPlugin()("-xv --i \"" + archive + "\" \"" + destination.string() + "/\"");
    EXPECT_EQ(result.code, static_cast<int>(GetParam().expected)) << result.message;
    EXPECT_TRUE(listTree(outside).empty());
    EXPECT_FALSE(fs::exists(dir.path() / "evil.txt") || fs::exists(dir.path() / "dest" / "evil.txt"));
    std::map<std::string, std::string> expected = GetParam().expectedFiles;
    EXPECT_EQ(describeTree(destination), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileArchive, ::testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return std::string(info.param.label); });

// Every cut of a valid archive fails with a named code, and every file that does appear is
// complete and correct.
TEST(TruncatedArchive, EveryCutFailsAndLeavesOnlyWholeFiles)
{
    TempDir dir;
    makeSampleTree(dir.path() / "src" / "N");
    const std::string archive = (dir.path() / "whole.zip").string();
    ASSERT_EQ(zipPlugin()("-r -q \"" + archive + "\" \"" + (dir.path() / "src").string() + "/\" N/*.*").code, 0);
    const std::string bytes = readFile(archive);
    const auto source = describeTree(dir.path() / "src");
    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{31}, bytes.size() / 7, bytes.size() / 3,
                            bytes.size() / 2, bytes.size() - 200, bytes.size() - 23, bytes.size() - 1}) {
        const std::string cutArchive = (dir.path() / ("cut" + std::to_string(cut) + ".zip")).string();
        writeFile(cutArchive, bytes.substr(0, cut));
        const fs::path out = dir.path() / ("out" + std::to_string(cut));
        const auto result = unzipPlugin()("-xv --i \"" + cutArchive + "\" \"" + out.string() + "/\"");
        EXPECT_NE(result.code, 0) << "cut at " << cut;
        EXPECT_TRUE(result.code == static_cast<int>(ArcStatus::ArchiveCorrupt) ||
                    result.code == static_cast<int>(ArcStatus::CrcMismatch))
            << "cut at " << cut << ": " << result.code << " " << result.message;
        for (const auto& [name, value] : describeTree(out)) {
            const auto original = source.find(name);
            ASSERT_NE(original, source.end()) << "unexpected " << name << " after cut at " << cut;
            EXPECT_EQ(value, original->second) << name << " after cut at " << cut;
        }
    }
}

// Names and CRCs come from the central directory; its order need not be the data's order, and
// equal sizes with converted (UTF-8) names must not let entries swap names.
TEST(Extract, ADirectoryInAnotherOrderThanTheDataPairsEachEntryRight)
{
    TempDir dir;
    const std::string archive = (dir.path() / "reordered.zip").string();
    writeFile(archive,
              buildStoredZip(
                  {raw("あ.txt", "AAAA", 0x0800), raw("い.txt", "BBBB", 0x0800), raw("う.txt", "CCCC", 0x0800)}, true));
    const auto result = unzipPlugin()("-xv --i \"" + archive + "\" \"" + (dir.path() / "out").string() + "/\"");
    ASSERT_EQ(result.code, 0) << result.message;
    EXPECT_EQ(describeTree(dir.path() / "out"),
              (std::map<std::string, std::string>{{"あ.txt", "f:AAAA"}, {"い.txt", "f:BBBB"}, {"う.txt", "f:CCCC"}}));
}

// The list gives the names extraction starts from, decoded the same way, in the archive's order,
// control characters escaped.
TEST(Extract, TheListNamesEveryMemberAsExtractionDecodesIt)
{
    TempDir dir;
    const std::string archive = (dir.path() / "names.zip").string();
    writeFile(archive,
              buildStoredZip({raw("\x95\x5c\x8e\xa6\\\x83\x5c.txt", "s"), raw("日本.txt", "u", 0x0800),
                              raw("old?.txt", "p", 0, 0100644, std::nullopt, unicodePathExtra("old?.txt", "ユニ.txt")),
                              raw(std::string("cut.txt\0/x", 10), "n"), raw("/abs/", "", 0, 040755),
                              raw("bell\a\x1b[2J\x7f\xc2\x85.txt", "c")}));
    for (const char* command : {"-l", "--i -l", "-lq"}) {
        const auto listed = unzipPlugin()(std::string(command) + " \"" + archive + "\"");
        EXPECT_EQ(listed.code, 0) << command;
        EXPECT_EQ(listed.message,
                  "表示\\ソ.txt\n日本.txt\nユニ.txt\ncut.txt\n/abs/\nbell\\x07\\x1b[2J\\x7f\\u0085.txt\n")
            << command;
    }
    writeFile(dir.str() + "/cut.zip", readFile(archive).substr(0, 60));
    EXPECT_EQ(unzipPlugin()("-l \"" + dir.str() + "/cut.zip\"").code, static_cast<int>(ArcStatus::ArchiveCorrupt));
    EXPECT_EQ(unzipPlugin()("-l \"" + dir.str() + "/none.zip\"").code, static_cast<int>(ArcStatus::ArchiveUnreadable));
    EXPECT_EQ(unzipPlugin()("-l \"" + archive + "\" \"" + dir.str() + "/\"").code,
              static_cast<int>(ArcStatus::BadCommand));
    EXPECT_TRUE(listTree(dir.path()).size() == 2);  // the list writes nothing
}

TEST(Extract, MissingArchiveAndBadCommandsHaveTheirCodes)
{
    TempDir dir;
    EXPECT_EQ(unzipPlugin()("-xv --i \"" + dir.str() + "/none.zip\" \"" + dir.str() + "/out/\"").code,
              static_cast<int>(ArcStatus::ArchiveUnreadable));
    EXPECT_EQ(unzipPlugin()("-xv --i \"" + dir.str() + "/none.zip\"").code, static_cast<int>(ArcStatus::BadCommand));
    EXPECT_EQ(unzipPlugin()("-xv --i \"" + dir.str() + "/none.zip\" \"\"").code,
              static_cast<int>(ArcStatus::BadCommand));
    EXPECT_EQ(unzipPlugin()("-Z \"a.zip\" \"" + dir.str() + "/\"").code, static_cast<int>(ArcStatus::BadCommand));
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
}

}  // namespace
}  // namespace arc::testing
