// Reading archives made by other tools: the sample archives, every method from a peer's own
// encoder, -lh1- through lhasa, names, links and special members, and cancelled extractions.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>

#include "common/disk_writer.h"
#include "common/safe_path.h"
#include "lh1_test_encoder.h"
#include "lzh/archive_reader.h"
#include "lzh/crc16.h"
#include "lzh/header_codec.h"
#include "lzh/lzh_decoder.h"
#include "lzh_test_support.h"

namespace lzh::testing {
namespace {

using arc::testing::captureShell;

const fs::path kSamples = fs::path(TEMBREL_SOURCE_DIR) / "tests/archivers/lzh/samples";

PluginResult extract(const fs::path& archive, const fs::path& destination)
{
    return unlha("x -n \"" + archive.string() + "\" \"" + destination.string() + "/\"");
}

// A tree in the samples' .expected form: "sha256  path" per file, "dir  path/" per directory;
// names compared without case, as DOS tools store capitals.
std::string listing(const fs::path& root)
{
    return captureShell("cd " + shellQuote(root.string()) +
                        " && { find . -mindepth 1 -type d -printf 'dir  %P/\\n';"
                        " find . -type f -printf '%P\\0' | xargs -0 -r sha256sum; } | tr A-Z a-z | sort");
}

std::string expectedListing(const fs::path& file)
{
    return captureShell("tr A-Z a-z < " + shellQuote(file.string()) + " | sort");
}

bool writerStripsRoots()
{
    return arc::safeRelativePath("/a", false).has_value();
}

struct SampleCase {
    const char* name;
    bool needsRootStripping;  // a name stored as an absolute path
};

const SampleCase kSampleCases[] = {
    {"lharc113_lh1", false},       {"lha_amiga_122_lh4", false},      {"lharc_atari_313a_lz5", false},
    {"lha_osk_201_h2_lh5", false}, {"tascal_lha_051h_abspath", true},
};

class SampleArchive : public ::testing::TestWithParam<SampleCase> {};

TEST_P(SampleArchive, ExtractsToTheExpectedTree)
{
    if (GetParam().needsRootStripping && !writerStripsRoots())
        GTEST_SKIP() << "safeRelativePath still refuses absolute names instead of stripping the root";
    TempDir dir;
    const std::string name = GetParam().name;
    PluginResult r = extract(kSamples / (name + ".lzh"), dir.path() / "out");
    ASSERT_EQ(r.code, 0) << r.message;
    const std::string expected = expectedListing(kSamples / (name + ".expected"));
    ASSERT_NE(expected, "");
    EXPECT_EQ(listing(dir.path() / "out"), expected);
}

INSTANTIATE_TEST_SUITE_P(OtherTools, SampleArchive, ::testing::ValuesIn(kSampleCases),
                         [](const ::testing::TestParamInfo<SampleCase>& info) { return std::string(info.param.name); });

// The OS-9 allowance reads 2 bytes past a short size, for that OS id only; a header that is
// short in any other way is still damage.
TEST(Os9Header, OnlyTheKnownShortfallIsForgiven)
{
    const std::string good = readFile(kSamples / "lha_osk_201_h2_lh5.lzh");
    std::string otherOs = good;
    otherOs[23] = 'U';
    std::string longerChain = good;
    longerChain[0x24] = 9;  // the last extended header claims one byte more
    std::string shorterSize = good;
    shorterSize[0] = static_cast<char>(good[0] - 1);
    TempDir dir;
    for (const std::string& bytes : {otherOs, longerChain, shorterSize}) {
        writeFile(dir.path() / "k.lzh", bytes);
        EXPECT_EQ(extract(dir.path() / "k.lzh", dir.path() / "out").code,
                  static_cast<int>(arc::ArcStatus::ArchiveCorrupt));
        EXPECT_FALSE(fs::exists(dir.path() / "out" / "gpl-2"));
    }
}

// jlha's library has encoders for the methods its command line does not offer; lhasa, an
// independent reader, checks each archive (of the methods it reads) before ours reads it.
const fs::path& jlhaPackClasses()
{
    static TempDir classes;
    static const bool built =
        runShell("javac -d " + shellQuote(classes.str()) + " -cp /usr/share/java/jlha.jar " +
                 shellQuote((fs::path(TEMBREL_SOURCE_DIR) / "tests/archivers/lzh/peer/JlhaPack.java").string())) == 0;
    EXPECT_TRUE(built) << "javac of JlhaPack.java failed";
    return classes.path();
}

struct PeerMethodCase {
    const char* method;
    int level;
};

class PeerMethod : public ::testing::TestWithParam<PeerMethodCase> {};

TEST_P(PeerMethod, JlhaArchivesReadAsLhasaReadsThem)
{
    REQUIRE_PEER("javac");
    REQUIRE_PEER("lhasa");
    TempDir dir;
    const Bytes text = textBytes(300000, 5), noise = randomBytes(9000, 6);
    writeFile(dir.path() / "src" / "text.txt", std::string(text.begin(), text.end()));
    writeFile(dir.path() / "src" / "noise.bin", std::string(noise.begin(), noise.end()));
    writeFile(dir.path() / "src" / "runs.bin", std::string(70000, 'r') + std::string(70000, '\0'));
    writeFile(dir.path() / "src" / "one.txt", "1");
    const fs::path archive = dir.path() / "J.lzh";
    std::string files;
    for (const char* f : {"text.txt", "noise.bin", "runs.bin", "one.txt"})
        files += " " + shellQuote((dir.path() / "src" / f).string());
    ASSERT_EQ(runShell("java -cp /usr/share/java/jlha.jar:" + shellQuote(jlhaPackClasses().string()) + " JlhaPack " +
                       GetParam().method + " " + std::to_string(GetParam().level) + " " + shellQuote(archive.string()) +
                       files),
              0);
    const std::string method = GetParam().method;
    if (method != "-lh2-" && method != "-lh3-") {  // lhasa does not read these two
        ASSERT_EQ(runShell("lhasa t " + shellQuote(archive.string())), 0);
    }
    ASSERT_NE(readFile(archive).find(GetParam().method), std::string::npos);
    PluginResult r = extract(archive, dir.path() / "out");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out"), snapshot(dir.path() / "src"));
}

const PeerMethodCase kPeerMethods[] = {{"-lh1-", 0}, {"-lh1-", 1}, {"-lh1-", 2}, {"-lh2-", 1}, {"-lh3-", 1},
                                       {"-lh4-", 1}, {"-lz5-", 0}, {"-lzs-", 0}, {"-lh5-", 2}};

INSTANTIATE_TEST_SUITE_P(Methods, PeerMethod, ::testing::ValuesIn(kPeerMethods),
                         [](const ::testing::TestParamInfo<PeerMethodCase>& info) {
                             return std::string(info.param.method + 1, 3) + "_level" + std::to_string(info.param.level);
                         });

// Level-2 members with any method, mode and stored name; `decoded` is what a compressed
// member's data decodes to (stored members decode to their data).
struct Forged {
    std::string name;  // the name field; a link's "dir/" prefix goes to the directory header
    Bytes data;
    std::uint32_t mode = 0100644;
    Method method = Method::Lh0;
    Bytes decoded = {};
};

std::string forge(const std::vector<Forged>& members)
{
    std::string out;
    for (const Forged& m : members) {
        const Bytes& decoded = m.method == Method::Lh0 ? m.data : m.decoded;
        HeaderFields f;
        f.method = m.method;
        f.compressedSize = m.data.size();
        f.originalSize = decoded.size();
        f.dataCrc = crc16Update(0, decoded.data(), decoded.size());
        f.unixMode = m.mode;
        const std::size_t slash = m.name.find('/');
        f.name = slash == std::string::npos || (m.mode & S_IFMT) != S_IFLNK ? m.name : m.name.substr(slash + 1);
        if (f.name.size() != m.name.size())
            f.directory = m.name.substr(0, slash) + '\xFF';
        Bytes header;
        EXPECT_EQ(writeLevel2Header(f, header), LzhStatus::Ok);
        out.append(header.begin(), header.end());
        out.append(m.data.begin(), m.data.end());
    }
    return out + '\0';
}

Bytes asBytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

struct Lh1Case {
    const char* name;
    Bytes input;
};

class Lh1RoundTrip : public ::testing::TestWithParam<Lh1Case> {};

TEST_P(Lh1RoundTrip, LhasaAndWeDecodeOurTestEncoder)
{
    REQUIRE_PEER("lhasa");
    const Bytes& input = GetParam().input;
    const std::string archive = forge({{"data.bin", encodeLh1(input), 0100644, Method::Lh1, input}});
    TempDir dir;
    writeFile(dir.path() / "L.lzh", archive);
    fs::create_directories(dir.path() / "lhasa");
    ASSERT_EQ(runShell("cd " + shellQuote((dir.path() / "lhasa").string()) + " && lhasa xq " +
                       shellQuote((dir.path() / "L.lzh").string())),
              0);
    EXPECT_TRUE(asBytes(readFile(dir.path() / "lhasa" / "data.bin")) == input);
    PluginResult r = extract(dir.path() / "L.lzh", dir.path() / "ours");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_TRUE(asBytes(readFile(dir.path() / "ours" / "data.bin")) == input);
}

// Long runs of one symbol drive the root's count to the rebuild point many times over.
const Lh1Case kLh1Cases[] = {
    {"Empty", {}},
    {"OneByte", {'x'}},
    {"Text", textBytes(400000, 21)},
    {"Noise", randomBytes(120000, 22)},
    {"RebuildsOften", asBytes(std::string(300000, 'a') + std::string(200000, '\xFF'))},
};

INSTANTIATE_TEST_SUITE_P(Inputs, Lh1RoundTrip, ::testing::ValuesIn(kLh1Cases),
                         [](const ::testing::TestParamInfo<Lh1Case>& info) { return std::string(info.param.name); });

// Every cut of a stream fails, and garbage of any length ends without a crash or a hang.
TEST(HostileStreams, OlderMethodsReportCutsAndSurviveGarbage)
{
    const Bytes text = textBytes(6000, 4);
    const Bytes lh1 = encodeLh1(text);
    Bytes output;
    std::uint16_t crc = 0;
    ASSERT_EQ(decode(Method::Lh1, lh1, text.size(), output, crc), LzhStatus::Ok);
    EXPECT_TRUE(output == text);
    for (std::size_t cut = 0; cut < lh1.size(); ++cut)
        ASSERT_EQ(
            decode(Method::Lh1, Bytes(lh1.begin(), lh1.begin() + static_cast<long>(cut)), text.size(), output, crc),
            LzhStatus::Truncated)
            << cut;
    for (Method m : {Method::Lh1, Method::Lh2, Method::Lh3, Method::Lh4, Method::Lz5, Method::Lzs}) {
        for (std::uint32_t seed = 0; seed < 40; ++seed) {
            const Bytes garbage = randomBytes(seed * 97, seed);
            const LzhStatus st = decode(m, garbage, 1u << 20, output, crc);
            EXPECT_TRUE(st != LzhStatus::Ok || output.size() == (1u << 20)) << methodId(m) << " seed " << seed;
        }
    }
}

// A level-0 member as DOS-era tools write it: the name field holds the whole path.
std::string level0(const std::string& method, const std::string& name, const std::string& data)
{
    std::string h(2, '\0');
    h += method;
    for (std::uint32_t v : {static_cast<std::uint32_t>(data.size()), static_cast<std::uint32_t>(data.size())})
        for (int i = 0; i < 4; ++i)
            h += static_cast<char>(v >> (8 * i));
    h += std::string("\x00\x60\x21\x3c\x20\x00", 6);  // DOS time and date, attribute, level 0
    h += static_cast<char>(name.size());
    h += name;
    const std::uint16_t crc = crc16Update(0, data.data(), data.size());
    h += static_cast<char>(crc & 0xFF);
    h += static_cast<char>(crc >> 8);
    h[0] = static_cast<char>(h.size() - 2);
    unsigned sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i)
        sum += static_cast<unsigned char>(h[i]);
    h[1] = static_cast<char>(sum);
    return h + data;
}

TEST(Names, Level0FormsFromOtherTools)
{
    TempDir dir;
    const std::string archive = level0("-lhd-", "", "") + level0("-lhd-", "\\", "") +
                                level0("-lh0-", std::string("NOTE.TXT\0an Amiga comment", 25), "note") +
                                level0("-lhd-", "DIR\\", "") + level0("-lh0-", "DIR\\SUB\\FILE.TXT", "file") +
                                level0("-lz4-", "LZ4.TXT", "stored by LArc") + '\0';
    writeFile(dir.path() / "z.lzh", archive);
    PluginResult r = extract(dir.path() / "z.lzh", dir.path() / "out");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out"), (TreeSnapshot{{"NOTE.TXT", "note"},
                                                          {"DIR/", ""},
                                                          {"DIR/SUB/", ""},
                                                          {"DIR/SUB/FILE.TXT", "file"},
                                                          {"LZ4.TXT", "stored by LArc"}}));
}

