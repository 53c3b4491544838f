// Adding to an existing archive: many single-file commands, replacement, and the guarantee
// that a failed or refused update leaves the archive byte-for-byte as it was.
#include <sys/stat.h>

#include <string>

#include "zip/archive_writer.h"
#include "zip/central_directory.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

std::string fileCommand(const std::string& archive, const fs::path& file)
{
    return "-r -j -q \"" + archive + "\" \"" + file.string() + "\"";
}

TEST(Append, AThousandSingleFileCommandsGiveOneWholeArchive)
{
    REQUIRE_PEER("unzip");
    REQUIRE_PEER("7zz");
    TempDir dir;
    const std::string archive = (dir.path() / "many.zip").string();
    for (int i = 0; i < 1000; ++i) {
        const fs::path file = dir.path() / "src" / ("file " + std::to_string(i) + (i % 3 == 0 ? " 表.txt" : ".txt"));
        writeFile(file, i % 10 == 0 ? randomBytes(5000 + i, i) : textBytes(100 + i * 13));
        const auto result = zipPlugin()(fileCommand(archive, file));
        ASSERT_EQ(result.code, 0) << i << ": " << result.message;
    }
    EXPECT_EQ(runShell("unzip -tq " + shellQuote(archive)), 0);
    EXPECT_EQ(runShell("7zz t " + shellQuote(archive)), 0);
    EXPECT_EQ(captureShell("unzip -Z1 " + shellQuote(archive) + " | wc -l"), "1000\n");
    ASSERT_EQ(runShell("unzip -q " + shellQuote(archive) + " -d " + shellQuote((dir.path() / "out").string())), 0);
    EXPECT_EQ(treeDifference(dir.path() / "src", dir.path() / "out"), "");
}

TEST(Append, AMemberOfTheSameNameIsReplacedAndOthersKept)
{
    TempDir dir;
    const std::string archive = (dir.path() / "a.zip").string();
    writeFile(dir.path() / "v1" / "same.txt", "first version, longer than the second one\n");
    writeFile(dir.path() / "v1" / "other.txt", "other\n");
    writeFile(dir.path() / "v2" / "same.txt", "second\n");
    ASSERT_EQ(zipPlugin()(fileCommand(archive, dir.path() / "v1" / "same.txt")).code, 0);
    ASSERT_EQ(zipPlugin()(fileCommand(archive, dir.path() / "v1" / "other.txt")).code, 0);
    ASSERT_EQ(zipPlugin()(fileCommand(archive, dir.path() / "v2" / "same.txt")).code, 0);

    zip::CentralDirectory directory;
    const std::string bytes = readFile(archive);
    ASSERT_EQ(zip::readCentralDirectory(zip::MemorySource(bytes), directory), zip::DirectoryStatus::Ok);
    ASSERT_EQ(directory.records.size(), 2u);
    const auto result = unzipPlugin()("-xv --i \"" + archive + "\" \"" + (dir.path() / "out").string() + "/\"");
    ASSERT_EQ(result.code, 0) << result.message;
    EXPECT_EQ(readFile(dir.path() / "out" / "same.txt"), "second\n");
    EXPECT_EQ(readFile(dir.path() / "out" / "other.txt"), "other\n");
}

// A failure after some new members were already written over the old directory.
class FailedAppend : public ::testing::Test {
protected:
    void SetUp() override
    {
        archive = (dir.path() / "a.zip").string();
        makeSampleTree(dir.path() / "src" / "N");
        ASSERT_EQ(zipPlugin()("-r -q \"" + archive + "\" \"" + (dir.path() / "src").string() + "/\" N/*.*").code, 0);
        before = readFile(archive);
        for (int i = 0; i < 5; ++i)
            writeFile(dir.path() / "more" / ("m" + std::to_string(i)), textBytes(200000 + i));
        ASSERT_TRUE(collectFolder(dir.path().string(), "more", entries).ok());
    }
    TempDir dir;
    std::string archive;
    std::string before;
    std::vector<SourceEntry> entries;
};

