// Hostile and damaged archives: names and links that reach out, special files, bombs, missing
// volumes, read and write failures. Nothing may land outside the destination, no temporary may
// stay, and each failure must be named.
#include <archive.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "unarc/archive_extractor.h"
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

std::vector<std::pair<std::string, ArcStatus>> failuresOf(const ScriptedListener& listener)
{
    std::vector<std::pair<std::string, ArcStatus>> out;
    for (const EntryFailure& failure : listener.failures)
        out.emplace_back(failure.path, failure.reason);
    return out;
}

// Entries that try to leave the destination or make what must not be made, each refused and
// named; what is left lands inside.
const std::vector<Crafted> kReachingOut = {
    {"../evil.txt", S_IFREG, "x"},
    {"/abs.txt", S_IFREG, "absolute names land inside"},
    {"./", S_IFDIR},
    {"out", S_IFLNK, "", "/etc"},
    {"up", S_IFLNK, "", "../.."},
    {"up/x.txt", S_IFREG, "a folder, not through the link"},
    {"h", S_IFREG, "", "", "../../etc/passwd"},
    {"h2", S_IFREG, "", "", "never.txt"},
    {"fifo", S_IFIFO},
};
const std::vector<std::pair<std::string, ArcStatus>> kReachingOutRefused = {
    {"../evil.txt", ArcStatus::UnsafeEntry}, {"out", ArcStatus::UnsafeEntry},   {"up", ArcStatus::UnsafeEntry},
    {"h", ArcStatus::UnsafeEntry},           {"h2", ArcStatus::ArchiveCorrupt}, {"fifo", ArcStatus::SpecialEntry}};
const std::map<std::string, std::string> kReachingOutLeft = {
    {"abs.txt", "f:absolute names land inside"}, {"up", "d"}, {"up/x.txt", "f:a folder, not through the link"}};

// Formats from Windows separate folders with backslashes too.
const std::vector<Crafted> kBackslashes = {{"..\\evil.txt", S_IFREG, "x"}, {"ok\\in.txt", S_IFREG, "in"}};

struct Hostile {
    const char* name;
    int format;
    const std::vector<Crafted>* entries;
    std::vector<std::pair<std::string, ArcStatus>> refused;
    std::map<std::string, std::string> left;
};

class HostileEntries : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileEntries, StayInsideAndAreNamedOneByOne)
{
    const Hostile& c = GetParam();
    TempDir temp;
    const fs::path archive = temp.path() / "hostile";
    ASSERT_EQ(writeCrafted(archive, c.format, *c.entries), "");
    ScriptedListener listener;
    const ArcResult r = extractWith(archive, temp.path() / "out", &listener);
    EXPECT_EQ(r.status, ArcStatus::UnsafeEntry) << r.message;
    EXPECT_EQ(failuresOf(listener), c.refused) << r.message;
    EXPECT_EQ(snapshot(temp.path() / "out"), c.left);
    EXPECT_EQ(snapshot(temp.path()).size(), c.left.size() + 2) << "something landed beside the destination";
}