// The disk writer creates links only where they stay inside the destination; until it can,
// the link cases check only what must never happen.
bool writerMakesLinks()
{
    TempDir dir;
    arc::SafeDiskWriter writer(dir.str());
    return writer.open().ok() && writer.writeSymlink("probe", "target", -1).ok() &&
           fs::is_symlink(dir.path() / "probe");
}

TEST(Links, StoredAsNameBarTargetAndKeptInside)
{
    TempDir dir;
    const std::string archive = forge({{"file.txt", asBytes("content")},
                                       {"dir/rel|../file.txt", {}, 0120777},
                                       {"escape|../../outside.txt", {}, 0120777},
                                       {"absolute|/etc/passwd", {}, 0120777},
                                       {"a|sub", {}, 0120777},
                                       {"a/x", asBytes("through the link")},
                                       {"last.txt", asBytes("last")}});
    writeFile(dir.path() / "links.lzh", archive);
    PluginResult r = extract(dir.path() / "links.lzh", dir.path() / "out");
    EXPECT_EQ(r.code, static_cast<int>(arc::ArcStatus::UnsafeEntry)) << r.message;
    EXPECT_NE(r.message.find("escape"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("absolute"), std::string::npos) << r.message;
    EXPECT_FALSE(fs::is_symlink(dir.path() / "out" / "escape"));
    EXPECT_FALSE(fs::is_symlink(dir.path() / "out" / "absolute"));
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "sub" / "x"));
    EXPECT_EQ(readFile(dir.path() / "out" / "last.txt"), "last");
    if (!writerMakesLinks())
        GTEST_SKIP() << "the disk writer does not create links yet";
    ASSERT_TRUE(fs::is_symlink(dir.path() / "out" / "dir" / "rel"));
    EXPECT_EQ(fs::read_symlink(dir.path() / "out" / "dir" / "rel"), "../file.txt");
    EXPECT_EQ(readFile(dir.path() / "out" / "dir" / "rel"), "content");
}

