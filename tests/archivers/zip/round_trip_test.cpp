// Round trips through the peers: our archives extracted by unzip, 7zz and bsdtar give the
// source tree back; their archives extracted by us do too.
#include <chrono>
#include <cstdlib>
#include <string>

#include "zip/archive_writer.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

struct Peer {
    const char* name;
    const char* tool;  // the binary that must be installed
    std::string (*create)(const std::string& base, const std::string& folder, const std::string& archive);
    std::string (*extract)(const std::string& archive, const std::string& destination);
};

const Peer kPeers[] = {
    {"InfoZip", "unzip",
     [](const std::string& base, const std::string& folder, const std::string& archive) {
         return "cd " + shellQuote(base) + " && zip -r -q " + shellQuote(archive) + " " + shellQuote(folder);
     },
     [](const std::string& archive, const std::string& destination) {
         return "unzip -q " + shellQuote(archive) + " -d " + shellQuote(destination);
     }},
    {"SevenZip", "7zz",
     [](const std::string& base, const std::string& folder, const std::string& archive) {
         return "cd " + shellQuote(base) + " && 7zz a -tzip " + shellQuote(archive) + " " + shellQuote(folder);
     },
     [](const std::string& archive, const std::string& destination) {
         return "7zz x -y -o" + shellQuote(destination) + " " + shellQuote(archive);
     }},
    {"Bsdtar", "bsdtar",
     [](const std::string& base, const std::string& folder, const std::string& archive) {
         return "cd " + shellQuote(base) + " && bsdtar --format zip -cf " + shellQuote(archive) + " " +
                shellQuote(folder);
     },
     [](const std::string& archive, const std::string& destination) {
         return "mkdir -p " + shellQuote(destination) + " && bsdtar -xf " + shellQuote(archive) + " -C " +
                shellQuote(destination);
     }},
};

class PeerRoundTrip : public ::testing::TestWithParam<Peer> {
protected:
    void SetUp() override
    {
        REQUIRE_PEER(GetParam().tool);
        if (std::string(GetParam().tool) == "unzip")
            REQUIRE_PEER("zip");  // Info-ZIP's creating half
        ASSERT_TRUE(zipPlugin().loaded() && unzipPlugin().loaded()) << "plug-ins not built in " TEMBREL_BIN_DIR;
        makeSampleTree(dir.path() / "src" / "N");
    }
    TempDir dir;
};

TEST_P(PeerRoundTrip, OurFolderAndFileFormsAreReadByThePeer)
{
    writeFile(dir.path() / "single" / "単体 表.txt", textBytes(3000));
    const std::string archive = (dir.path() / "ours.zip").string();
    auto result = zipPlugin()("-r -q \"" + archive + "\" \"" + (dir.path() / "src").string() + "/\" N/*.*");
    ASSERT_EQ(result.code, 0) << result.message;
    result = zipPlugin()("-r -j -q \"" + archive + "\" \"" + (dir.path() / "single" / "単体 表.txt").string() + "\"");
    ASSERT_EQ(result.code, 0) << result.message;

    const fs::path out = dir.path() / "out";
    ASSERT_EQ(runShell(GetParam().extract(archive, out.string())), 0);
    fs::copy_file(dir.path() / "single" / "単体 表.txt", dir.path() / "src" / "単体 表.txt");
    EXPECT_EQ(treeDifference(dir.path() / "src", out), "");
}

TEST_P(PeerRoundTrip, OurZip64RecordsAreReadByThePeer)
{
    auto entries = std::vector<SourceEntry>{};
    ASSERT_TRUE(collectFolder((dir.path() / "src").string(), "N", entries).ok());
    zip::WriterOptions options;
    options.forceZip64 = true;
    options.wholeMemberLimit = 256 * 1024;  // the big files go through the chunked path too
    options.chunkSize = 100 * 1000;
    const std::string archive = (dir.path() / "zip64.zip").string();
    const ArcResult result = zip::addToArchive(archive, entries, options);
    ASSERT_TRUE(result.ok()) << result.message;
    const fs::path out = dir.path() / "out";
    ASSERT_EQ(runShell(GetParam().extract(archive, out.string())), 0);
    EXPECT_EQ(treeDifference(dir.path() / "src", out), "");
}

TEST_P(PeerRoundTrip, ThePeersArchiveIsReadByUs)
{
    const std::string archive = (dir.path() / "theirs.zip").string();
    ASSERT_EQ(runShell(GetParam().create((dir.path() / "src").string(), "N", archive)), 0);
    const fs::path out = dir.path() / "out";
    const auto result = unzipPlugin()("-xv --i \"" + archive + "\" \"" + out.string() + "/\"");
    ASSERT_EQ(result.code, 0) << result.message;
    EXPECT_EQ(treeDifference(dir.path() / "src", out), "");
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerRoundTrip, ::testing::ValuesIn(kPeers),
                         [](const auto& info) { return std::string(info.param.name); });

