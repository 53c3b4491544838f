// Extraction through a job: every method peers write, passphrases asked and retried, cancel at
// any point, and damaged archives that still give their whole entries.
#include <sys/stat.h>

#include <zlib.h>

#include <fstream>
#include <string>

#include "common/job.h"
#include "common/status.h"
#include "zip/archive_extractor.h"
#include "zip/zip_format.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

// Answers passphrases from a script and stops at a chosen entry or byte count.
class ScriptedListener : public JobListener {
public:
    std::vector<std::string> answers;  // given in order; nullopt once used up
    std::vector<unsigned> attempts;    // the attempt number of each question
    std::optional<std::uint64_t> stopAtEntry;
    std::optional<std::uint64_t> stopAfterBytes;
    std::uint64_t finalBytes = 0, finalEntries = 0, totalBytes = 0, totalEntries = 0;

    bool progress(const ProgressReport& report) override
    {
        finalBytes = report.jobBytesDone;
        finalEntries = report.entriesDone;
        totalBytes = report.jobBytesTotal;
        totalEntries = report.entriesTotal;
        if (stopAtEntry && report.entriesDone == *stopAtEntry && report.entryBytesDone == 0)
            return false;
        return !(stopAfterBytes && report.jobBytesDone >= *stopAfterBytes);
    }
    std::optional<std::string> passphrase(std::string_view, std::string_view, unsigned attempt) override
    {
        attempts.push_back(attempt);
        if (attempts.size() > answers.size())
            return std::nullopt;
        return answers[attempts.size() - 1];
    }
};

