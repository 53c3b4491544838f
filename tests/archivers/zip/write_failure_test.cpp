// Extraction onto a disk that refuses a write, for both formats: the file that failed is gone
// whole, nothing of it reaches the files after it, and a full disk ends the job at once.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <fstream>

#include "common/source_tree.h"
#include "failing_io.h"
#include "lzh/archive_reader.h"
#include "lzh/archive_writer.h"
#include "lzh/unlha_command.h"
#include "zip/archive_extractor.h"
#include "zip/archive_writer.h"
#include "zip/zip_commands.h"
#include "zip/zip_format.h"
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
    std::size_t firstSize;          // 200 kB waits whole for the final flush; 1 MiB is written on the way
    bool namedTemporaries = false;  // as where anonymous files cannot be had (no /proc to name them)
};

constexpr int kNoMount = 77;

// For this process alone: a file system mounted (false when that is not allowed here).
bool mountPrivately(const char* type, const fs::path& where, const char* options)
{
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("tembrel-test", where.c_str(), type, 0, options) == 0;
}

// The exit status of the child `pid` (-1 when it did not exit).
int childStatus(pid_t pid)
{
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child that could not mount skips the test on a developer's machine; under CI (root) it fails.
#define REQUIRE_MOUNTED(status)                                                                                        \
    do {                                                                                                               \
        if ((status) == kNoMount) {                                                                                    \
            if (std::getenv("CI") != nullptr)                                                                          \
                FAIL() << "a file system cannot be mounted here (needs root)";                                         \
            GTEST_SKIP() << "a file system cannot be mounted here (needs root)";                                       \
        }                                                                                                              \
    } while (0)

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
        if (c.namedTemporaries && !mountPrivately("tmpfs", "/proc", "size=4k"))
            std::_Exit(kNoMount);
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
    const int status = childStatus(child);
    REQUIRE_MOUNTED(status);
    EXPECT_EQ(status, static_cast<int>(ArcStatus::WriteFailed));
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
                      RefusalCase{"LzhErrorOnTheWay", Format::Lzh, Refusal::InputOutputError, 1 << 20},
                      RefusalCase{"ZipLimitNamed", Format::Zip, Refusal::FileSizeLimit, 200000, true},
                      RefusalCase{"LzhErrorNamed", Format::Lzh, Refusal::InputOutputError, 1 << 20, true}),
    [](const auto& info) { return std::string(info.param.label); });

// A deflate stream of `mebibytes` MiB of zeros: one compressed MiB, flushed to a byte boundary
// with a fresh dictionary, repeated, so that a large member costs little to make.
std::string zerosDeflated(std::uint32_t mebibytes, std::uint32_t& crc)
{
    const std::string zeros(1 << 20, '\0');
    std::string piece(compressBound(zeros.size()) + 64, '\0');
    std::string end(64, '\0');
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream.avail_in = static_cast<uInt>(zeros.size());
    stream.next_out = reinterpret_cast<Bytef*>(piece.data());
    stream.avail_out = static_cast<uInt>(piece.size());
    deflate(&stream, Z_FULL_FLUSH);
    piece.resize(piece.size() - stream.avail_out);
    stream.next_out = reinterpret_cast<Bytef*>(end.data());
    stream.avail_out = static_cast<uInt>(end.size());
    deflate(&stream, Z_FINISH);
    end.resize(end.size() - stream.avail_out);
    deflateEnd(&stream);
    std::string out;
    crc = 0;
    const uLong pieceCrc = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(zeros.size()));
    for (std::uint32_t i = 0; i < mebibytes; ++i) {
        out += piece;
        crc = static_cast<std::uint32_t>(crc32_combine(crc, pieceCrc, static_cast<z_off_t>(zeros.size())));
    }
    return out + end;
}

// The first member of a stored archive marked as deflated, `size` bytes once inflated, in its
// local header and its central record.
std::string deflatedFirst(std::string archive, std::uint32_t size)
{
    const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            archive[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const std::size_t end = archive.size() - 22;
    const std::size_t central = zip::load32(zip::bytesOf(archive) + end + 16);
    put(8, 8, 2);
    put(22, size, 4);
    put(central + 10, 8, 2);
    put(central + 24, size, 4);
    return archive;
}

std::uint64_t bytesReadSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string word;
    std::uint64_t value = 0;
    while (io >> word >> value)
        if (word == "rchar:")
            return value;
    return 0;
}

struct FullDiskCase {
    const char* label;
    Format format;
    std::uint64_t readLimit;  // the archive bytes that may be read before the job ends
};

class FullDisk : public ::testing::TestWithParam<FullDiskCase> {};

