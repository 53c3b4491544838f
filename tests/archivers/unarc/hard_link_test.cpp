// SafeDiskWriter::writeHardLink: a link to a file of the destination, placed like a file.
#include <sys/stat.h>

#include "common/disk_writer.h"
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

struct LinkCase {
    const char* name;
    const char* target;
    const char* existing;  // content already under the link's name, or null
    bool replaceWithoutAsking;
    ArcStatus status;
    bool asked;
    bool linked;  // the name ends up on the target's file
};

class HardLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(HardLinks, MadeOnlyToAFileInsideAndPlacedAsAFile)
{
    const LinkCase& c = GetParam();
    TempDir temp;
    fs::create_directories(temp.path() / "out");
    fs::create_directories(temp.path() / "outside");
    writeFile(temp.path() / "outside" / "secret", "outside");
    fs::create_directory_symlink(temp.path() / "outside", temp.path() / "out" / "away");
    if (c.existing != nullptr)
        writeFile(temp.path() / "out" / "b", c.existing);
    ScriptedListener listener;
    listener.answer = OverwriteAnswer::Skip;
    Job job(&listener);
    SafeDiskWriter writer((temp.path() / "out").string(), &job);
    ASSERT_TRUE(writer.open().ok());
    ASSERT_TRUE(writer.beginFile("dir/a", 0644, -1).ok());
    ASSERT_TRUE(writer.writeData("data", 4).ok());
    ASSERT_TRUE(writer.commitFile().ok());
    ASSERT_TRUE(writer.writeSymlink("l", "dir/a", -1).ok());

    const ArcResult r = writer.writeHardLink("b", c.target, c.replaceWithoutAsking);
    EXPECT_EQ(r.status, c.status) << r.message;
    EXPECT_EQ(writer.lastPlaced(), c.linked);
    EXPECT_EQ(!listener.asked.empty(), c.asked);
    EXPECT_TRUE(writer.finish().ok());
    struct stat a {
    }, b{};
    stat((temp.path() / "out" / "dir" / "a").c_str(), &a);
    const bool exists = lstat((temp.path() / "out" / "b").c_str(), &b) == 0;
    EXPECT_EQ(exists && a.st_ino == b.st_ino, c.linked);
    if (c.existing != nullptr && !c.linked)
        EXPECT_EQ(readFile(temp.path() / "out" / "b"), c.existing);
    EXPECT_EQ(readFile(temp.path() / "outside" / "secret"), "outside");
    EXPECT_TRUE(leftovers(temp.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Writer, HardLinks,
    ::testing::Values(LinkCase{"to_a_file", "dir/a", nullptr, false, ArcStatus::Ok, false, true},
                      LinkCase{"to_a_symbolic_link", "l", nullptr, false, ArcStatus::UnsafeEntry, false, false},
                      LinkCase{"to_nothing", "dir/none", nullptr, false, ArcStatus::UnsafeEntry, false, false},
                      LinkCase{"through_a_link_outside", "away/secret", nullptr, false, ArcStatus::UnsafeEntry, false,
                               false},
                      LinkCase{"over_other_content_asks", "dir/a", "mine", false, ArcStatus::Ok, true, false},
                      LinkCase{"over_the_same_content_silently", "dir/a", "data", false, ArcStatus::Ok, false, true},
                      LinkCase{"over_own_file_without_asking", "dir/a", "mine", true, ArcStatus::Ok, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace arc::testing