std::string le(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

ArcResult extractWith(const std::string& archive, const fs::path& destination, JobListener* listener)
{
    Job job(listener);
    return zip::extractArchive(archive, destination.string(), job);
}

// Files the peers pack: text, incompressible, long repeats, empty, and a 200 KiB file whose
// repeats lie more than 64 KiB apart (Deflate64's long distances and lengths).
void makePeerInputs(const fs::path& folder)
{
    writeFile(folder / "text.txt", textBytes(70000));
    writeFile(folder / "random.bin", randomBytes(150000, 3));
    writeFile(folder / "empty", "");
    const std::string block = randomBytes(70000, 9);
    writeFile(folder / "far repeats.bin", block + textBytes(1000) + block + block.substr(0, 60000));
    writeFile(folder / "runs.bin", std::string(300000, 'a') + textBytes(300));
}

struct MethodCase {
    const char* label;
    const char* command;  // run in the input folder; @ZIP@ is the archive, the files follow
};

class PeerMethod : public ::testing::TestWithParam<MethodCase> {
protected:
    // The peer's archive of `files` from the inputs made in `folder`.
    static bool makePeerArchive(const fs::path& folder, const std::string& archive, const std::string& files)
    {
        makePeerInputs(folder);
        std::string command = GetParam().command;
        command.replace(command.find("@ZIP@"), 5, shellQuote(archive));
        command.replace(command.find("@FILES@"), 7, files);
        return runShell("cd " + shellQuote(folder.string()) + " && " + command) == 0;
    }
};

TEST_P(PeerMethod, ReadsBackByteExact)
{
    REQUIRE_PEER("7zz");
    TempDir dir;
    const std::string archive = (dir.path() / "m.zip").string();
    ASSERT_TRUE(makePeerArchive(dir.path() / "in", archive, "text.txt random.bin empty 'far repeats.bin' runs.bin"));
    ScriptedListener listener;
    const ArcResult result = extractWith(archive, dir.path() / "out", &listener);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(treeDifference(dir.path() / "in", dir.path() / "out"), "");
    // The totals come from the directory (none without one) and the run ends on them.
    if (listener.totalEntries != 0) {
        EXPECT_EQ(listener.totalEntries, 5u);
        EXPECT_EQ(listener.finalBytes, listener.totalBytes);
    }
    EXPECT_EQ(listener.finalEntries, 5u);
    std::uint64_t inputBytes = 0;
    for (const auto& file : fs::directory_iterator(dir.path() / "in"))
        inputBytes += file.file_size();
    EXPECT_EQ(listener.finalBytes, inputBytes);
}

INSTANTIATE_TEST_SUITE_P(Methods, PeerMethod,
                         ::testing::Values(MethodCase{"Stored", "7zz a -tzip -mm=Copy @ZIP@ @FILES@"},
                                           MethodCase{"Deflate", "7zz a -tzip -mm=Deflate @ZIP@ @FILES@"},
                                           MethodCase{"Deflate64", "7zz a -tzip -mm=Deflate64 -mx=9 @ZIP@ @FILES@"},
                                           MethodCase{"Deflate64Fast", "7zz a -tzip -mm=Deflate64 -mx=1 @ZIP@ @FILES@"},
                                           MethodCase{"BZip2", "7zz a -tzip -mm=BZip2 @ZIP@ @FILES@"},
                                           MethodCase{"Lzma", "7zz a -tzip -mm=LZMA @ZIP@ @FILES@"},
                                           MethodCase{"Ppmd", "7zz a -tzip -mm=PPMd @ZIP@ @FILES@"},
                                           MethodCase{"Xz", "7zz a -tzip -mm=XZ @ZIP@ @FILES@"},
                                           MethodCase{"InfoZipStreamed", "zip -q - @FILES@ | cat >@ZIP@"}),
                         [](const auto& info) { return std::string(info.param.label); });

// Members past the whole-member limit are streamed on the read-ahead worker, the others
// inflated whole; both kinds, side by side and from each writer, come out byte-exact, and the
// progress ends on the directory's totals.
class LargeAndSmall : public ::testing::TestWithParam<MethodCase> {};

TEST_P(LargeAndSmall, StreamedAndWholeMembersReadBackByteExact)
{
    REQUIRE_PEER("7zz");
    REQUIRE_PEER("zip");
    TempDir dir;
    const fs::path in = dir.path() / "in";
    writeFile(in / "large.txt", textBytes((9u << 20) + 12345));
    writeFile(in / "large.bin", randomBytes((8u << 20) + 1, 5));
    for (int i = 0; i < 40; ++i)
        writeFile(in / ("small" + std::to_string(i)), textBytes(100 + 997 * i));
    const std::string archive = (dir.path() / "l.zip").string();
    std::string command = GetParam().command;
    command.replace(command.find("@ZIP@"), 5, shellQuote(archive));
    command.replace(command.find("@FILES@"), 7, "*");
    ASSERT_EQ(runShell("cd " + shellQuote(in.string()) + " && " + command), 0);
    ScriptedListener listener;
    const ArcResult result = extractWith(archive, dir.path() / "out", &listener);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(treeDifference(in, dir.path() / "out"), "");
    EXPECT_EQ(listener.finalBytes, listener.totalBytes);
}

INSTANTIATE_TEST_SUITE_P(Writers, LargeAndSmall,
                         ::testing::Values(MethodCase{"InfoZip", "zip -q @ZIP@ @FILES@"},
                                           MethodCase{"SevenZip", "7zz a -tzip -mx1 -bso0 @ZIP@ @FILES@"},
                                           MethodCase{"Stored", "zip -q -0 @ZIP@ @FILES@"}),
                         [](const auto& info) { return std::string(info.param.label); });

struct PasswordCase {
    const char* label;
    const char* command;  // packs "one.txt" and "two.txt" with the passphrase "secret"
};

class Passphrase : public ::testing::TestWithParam<PasswordCase> {
protected:
    void SetUp() override
    {
        REQUIRE_PEER("7zz");
        REQUIRE_PEER("zip");
        writeFile(dir_.path() / "in" / "one.txt", textBytes(90000));
        writeFile(dir_.path() / "in" / "two.txt", randomBytes(5000, 4));
        archive_ = (dir_.path() / "p.zip").string();
        std::string command = GetParam().command;
        command.replace(command.find("@ZIP@"), 5, shellQuote(archive_));
        ASSERT_EQ(runShell("cd " + shellQuote((dir_.path() / "in").string()) + " && " + command + " one.txt two.txt"),
                  0);
    }
    TempDir dir_;
    std::string archive_;
};

TEST_P(Passphrase, AskedOnceForTheArchive)
{
    ScriptedListener listener;
    listener.answers = {"secret"};
    const ArcResult result = extractWith(archive_, dir_.path() / "out", &listener);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(treeDifference(dir_.path() / "in", dir_.path() / "out"), "");
    EXPECT_EQ(listener.attempts, std::vector<unsigned>{1});
}

TEST_P(Passphrase, WrongOnesAreAskedAgainWithTheNextAttempt)
{
    ScriptedListener listener;
    listener.answers = {"wrong", "Secret", "secret"};
    const ArcResult result = extractWith(archive_, dir_.path() / "out", &listener);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(treeDifference(dir_.path() / "in", dir_.path() / "out"), "");
    // A wrong one may pass the format's quick check and fail only at the CRC; it is asked
    // again all the same, with a growing attempt number, and never for the second entry.
    ASSERT_EQ(listener.attempts.size(), 3u);
    EXPECT_EQ(listener.attempts.back(), 3u);
}

TEST_P(Passphrase, GivingUpFailsEachEntryAndLeavesNoFile)
{
    ScriptedListener listener;
    listener.answers = {"wrong"};
    const ArcResult wrong = extractWith(archive_, dir_.path() / "wrong", &listener);
    EXPECT_EQ(wrong.status, ArcStatus::WrongPassword) << wrong.message;
    EXPECT_EQ(listener.attempts.size(), 2u);  // given up once for the whole archive
    EXPECT_TRUE(listTree(dir_.path() / "wrong").empty());

    const ArcResult none = extractWith(archive_, dir_.path() / "none", nullptr);
    EXPECT_EQ(none.status, ArcStatus::PasswordRequired) << none.message;
    ASSERT_EQ(none.failures.size(), 2u);
    EXPECT_EQ(none.failures[0].path, "one.txt");
    EXPECT_TRUE(listTree(dir_.path() / "none").empty());
}

// The last of the twelve ZipCrypto header bytes decrypted with `passphrase`: the one byte a
// reader checks before it trusts a passphrase.
unsigned char zipCryptoCheckByte(const std::string& passphrase, const std::string& header)
{
    const auto* table = get_crc_table();
    std::uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};
    const auto update = [&](unsigned char c) {
        keys[0] = static_cast<std::uint32_t>(table[(keys[0] ^ c) & 0xFF]) ^ (keys[0] >> 8);
        keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
        keys[2] = static_cast<std::uint32_t>(table[(keys[2] ^ (keys[1] >> 24)) & 0xFF]) ^ (keys[2] >> 8);
    };
    for (char c : passphrase)
        update(static_cast<unsigned char>(c));
    unsigned char plain = 0;
    for (char c : header) {
        const std::uint32_t temp = (keys[2] | 2) & 0xFFFF;
        plain = static_cast<unsigned char>(c) ^ static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
        update(plain);
    }
    return plain;
}