TEST(SpecialMembers, AreSkippedAndNamed)
{
    TempDir dir;
    writeFile(
        dir.path() / "s.lzh",
        forge({{"pipe", {}, 0010644}, {"disk", {}, 0060600}, {"sock", {}, 0140755}, {"plain.txt", asBytes("plain")}}));
    arc::Job job;
    arc::ArcResult r = extractArchive((dir.path() / "s.lzh").string(), (dir.path() / "out").string(), job);
    EXPECT_EQ(r.status, arc::ArcStatus::SpecialEntry) << r.message;
    std::vector<std::string> named;
    for (const arc::EntryFailure& f : r.allFailures()) {
        EXPECT_EQ(f.reason, arc::ArcStatus::SpecialEntry);
        named.push_back(f.path);
    }
    EXPECT_EQ(named, (std::vector<std::string>{"pipe", "disk", "sock"}));
    EXPECT_EQ(snapshot(dir.path() / "out"), (TreeSnapshot{{"plain.txt", "plain"}}));
}

// Stops the job at the start of one member or once enough bytes are done.
class StopAt final : public arc::JobListener {
public:
    StopAt(std::string entry, std::uint64_t bytes) : entry_(std::move(entry)), bytes_(bytes) {}
    bool progress(const arc::ProgressReport& report) override
    {
        const bool stop =
            (!entry_.empty() && report.entryName == entry_) || (bytes_ != 0 && report.jobBytesDone >= bytes_);
        if (stop && stoppedIn.empty())
            stoppedIn = report.entryName;
        return !stop;
    }
    std::string stoppedIn;

private:
    std::string entry_;
    std::uint64_t bytes_;
};