TEST_F(FailedAppend, AnInjectedFailureLeavesTheArchiveByteIdentical)
{
    for (std::size_t failAfter : {1u, 3u, 6u}) {
        zip::WriterOptions options;
        options.failAfterMembers = failAfter;
        const ArcResult result = zip::addToArchive(archive, entries, options);
        EXPECT_EQ(result.status, ArcStatus::WriteFailed) << failAfter;
        EXPECT_TRUE(readFile(archive) == before) << "archive changed after failing at member " << failAfter;
    }
}

TEST_F(FailedAppend, ASourceThatVanishesMidwayLeavesTheArchiveByteIdentical)
{
    fs::remove(entries.back().diskPath);
    const ArcResult result = zip::addToArchive(archive, entries, {});
    EXPECT_EQ(result.status, ArcStatus::InputMissing);
    EXPECT_TRUE(readFile(archive) == before);
}

TEST_F(FailedAppend, AFailedNewArchiveIsRemoved)
{
    const std::string fresh = (dir.path() / "fresh.zip").string();
    zip::WriterOptions options;
    options.failAfterMembers = 2;
    EXPECT_EQ(zip::addToArchive(fresh, entries, options).status, ArcStatus::WriteFailed);
    EXPECT_FALSE(fs::exists(fresh));
}

TEST_F(FailedAppend, ACorruptArchiveIsRefusedAndUntouched)
{
    const std::vector<std::string> corrupt = {
        randomBytes(5000, 3),                  // not a ZIP at all
        before.substr(0, before.size() - 10),  // end record cut
        before.substr(0, before.size() / 2),   // directory gone
        before + "trailing bytes",             // the end record no longer ends the file
    };
    for (std::size_t i = 0; i < corrupt.size(); ++i) {
        writeFile(archive, corrupt[i]);
        const auto result = zipPlugin()(fileCommand(archive, dir.path() / "more" / "m0"));
        EXPECT_EQ(result.code, static_cast<int>(ArcStatus::ArchiveCorrupt)) << i << ": " << result.message;
        EXPECT_TRUE(readFile(archive) == corrupt[i]) << i;
    }
}

TEST(Append, TheArchiveIsNeverAddedToItself)
{
    TempDir dir;
    writeFile(dir.path() / "N" / "a.txt", "a\n");
    writeFile(dir.path() / "N" / "z.txt", textBytes(3000));  // listed after the archive
    const std::string archive = (dir.path() / "N" / "inside.zip").string();
    ASSERT_EQ(zipPlugin()("-r -q \"" + archive + "\" \"" + dir.str() + "/\" N/*.*").code, 0);
    writeFile(dir.path() / "N" / "a.txt", "changed\n");
    const auto again = zipPlugin()("-r -q \"" + archive + "\" \"" + dir.str() + "/\" N/*.*");
    EXPECT_EQ(again.code, static_cast<int>(ArcStatus::ArchiveItself));
    EXPECT_NE(again.message.find("inside.zip: the archive itself"), std::string::npos) << again.message;
    zip::CentralDirectory directory;
    const std::string bytes = readFile(archive);
    ASSERT_EQ(zip::readCentralDirectory(zip::MemorySource(bytes), directory), zip::DirectoryStatus::Ok);
    for (const auto& record : directory.records)
        EXPECT_EQ(record.name.find("inside.zip"), std::string::npos);
    EXPECT_EQ(directory.records.size(), 3u);  // N/, N/a.txt and N/z.txt
    // Each member holds its own file's bytes, also those listed after the one left out.
    const auto out = unzipPlugin()("-x --i \"" + archive + "\" \"" + (dir.path() / "out").string() + "/\"");
    ASSERT_EQ(out.code, 0) << out.message;
    EXPECT_EQ(readFile(dir.path() / "out" / "N" / "a.txt"), "changed\n");
    EXPECT_EQ(readFile(dir.path() / "out" / "N" / "z.txt"), readFile(dir.path() / "N" / "z.txt"));
}

}  // namespace
}  // namespace arc::testing