// Every level, and the chunked path with tiny chunks, give archives that Info-ZIP verifies and
// we read back identically; so do a file that grew past the whole-member size after it was
// listed and one listed as large that is empty by now.
class LevelRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(LevelRoundTrip, OurArchiveTestsCleanAndComesBack)
{
    REQUIRE_PEER("unzip");
    TempDir dir;
    makeSampleTree(dir.path() / "src" / "N");
    std::vector<SourceEntry> entries;
    ASSERT_TRUE(collectFolder((dir.path() / "src").string(), "N/*.*", entries).ok());
    writeFile(dir.path() / "src" / "N" / "readme.txt", textBytes(150000));
    writeFile(dir.path() / "src" / "N" / "deep" / "er" / "big text.log", "");
    zip::WriterOptions options;
    options.level = GetParam();
    options.wholeMemberLimit = 64 * 1024;
    options.chunkSize = 32 * 1024 + 17;
    const std::string archive = (dir.path() / "a.zip").string();
    ASSERT_TRUE(zip::addToArchive(archive, entries, options).ok());
    EXPECT_EQ(runShell("unzip -tq " + shellQuote(archive)), 0);
    const auto result = unzipPlugin()("-xv --i \"" + archive + "\" \"" + (dir.path() / "out").string() + "/\"");
    ASSERT_EQ(result.code, 0) << result.message;
    EXPECT_EQ(treeDifference(dir.path() / "src", dir.path() / "out"), "");
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelRoundTrip, ::testing::Values(0, 1, 6, 9));

// More than 65535 members need the zip64 end records; directories need no source files.
TEST(ManyMembers, Over65535EntriesAreCountedByThePeers)
{
    REQUIRE_PEER("unzip");
    REQUIRE_PEER("bsdtar");
    TempDir dir;
    std::vector<SourceEntry> entries;
    for (int i = 0; i < 65600; ++i) {
        SourceEntry entry;
        entry.memberName = "d" + std::to_string(i);
        entry.isDirectory = true;
        entry.mode = 0755;
        entries.push_back(entry);
    }
    const std::string archive = (dir.path() / "many.zip").string();
    ASSERT_TRUE(zip::addToArchive(archive, entries, {}).ok());
    EXPECT_EQ(captureShell("unzip -Z1 " + shellQuote(archive) + " | wc -l"), "65600\n");
    EXPECT_EQ(captureShell("bsdtar -tf " + shellQuote(archive) + " | wc -l"), "65600\n");
}

}  // namespace
}  // namespace arc::testing

namespace arc::testing {
namespace {

// Unix modes and modification times survive both ways.
TEST(Metadata, ModesAndTimesSurviveBothWays)
{
    REQUIRE_PEER("unzip");
    TempDir dir;
    const fs::path script = dir.path() / "src" / "N" / "run.sh";
    writeFile(script, "#!/bin/sh\n");
    fs::permissions(script, fs::perms(0750));
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(script, stamp);
    const std::string archive = (dir.path() / "m.zip").string();
    ASSERT_EQ(zipPlugin()("-r -q \"" + archive + "\" \"" + (dir.path() / "src").string() + "/\" N/*.*").code, 0);
    ASSERT_EQ(runShell("unzip -q " + shellQuote(archive) + " -d " + shellQuote((dir.path() / "peer").string())), 0);
    ASSERT_EQ(unzipPlugin()("-xv --i \"" + archive + "\" \"" + (dir.path() / "ours").string() + "/\"").code, 0);
    for (const char* side : {"peer", "ours"}) {
        const fs::path extracted = dir.path() / side / "N" / "run.sh";
        EXPECT_EQ(fs::status(extracted).permissions() & fs::perms::all, fs::perms(0750)) << side;
        const auto drift =
            std::chrono::duration_cast<std::chrono::seconds>(fs::last_write_time(extracted) - stamp).count();
        EXPECT_LE(std::abs(drift), 1) << side;
    }
}

// An existing file is replaced only by data that checked out.
TEST(Metadata, AnExistingFileSurvivesABadReplacement)
{
    TempDir dir;
    writeFile(dir.path() / "dest" / "a.txt", "keep me");
    const std::string archive = (dir.path() / "bad.zip").string();
    writeFile(archive, buildStoredZip({RawMember{"a.txt", "new data", 0, 0100644, 99u, {}}}));
    const auto result = unzipPlugin()("-xv --i \"" + archive + "\" \"" + (dir.path() / "dest").string() + "/\"");
    EXPECT_EQ(result.code, static_cast<int>(ArcStatus::CrcMismatch));
    EXPECT_EQ(readFile(dir.path() / "dest" / "a.txt"), "keep me");
    EXPECT_EQ(listTree(dir.path() / "dest"), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace arc::testing
