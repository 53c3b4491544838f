// SafeDiskWriter: final names only ever hold committed files, nothing leaves the destination,
// no temporary survives.
#include "common/disk_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

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

class DiskWriterTest : public ::testing::Test {
protected:
    TempDir temp;
    fs::path dest() const { return temp.path() / "out"; }
};

TEST_F(DiskWriterTest, OpenCreatesTheDestinationWithParents)
{
    SafeDiskWriter writer((temp.path() / "a/b/c").string());
    ASSERT_TRUE(writer.open().ok());
    EXPECT_TRUE(fs::is_directory(temp.path() / "a/b/c"));
    EXPECT_TRUE(writer.finish().ok());
}

TEST_F(DiskWriterTest, WritesFilesAndFoldersWithTimes)
{
    const fs::path cwdBefore = fs::current_path();
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writer.writeDirectory("表", 0755, 1600000000).ok());
    ASSERT_TRUE(writeWhole(writer, "表/ソ.txt", "hello").ok());
    ASSERT_TRUE(writeWhole(writer, "new/deep/file.bin", std::string(300000, 'x')).ok());
    ASSERT_TRUE(writeWhole(writer, "empty", "").ok());
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(fs::current_path(), cwdBefore) << "the working directory must come back";

    EXPECT_EQ(readFile(dest() / "表/ソ.txt"), "hello");
    EXPECT_EQ(readFile(dest() / "new/deep/file.bin"), std::string(300000, 'x'));
    EXPECT_EQ(fs::file_size(dest() / "empty"), 0u);
    struct stat info;
    ASSERT_EQ(stat((dest() / "表/ソ.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1700000000);
    ASSERT_EQ(stat((dest() / "表").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1600000000) << "folder time is applied after its files";
    EXPECT_EQ(treeOf(dest()),
              (std::vector<std::string>{"empty", "new", "new/deep", "new/deep/file.bin", "表", "表/ソ.txt"}));
}

TEST_F(DiskWriterTest, AbortLeavesNothingUnderTheFinalName)
{
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writer.beginFile("sub/a.txt", 0644, -1).ok());
    ASSERT_TRUE(writer.writeData("partial", 7).ok());
    EXPECT_FALSE(fs::exists(dest() / "sub/a.txt")) << "visible before commit";
    writer.abortFile();
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(treeOf(dest()), std::vector<std::string>{"sub"});
}

TEST_F(DiskWriterTest, ExistingFileIsReplacedOnlyOnCommit)
{
    writeFile(dest() / "a.txt", "old");
    {
        SafeDiskWriter writer(dest().string());
        ASSERT_TRUE(writer.open().ok());
        ASSERT_TRUE(writer.beginFile("a.txt", 0644, -1).ok());
        ASSERT_TRUE(writer.writeData("new!", 4).ok());
        EXPECT_EQ(readFile(dest() / "a.txt"), "old");
        writer.abortFile();
        EXPECT_EQ(readFile(dest() / "a.txt"), "old") << "abort must keep the old file";
        ASSERT_TRUE(writeWhole(writer, "a.txt", "new!").ok());
        ASSERT_TRUE(writer.finish().ok());
    }
    EXPECT_EQ(readFile(dest() / "a.txt"), "new!");
    EXPECT_EQ(treeOf(dest()), std::vector<std::string>{"a.txt"});
}

TEST_F(DiskWriterTest, DestroyingMidFileRemovesTheTemporary)
{
    writeFile(dest() / "keep.txt", "old");
    {
        SafeDiskWriter writer(dest().string());
        ASSERT_TRUE(writer.open().ok());
        ASSERT_TRUE(writer.beginFile("keep.txt", 0644, -1).ok());
        ASSERT_TRUE(writer.writeData("half", 4).ok());
    }
    EXPECT_EQ(readFile(dest() / "keep.txt"), "old");
    EXPECT_EQ(treeOf(dest()), std::vector<std::string>{"keep.txt"});
}

TEST_F(DiskWriterTest, SymlinkedFolderInThePathIsNotFollowedOutside)
{
    const fs::path outside = temp.path() / "outside";
    fs::create_directories(outside);
    fs::create_directories(dest());
    fs::create_directory_symlink(outside, dest() / "lnk");

    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    const ArcResult file = writeWhole(writer, "lnk/evil.txt", "x");
    EXPECT_EQ(file.status, ArcStatus::UnsafeEntry) << file.message;
    EXPECT_NE(file.message.find("lnk/evil.txt"), std::string::npos) << file.message;
    EXPECT_EQ(file.message.find(".tembrel-"), std::string::npos) << "the temporary name leaked: " << file.message;
    const ArcResult folder = writer.writeDirectory("lnk/sub", 0755, -1);
    EXPECT_FALSE(folder.ok());
    EXPECT_TRUE(writeWhole(writer, "fine.txt", "ok").ok()) << "one refusal does not stop the writer";
    EXPECT_TRUE(writer.finish().ok());
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(treeOf(dest()), (std::vector<std::string>{"fine.txt", "lnk"}));
}

TEST_F(DiskWriterTest, FolderEntryOverALinkBecomesARealFolder)
{
    const fs::path outside = temp.path() / "outside";
    fs::create_directories(outside);
    fs::create_directories(dest());
    fs::create_directory_symlink(outside, dest() / "lnk");
    const fs::path cwdBefore = fs::current_path();

    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    const ArcResult folder = writer.writeDirectory("lnk", 0755, -1);
    const ArcResult file = writeWhole(writer, "lnk/f.txt", "x");
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(fs::current_path(), cwdBefore);
    EXPECT_TRUE(fs::is_empty(outside)) << "nothing may pass through the link";
    EXPECT_TRUE(folder.ok()) << folder.message;
    EXPECT_TRUE(file.ok()) << file.message;
    EXPECT_FALSE(fs::is_symlink(dest() / "lnk"));
    EXPECT_EQ(testing::readFile(dest() / "lnk/f.txt"), "x");
}

TEST_F(DiskWriterTest, SymlinkUnderTheFinalNameIsReplacedNotFollowed)
{
    const fs::path outside = temp.path() / "target.txt";
    writeFile(outside, "precious");
    fs::create_directories(dest());
    fs::create_symlink(outside, dest() / "a.txt");

    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writeWhole(writer, "a.txt", "from archive").ok());
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(readFile(outside), "precious");
    EXPECT_FALSE(fs::is_symlink(dest() / "a.txt"));
    EXPECT_EQ(readFile(dest() / "a.txt"), "from archive");
}

TEST_F(DiskWriterTest, AFolderRemovedBehindTheWriterIsWalkedAfresh)
{
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writeWhole(writer, "d/e/a.txt", "a").ok());
    fs::remove_all(dest() / "d");
    fs::create_directories(dest() / "d/e");
    ASSERT_TRUE(writeWhole(writer, "d/e/b.txt", "b").ok());
    ASSERT_TRUE(writer.writeSymlink("d/e/l", "b.txt", -1).ok());
    fs::remove_all(dest() / "d");
    ASSERT_TRUE(writer.writeDirectory("d/e/f", 0, -1).ok());
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(treeOf(dest()), (std::vector<std::string>{"d", "d/e", "d/e/f"}));
}

