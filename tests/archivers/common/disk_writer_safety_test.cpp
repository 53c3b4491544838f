// SafeDiskWriter against symbolic links (already there, made by the archive, swapped in while
// it writes) and beside other threads: nothing is written outside the destination.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/disk_writer.h"
#include "disk_writer_support.h"
#include "temp_dir.h"

namespace arc {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::treeOf;
using testing::writeFile;
using testing::writeWhole;

enum class Kind { File, Folder, Link };

struct LinkInTheWayCase {
    const char* name;
    bool linkToFolder;  // else to a file, both outside the destination
    Kind kind;
    const char* entry;
    ArcStatus expected;
};

class LinkInTheWay : public ::testing::TestWithParam<LinkInTheWayCase> {};

TEST_P(LinkInTheWay, IsReplacedOrRefusedNeverFollowed)
{
    const LinkInTheWayCase& c = GetParam();
    TempDir temp;
    const fs::path dest = temp.path() / "out";
    const fs::path outsideFolder = temp.path() / "outside";
    const fs::path outsideFile = temp.path() / "precious.txt";
    fs::create_directories(outsideFolder);
    fs::create_directories(dest / "real");
    writeFile(outsideFile, "precious");
    fs::create_symlink(c.linkToFolder ? outsideFolder : outsideFile, dest / "l");

    SafeDiskWriter writer(dest.string());
    ASSERT_TRUE(writer.open().ok());
    const ArcResult r = c.kind == Kind::File     ? writeWhole(writer, c.entry, "from archive")
                        : c.kind == Kind::Folder ? writer.writeDirectory(c.entry, 0755, -1)
                                                 : writer.writeSymlink(c.entry, "real", -1);
    EXPECT_EQ(r.status, c.expected) << r.message;
    ASSERT_TRUE(writer.finish().ok());

    EXPECT_TRUE(fs::is_empty(outsideFolder));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(outsideFile)));
    EXPECT_EQ(readFile(outsideFile), "precious");
    const fs::file_status l = fs::symlink_status(dest / "l");
    if (c.expected != ArcStatus::Ok)
        EXPECT_TRUE(fs::is_symlink(l)) << "a refusal leaves the link alone";
    else if (c.kind == Kind::Link)
        EXPECT_EQ(fs::read_symlink(dest / "l"), "real");
    else
        EXPECT_EQ(l.type(), c.kind == Kind::File ? fs::file_type::regular : fs::file_type::directory);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkInTheWay,
    ::testing::Values(LinkInTheWayCase{"FileOverLinkToFolder", true, Kind::File, "l", ArcStatus::Ok},
                      LinkInTheWayCase{"FileOverLinkToFile", false, Kind::File, "l", ArcStatus::Ok},
                      LinkInTheWayCase{"FileBelowLinkToFolder", true, Kind::File, "l/x", ArcStatus::UnsafeEntry},
                      LinkInTheWayCase{"FileBelowLinkToFile", false, Kind::File, "l/x", ArcStatus::UnsafeEntry},
                      LinkInTheWayCase{"FolderOverLinkToFolder", true, Kind::Folder, "l", ArcStatus::Ok},
                      LinkInTheWayCase{"FolderOverLinkToFile", false, Kind::Folder, "l", ArcStatus::Ok},
                      LinkInTheWayCase{"FolderBelowLink", true, Kind::Folder, "l/x/y", ArcStatus::UnsafeEntry},
                      LinkInTheWayCase{"LinkOverLink", true, Kind::Link, "l", ArcStatus::Ok},
                      LinkInTheWayCase{"LinkBelowLink", true, Kind::Link, "l/x", ArcStatus::UnsafeEntry}),
    [](const ::testing::TestParamInfo<LinkInTheWayCase>& info) { return std::string(info.param.name); });

TEST(DiskWriterLinks, MadeOnlyInsideAndNeverWrittenThrough)
{
    TempDir temp;
    const fs::path dest = temp.path() / "out";
    SafeDiskWriter writer(dest.string());
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writer.writeDirectory("sub", 0755, -1).ok());
    ASSERT_TRUE(writer.writeSymlink("a", "sub", 1500000000).ok());
    ASSERT_TRUE(writer.writeSymlink("d/up", "../sub", -1).ok());
    for (const char* target : {"../x", "/etc", "", "x/../.."}) {
        const ArcResult r = writer.writeSymlink("bad", target, -1);
        EXPECT_EQ(r.status, ArcStatus::UnsafeEntry) << target;
        EXPECT_NE(r.message.find(std::string("\"") + target + "\""), std::string::npos) << r.message;
    }
    // The archive made "a" point at "sub": its next entries must not reach "sub" through it.
    const ArcResult through = writeWhole(writer, "a/x", "through");
    EXPECT_EQ(through.status, ArcStatus::UnsafeEntry) << through.message;
    EXPECT_NE(through.message.find("symbolic link"), std::string::npos) << through.message;
    EXPECT_EQ(writer.writeDirectory("d/up/deeper", 0755, -1).status, ArcStatus::UnsafeEntry);
    ASSERT_TRUE(writer.finish().ok());

    EXPECT_EQ(treeOf(dest), (std::vector<std::string>{"a", "d", "d/up", "sub"}));
    EXPECT_EQ(fs::read_symlink(dest / "a"), "sub");
    EXPECT_EQ(fs::read_symlink(dest / "d/up"), "../sub");
    struct stat info;
    ASSERT_EQ(lstat((dest / "a").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1500000000);
}