// A wrong passphrase that passes the one-byte check is caught by the CRC (or the broken
// stream) and asked again; nothing of the garbage stays.
std::uint32_t load32At(const std::string& bytes, std::size_t at)
{
    return arc::zip::load32(arc::zip::bytesOf(bytes) + at);
}
std::uint16_t load16At(const std::string& bytes, std::size_t at)
{
    return arc::zip::load16(arc::zip::bytesOf(bytes) + at);
}

// A byte changed inside the first member's data is caught whatever decodes it: that member
// fails and leaves nothing, the other still arrives.
TEST_P(PeerMethod, DamagedDataFailsThatMemberOnly)
{
    REQUIRE_PEER("7zz");
    TempDir dir;
    const std::string archive = (dir.path() / "m.zip").string();
    ASSERT_TRUE(makePeerArchive(dir.path() / "in", archive, "text.txt random.bin"));
    std::string bytes = readFile(archive);
    const std::size_t record = load32At(bytes, bytes.size() - 6);  // the first central record
    const std::string damaged = bytes.substr(record + 46, load16At(bytes, record + 28));
    const std::string kept = damaged == "text.txt" ? "random.bin" : "text.txt";
    const std::size_t local = load32At(bytes, record + 42);
    const std::size_t data = local + 30 + load16At(bytes, local + 26) + load16At(bytes, local + 28);
    bytes[data + load32At(bytes, record + 20) / 2] ^= 0x5A;
    writeFile(archive, bytes);
    const ArcResult result = extractWith(archive, dir.path() / "out", nullptr);
    EXPECT_TRUE(result.status == ArcStatus::CrcMismatch || result.status == ArcStatus::ArchiveCorrupt)
        << result.message;
    EXPECT_EQ(describeTree(dir.path() / "out"),
              (std::map<std::string, std::string>{{kept, "f:" + readFile(dir.path() / "in" / kept)}}));
}

