// Hostile and damaged archives: names and links that reach out, special files, bombs, missing
// volumes, read and write failures. Nothing may land outside the destination, no temporary may
// stay, and each failure is named.
#include <archive.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "failing_io.h"
#include "unarc/archive_extractor.h"
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

using Refusals = std::vector<std::pair<std::string, ArcStatus>>;

Refusals refusalsOf(const ScriptedListener& listener)
{
    Refusals out;
    for (const EntryFailure& failure : listener.failures)
        out.emplace_back(failure.path, failure.reason);
    return out;
}

struct Hostile {
    const char* name;
    int format;
    std::vector<Crafted> entries;
    Refusals refused;
    std::map<std::string, std::string> left;
};

class HostileEntries : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileEntries, StayInsideAndAreNamedOneByOne)
{
    const Hostile& c = GetParam();
    TempDir temp;
    ASSERT_EQ(writeCrafted(temp.path() / "hostile", c.format, c.entries), "");
    ScriptedListener listener;
    const ArcResult r = extractWith(temp.path() / "hostile", temp.path() / "out", &listener);
    EXPECT_EQ(r.status, ArcStatus::UnsafeEntry) << r.message;
    EXPECT_EQ(refusalsOf(listener), c.refused) << r.message;
    EXPECT_EQ(snapshot(temp.path() / "out"), c.left);
    EXPECT_EQ(snapshot(temp.path()).size(), c.left.size() + 2) << "something landed beside the destination";
}