struct CancelCase {
    const char* name;
    const char* entry;
    std::uint64_t bytes;
};

class Cancel : public ::testing::TestWithParam<CancelCase> {};

TEST_P(Cancel, LeavesOnlyWholeFilesOfTheMembersBefore)
{
    TempDir dir;
    const fs::path src = dir.path() / "src" / "N";
    for (int i = 0; i < 6; ++i) {
        const Bytes small = textBytes(3000 + 500 * static_cast<std::size_t>(i), static_cast<std::uint32_t>(i));
        writeFile(src / ("s" + std::to_string(i) + ".txt"), std::string(small.begin(), small.end()));
    }
    const Bytes big = textBytes(3u << 20, 99);
    writeFile(src / "t-big.txt", std::string(big.begin(), big.end()));
    const fs::path archive = dir.path() / "C.lzh";
    ASSERT_EQ(unlha("a \"" + archive.string() + "\" \"" + (dir.path() / "src").string() + "/\" N/*.* -x -n1 -r2").code,
              0);

    StopAt listener(GetParam().entry, GetParam().bytes);
    arc::Job job(&listener);
    arc::ArcResult r = extractArchive(archive.string(), (dir.path() / "out").string(), job);
    EXPECT_EQ(r.status, arc::ArcStatus::Cancelled) << r.message;
    ASSERT_FALSE(listener.stoppedIn.empty());
    std::size_t files = 0;
    for (auto it = fs::recursive_directory_iterator(dir.path() / "out"); it != fs::recursive_directory_iterator();
         ++it) {
        if (it->is_directory())
            continue;
        ++files;
        const fs::path relative = fs::relative(it->path(), dir.path() / "out");
        ASSERT_TRUE(fs::exists(dir.path() / "src" / relative)) << "a stray file: " << relative;
        EXPECT_EQ(readFile(it->path()), readFile(dir.path() / "src" / relative)) << relative;
        EXPECT_NE(relative.string(), listener.stoppedIn);
    }
    EXPECT_LT(files, 7u);
}