// Turns 7-Zip's AE-2 entries (CRC 0, the HMAC alone checks the data) into AE-1 ones, which
// carry the CRC of `contents` (by entry name) as well.
std::string asAe1(std::string bytes, const std::map<std::string, std::string>& contents)
{
    std::size_t at = load32At(bytes, bytes.size() - 6);
    for (int entries = load16At(bytes, bytes.size() - 12); entries-- > 0;) {
        const std::size_t nameSize = load16At(bytes, at + 28), extraSize = load16At(bytes, at + 30);
        const std::string name = bytes.substr(at + 46, nameSize);
        const std::size_t local = load32At(bytes, at + 42);
        const std::string crc = le(crcOf(contents.at(name)), 4);
        bytes.replace(at + 16, 4, crc);
        bytes.replace(local + 14, 4, crc);
        for (std::size_t extra : {at + 46 + nameSize, local + 30 + load16At(bytes, local + 26)}) {
            const std::size_t field = bytes.find(std::string("\x01\x99\x07\x00\x02\x00", 6), extra);
            bytes[field + 4] = 1;
        }
        at += 46 + nameSize + extraSize + load16At(bytes, at + 32);
    }
    return bytes;
}

// ZipCrypto: a wrong passphrase that passes the one-byte check is caught by the CRC (or the
// broken stream) and asked again; nothing of the garbage stays.
TEST_P(Passphrase, AnImpostorThatPassesTheQuickCheckIsAskedAgain)
{
    const std::string bytes = readFile(archive_);
    if (load16At(bytes, 8) == 99)
        GTEST_SKIP() << "AES checks two bytes";
    const std::string header = bytes.substr(30 + load16At(bytes, 26) + load16At(bytes, 28), 12);
    std::string impostor;
    for (int i = 0; impostor.empty(); ++i)
        if (zipCryptoCheckByte("w" + std::to_string(i), header) == zipCryptoCheckByte("secret", header))
            impostor = "w" + std::to_string(i);
    ScriptedListener listener;
    listener.answers = {impostor, "secret"};
    const ArcResult result = extractWith(archive_, dir_.path() / "out", &listener);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(treeDifference(dir_.path() / "in", dir_.path() / "out"), "");
    EXPECT_EQ(listener.attempts, (std::vector<unsigned>{1, 2}));
}

// AES: AE-1 made from 7-Zip's AE-2, and damaged data, which the same passphrase accepted
// twice shows to be damaged (not a wrong passphrase).
TEST_P(Passphrase, AesVersionOneAndDamagedAesData)
{
    const std::string ae2 = readFile(archive_);
    if (load16At(ae2, 8) != 99)
        GTEST_SKIP() << "not AES";
    const std::map<std::string, std::string> contents = {{"one.txt", readFile(dir_.path() / "in" / "one.txt")},
                                                         {"two.txt", readFile(dir_.path() / "in" / "two.txt")}};
    writeFile(archive_, asAe1(ae2, contents));
    ScriptedListener listener;
    listener.answers = {"secret"};
    const ArcResult result = extractWith(archive_, dir_.path() / "out", &listener);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(treeDifference(dir_.path() / "in", dir_.path() / "out"), "");

    std::string damaged = ae2;
    // Inside the data of the first member, one.txt.
    damaged[30 + load16At(ae2, 26) + load16At(ae2, 28) + load32At(ae2, 18) / 2] ^= 0x20;
    writeFile(archive_, damaged);
    ScriptedListener again;
    again.answers = {"secret", "secret"};
    const ArcResult broken = extractWith(archive_, dir_.path() / "broken", &again);
    EXPECT_EQ(broken.status, ArcStatus::CrcMismatch) << broken.message;
    EXPECT_EQ(again.attempts, (std::vector<unsigned>{1, 2}));
    EXPECT_EQ(describeTree(dir_.path() / "broken"),
              (std::map<std::string, std::string>{{"two.txt", "f:" + contents.at("two.txt")}}));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, Passphrase,
    ::testing::Values(PasswordCase{"InfoZip", "zip -q -P secret @ZIP@"},
                      PasswordCase{"SevenZipZipCrypto", "7zz a -tzip -psecret -mem=ZipCrypto @ZIP@"},
                      PasswordCase{"SevenZipAes128", "7zz a -tzip -psecret -mem=AES128 @ZIP@"},
                      PasswordCase{"SevenZipAes192", "7zz a -tzip -psecret -mem=AES192 @ZIP@"},
                      PasswordCase{"SevenZipAes256", "7zz a -tzip -psecret -mem=AES256 @ZIP@"},
                      PasswordCase{"SevenZipAes256Stored", "7zz a -tzip -psecret -mem=AES256 -mm=Copy @ZIP@"},
                      PasswordCase{"SevenZipAes256BZip2", "7zz a -tzip -psecret -mem=AES256 -mm=BZip2 @ZIP@"},
                      PasswordCase{"SevenZipAes256Lzma", "7zz a -tzip -psecret -mem=AES256 -mm=LZMA @ZIP@"},
                      PasswordCase{"SevenZipAes256Ppmd", "7zz a -tzip -psecret -mem=AES256 -mm=PPMd @ZIP@"},
                      PasswordCase{"SevenZipAes256Deflate64", "7zz a -tzip -psecret -mem=AES256 -mm=Deflate64 @ZIP@"},
                      PasswordCase{"SevenZipAes128Xz", "7zz a -tzip -psecret -mem=AES128 -mm=XZ @ZIP@"}),
    [](const auto& info) { return std::string(info.param.label); });

