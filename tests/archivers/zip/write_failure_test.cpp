// Extraction onto a disk that refuses a write, for both formats: the file that failed is gone
// whole, and nothing of it reaches the files after it.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "failing_writes.h"
#include "lzh/archive_reader.h"
#include "lzh/unlha_command.h"
#include "zip/archive_extractor.h"
#include "zip/zip_commands.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

enum class Format { Zip, Lzh };
enum class Refusal { FileSizeLimit, InputOutputError };

constexpr std::size_t kRefusedAfter = 64 * 1024;
const std::string kNextContent = "hello, world\n";

struct RefusalCase {
    const char* label;
    Format format;
    Refusal refusal;
    std::size_t firstSize;  // 200 kB waits whole for the final flush; 1 MiB is written on the way
};

ArcResult extract(Format format, const fs::path& archive, const fs::path& destination)
{
    return format == Format::Zip ? zip::extractArchive(archive.string(), destination.string())
                                 : lzh::extractArchive(archive.string(), destination.string());
}

// The archive holds A.bin, which the disk refuses, then B.txt.
fs::path makeArchive(Format format, const fs::path& folder, std::size_t firstSize)
{
    writeFile(folder / "src" / "A.bin", randomBytes(firstSize, 3));
    writeFile(folder / "src" / "B.txt", kNextContent);
    const fs::path archive = folder / (format == Format::Zip ? "a.zip" : "a.lzh");
    const std::string words = "\"" + archive.string() + "\" \"" + (folder / "src").string() + "/\" *.*";
    const ArcResult made =
        format == Format::Zip ? zip::runZipCommand("-q " + words) : lzh::runUnlhaCommand("a " + words);
    EXPECT_TRUE(made.ok()) << made.message;
    return archive;
}

class RefusedWrite : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedWrite, TheFailedFileIsGoneAndTheNextIsExact)
{
    TempDir dir;
    const RefusalCase& c = GetParam();
    const fs::path archive = makeArchive(c.format, dir.path(), c.firstSize);
    const fs::path out = dir.path() / "out";
    // In a child, so that the limit and the failing writes end with it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (c.refusal == Refusal::FileSizeLimit) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{kRefusedAfter, kRefusedAfter};
            setrlimit(RLIMIT_FSIZE, &limit);
        } else {
            failWritesAfter(kRefusedAfter, EIO);
        }
        const ArcResult result = extract(c.format, archive, out);
        const int expectedError = c.refusal == Refusal::FileSizeLimit ? EFBIG : EIO;
        const bool named = result.path == "A.bin" && result.systemError == expectedError;
        std::_Exit(named ? static_cast<int>(result.status) : 100);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ArcStatus::WriteFailed));
    EXPECT_EQ(listTree(out), std::vector<std::string>{"B.txt"});
    EXPECT_EQ(readFile(out / "B.txt"), kNextContent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedWrite,
    ::testing::Values(RefusalCase{"ZipLimitAtTheFinalFlush", Format::Zip, Refusal::FileSizeLimit, 200000},
                      RefusalCase{"ZipLimitOnTheWay", Format::Zip, Refusal::FileSizeLimit, 1 << 20},
                      RefusalCase{"ZipErrorAtTheFinalFlush", Format::Zip, Refusal::InputOutputError, 200000},
                      RefusalCase{"LzhLimitAtTheFinalFlush", Format::Lzh, Refusal::FileSizeLimit, 200000},
                      RefusalCase{"LzhErrorAtTheFinalFlush", Format::Lzh, Refusal::InputOutputError, 200000},
                      RefusalCase{"LzhErrorOnTheWay", Format::Lzh, Refusal::InputOutputError, 1 << 20}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace arc::testing