// Another process swaps a folder the writer is filling for a link to a folder outside, again
// and again. Whatever each entry's result, nothing may arrive outside, and every file reported
// written is somewhere inside.
TEST(DiskWriterRace, FolderSwappedForALinkMeanwhile)
{
    TempDir temp;
    const fs::path dest = temp.path() / "out";
    const fs::path outside = temp.path() / "outside";
    fs::create_directories(dest / "sub");
    fs::create_directories(outside);

    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        for (int n = 0; !stop.load(); ++n) {
            const fs::path away = dest / ("away" + std::to_string(n));
            if (rename((dest / "sub").c_str(), away.c_str()) != 0)
                continue;
            if (symlink(outside.c_str(), (dest / "sub").c_str()) == 0) {
                unlink((dest / "sub").c_str());
                swaps.fetch_add(1);
            }
            rename(away.c_str(), (dest / "sub").c_str());
        }
    });

    std::vector<std::string> written;
    // Until both sides did enough: on a busy machine one thread may run alone for a while.
    for (int round = 0; (swaps.load() < 300 || written.size() < 100) && round < 20000; ++round) {
        SafeDiskWriter writer(dest.string());  // a fresh writer walks the folders again
        ASSERT_TRUE(writer.open().ok());
        for (int i = 0; i < 8; ++i) {
            const std::string name = "f" + std::to_string(round) + "-" + std::to_string(i);
            const std::string path = i % 2 == 0 ? "sub/" + name : "sub/d" + std::to_string(i) + "/" + name;
            const ArcResult r = writeWhole(writer, path, name);
            if (r.ok())
                written.push_back(name);
            else
                EXPECT_NE(r.status, ArcStatus::Internal) << r.message;
        }
        ASSERT_TRUE(writer.finish().ok());
    }
    stop = true;
    swapper.join();
    EXPECT_GE(swaps.load(), 300);

    EXPECT_TRUE(fs::is_empty(outside)) << treeOf(outside).front();
    std::set<std::string> inside;
    for (const auto& item : fs::recursive_directory_iterator(dest))
        inside.insert(item.path().filename().string());
    EXPECT_FALSE(written.empty());
    for (const std::string& name : written)
        EXPECT_TRUE(inside.count(name)) << name;
}

// Two extractions at once while a third thread works with relative paths and creates files:
// no working folder or umask of the process may change under any of them.
TEST(DiskWriterThreads, TwoWritersBesideRelativePathWork)
{
    TempDir temp;
    const unsigned umask = testing::processUmask();
    char cwd[PATH_MAX];
    ASSERT_NE(realpath(".", cwd), nullptr);
    std::atomic<int> running{2};
    std::atomic<int> probeFailures{0};

    const auto extract = [&](const fs::path& dest, unsigned mode) {
        SafeDiskWriter writer(dest.string());
        if (writer.open().ok()) {
            for (int i = 0; i < 400; ++i) {
                const std::string name = "d" + std::to_string(i % 7) + "/f" + std::to_string(i);
                if (!writer.beginFile(name, mode, -1).ok())
                    continue;
                if (writer.writeData(name.data(), name.size()).ok())
                    writer.commitFile();
                else
                    writer.abortFile();
            }
            writer.finish();
        }
        running.fetch_sub(1);
    };
    std::thread first(extract, temp.path() / "one", 0640u);
    std::thread second(extract, temp.path() / "two", 0604u);
    std::thread prober([&] {
        const fs::path probe = temp.path() / "probe";
        do {
            char now[PATH_MAX];
            if (realpath(".", now) == nullptr || std::string(now) != cwd)
                probeFailures.fetch_add(1);
            const int fd = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            struct stat info;
            if (fd < 0 || fstat(fd, &info) != 0 || (info.st_mode & 0777) != (0666 & ~umask))
                probeFailures.fetch_add(1);
            if (fd >= 0)
                close(fd);
            unlink(probe.c_str());
        } while (running.load() > 0);
    });
    first.join();
    second.join();
    prober.join();

    EXPECT_EQ(probeFailures.load(), 0);
    for (const auto& [folder, mode] : {std::pair{"one", 0640u}, std::pair{"two", 0604u}}) {
        for (int i = 0; i < 400; ++i) {
            const std::string name = "d" + std::to_string(i % 7) + "/f" + std::to_string(i);
            const fs::path path = temp.path() / folder / name;
            ASSERT_EQ(readFile(path), name) << path;
            struct stat info;
            ASSERT_EQ(stat(path.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, mode & ~umask) << path;
        }
    }
}

}  // namespace
}  // namespace arc