// Only the files finished before the stop remain; no temporary and no partial file.
TEST(Cancel, StopsAtEntryOrByteAndLeavesOnlyWholeFiles)
{
    TempDir dir;
    makeSampleTree(dir.path() / "src" / "N");
    const std::string archive = (dir.path() / "c.zip").string();
    ASSERT_EQ(zipPlugin()("-r -q \"" + archive + "\" \"" + (dir.path() / "src").string() + "/\" N/*.*").code, 0);
    const auto source = describeTree(dir.path() / "src");
    struct Stop {
        std::optional<std::uint64_t> entry, bytes;
    };
    for (const Stop stop : {Stop{0, {}}, Stop{3, {}}, Stop{{}, 1}, Stop{{}, 70000}, Stop{{}, 1500000}}) {
        ScriptedListener listener;
        listener.stopAtEntry = stop.entry;
        listener.stopAfterBytes = stop.bytes;
        const fs::path out = dir.path() / ("out" + std::to_string(stop.entry.value_or(0)) + "-" +
                                           std::to_string(stop.bytes.value_or(0)));
        const ArcResult result = extractWith(archive, out, &listener);
        EXPECT_EQ(result.status, ArcStatus::Cancelled) << result.message;
        std::size_t files = 0;
        for (const auto& [name, value] : describeTree(out)) {
            const auto original = source.find(name);
            ASSERT_NE(original, source.end()) << "unexpected " << name;
            EXPECT_EQ(value, original->second) << name;
            files += value[0] == 'f';
        }
        if (stop.entry == 0u || stop.bytes == 1u) {
            EXPECT_EQ(files, 0u);
        }
    }
}

// Members from 4 MiB on are decoded ahead on a worker: whole when not stopped, and a stop
// midway (or at the start) leaves nothing of them.
TEST(Cancel, ALargeMemberDecodedAheadIsWholeOrAbsent)
{
    TempDir dir;
    writeFile(dir.path() / "src" / "large.log", textBytes(6000000));
    writeFile(dir.path() / "src" / "stored.bin", randomBytes(4500000, 5));
    const std::string archive = (dir.path() / "l.zip").string();
    ASSERT_EQ(runShell("cd " + shellQuote((dir.path() / "src").string()) + " && zip -q -6 " + shellQuote(archive) +
                       " large.log && zip -q -0 " + shellQuote(archive) + " stored.bin"),
              0);
    for (const std::uint64_t stop :
         {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{3000000}, std::uint64_t{8000000}}) {
        ScriptedListener listener;
        if (stop != 0)
            listener.stopAfterBytes = stop;
        const fs::path out = dir.path() / ("out" + std::to_string(stop));
        const ArcResult result = extractWith(archive, out, &listener);
        if (stop == 0) {
            EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
            EXPECT_EQ(treeDifference(dir.path() / "src", out), "");
            continue;
        }
        EXPECT_EQ(result.status, ArcStatus::Cancelled) << result.message;
        const auto files = describeTree(out);
        EXPECT_EQ(files.size(), stop == 8000000 ? 1u : 0u);
        if (stop == 8000000) {
            EXPECT_EQ(files.count("large.log"), 1u);
        }
    }
}