INSTANTIATE_TEST_SUITE_P(Formats, HostileEntries,
                         ::testing::Values(Hostile{"pax",
                                                   ARCHIVE_FORMAT_TAR_PAX_RESTRICTED,
                                                   {{"../evil.txt", S_IFREG, "x"},
                                                    {"/abs.txt", S_IFREG, "absolute"},
                                                    {"./", S_IFDIR},
                                                    {"out", S_IFLNK, "", "/etc"},
                                                    {"up", S_IFLNK, "", "../.."},
                                                    {"up/x.txt", S_IFREG, "below"},
                                                    {"h", S_IFREG, "", "", "../../etc/passwd"},
                                                    {"h2", S_IFREG, "", "", "never.txt"},
                                                    {"fifo", S_IFIFO}},
                                                   {{"../evil.txt", ArcStatus::UnsafeEntry},
                                                    {"out", ArcStatus::UnsafeEntry},
                                                    {"up", ArcStatus::UnsafeEntry},
                                                    {"h", ArcStatus::UnsafeEntry},
                                                    {"h2", ArcStatus::ArchiveCorrupt},
                                                    {"fifo", ArcStatus::SpecialEntry}},
                                                   {{"abs.txt", "f:absolute"}, {"up", "d"}, {"up/x.txt", "f:below"}}},
                                           // Formats from Windows separate folders with backslashes too.
                                           Hostile{"7z",
                                                   ARCHIVE_FORMAT_7ZIP,
                                                   {{"..\\evil.txt", S_IFREG, "x"}, {"ok\\in.txt", S_IFREG, "in"}},
                                                   {{"..\\evil.txt", ArcStatus::UnsafeEntry}},
                                                   {{"ok", "d"}, {"ok/in.txt", "f:in"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

// GNU tar finds the holes of sparse files: holes are written as zeros up to a bound, and an
// entry past it is refused before anything is written.
TEST(SparseEntries, HolesAreFilledWithinTheBoundAndRefusedBeyondIt)
{
    REQUIRE_PEER("tar");
    TempDir temp;
    const fs::path src = temp.path() / "src";
    for (const auto& [name, size] :
         {std::pair{"small.bin", std::uintmax_t{1} << 20}, std::pair{"bomb.bin", unarc::kMaxHoleBytes + (8 << 20)}}) {
        writeFile(src / name, "");
        fs::resize_file(src / name, size);
        std::fstream(src / name, std::ios::in | std::ios::out | std::ios::binary).seekp(size / 2) << "middle";
    }
    writeFile(src / "after.txt", "still read");
    ASSERT_EQ(runShell("cd " + shellQuote(src.string()) + " && tar --sparse -cf ../s.tar small.bin bomb.bin after.txt"),
              0);
    ScriptedListener listener;
    const ArcResult r = extractWith(temp.path() / "s.tar", temp.path() / "out", &listener);
    EXPECT_EQ(refusalsOf(listener), (Refusals{{"bomb.bin", ArcStatus::UnsupportedMethod}})) << r.message;
    EXPECT_EQ(snapshot(temp.path() / "out"),
              (std::map<std::string, std::string>{{"small.bin", "f:" + shortened(readFile(src / "small.bin"))},
                                                  {"after.txt", "f:still read"}}));
}

// A set with a volume missing: the entry it held fails, nothing of it stays, the entry before
// it does; a later volume named without its first is refused.
TEST(VolumeSets, AMissingVolumeFailsTheEntriesItHeld)
{
    REQUIRE_PEER("7zz");
    TempDir temp;
    writeFile(temp.path() / "src" / "first.txt", "before the gap");
    makeSourceTree(temp.path() / "src" / "tree");
    ASSERT_EQ(runShell("cd " + shellQuote((temp.path() / "src").string()) + " && 7zz a -bd -ttar -v100k ../s.tar ."),
              0);
    fs::remove(temp.path() / "s.tar.003");
    const ArcResult r = extractWith(temp.path() / "s.tar.001", temp.path() / "out");
    EXPECT_EQ(r.status, ArcStatus::ArchiveCorrupt) << r.message;
    EXPECT_EQ(snapshot(temp.path() / "out").count("first.txt"), 1u);
    EXPECT_FALSE(fs::exists(temp.path() / "out" / "tree" / "sub" / "deep" / "random.bin"));
    EXPECT_TRUE(leftovers(temp.path()).empty());

    const ArcResult laterOnly = extractWith(temp.path() / "lost.7z.002", temp.path() / "out2");
    EXPECT_EQ(laterOnly.status, ArcStatus::ArchiveUnreadable) << laterOnly.message;
    EXPECT_NE(laterOnly.message.find("lost.7z.001"), std::string::npos) << laterOnly.message;
}

// A volume that cannot be read (here opened for writing only) is "could not read" with its
// errno, not a damaged archive; what came before it stays.
TEST(ReadFailures, AnUnreadableVolumeCarriesItsErrno)
{
    TempDir temp;
    const std::string data(600000, 'r');
    ASSERT_EQ(writeCrafted(temp.path() / "whole.tar", ARCHIVE_FORMAT_TAR_USTAR,
                           {{"first.bin", S_IFREG, data}, {"second.bin", S_IFREG, data}}),
              "");
    const std::string whole = readFile(temp.path() / "whole.tar");
    writeFile(temp.path() / "v1", whole.substr(0, 700000));
    writeFile(temp.path() / "v2", whole.substr(700000));
    unarc::VolumeSource source;
    ASSERT_TRUE(source
                    .adopt({::open((temp.path() / "v1").c_str(), O_RDONLY | O_CLOEXEC),
                            ::open((temp.path() / "v2").c_str(), O_WRONLY | O_CLOEXEC)},
                           {"v1", "v2"})
                    .ok());
    Job job;
    const ArcResult r = unarc::extractArchive(source, (temp.path() / "out").string(), job);
    EXPECT_EQ(r.status, ArcStatus::ArchiveUnreadable) << r.message;
    EXPECT_EQ(r.systemError, EBADF) << r.message;
    EXPECT_NE(r.message.find("could not read"), std::string::npos) << r.message;
    EXPECT_EQ(snapshot(temp.path() / "out"),
              (std::map<std::string, std::string>{{"first.bin", "f:" + shortened(data)}}));
}

// A refused write gives up its file whole; a full destination ends the run there and says so.
class WriteFailures : public ::testing::TestWithParam<std::pair<int, bool>> {};

TEST_P(WriteFailures, GiveUpTheFileAndStopWhenTheDiskIsFull)
{
    const auto [error, stops] = GetParam();
    TempDir temp;
    const std::string data(100000, 'w');
    ASSERT_EQ(writeCrafted(temp.path() / "two.tar", ARCHIVE_FORMAT_TAR_USTAR,
                           {{"one.bin", S_IFREG, data}, {"two.bin", S_IFREG, data}}),
              "");
    ScriptedListener listener;
    failWritesAfter(50000, error);
    const ArcResult r = extractWith(temp.path() / "two.tar", temp.path() / "out", &listener);
    EXPECT_EQ(r.systemError, error) << r.message;
    Refusals refused{{"one.bin", ArcStatus::WriteFailed}};
    if (stops)
        refused.emplace_back("", ArcStatus::WriteFailed);
    EXPECT_EQ(refusalsOf(listener), refused) << r.message;
    EXPECT_EQ(snapshot(temp.path() / "out").count("two.bin"), stops ? 0u : 1u);
    EXPECT_EQ(snapshot(temp.path() / "out").count("one.bin"), 0u);
    EXPECT_TRUE(leftovers(temp.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Errors, WriteFailures,
                         ::testing::Values(std::pair{ENOSPC, true}, std::pair{EDQUOT, true}, std::pair{EIO, false}));

}  // namespace
}  // namespace arc::testing