INSTANTIATE_TEST_SUITE_P(Formats, HostileEntries,
                         ::testing::Values(Hostile{"pax", ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, &kReachingOut,
                                                   kReachingOutRefused, kReachingOutLeft},
                                           Hostile{"gnutar", ARCHIVE_FORMAT_TAR_GNUTAR, &kReachingOut,
                                                   kReachingOutRefused, kReachingOutLeft},
                                           Hostile{"7z",
                                                   ARCHIVE_FORMAT_7ZIP,
                                                   &kBackslashes,
                                                   {{"..\\evil.txt", ArcStatus::UnsafeEntry}},
                                                   {{"ok", "d"}, {"ok/in.txt", "f:in"}}},
                                           // libarchive turns ZIP names' backslashes into slashes itself.
                                           Hostile{"zip",
                                                   ARCHIVE_FORMAT_ZIP,
                                                   &kBackslashes,
                                                   {{"../evil.txt", ArcStatus::UnsafeEntry}},
                                                   {{"ok", "d"}, {"ok/in.txt", "f:in"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Sparse entries (GNU tar finds the holes of sparse files): holes are written as zeros up to a
// bound, past which the entry is refused before anything is written.
TEST(SparseEntries, HolesAreFilledWithinTheBoundAndRefusedBeyondIt)
{
    REQUIRE_PEER("tar");
    TempDir temp;
    const fs::path src = temp.path() / "src";
    fs::create_directories(src);
    const auto sparseFile = [&](const char* name, std::uintmax_t size) {
        fs::resize_file((writeFile(src / name, ""), src / name), size);
        std::fstream(src / name, std::ios::in | std::ios::out | std::ios::binary).seekp(size / 2) << "middle";
    };
    sparseFile("small.bin", 1 << 20);
    sparseFile("bomb.bin", unarc::kMaxHoleBytes + (8 << 20));
    writeFile(src / "after.txt", "still read");
    ASSERT_EQ(
        runShell("cd " + shellQuote(src.string()) + " && tar --sparse -cf ../sparse.tar small.bin bomb.bin after.txt"),
        0);
    ScriptedListener listener;
    const ArcResult r = extractWith(temp.path() / "sparse.tar", temp.path() / "out", &listener);
    EXPECT_EQ(r.status, ArcStatus::UnsupportedMethod) << r.message;
    EXPECT_EQ(failuresOf(listener),
              (std::vector<std::pair<std::string, ArcStatus>>{{"bomb.bin", ArcStatus::UnsupportedMethod}}));
    EXPECT_EQ(snapshot(temp.path() / "out"),
              (std::map<std::string, std::string>{{"small.bin", "f:" + shortened(readFile(src / "small.bin"))},
                                                  {"after.txt", "f:still read"}}));
}

// A set with a volume missing: the entries it held fail, no part of them is left, and the
// entries before it stay.
TEST(VolumeSets, AMissingVolumeFailsTheEntriesItHeld)
{
    REQUIRE_PEER("7zz");
    TempDir temp;
    writeFile(temp.path() / "src" / "first.txt", "before the gap");
    std::string big(400000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7919) >> 3);
    writeFile(temp.path() / "src" / "second.bin", big);
    ASSERT_EQ(runShell("cd " + shellQuote((temp.path() / "src").string()) +
                       " && 7zz a -bd -ttar -v100k ../set.tar first.txt second.bin"),
              0);
    fs::remove(temp.path() / "set.tar.003");
    ScriptedListener listener;
    const ArcResult r = extractWith(temp.path() / "set.tar.001", temp.path() / "out", &listener);
    EXPECT_EQ(r.status, ArcStatus::ArchiveCorrupt) << r.message;
    EXPECT_EQ(snapshot(temp.path() / "out"), (std::map<std::string, std::string>{{"first.txt", "f:before the gap"}}));
    EXPECT_TRUE(leftovers(temp.path()).empty());

    const ArcResult laterOnly = extractWith(temp.path() / "lost.7z.002", temp.path() / "out2");
    EXPECT_EQ(laterOnly.status, ArcStatus::ArchiveUnreadable) << laterOnly.message;
    EXPECT_NE(laterOnly.message.find("lost.7z.001"), std::string::npos) << laterOnly.message;
}

// A volume that cannot be read is "could not read" with its errno, not a damaged archive.
TEST(ReadFailures, AnUnreadableVolumeCarriesItsErrno)
{
    TempDir temp;
    std::string big(600000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31 >> 2);
    ASSERT_EQ(writeCrafted(temp.path() / "whole.tar", ARCHIVE_FORMAT_TAR_USTAR,
                           {{"first.bin", S_IFREG, big}, {"second.bin", S_IFREG, big}}),
              "");
    const std::string whole = readFile(temp.path() / "whole.tar");
    writeFile(temp.path() / "v1", whole.substr(0, 700000));
    writeFile(temp.path() / "v2", whole.substr(700000));
    unarc::VolumeSource source;
    const int readable = ::open((temp.path() / "v1").c_str(), O_RDONLY | O_CLOEXEC);
    const int writeOnly = ::open((temp.path() / "v2").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_TRUE(source.adopt({readable, writeOnly}, {"v1", "v2"}).ok());
    Job job;
    const ArcResult r = unarc::extractArchive(source, (temp.path() / "out").string(), job);
    EXPECT_EQ(r.status, ArcStatus::ArchiveUnreadable) << r.message;
    EXPECT_EQ(r.systemError, EBADF) << r.message;
    EXPECT_NE(r.message.find("could not read"), std::string::npos) << r.message;
    EXPECT_EQ(snapshot(temp.path() / "out"),
              (std::map<std::string, std::string>{{"first.bin", "f:" + shortened(big)}}));
}

// A refused write (the file-size limit, in a child process) ends the run at once: the next
// file is not tried, and nothing is left.
TEST(WriteFailures, TheFirstFailedWriteStopsTheRun)
{
    TempDir temp;
    const std::string data(100000, 'w');
    ASSERT_EQ(writeCrafted(temp.path() / "two.tar", ARCHIVE_FORMAT_TAR_USTAR,
                           {{"one.bin", S_IFREG, data}, {"two.bin", S_IFREG, data}}),
              "");
    const auto extractOverTheLimit = [&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 65536;
        setrlimit(RLIMIT_FSIZE, &limit);
        ScriptedListener listener;
        const ArcResult r = extractWith(temp.path() / "two.tar", temp.path() / "out", &listener);
        const bool expected = r.status == ArcStatus::WriteFailed && r.systemError == EFBIG &&
                              listener.failures.size() == 1 && listener.failures[0].path == "one.bin" &&
                              fs::is_empty(temp.path() / "out");
        std::fprintf(stderr, "%s\n", r.message.c_str());
        std::_Exit(expected ? 0 : 1);
    };
    EXPECT_EXIT(extractOverTheLimit(), ::testing::ExitedWithCode(0), "cannot write one.bin");
}

}  // namespace
}  // namespace arc::testing