// A member for hand-made archives: any method and packed bytes. With `at` set, only a directory
// record is written, pointing at that offset (into data that is already there).
struct Member {
    std::string name;
    std::string packed;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t size = 0;
    std::optional<std::uint32_t> at;
    bool brokenHeader = false;  // a local header signature no reader accepts
};

Member stored(std::string name, const std::string& data, std::optional<std::uint32_t> at = std::nullopt)
{
    return Member{std::move(name), data, 0, crcOf(data), static_cast<std::uint32_t>(data.size()), at};
}

std::string buildZip(const std::vector<Member>& members)
{
    std::string body;
    std::string directory;
    for (const Member& m : members) {
        const std::string fields =
            le(m.method, 2) + le(0, 4) + le(m.crc, 4) + le(m.packed.size(), 4) + le(m.size, 4) + le(m.name.size(), 2);
        const std::uint32_t offset = m.at.value_or(static_cast<std::uint32_t>(body.size()));
        if (!m.at)
            body += le(m.brokenHeader ? 0x04034b57 : 0x04034b50, 4) + le(20, 2) + le(0, 2) + fields + le(0, 2) +
                    m.name + m.packed;
        directory += le(0x02014b50, 4) + le(0x031e, 2) + le(20, 2) + le(0, 2) + fields + le(0, 8) +
                     le(std::uint64_t{0100644} << 16, 4) + le(offset, 4) + m.name;
    }
    return body + directory + le(0x06054b50, 4) + le(0, 4) + le(members.size(), 2) + le(members.size(), 2) +
           le(directory.size(), 4) + le(body.size(), 4) + le(0, 2);
}

struct DamagedCase {
    const char* label;
    std::vector<Member> members;
    int declaredCount;  // the count the end record states; -1 for the true one
    ArcStatus expected;
    std::vector<std::string> failedEntries;  // the entries the failures name, in order
    std::map<std::string, std::string> expectedFiles;
};

std::vector<DamagedCase> damagedCases()
{
    using Files = std::map<std::string, std::string>;
    // A stored member whose data is a whole local header and data of another member.
    const std::string inner = buildZip({stored("in.txt", "hidden")}).substr(0, 30 + 6 + 6);
    return {
        {"RecordsSharingData",
         {stored("a.txt", "AAA"), stored("dup.txt", "AAA", 0), stored("b.txt", "B")},
         -1,
         ArcStatus::ArchiveCorrupt,
         {"dup.txt"},
         Files{{"a.txt", "f:AAA"}, {"b.txt", "f:B"}}},
        {"RecordInsideAnotherRecordsData",
         {stored("outer", inner), stored("in.txt", "hidden", 30 + 5)},
         -1,
         ArcStatus::ArchiveCorrupt,
         {"in.txt"},
         Files{{"outer", "f:" + inner}}},
        {"UnknownMethod",
         {Member{"odd.bin", "xxxx", 97, 0, 4, {}}, stored("ok.txt", "ok")},
         -1,
         ArcStatus::UnsupportedMethod,
         {"odd.bin"},
         Files{{"ok.txt", "f:ok"}}},
        {"BrokenDeflate64",
         {Member{"d64.bin", "\xff\xff\xff", 9, 0, 10, {}}, stored("ok.txt", "ok")},
         -1,
         ArcStatus::ArchiveCorrupt,
         {"d64.bin"},
         Files{{"ok.txt", "f:ok"}}},
        // libarchive gives up on its reader after a broken deflate stream; the entries after it are
        // still read through a reader opened again.
        {"BrokenDeflateThenGood",
         {Member{"bad.txt", "\xff\xff\xff\xff", 8, 0, 10, {}}, stored("ok.txt", "ok")},
         -1,
         ArcStatus::ArchiveCorrupt,
         {"bad.txt"},
         Files{{"ok.txt", "f:ok"}}},
        // libarchive gives up on the whole archive at a broken local header; the entries after
        // it are read from their raw bytes.
        {"BrokenLocalHeaderThenGood",
         {stored("a.txt", "A"), Member{"b.txt", "B", 0, crcOf("B"), 1, {}, true}, stored("c.txt", "C")},
         -1,
         ArcStatus::ArchiveCorrupt,
         {"b.txt"},
         Files{{"a.txt", "f:A"}, {"c.txt", "f:C"}}},
        {"FewerEntriesDeclared",
         {stored("a.txt", "A"), stored("b.txt", "B"), stored("c.txt", "C")},
         1,
         ArcStatus::ArchiveCorrupt,
         {"b.txt", "c.txt"},
         Files{{"a.txt", "f:A"}, {"b.txt", "f:B"}, {"c.txt", "f:C"}}},
        {"MoreEntriesDeclared",
         {stored("a.txt", "A"), stored("b.txt", "B")},
         3,
         ArcStatus::ArchiveCorrupt,
         {""},
         Files{{"a.txt", "f:A"}, {"b.txt", "f:B"}}},
    };
}

