// SafeDiskWriter: final names only ever hold committed files, nothing leaves the destination,
// no temporary survives.
#include "common/disk_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "temp_dir.h"

namespace arc {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

// Every path below `root`, relative, sorted; used to prove no temporary is left behind.
std::vector<std::string> treeOf(const fs::path& root)
{
    std::vector<std::string> names;
    for (const auto& item : fs::recursive_directory_iterator(root))
        names.push_back(item.path().lexically_relative(root).string());
    std::sort(names.begin(), names.end());
    return names;
}

ArcResult writeWhole(SafeDiskWriter& writer, const std::string& name, const std::string& content)
{
    if (ArcResult r = writer.beginFile(name, 0644, 1700000000); !r.ok())
        return r;
    if (ArcResult r = writer.writeData(content.data(), content.size()); !r.ok())
        return r;
    return writer.commitFile();
}

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
    EXPECT_EQ(treeOf(dest()), (std::vector<std::string>{"empty", "new", "new/deep", "new/deep/file.bin", "表",
                                                        "表/ソ.txt"}));
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

TEST_F(DiskWriterTest, FolderInTheWayOfAFile)
{
    fs::create_directories(dest() / "empty-dir");
    writeFile(dest() / "full-dir/inside.txt", "mine");
    SafeDiskWriter writer(dest().string());
    ASSERT_TRUE(writer.open().ok());
    EXPECT_TRUE(writeWhole(writer, "empty-dir", "file").ok()) << "an empty folder may give way";
    const ArcResult blocked = writeWhole(writer, "full-dir", "file");
    EXPECT_EQ(blocked.status, ArcStatus::WriteFailed);
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
    EXPECT_EQ(writer.writeDirectory("name", 0755, -1).status, ArcStatus::WriteFailed);
    EXPECT_FALSE(writeWhole(writer, "name/child.txt", "x").ok());
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

}  // namespace
}  // namespace arc
