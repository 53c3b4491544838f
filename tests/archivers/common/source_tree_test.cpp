// Source collection: the file form, the folder forms, links, loops, and the archive itself.
#include "common/source_tree.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "temp_dir.h"

namespace arc {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::writeFile;

std::vector<std::string> membersOf(const std::vector<SourceEntry>& entries)
{
    std::vector<std::string> names;
    for (const SourceEntry& entry : entries)
        names.push_back(entry.memberName + (entry.isDirectory ? "/" : ""));
    return names;
}

TEST(CollectFile, StoresTheBareName)
{
    TempDir temp;
    writeFile(temp.path() / "dir/表 file.txt", "12345");
    fs::permissions(temp.path() / "dir/表 file.txt", fs::perms(0640));
    std::vector<SourceEntry> entries;
    ASSERT_TRUE(collectFile((temp.path() / "dir/表 file.txt").string(), entries).ok());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].memberName, "表 file.txt");
    EXPECT_EQ(entries[0].size, 5u);
    EXPECT_FALSE(entries[0].isDirectory);
    EXPECT_EQ(entries[0].mode, 0640u);
}

TEST(CollectFile, MissingOrFolderIsInputMissing)
{
    TempDir temp;
    std::vector<SourceEntry> entries;
    EXPECT_EQ(collectFile((temp.path() / "nope").string(), entries).status, ArcStatus::InputMissing);
    EXPECT_EQ(collectFile(temp.str(), entries).status, ArcStatus::InputMissing);
    EXPECT_EQ(collectFile(temp.str() + "/", entries).status, ArcStatus::InputMissing);
    EXPECT_TRUE(entries.empty());
}

class CollectFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(base() / "N/b.txt", "b");
        writeFile(base() / "N/a.txt", "a");
        writeFile(base() / "N/sub/z.txt", "z");
        fs::create_directories(base() / "N/empty");
        fs::create_directories(base() / "N/sub/deeper-empty");
    }
    fs::path base() const { return temp.path() / "base"; }
    TempDir temp;
};

// Each entry is also told as it is added, in the same order.
TEST_F(CollectFolder, ParentsFirstSortedWithEmptyFolders)
{
    for (const char* pattern : {"N/*.*", "N/*", "N", "N/"}) {
        std::vector<SourceEntry> entries;
        std::vector<SourceEntry> told;
        ASSERT_TRUE(collectFolder(base().string() + "/", pattern, entries,
                                  [&told](const SourceEntry& entry) { told.push_back(entry); })
                        .ok())
            << pattern;
        EXPECT_EQ(membersOf(entries), (std::vector<std::string>{"N/", "N/a.txt", "N/b.txt", "N/empty/", "N/sub/",
                                                                "N/sub/deeper-empty/", "N/sub/z.txt"}))
            << pattern;
        EXPECT_EQ(membersOf(told), membersOf(entries)) << pattern;
    }
}

TEST(CollectDeepFolder, ATreeDeeperThanTheDescriptorLimitIsWalkedWhole)
{
    TempDir temp;
    fs::path deep = temp.path() / "N";
    for (int i = 0; i < 80; ++i)
        deep /= "d";
    writeFile(deep / "leaf.txt", "x");
    const auto open = static_cast<rlim_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = open + 16;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<SourceEntry> entries;
    const ArcResult result = collectFolder(temp.str(), "N", entries);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(entries.size(), 82u);  // N, 80 folders and the leaf
}

TEST_F(CollectFolder, BaseWithoutTrailingSlashAndWholeBase)
{
    std::vector<SourceEntry> entries;
    ASSERT_TRUE(collectFolder(base().string(), "N/*.*", entries).ok());
    EXPECT_EQ(entries.front().diskPath, (base() / "N").string());
    entries.clear();
    ASSERT_TRUE(collectFolder(base().string() + "/N/", "*.*", entries).ok());
    EXPECT_EQ(membersOf(entries),
              (std::vector<std::string>{"a.txt", "b.txt", "empty/", "sub/", "sub/deeper-empty/", "sub/z.txt"}));
}