const CancelCase kCancelCases[] = {
    {"AtTheFirstMember", "N/s0.txt", 0},
    {"AtTheFourthMember", "N/s3.txt", 0},
    {"InsideTheLargeMember", "", 1u << 20},
    {"AtTheLargeMember", "N/t-big.txt", 0},
};

INSTANTIATE_TEST_SUITE_P(Points, Cancel, ::testing::ValuesIn(kCancelCases),
                         [](const ::testing::TestParamInfo<CancelCase>& info) { return std::string(info.param.name); });

TEST(Progress, CountsEveryMemberAndEveryByte)
{
    struct Counter final : arc::JobListener {
        bool progress(const arc::ProgressReport& report) override
        {
            last = report;
            ++calls;
            return true;
        }
        arc::ProgressReport last;
        int calls = 0;
    } counter;
    TempDir dir;
    makeSampleTree(dir.path() / "src", false);
    const fs::path archive = dir.path() / "P.lzh";
    ASSERT_EQ(unlha("a \"" + archive.string() + "\" \"" + (dir.path() / "src").string() + "/\" N/*.* -x -n1 -r2").code,
              0);
    arc::Job job(&counter);
    ASSERT_TRUE(extractArchive(archive.string(), (dir.path() / "out").string(), job).ok());
    std::uint64_t bytes = 0, files = 0, steps = 0;  // a report at least every 64 KiB of a member
    for (const auto& [path, content] : snapshot(dir.path() / "src"))
        if (path.back() != '/')
            bytes += content.size(), ++files, steps += content.size() / (64 * 1024);
    EXPECT_EQ(counter.last.jobBytesDone, bytes);
    EXPECT_EQ(counter.last.jobBytesTotal, bytes);
    EXPECT_EQ(counter.last.entriesDone, files);
    EXPECT_EQ(counter.last.entriesTotal, files);
    EXPECT_GE(counter.calls, static_cast<int>(2 * files + steps));
}

