// Archives through the unlha32 plug-in and the engine: create, append in place, replace by
// rewrite, roll back, and extract safely from hostile archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "common/safe_path.h"
#include "common/source_tree.h"
#include "lzh/archive_reader.h"
#include "lzh/archive_writer.h"
#include "lzh/crc16.h"
#include "lzh/file_io.h"
#include "lzh/header_codec.h"
#include "lzh/member_name.h"
#include "lzh_test_support.h"

namespace lzh::testing {
namespace {

std::string addFolder(const fs::path& archive, const fs::path& base, const std::string& extra = "")
{
    return "a " + extra + " \"" + archive.string() + "\" \"" + base.string() + "/\" N/*.* -x -n1 -r2";
}

std::vector<MemberHeader> headersOf(const fs::path& archive)
{
    const std::string bytes = readFile(archive);
    MemoryAccess access(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ScannedArchive scanned;
    EXPECT_EQ(scanArchive(access, bytes.size(), scanned), LzhStatus::Ok);
    return scanned.members;
}

TEST(Plugin, ReportsItsVersion)
{
    EXPECT_EQ(unlhaVersion(), 100);
}

TEST(Plugin, FolderFormRoundTripsThroughOurOwnReader)
{
    TempDir dir;
    makeSampleTree(dir.path() / "src", true);
    const fs::path archive = dir.path() / "A.lzh";
    PluginResult r = unlha(addFolder(archive, dir.path() / "src"));
    ASSERT_EQ(r.code, 0) << r.message;
    r = unlha("x -n \"" + archive.string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out"), snapshot(dir.path() / "src"));

    bool sawStored = false, sawCompressed = false, sawDirectory = false;
    for (const MemberHeader& h : headersOf(archive)) {
        EXPECT_EQ(h.level, 2);
        sawStored |= h.method == Method::Lh0;
        sawCompressed |= h.method == Method::Lh5;
        sawDirectory |= h.isDirectory();
        if (decodeMemberPath(h).find("noise") != std::string::npos) {
            EXPECT_EQ(h.method, Method::Lh0);
        }
    }
    EXPECT_TRUE(sawStored && sawCompressed && sawDirectory);
}

// Tiny members run far ahead of the writer while large ones hold it up; an incompressible
// member frees its share of the look-ahead as soon as it is known to be stored.
TEST(Plugin, ManySmallMembersAroundLargeOnesComeOutWholeAndOnce)
{
    TempDir dir;
    const fs::path src = dir.path() / "src";
    fs::create_directories(src / "N");
    std::vector<std::string> names;
    auto add = [&](const std::string& name, const Bytes& bytes) {
        writeFile(src / "N" / name, std::string(bytes.begin(), bytes.end()));
        names.push_back(name);
    };
    for (int i = 0; i < 300; ++i)
        add("a" + std::to_string(1000 + i), textBytes(200 + 37 * i, static_cast<std::uint32_t>(i)));
    add("b-noise", randomBytes(5u << 20, 7));
    add("c-text", textBytes(9u << 20, 8));
    for (int i = 0; i < 300; ++i)
        add("d" + std::to_string(1000 + i), textBytes(100 + 53 * i, static_cast<std::uint32_t>(i + 500)));
    const fs::path archive = dir.path() / "M.lzh";
    PluginResult r = unlha(addFolder(archive, src));
    ASSERT_EQ(r.code, 0) << r.message;
    r = unlha("x -n \"" + archive.string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out"), snapshot(src));

    std::vector<std::string> stored;
    for (const MemberHeader& h : headersOf(archive)) {
        if (h.isDirectory())
            continue;
        const std::string path = decodeMemberPath(h);
        stored.push_back(path.substr(path.rfind('/') + 1));
        EXPECT_EQ(h.method, path.find("noise") != std::string::npos ? Method::Lh0 : Method::Lh5) << path;
    }
    std::vector<std::string> sorted = stored;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, names);
}

TEST(Plugin, MethodSwitchesChooseTheMethod)
{
    for (auto [word, method] : {std::pair{"-lh6", Method::Lh6}, std::pair{"-lh7", Method::Lh7}}) {
        TempDir dir;
        makeSampleTree(dir.path() / "src", false);
        const fs::path archive = dir.path() / "A.lzh";
        ASSERT_EQ(unlha(addFolder(archive, dir.path() / "src", word)).code, 0);
        bool found = false;
        for (const MemberHeader& h : headersOf(archive))
            found |= h.method == method;
        EXPECT_TRUE(found) << word;
    }
}

TEST(Plugin, SwitchesCountWhereverTheyStand)
{
    TempDir dir;
    writeFile(dir.path() / "f.txt", std::string(textBytes(20000, 1).size(), 'q'));
    const fs::path archive = dir.path() / "A.lzh";
    PluginResult r = unlha("a \"" + archive.string() + "\" -q \"" + (dir.path() / "f.txt").string() + "\" -lh6 --i");
    ASSERT_EQ(r.code, 0) << r.message;
    ASSERT_EQ(headersOf(archive).size(), 1u);
    EXPECT_EQ(headersOf(archive)[0].method, Method::Lh6);
    r = unlha("-n x \"" + archive.string() + "\" \"" + (dir.path() / "out").string() + "\" *.*");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(readFile(dir.path() / "out" / "f.txt"), readFile(dir.path() / "f.txt"));
}

TEST(Plugin, FileFormStoresTheBareName)
{
    TempDir dir;
    writeFile(dir.path() / "deep" / "down" / "file.txt", "content");
    const fs::path archive = dir.path() / "A.lzh";
    PluginResult r =
        unlha("a -n1 \"" + archive.string() + "\" \"" + (dir.path() / "deep/down/file.txt").string() + "\"");
    ASSERT_EQ(r.code, 0) << r.message;
    std::vector<std::string> paths;
    ASSERT_TRUE(listArchive(archive.string(), paths).ok());
    EXPECT_EQ(paths, std::vector<std::string>{"file.txt"});
}

TEST(Plugin, TheListEscapesControlCharacters)
{
    TempDir dir;
    writeFile(dir.path() / "bell\a\x1b[2J\x7f.txt", "content");
    const fs::path archive = dir.path() / "A.lzh";
    ASSERT_EQ(unlha("a \"" + archive.string() + "\" \"" + dir.str() + "/\" *.*").code, 0);
    const PluginResult listed = unlha("l \"" + archive.string() + "\"");
    EXPECT_EQ(listed.code, 0);
    EXPECT_EQ(listed.message, "bell\\x07\\x1b[2J\\x7f.txt\n");
}

TEST(Plugin, BadCommandsAreRefused)
{
    TempDir dir;
    const std::string archive = (dir.path() / "A.lzh").string();
    EXPECT_EQ(unlha("").code, static_cast<int>(arc::ArcStatus::BadCommand));
    EXPECT_EQ(unlha("q \"" + archive + "\"").code, static_cast<int>(arc::ArcStatus::BadCommand));
    EXPECT_EQ(unlha("a -bogus \"" + archive + "\" x").code, static_cast<int>(arc::ArcStatus::BadCommand));
    EXPECT_EQ(unlha("x -n \"" + archive + "\" \"\"").code, static_cast<int>(arc::ArcStatus::BadCommand));
    EXPECT_EQ(unlha("a \"" + archive + "\" \"" + dir.str() + "/missing\"").code,
              static_cast<int>(arc::ArcStatus::InputMissing));
    EXPECT_FALSE(fs::exists(archive));
}

TEST(Append, NewMembersGoOverTheEndMarkerLeavingTheRestIntact)
{
    TempDir dir;
    writeFile(dir.path() / "one.txt", "first member, first member, first member");
    writeFile(dir.path() / "two.txt", "second member");
    const fs::path archive = dir.path() / "A.lzh";
    ASSERT_EQ(unlha("a -n1 \"" + archive.string() + "\" \"" + (dir.path() / "one.txt").string() + "\"").code, 0);
    const std::string before = readFile(archive);
    ASSERT_EQ(unlha("a -n1 \"" + archive.string() + "\" \"" + (dir.path() / "two.txt").string() + "\"").code, 0);
    const std::string after = readFile(archive);
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after.substr(0, before.size() - 1), before.substr(0, before.size() - 1));
    EXPECT_EQ(after.back(), '\0');
    std::vector<std::string> paths;
    ASSERT_TRUE(listArchive(archive.string(), paths).ok());
    EXPECT_EQ(paths, (std::vector<std::string>{"one.txt", "two.txt"}));
}

TEST(Append, ASamePathMemberIsReplacedAndTheOthersCopiedAsTheyWere)
{
    TempDir dir;
    writeFile(dir.path() / "one.txt", "old content of one");
    writeFile(dir.path() / "two.txt", std::string(5000, 'z'));
    const fs::path archive = dir.path() / "A.lzh";
    for (const char* name : {"one.txt", "two.txt"})
        ASSERT_EQ(unlha("a -n1 \"" + archive.string() + "\" \"" + (dir.path() / name).string() + "\"").code, 0);
    const std::vector<MemberHeader> old = headersOf(archive);
    const std::string oldBytes = readFile(archive);
    const std::string twoRaw =
        oldBytes.substr(old[1].headerOffset, old[1].dataOffset + old[1].compressedSize - old[1].headerOffset);

    writeFile(dir.path() / "one.txt", "NEW");
    ASSERT_EQ(unlha("a -n1 \"" + archive.string() + "\" \"" + (dir.path() / "one.txt").string() + "\"").code, 0);
    const std::string newBytes = readFile(archive);
    EXPECT_EQ(newBytes.substr(0, twoRaw.size()), twoRaw);  // copied byte for byte, not recompressed
    ASSERT_EQ(unlha("x -n \"" + archive.string() + "\" \"" + (dir.path() / "out").string() + "/\"").code, 0);
    EXPECT_EQ(readFile(dir.path() / "out" / "one.txt"), "NEW");
    EXPECT_EQ(readFile(dir.path() / "out" / "two.txt"), std::string(5000, 'z'));
    EXPECT_EQ(headersOf(archive).size(), 2u);
}

TEST(Append, AFailureRestoresTheExactPreviousBytes)
{
    TempDir dir;
    writeFile(dir.path() / "one.txt", "kept");
    const fs::path archive = dir.path() / "A.lzh";
    ASSERT_EQ(unlha("a -n1 \"" + archive.string() + "\" \"" + (dir.path() / "one.txt").string() + "\"").code, 0);
    // Trailing bytes after the end marker must survive a failed append too.
    {
        std::ofstream(archive, std::ios::binary | std::ios::app) << "TRAILER";
    }
    const std::string before = readFile(archive);

    std::vector<arc::SourceEntry> entries(2);
    writeFile(dir.path() / "good.txt", std::string(100000, 'g'));
    entries[0] = {(dir.path() / "good.txt").string(), "good.txt", false, 100000, 0, 0644};
    entries[1] = {(dir.path() / "vanished.txt").string(), "vanished.txt", false, 10, 0, 0644};
    for (Method method : {Method::Lh5, Method::Lh0}) {
        WriteOptions options;
        options.method = method;
        arc::ArcResult r = addMembers(archive.string(), entries, options);
        EXPECT_EQ(r.status, arc::ArcStatus::InputMissing) << r.message;
        EXPECT_EQ(readFile(archive), before);
    }
    // The rewrite path (a same-name member) leaves the archive untouched on failure as well.
    entries[0].memberName = "one.txt";
    EXPECT_FALSE(addMembers(archive.string(), entries, WriteOptions{}).ok());
    EXPECT_EQ(readFile(archive), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);  // no temporaries left
}

TEST(Append, AnArchiveChangedBehindOurBackIsScannedAfresh)
{
    TempDir dir;
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        writeFile(dir.path() / name, name);
    const fs::path archive = dir.path() / "A.lzh";
    const fs::path other = dir.path() / "B.lzh";
    auto add = [&](const fs::path& to, const char* name) {
        return unlha("a -n1 \"" + to.string() + "\" \"" + (dir.path() / name).string() + "\"").code;
    };
    ASSERT_EQ(add(archive, "one.txt"), 0);
    ASSERT_EQ(add(other, "two.txt"), 0);
    writeFile(archive, readFile(other));  // another program replaced the archive's contents
    ASSERT_EQ(add(archive, "three.txt"), 0);
    std::vector<std::string> paths;
    ASSERT_TRUE(listArchive(archive.string(), paths).ok());
    EXPECT_EQ(paths, (std::vector<std::string>{"two.txt", "three.txt"}));
}

TEST(Append, ADamagedArchiveIsNotTouched)
{
    TempDir dir;
    writeFile(dir.path() / "one.txt", std::string(3000, 'o'));
    const fs::path archive = dir.path() / "A.lzh";
    ASSERT_EQ(unlha("a -n1 \"" + archive.string() + "\" \"" + (dir.path() / "one.txt").string() + "\"").code, 0);
    std::string bytes = readFile(archive);
    bytes.resize(bytes.size() - 10);
    writeFile(archive, bytes);
    PluginResult r = unlha("a -n1 \"" + archive.string() + "\" \"" + (dir.path() / "one.txt").string() + "\"");
    EXPECT_EQ(r.code, static_cast<int>(arc::ArcStatus::ArchiveCorrupt)) << r.message;
    EXPECT_EQ(readFile(archive), bytes);
}

// A hand-made archive of level-2 members with chosen paths and stored data.
struct ForgedMember {
    std::string path;
    std::string data;
    bool badCrc = false;
    bool directory = false;
};

std::string forgeArchive(const std::vector<ForgedMember>& members)
{
    std::string out;
    for (const ForgedMember& m : members) {
        HeaderFields f;
        f.method = Method::Lh0;
        f.compressedSize = f.originalSize = m.data.size();
        f.dataCrc = crc16Update(0, m.data.data(), m.data.size()) ^ (m.badCrc ? 1 : 0);
        f.unixMode = 0100644;
        if (m.directory) {
            f.method = Method::Lhd;
            f.unixMode = 040755;
        }
        f.name = m.path;  // raw: "/" is no separator inside a name, so this is the hostile form
        Bytes header;
        EXPECT_EQ(writeLevel2Header(f, header), LzhStatus::Ok);
        out.append(header.begin(), header.end());
        out += m.data;
    }
    return out + '\0';
}

TEST(Extract, EscapingMembersAreSkippedAndReportedTheRestExtracted)
{
    TempDir dir;
    const fs::path archive = dir.path() / "evil.lzh";
    const std::string outside = (dir.path() / "outside.txt").string();
    writeFile(archive, forgeArchive({{"../outside.txt", "x"}, {outside, "x"}, {"ok.txt", "fine"}, {"a/../../b", "x"}}));
    PluginResult r = unlha("x -n \"" + archive.string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    EXPECT_EQ(r.code, static_cast<int>(arc::ArcStatus::UnsafeEntry)) << r.message;
    EXPECT_EQ(readFile(dir.path() / "out" / "ok.txt"), "fine");
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_EQ(readFile(dir.path() / "out" / fs::path(outside).relative_path()), "x") << "an absolute name lands below";
}

TEST(Extract, ADirectoryNamingTheDestinationItselfIsPassedOver)
{
    TempDir dir;
    const fs::path archive = dir.path() / "dot.lzh";
    writeFile(archive, forgeArchive({{"./", "", false, true}, {"ok.txt", "fine"}}));
    PluginResult r = unlha("x -n \"" + archive.string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    EXPECT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out"), (TreeSnapshot{{"ok.txt", "fine"}}));
}

TEST(Extract, ABadCrcLeavesNoFileUnderTheFinalName)
{
    TempDir dir;
    const fs::path archive = dir.path() / "crc.lzh";
    writeFile(archive, forgeArchive({{"bad.txt", "damaged", true}, {"good.txt", "good"}}));
    PluginResult r = unlha("x -n \"" + archive.string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    EXPECT_EQ(r.code, static_cast<int>(arc::ArcStatus::CrcMismatch)) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out"), (TreeSnapshot{{"good.txt", "good"}}));
}

TEST(Extract, EveryTruncationOfAnArchiveIsANamedFailure)
{
    TempDir dir;
    writeFile(dir.path() / "src" / "N" / "a.txt", std::string(textBytes(3000, 3).size(), 'a') + "tail");
    writeFile(dir.path() / "src" / "N" / "b.txt", "bee");
    const fs::path archive = dir.path() / "A.lzh";
    ASSERT_EQ(unlha(addFolder(archive, dir.path() / "src")).code, 0);
    const std::string whole = readFile(archive);
    // A cut exactly between members reads as an archive without its end marker, which is
    // allowed; every other cut is damage.
    std::set<std::size_t> boundaries;
    for (const MemberHeader& h : headersOf(archive))
        boundaries.insert(h.dataOffset + h.compressedSize);
    for (std::size_t length = 1; length + 1 < whole.size(); ++length) {
        if (boundaries.count(length))
            continue;
        writeFile(dir.path() / "cut.lzh", whole.substr(0, length));
        PluginResult r =
            unlha("x -n \"" + (dir.path() / "cut.lzh").string() + "\" \"" + (dir.path() / "out").string() + "/\"");
        ASSERT_NE(r.code, 0) << "length " << length;
        ASSERT_NE(r.code, static_cast<int>(arc::ArcStatus::Internal)) << "length " << length;
    }
}

TEST(Extract, ArchivesOfManyMembersAreReadInBatchesToTheEnd)
{
    TempDir dir;
    std::vector<ForgedMember> members;
    for (int i = 0; i < 4200; ++i)
        members.push_back({"m" + std::to_string(i), std::to_string(i)});
    members[4150].path = "../escape";
    std::string bytes = forgeArchive(members);
    bytes.back() = 'X';  // a damaged header where the end marker was
    writeFile(dir.path() / "many.lzh", bytes);
    PluginResult r =
        unlha("x -n \"" + (dir.path() / "many.lzh").string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    EXPECT_EQ(r.code, static_cast<int>(arc::ArcStatus::UnsafeEntry)) << r.message;
    EXPECT_NE(r.message.find("damaged after member 4200"), std::string::npos) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out").size(), 4199u);
    EXPECT_EQ(readFile(dir.path() / "out" / "m4199"), "4199");

    std::vector<std::string> paths;
    EXPECT_EQ(listArchive((dir.path() / "many.lzh").string(), paths).status, arc::ArcStatus::ArchiveCorrupt);
    EXPECT_EQ(paths.size(), 4200u);
}

// Changes bytes of the first member's level-2 header and fixes its header CRC to match.
void patchFirstHeader(std::string& bytes, std::size_t at, const std::string& with)
{
    bytes.replace(at, with.size(), with);
    bytes[27] = bytes[28] = 0;
    const std::size_t total = static_cast<unsigned char>(bytes[0]) | (static_cast<unsigned char>(bytes[1]) << 8);
    const std::uint16_t crc = crc16Update(0, bytes.data(), total);
    bytes[27] = static_cast<char>(crc & 0xFF), bytes[28] = static_cast<char>(crc >> 8);
}

TEST(Extract, HugeClaimedSizesEndAsNamedFailures)
{
    TempDir dir;
    for (const char* method : {"-lh0-", "-lh5-", "-lh7-"}) {
        std::string bytes = forgeArchive({{"huge.bin", "abcd"}, {"next.txt", "next"}});
        patchFirstHeader(bytes, 2, method);
        patchFirstHeader(bytes, 11, "\xF0\xFF\xFF\xFF");  // original size: almost 4 GiB
        writeFile(dir.path() / "h.lzh", bytes);
        fs::remove_all(dir.path() / "out");
        PluginResult r =
            unlha("x -n \"" + (dir.path() / "h.lzh").string() + "\" \"" + (dir.path() / "out").string() + "/\"");
        EXPECT_EQ(r.code, static_cast<int>(arc::ArcStatus::ArchiveCorrupt)) << method << ": " << r.message;
        EXPECT_EQ(snapshot(dir.path() / "out"), (TreeSnapshot{{"next.txt", "next"}})) << method;
    }
}

TEST(Extract, ASelfExtractorsStubBeforeTheFirstHeaderIsSkipped)
{
    TempDir dir;
    const std::string archive = forgeArchive({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    std::string stub = "MZ" + std::string(5000, '\x90') + "-lh5- is not a header here";
    writeFile(dir.path() / "sfx.exe", stub + archive);
    PluginResult r =
        unlha("x -n \"" + (dir.path() / "sfx.exe").string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out"), (TreeSnapshot{{"a.txt", "alpha"}, {"b.txt", "beta"}}));

    // A damaged first header is not mistaken for a stub: the damage is reported.
    std::string damaged = archive;
    damaged[10] ^= 0x01;
    writeFile(dir.path() / "bad.lzh", damaged);
    r = unlha("x -n \"" + (dir.path() / "bad.lzh").string() + "\" \"" + (dir.path() / "out2").string() + "/\"");
    EXPECT_EQ(r.code, static_cast<int>(arc::ArcStatus::ArchiveCorrupt)) << r.message;
}

TEST(Extract, UnknownMethodsAreReportedAndSkipped)
{
    TempDir dir;
    std::string bytes = forgeArchive({{"old.txt", "data"}, {"new.txt", "more"}});
    patchFirstHeader(bytes, 2, "-lhx-");
    writeFile(dir.path() / "m.lzh", bytes);
    PluginResult r =
        unlha("x -n \"" + (dir.path() / "m.lzh").string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    EXPECT_EQ(r.code, static_cast<int>(arc::ArcStatus::UnsupportedMethod)) << r.message;
    EXPECT_EQ(readFile(dir.path() / "out" / "new.txt"), "more");
}

}  // namespace
}  // namespace lzh::testing