TEST_F(DiskWriterTest, FolderInTheWayOfAFile)
{
    fs::create_directories(dest() / "empty-dir");
    writeFile(dest() / "full-dir/inside.txt", "mine");
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    EXPECT_TRUE(writeWhole(writer, "empty-dir", "file").ok()) << "an empty folder may give way";
    const ArcResult blocked = writeWhole(writer, "full-dir", "file");
    EXPECT_EQ(blocked.status, ArcStatus::NameClash) << blocked.message;
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(readFile(dest() / "empty-dir"), "file");
    EXPECT_EQ(readFile(dest() / "full-dir/inside.txt"), "mine");
    EXPECT_EQ(treeOf(dest()), (std::vector<std::string>{"empty-dir", "full-dir", "full-dir/inside.txt"}));
}

TEST_F(DiskWriterTest, FileInTheWayOfAFolderIsKept)
{
    writeFile(dest() / "name", "mine");
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    const ArcResult folder = writer.writeDirectory("name", 0755, -1);
    EXPECT_EQ(folder.status, ArcStatus::NameClash);
    const ArcResult child = writeWhole(writer, "name/child.txt", "x");
    EXPECT_EQ(child.status, ArcStatus::NameClash);
    EXPECT_NE(child.message.find("name/child.txt"), std::string::npos) << child.message;
    EXPECT_NE(child.message.find("file name "), std::string::npos) << "names the file in the way: " << child.message;
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(readFile(dest() / "name"), "mine");
    EXPECT_EQ(treeOf(dest()), std::vector<std::string>{"name"});
}