// A member far larger than the disk, then a small one: the job fails with ENOSPC at the first
// refused write, its decoder stops there (the rest of the member is not even read), the small
// member is not tried, and the disk is left empty.
TEST_P(FullDisk, EndsTheJobAtTheFirstRefusedWrite)
{
    TempDir dir;
    const FullDiskCase& c = GetParam();
    fs::path archive = dir.path() / "a.zip";
    if (c.format == Format::Zip) {
        std::uint32_t crc = 0;
        const std::string packed = zerosDeflated(4095, crc);
        writeFile(archive, deflatedFirst(buildStoredZip({RawMember{"a-large.bin", packed, 0, 0100644, crc, {}},
                                                         RawMember{"b-after.txt", kNextContent, 0, 0100644, {}, {}}}),
                                         4095u << 20));
    } else {
        archive = dir.path() / "a.lzh";
        writeFile(dir.path() / "src" / "a-large.bin", std::string(std::size_t{24} << 20, '\0'));
        writeFile(dir.path() / "src" / "b-after.txt", kNextContent);
        const ArcResult made =
            lzh::runUnlhaCommand("a -z \"" + archive.string() + "\" \"" + (dir.path() / "src").string() + "/\" *.*");
        ASSERT_TRUE(made.ok()) << made.message;
    }
    const fs::path disk = dir.path() / "disk";
    fs::create_directories(disk);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!mountPrivately("tmpfs", disk, "size=4m"))
            std::_Exit(kNoMount);
        const std::uint64_t before = bytesReadSoFar();
        const ArcResult result = extract(c.format, archive, disk / "out");
        const std::uint64_t read = bytesReadSoFar() - before;
        std::fprintf(stderr, "%s\nread %llu bytes\n", result.message.c_str(), static_cast<unsigned long long>(read));
        const bool stopped = result.status == ArcStatus::WriteFailed && result.systemError == ENOSPC &&
                             result.path == "a-large.bin" && fs::is_empty(disk / "out") && read < c.readLimit;
        std::_Exit(stopped ? 0 : 1);
    }
    const int status = childStatus(child);
    REQUIRE_MOUNTED(status);
    EXPECT_EQ(status, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FullDisk,
                         ::testing::Values(FullDiskCase{"ZipDeflatedDecodedAhead", Format::Zip, 4u << 20},
                                           FullDiskCase{"LzhStored", Format::Lzh, 12u << 20}),
                         [](const auto& info) { return std::string(info.param.label); });

// What an extraction tells first, before it writes anything (the destination included): the
// archive's declared totals, with nothing done, so that a caller can weigh them against the
// free space and cancel.
struct FirstReport : JobListener {
    bool progress(const ProgressReport& report) override
    {
        first = report;
        name = report.entryName;
        return false;
    }
    ProgressReport first;
    std::string name = "none";
};

struct TotalsCase {
    const char* label;
    Format format;
    std::size_t members;  // LZH headers are read in batches of 4096
};

class DeclaredTotals : public ::testing::TestWithParam<TotalsCase> {};

TEST_P(DeclaredTotals, ComeFirstAndACancelThenWritesNothing)
{
    TempDir dir;
    const TotalsCase& c = GetParam();
    // One file stored under many names.
    writeFile(dir.path() / "x", "seven b");
    std::vector<SourceEntry> entries;
    ASSERT_TRUE(collectFile((dir.path() / "x").string(), entries).ok());
    entries.resize(c.members, entries.front());
    for (std::size_t i = 0; i < c.members; ++i)
        entries[i].memberName = "m" + std::to_string(i);
    const fs::path archive = dir.path() / (c.format == Format::Zip ? "a.zip" : "a.lzh");
    ASSERT_TRUE((c.format == Format::Zip ? zip::addToArchive(archive.string(), entries, {})
                                         : lzh::addMembers(archive.string(), entries, {}))
                    .ok());
    const fs::path out = dir.path() / "out";
    FirstReport listener;
    Job job(&listener);
    const ArcResult result = c.format == Format::Zip ? zip::extractArchive(archive.string(), out.string(), job)
                                                     : lzh::extractArchive(archive.string(), out.string(), job);
    EXPECT_EQ(result.status, ArcStatus::Cancelled);
    EXPECT_EQ(listener.name, "");
    EXPECT_EQ(listener.first.jobBytesTotal, 7 * c.members);
    EXPECT_EQ(listener.first.entriesTotal, c.members);
    EXPECT_EQ(listener.first.jobBytesDone + listener.first.entriesDone, 0u);
    EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(Cases, DeclaredTotals,
                         ::testing::Values(TotalsCase{"Zip", Format::Zip, 20},
                                           TotalsCase{"LzhBeyondOneBatch", Format::Lzh, 5000}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace arc::testing