// A level-1 header with one stored member written by the OS `os` (built by hand: no peer
// writes Macintosh archives).
std::string storedMember(char os, const std::string& name, const std::string& data)
{
    std::string h;
    const auto put = [&h](std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            h.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    h += "--lh0-";
    h[0] = static_cast<char>(25 + name.size());
    put(data.size(), 4);
    put(data.size(), 4);
    put(0x5A6B4E21, 4);  // DOS time and date
    h += '\x20';
    h += '\x01';
    h += static_cast<char>(name.size());
    h += name;
    put(crc16Update(0, data.data(), data.size()), 2);
    h += os;
    put(0, 2);             // no extended headers
    std::uint8_t sum = 0;  // over the header after its size byte (the sum is inserted there)
    for (std::size_t i = 1; i < h.size(); ++i)
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(h[i]));
    h.insert(h.begin() + 1, static_cast<char>(sum));
    return h + data;
}

// A MacBinary II file: header (with its CRC-16/XMODEM), data fork and resource fork, each
// padded to 128 bytes.
std::string macBinary(const std::string& dataFork, const std::string& resourceFork)
{
    std::string header(128, '\0');
    header[1] = 5;
    header.replace(2, 5, "Notes");
    header.replace(65, 8, "TEXTttxt");
    for (int i = 0; i < 4; ++i) {
        header[83 + i] = static_cast<char>(dataFork.size() >> (24 - 8 * i));
        header[87 + i] = static_cast<char>(resourceFork.size() >> (24 - 8 * i));
    }
    header[122] = static_cast<char>(129);
    header[123] = static_cast<char>(129);
    std::uint16_t crc = 0;
    for (int i = 0; i < 124; ++i) {
        crc ^= static_cast<std::uint16_t>(static_cast<std::uint8_t>(header[i]) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    header[124] = static_cast<char>(crc >> 8);
    header[125] = static_cast<char>(crc & 0xFF);
    const auto pad = [](std::string fork) { return fork + std::string((128 - fork.size() % 128) % 128, '\0'); };
    return header + pad(dataFork) + pad(resourceFork);
}

struct MacCase {
    const char* label;
    char os;
    std::string stored;
    std::string extracted;
};

class MacLha : public ::testing::TestWithParam<MacCase> {};

TEST_P(MacLha, MacBinaryMembersGiveTheirDataFork)
{
    TempDir dir;
    writeFile(dir.path() / "m.lzh", storedMember(GetParam().os, "Notes", GetParam().stored) + std::string(1, '\0'));
    PluginResult r = extract(dir.path() / "m.lzh", dir.path() / "out");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(readFile(dir.path() / "out" / "Notes"), GetParam().extracted);
}

const std::string kDataFork = "Data fork: 表ソ能\n" + std::string(300, 'd');
std::string brokenCrc()
{
    std::string bytes = macBinary(kDataFork, "RSRC");
    bytes[124] ^= 1;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, MacLha,
    ::testing::Values(MacCase{"MacBinary", 'm', macBinary(kDataFork, std::string(1000, 'r')), kDataFork},
                      MacCase{"NoResourceFork", 'm', macBinary(kDataFork, ""), kDataFork},
                      MacCase{"BadHeaderCrc", 'm', brokenCrc(), brokenCrc()},
                      MacCase{"NotFromAMac", 'U', macBinary(kDataFork, "RSRC"), macBinary(kDataFork, "RSRC")},
                      MacCase{"ShorterThanAHeader", 'm', "tiny", "tiny"},
                      MacCase{"PlainText", 'm', std::string(500, 'x'), std::string(500, 'x')}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace lzh::testing