TEST_F(DiskWriterTest, UncleanNamesAreRefused)
{
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    for (const char* name : {"../escape.txt", "/abs.txt", "a/../../b", "a//b", "./a", "dir/"}) {
        EXPECT_EQ(writer.beginFile(name, 0644, -1).status, ArcStatus::UnsafeEntry) << name;
        EXPECT_EQ(writer.writeDirectory(name, 0755, -1).status, ArcStatus::UnsafeEntry) << name;
    }
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_TRUE(fs::is_empty(dest()));
    EXPECT_FALSE(fs::exists(temp.path() / "escape.txt"));
}

TEST_F(DiskWriterTest, SetIdBitsNeverReachTheDisk)
{
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writer.beginFile("tool", 06755, -1).ok());
    ASSERT_TRUE(writer.commitFile().ok());
    ASSERT_TRUE(writer.finish().ok());
    struct stat info;
    ASSERT_EQ(stat((dest() / "tool").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07000, 0u);
    EXPECT_NE(info.st_mode & 0100, 0u) << "the owner's execute bit is kept";
}

TEST_F(DiskWriterTest, MisuseIsAnInternalError)
{
    SafeDiskWriter writer(dest().string());
    EXPECT_EQ(writer.beginFile("a", 0, -1).status, ArcStatus::Internal);
    ASSERT_TRUE(writer.open().ok());
    EXPECT_EQ(writer.writeData("x", 1).status, ArcStatus::Internal);
    EXPECT_EQ(writer.commitFile().status, ArcStatus::Internal);
    ASSERT_TRUE(writer.beginFile("a", 0, -1).ok());
    EXPECT_EQ(writer.beginFile("b", 0, -1).status, ArcStatus::Internal);
    writer.abortFile();
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_TRUE(fs::is_empty(dest()));
}

TEST_F(DiskWriterTest, FolderModesAndTimesComeLastAndThroughTheUmask)
{
    const unsigned umask = testing::processUmask();
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writer.writeDirectory("ro", 0555, 1600000000).ok());
    ASSERT_TRUE(writeWhole(writer, "ro/f.txt", "x").ok()) << "a read-only folder entry still takes its files";
    ASSERT_TRUE(writeWhole(writer, "implied/sub/g.txt", "y").ok());
    ASSERT_TRUE(writer.writeDirectory("implied/sub", 0700, -1).ok()) << "a folder entry after its files";
    ASSERT_TRUE(writer.finish().ok());
    struct stat info;
    ASSERT_EQ(stat((dest() / "ro").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0555 & ~umask);
    EXPECT_EQ(info.st_mtim.tv_sec, 1600000000);
    ASSERT_EQ(stat((dest() / "implied/sub").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700 & ~umask);
    ASSERT_EQ(stat((dest() / "implied").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0777 & ~umask);
}

TEST_F(DiskWriterTest, SystemErrorsReachTheResult)
{
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    const std::string tooLong(300, 'n');
    for (const std::string& name : {tooLong, "d/" + tooLong}) {
        for (const ArcResult& r : {writeWhole(writer, name, "x"), writer.writeDirectory(name, 0, -1)}) {
            EXPECT_EQ(r.status, ArcStatus::WriteFailed);
            EXPECT_EQ(r.systemError, ENAMETOOLONG) << r.message;
            EXPECT_NE(r.message.find(std::strerror(ENAMETOOLONG)), std::string::npos) << r.message;
            EXPECT_NE(r.message.find(name), std::string::npos) << r.message;
        }
    }
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(treeOf(dest()), std::vector<std::string>{"d"});
}

// A write refused by the system (here the file-size limit, in a child process) reaches the
// result with its errno, and the temporary goes.
TEST_F(DiskWriterTest, AFailedWriteCarriesItsSystemError)
{
    const auto writeOverTheLimit = [this] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 4096;
        setrlimit(RLIMIT_FSIZE, &limit);
        SafeDiskWriter writer(dest().string());
        const ArcResult opened = writer.open();
        const ArcResult r = writeWhole(writer, "big.bin", std::string(1 << 20, 'b'));
        writer.finish();
        const bool expected = opened.ok() && r.status == ArcStatus::WriteFailed && r.systemError == EFBIG &&
                              r.path == "big.bin" && fs::is_empty(dest());
        std::fprintf(stderr, "%s\n", r.message.c_str());
        std::_Exit(expected ? 0 : 1);
    };
    EXPECT_EXIT(writeOverTheLimit(), ::testing::ExitedWithCode(0), "cannot write big.bin: ");
}

TEST_F(DiskWriterTest, CancelStopsTheFileBeingWritten)
{
    Job job;
    SafeDiskWriter writer(dest().string(), &job);
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writer.beginFile("a.txt", 0, -1).ok());
    ASSERT_TRUE(writer.writeData("x", 1).ok());
    job.cancel();
    EXPECT_EQ(writer.writeData("y", 1).status, ArcStatus::Cancelled);
    writer.abortFile();
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_TRUE(fs::is_empty(dest()));
}

