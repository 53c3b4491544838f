// Extraction from a disk that fails a read, for both formats: the failure says the archive
// could not be read, with the system's reason, and never that the archive is damaged.
#include <cstring>

#include "failing_io.h"
#include "lzh/archive_reader.h"
#include "lzh/unlha_command.h"
#include "zip/archive_extractor.h"
#include "zip/zip_commands.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

struct BadSectorCase {
    const char* label;
    bool zip;
    std::size_t firstSize;  // of the first member, a-first.txt, past the first MiB that opening reads
    bool badFromTheEnd;     // the bad part: the last 40 bytes (directory, last header), else 4 KiB in the middle
};

class BadSector : public ::testing::TestWithParam<BadSectorCase> {};

TEST_P(BadSector, TheMessageSaysTheArchiveCouldNotBeRead)
{
    TempDir dir;
    const BadSectorCase& c = GetParam();
    writeFile(dir.path() / "src" / "a-first.txt", randomBytes(c.firstSize, 5));
    writeFile(dir.path() / "src" / "b-last.txt", "last\n");
    const fs::path archive = dir.path() / (c.zip ? "a.zip" : "a.lzh");
    const std::string words = "\"" + archive.string() + "\" \"" + (dir.path() / "src").string() + "/\" *.*";
    ASSERT_TRUE((c.zip ? zip::runZipCommand("-q " + words) : lzh::runUnlhaCommand("a " + words)).ok());
    const std::uint64_t size = fs::file_size(archive);
    failReadsOf(archive, c.badFromTheEnd ? size - 40 : size / 2, 4096, EIO);
    const fs::path out = dir.path() / "out";
    const ArcResult result = c.zip ? zip::extractArchive(archive.string(), out.string())
                                   : lzh::extractArchive(archive.string(), out.string());
    stopFailingReads();
    EXPECT_EQ(result.status, ArcStatus::ArchiveUnreadable) << result.message;
    EXPECT_EQ(result.systemError, EIO) << result.message;
    EXPECT_NE(result.message.find("could not read"), std::string::npos) << result.message;
    EXPECT_NE(result.message.find(std::strerror(EIO)), std::string::npos) << result.message;
    for (const char* damage : {"truncated", "damaged", "corrupt", "inconsistent"})
        EXPECT_EQ(result.message.find(damage), std::string::npos) << result.message;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadSector,
                         ::testing::Values(BadSectorCase{"ZipMember", true, 3 << 20, false},
                                           BadSectorCase{"ZipMemberDecodedAhead", true, 6 << 20, false},
                                           BadSectorCase{"ZipDirectory", true, 3 << 20, true},
                                           BadSectorCase{"LzhMemberDecodedAhead", false, 300000, false},
                                           BadSectorCase{"LzhMember", false, 6 << 20, false},
                                           BadSectorCase{"LzhHeader", false, 300000, true}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace arc::testing