class DamagedArchive : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedArchive, NamesTheBadEntriesAndExtractsTheRest)
{
    TempDir dir;
    const std::string archive = (dir.path() / "d.zip").string();
    std::string bytes = buildZip(GetParam().members);
    if (GetParam().declaredCount >= 0)
        bytes.replace(bytes.size() - 14, 4, le(GetParam().declaredCount * 0x10001u, 4));
    writeFile(archive, bytes);
    const ArcResult result = extractWith(archive, dir.path() / "out", nullptr);
    EXPECT_EQ(result.status, GetParam().expected) << result.message;
    std::vector<std::string> named;
    for (const EntryFailure& failure : result.allFailures())
        named.push_back(failure.path);
    EXPECT_EQ(named, GetParam().failedEntries) << result.message;
    EXPECT_EQ(describeTree(dir.path() / "out"), GetParam().expectedFiles);
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedArchive, ::testing::ValuesIn(damagedCases()),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(DamagedArchive, ZstandardMembersAreRead)
{
    REQUIRE_PEER("zstd");
    TempDir dir;
    const std::string data = textBytes(200000);
    writeFile(dir.path() / "plain", data);
    const std::string packed = captureShell("zstd -q -c " + shellQuote((dir.path() / "plain").string()));
    ASSERT_FALSE(packed.empty());
    const std::string archive = (dir.path() / "z.zip").string();
    writeFile(archive,
              buildZip({Member{"z.txt", packed, 93, crcOf(data), static_cast<std::uint32_t>(data.size()), {}}}));
    const ArcResult result = extractWith(archive, dir.path() / "out", nullptr);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(readFile(dir.path() / "out" / "z.txt"), data);
}

// A ZIP written to a pipe (data descriptors) whose directory was cut off: each entry whose
// CRC holds is extracted, a damaged one is not, and the run says the archive is damaged.
TEST(DamagedArchive, StreamedArchiveWithoutItsDirectory)
{
    REQUIRE_PEER("zip");
    TempDir dir;
    writeFile(dir.path() / "in" / "first.txt", textBytes(40000));
    writeFile(dir.path() / "in" / "second.bin", randomBytes(30000, 5));
    const std::string whole = (dir.path() / "whole.zip").string();
    ASSERT_EQ(runShell("cd " + shellQuote((dir.path() / "in").string()) + " && zip -q - first.txt second.bin | cat >" +
                       shellQuote(whole)),
              0);
    const std::string bytes = readFile(whole);
    const std::size_t directoryOffset = static_cast<unsigned char>(bytes[bytes.size() - 6]) |
                                        static_cast<unsigned char>(bytes[bytes.size() - 5]) << 8 |
                                        static_cast<unsigned char>(bytes[bytes.size() - 4]) << 16;
    const std::string cut = (dir.path() / "cut.zip").string();
    writeFile(cut, bytes.substr(0, directoryOffset));
    const ArcResult result = extractWith(cut, dir.path() / "out", nullptr);
    EXPECT_EQ(result.status, ArcStatus::ArchiveCorrupt) << result.message;
    EXPECT_EQ(treeDifference(dir.path() / "in", dir.path() / "out"), "");

    std::string damaged = bytes.substr(0, directoryOffset);
    damaged[directoryOffset - 1000] ^= 0x55;  // inside the second member's data
    writeFile(cut, damaged);
    const ArcResult partial = extractWith(cut, dir.path() / "partial", nullptr);
    EXPECT_NE(partial.status, ArcStatus::Ok);
    EXPECT_EQ(describeTree(dir.path() / "partial"),
              (std::map<std::string, std::string>{{"first.txt", "f:" + textBytes(40000)}}));
}

// A member of 4 GiB + 5000 bytes whose records say 5000, and a member after it whose offset is
// cut to 32 bits, as writers that half knew zip64 left them (zip64 end records, 32-bit member
// fields). Writes 4 GiB, so it runs only on request.
TEST(DamagedArchive, SizesCutTo32BitsAreRecoveredWhenTheCrcHolds)
{
    if (std::getenv("TEMBREL_LARGE_TESTS") == nullptr)
        GTEST_SKIP() << "set TEMBREL_LARGE_TESTS=1 to run";
    TempDir dir;
    const std::uint64_t bigSize = (std::uint64_t{1} << 32) + 5000;
    const std::string tail = textBytes(5000);
    uLong crc = crc32(0, nullptr, 0);
    const std::string zeros(1 << 20, '\0');
    for (std::uint64_t done = 0; done < bigSize - tail.size(); done += zeros.size())
        crc = crc32(crc, reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uInt>(zeros.size()));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(tail.data()), static_cast<uInt>(tail.size()));