// The question asked when an extracted file meets one already there.
struct ReplaceCase {
    const char* name;
    std::optional<std::string> existing;
    std::string incoming;
    std::optional<OverwriteAnswer> answer;  // nullopt: no job
    bool asked;
    ArcStatus status;
    std::string kept;
};

class Answering : public JobListener {
public:
    explicit Answering(OverwriteAnswer answer) : answer_(answer) {}
    OverwriteAnswer exists(const ExistingFile& file) override
    {
        questions.push_back(file);
        paths.emplace_back(file.path);
        return answer_;
    }
    std::vector<ExistingFile> questions;
    std::vector<std::string> paths;

private:
    OverwriteAnswer answer_;
};

class ReplaceExisting : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceExisting, AsksOnlyAboutOtherContent)
{
    const ReplaceCase& c = GetParam();
    TempDir temp;
    const fs::path dest = temp.path() / "out";
    fs::create_directories(dest / "d");
    if (c.existing)
        writeFile(dest / "d/a.txt", *c.existing);
    Answering listener(c.answer.value_or(OverwriteAnswer::Cancel));
    Job job(&listener);
    SafeDiskWriter writer(dest.string(), c.answer ? &job : nullptr);
    ASSERT_TRUE(writer.open().ok());
    const ArcResult result = writeWhole(writer, "d/a.txt", c.incoming, 1234567);
    EXPECT_EQ(result.status, c.status) << result.message;
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(readFile(dest / "d/a.txt"), c.kept);
    EXPECT_EQ(treeOf(dest), (std::vector<std::string>{"d", "d/a.txt"})) << "no temporary is left";
    ASSERT_EQ(listener.questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
        const ExistingFile& q = listener.questions.front();
        EXPECT_EQ(listener.paths.front(), "d/a.txt");
        EXPECT_EQ(q.existingSize, c.existing->size());
        EXPECT_EQ(q.newSize, c.incoming.size());
        EXPECT_EQ(q.newMtime, 1234567);
        EXPECT_GT(q.existingMtime, 1234567);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceExisting,
    ::testing::Values(
        ReplaceCase{"NoJobOverwrites", "old", "new", std::nullopt, false, ArcStatus::Ok, "new"},
        ReplaceCase{"NothingThere", std::nullopt, "new", OverwriteAnswer::Cancel, false, ArcStatus::Ok, "new"},
        ReplaceCase{"SameBytesSilently", "same", "same", OverwriteAnswer::Cancel, false, ArcStatus::Ok, "same"},
        ReplaceCase{"Overwrite", "old", "newer", OverwriteAnswer::Overwrite, true, ArcStatus::Ok, "newer"},
        ReplaceCase{"OverwriteAll", "old", "newer", OverwriteAnswer::OverwriteAll, true, ArcStatus::Ok, "newer"},
        ReplaceCase{"SameSizeOtherBytes", "abcd", "abce", OverwriteAnswer::Skip, true, ArcStatus::Ok, "abcd"},
        ReplaceCase{"Skip", "old", "new", OverwriteAnswer::SkipAll, true, ArcStatus::Ok, "old"},
        ReplaceCase{"Cancel", "old", "new", OverwriteAnswer::Cancel, true, ArcStatus::Cancelled, "old"}),
    [](const ::testing::TestParamInfo<ReplaceCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace arc