TEST_F(CollectFolder, MissingFolderAndEscapingPatterns)
{
    std::vector<SourceEntry> entries;
    EXPECT_EQ(collectFolder(base().string() + "/", "Missing/*.*", entries).status, ArcStatus::InputMissing);
    EXPECT_EQ(collectFolder(base().string() + "/", "../base/N/*.*", entries).status, ArcStatus::BadCommand);
    EXPECT_EQ(collectFolder(base().string() + "/", "/etc/*.*", entries).status, ArcStatus::BadCommand);
    EXPECT_TRUE(entries.empty());
}

TEST_F(CollectFolder, LinksAreFollowedLoopsAreNotDescendedDanglingSkipped)
{
    fs::create_symlink(base() / "N/a.txt", base() / "N/link-to-file");
    fs::create_directory_symlink(base() / "N", base() / "N/sub/loop");
    fs::create_symlink(base() / "N/nothing-here", base() / "N/dangling");
    writeFile(temp.path() / "elsewhere/x.txt", "x");
    fs::create_directory_symlink(temp.path() / "elsewhere", base() / "N/ext");

    std::vector<SourceEntry> entries;
    ASSERT_TRUE(collectFolder(base().string() + "/", "N/*.*", entries).ok());
    EXPECT_EQ(membersOf(entries), (std::vector<std::string>{"N/", "N/a.txt", "N/b.txt", "N/empty/", "N/ext/",
                                                            "N/ext/x.txt", "N/link-to-file", "N/sub/",
                                                            "N/sub/deeper-empty/", "N/sub/loop/", "N/sub/z.txt"}));
    const auto linked = std::find_if(entries.begin(), entries.end(),
                                     [](const SourceEntry& e) { return e.memberName == "N/link-to-file"; });
    EXPECT_EQ(linked->size, 1u) << "a link is stored as what it points to";
}

TEST_F(CollectFolder, FifosAreNotCollectedButNamed)
{
    ASSERT_EQ(mkfifo((base() / "N/pipe").c_str(), 0644), 0);
    std::vector<SourceEntry> entries;
    const ArcResult result = collectFolder(base().string() + "/", "N", entries);
    EXPECT_EQ(result.status, ArcStatus::SpecialEntry);
    EXPECT_NE(result.message.find("pipe: a FIFO"), std::string::npos) << result.message;
    for (const SourceEntry& entry : entries)
        EXPECT_NE(entry.memberName, "N/pipe");
}

TEST_F(CollectFolder, TheArchiveInsideTheFolderIsExcluded)
{
    writeFile(base() / "N/sub/out.zip", "PK");
    std::vector<SourceEntry> entries;
    ASSERT_TRUE(collectFolder(base().string() + "/", "N/*.*", entries).ok());
    const std::size_t before = entries.size();
    // The archive named through another spelling of the same path still matches.
    excludeArchive((base() / "N/./sub/../sub/out.zip").string(), entries);
    EXPECT_EQ(entries.size(), before - 1);
    for (const SourceEntry& entry : entries)
        EXPECT_NE(entry.memberName, "N/sub/out.zip");
}

TEST_F(CollectFolder, AHardLinkToTheArchiveIsExcludedToo)
{
    writeFile(temp.path() / "out.zip", "PK");
    ASSERT_EQ(link((temp.path() / "out.zip").c_str(), (base() / "N/alias.zip").c_str()), 0);
    std::vector<SourceEntry> entries;
    ASSERT_TRUE(collectFolder(base().string() + "/", "N/*.*", entries).ok());
    excludeArchive((temp.path() / "out.zip").string(), entries);
    for (const SourceEntry& entry : entries)
        EXPECT_NE(entry.memberName, "N/alias.zip");
}

TEST_F(CollectFolder, ANotYetCreatedArchiveIsMatchedByPath)
{
    std::vector<SourceEntry> entries;
    SourceEntry future;
    future.diskPath = (base() / "N/../N/new.lzh").string();
    future.memberName = "N/new.lzh";
    entries.push_back(future);
    excludeArchive((base() / "N/new.lzh").string(), entries);
    EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace arc