    const auto local = [](const std::string& name, std::uint32_t crc32, std::uint32_t size) {
        return le(0x04034b50, 4) + le(10, 2) + le(0, 4) + le(0, 4) + le(crc32, 4) + le(size, 4) + le(size, 4) +
               le(name.size(), 2) + le(0, 2) + name;
    };
    const auto central = [](const std::string& name, std::uint32_t crc32, std::uint32_t size, std::uint32_t offset) {
        return le(0x02014b50, 4) + le(0x031e, 2) + le(10, 2) + le(0, 4) + le(0, 4) + le(crc32, 4) + le(size, 4) +
               le(size, 4) + le(name.size(), 2) + le(0, 8) + le(std::uint64_t{0100644} << 16, 4) + le(offset, 4) + name;
    };
    const std::string first = local("small.txt", crcOf("small"), 5) + "small";
    const std::string bigHeader = local("big.bin", static_cast<std::uint32_t>(crc), 5000);
    const std::uint64_t afterOffset = first.size() + bigHeader.size() + bigSize;
    const std::string after = local("after.txt", crcOf("after"), 5) + "after";
    const std::uint64_t directoryOffset = afterOffset + after.size();
    const std::string directory = central("small.txt", crcOf("small"), 5, 0) +
                                  central("big.bin", static_cast<std::uint32_t>(crc), 5000, first.size()) +
                                  central("after.txt", crcOf("after"), 5, static_cast<std::uint32_t>(afterOffset));
    const std::uint64_t zip64End = directoryOffset + directory.size();
    const std::string ends = le(0x06064b50, 4) + le(44, 8) + le(0x031e, 2) + le(45, 2) + le(0, 8) + le(3, 8) +
                             le(3, 8) + le(directory.size(), 8) + le(directoryOffset, 8) + le(0x07064b50, 4) +
                             le(0, 4) + le(zip64End, 8) + le(1, 4) + le(0x06054b50, 4) + le(0, 4) + le(3, 2) +
                             le(3, 2) + le(directory.size(), 4) + le(0xFFFFFFFF, 4) + le(0, 2);
    const std::string archive = (dir.path() / "big.zip").string();
    {
        std::ofstream out(archive, std::ios::binary);
        out << first << bigHeader;
        out.seekp(static_cast<std::streamoff>(first.size() + bigHeader.size() + bigSize - tail.size()));
        out << tail << after << directory << ends;
    }
    const ArcResult result = extractWith(archive, dir.path() / "out", nullptr);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(readFile(dir.path() / "out" / "small.txt"), "small");
    EXPECT_EQ(fs::file_size(dir.path() / "out" / "big.bin"), bigSize);
    EXPECT_EQ(readFile(dir.path() / "out" / "after.txt"), "after");
}

}  // namespace
}  // namespace arc::testing
