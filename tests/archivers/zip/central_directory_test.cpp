// The central-directory reader: archives of every maker read back, every truncation and every
// forged field gives its named status, and the fuzz corpus replays without a crash.
#include <string>

#include "zip/archive_writer.h"
#include "zip/central_directory.h"
#include "zip/zip_format.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

using zip::DirectoryStatus;

std::string smallArchive(const TempDir& dir, bool zip64)
{
    writeFile(dir.path() / "N" / "a.txt", "alpha\n");
    writeFile(dir.path() / "N" / "表.txt", textBytes(3000));
    std::vector<SourceEntry> entries;
    EXPECT_TRUE(collectFolder(dir.str(), "N", entries).ok());
    zip::WriterOptions options;
    options.forceZip64 = zip64;
    const std::string archive = (dir.path() / (zip64 ? "z64.zip" : "a.zip")).string();
    EXPECT_TRUE(zip::addToArchive(archive, entries, options).ok());
    return readFile(archive);
}

DirectoryStatus read(const std::string& bytes, zip::CentralDirectory& directory)
{
    return zip::readCentralDirectory(zip::MemorySource(bytes), directory);
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

TEST(CentralDirectory, OurRecordsReadBackWithZip64AndWithout)
{
    for (bool zip64 : {false, true}) {
        TempDir dir;
        const std::string bytes = smallArchive(dir, zip64);
        zip::CentralDirectory directory;
        ASSERT_EQ(read(bytes, directory), DirectoryStatus::Ok);
        ASSERT_EQ(directory.records.size(), 3u);
        EXPECT_EQ(directory.records[0].name, "N/");
        EXPECT_EQ(directory.records[2].name, "N/表.txt");
        EXPECT_EQ(directory.records[2].flags & 0x0800, 0x0800);
        EXPECT_EQ(directory.records[2].uncompressedSize, 3000u);
        EXPECT_EQ(directory.records[2].crc32, crcOf(textBytes(3000)));
        EXPECT_EQ(directory.records[1].externalAttributes >> 16, 0100644u);
        EXPECT_LT(directory.records[2].localHeaderOffset, directory.directoryOffset);
    }
}

TEST(CentralDirectory, EveryTruncationIsANamedFailure)
{
    TempDir dir;
    const std::string bytes = smallArchive(dir, true);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        zip::CentralDirectory directory;
        const DirectoryStatus status = read(bytes.substr(0, cut), directory);
        EXPECT_NE(status, DirectoryStatus::Ok) << "cut at " << cut;
        EXPECT_TRUE(directory.records.empty());
    }
}

struct Forgery {
    const char* label;
    void (*forge)(std::string& bytes, std::size_t endRecord);
    DirectoryStatus expected;
};

const Forgery kForgeries[] = {
    {"NotAZip", [](std::string& bytes, std::size_t) { bytes = randomBytes(4000, 9); }, DirectoryStatus::NoEndRecord},
    {"TrailingGarbage", [](std::string& bytes, std::size_t) { bytes += "garbage"; }, DirectoryStatus::Corrupt},
    {"SecondDisk", [](std::string& bytes, std::size_t end) { bytes[end + 4] = 1; }, DirectoryStatus::MultiDisk},
    {"TooManyEntries", [](std::string& bytes, std::size_t end) { bytes[end + 8] = bytes[end + 10] = 9; },
     DirectoryStatus::Corrupt},
    {"DirectoryPastItsEnd", [](std::string& bytes, std::size_t end) { put32(bytes, end + 16, 0x7FFFFFF0); },
     DirectoryStatus::Truncated},
    {"DirectorySizeTooSmall",
     [](std::string& bytes, std::size_t end) { bytes[end + 12] = static_cast<char>(bytes[end + 12] - 1); },
     DirectoryStatus::Corrupt},
    {"RecordSignatureBroken",
     [](std::string& bytes, std::size_t end) {
         const std::uint32_t offset = zip::load32(zip::bytesOf(bytes) + end + 16);
         bytes[offset] = 'X';
     },
     DirectoryStatus::Corrupt},
    {"LocalOffsetBeyondData",
     [](std::string& bytes, std::size_t end) {
         const std::uint32_t offset = zip::load32(zip::bytesOf(bytes) + end + 16);
         put32(bytes, offset + 42, 0x00FFFFFF);
     },
     DirectoryStatus::Corrupt},
};

class ForgedDirectory : public ::testing::TestWithParam<Forgery> {};

TEST_P(ForgedDirectory, GivesItsNamedStatus)
{
    TempDir dir;
    std::string bytes = smallArchive(dir, false);
    GetParam().forge(bytes, bytes.size() - 22);
    zip::CentralDirectory directory;
    EXPECT_EQ(read(bytes, directory), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Fields, ForgedDirectory, ::testing::ValuesIn(kForgeries),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CentralDirectory, TheArchiveCommentIsKeptAcrossAnAppend)
{
    TempDir dir;
    std::string bytes = smallArchive(dir, false);
    bytes[bytes.size() - 2] = 7;
    bytes += "comment";
    const fs::path archive = dir.path() / "commented.zip";
    writeFile(archive, bytes);
    writeFile(dir.path() / "extra.txt", "x");
    std::vector<SourceEntry> entries;
    ASSERT_TRUE(collectFile((dir.path() / "extra.txt").string(), entries).ok());
    ASSERT_TRUE(zip::addToArchive(archive.string(), entries, {}).ok());
    zip::CentralDirectory directory;
    ASSERT_EQ(read(readFile(archive), directory), DirectoryStatus::Ok);
    EXPECT_EQ(directory.comment, "comment");
    EXPECT_EQ(directory.records.size(), 4u);
}

// The committed fuzz corpus (and every cut of each file) replays without a crash; the named
// archives read cleanly.
TEST(FuzzCorpus, ReplaysWithoutACrash)
{
    const fs::path corpus = fs::path(TEMBREL_SOURCE_DIR) / "tests/archivers/zip/fuzz-corpus";
    ASSERT_TRUE(fs::is_directory(corpus));
    int files = 0;
    for (const auto& item : fs::directory_iterator(corpus)) {
        const std::string bytes = readFile(item.path());
        for (std::size_t cut = 0; cut <= bytes.size(); cut += 1 + bytes.size() / 64) {
            zip::CentralDirectory directory;
            read(bytes.substr(0, cut), directory);
        }
        zip::CentralDirectory directory;
        const DirectoryStatus status = read(bytes, directory);
        const std::string name = item.path().filename().string();
        // The lookalikes end their directory with 20 bytes shaped like a zip64 locator.
        for (const char* sound : {"ours.zip", "seven.zip", "infozip-zip64.zip", "infozip-comment.zip",
                                  "lookalike-locator.zip", "lookalike-locator-zip64.zip"})
            EXPECT_TRUE(name != sound || status == DirectoryStatus::Ok) << name;
        ++files;
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace arc::testing
