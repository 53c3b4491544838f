// Extraction through a job: every method peers write, passphrases asked and retried, cancel at
// any point, and damaged archives that still give their whole entries.
#include <sys/stat.h>

#include <string>

#include "common/job.h"
#include "common/status.h"
#include "zip/archive_extractor.h"
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

    bool progress(const ProgressReport& report) override {
        if (stopAtEntry && report.entriesDone == *stopAtEntry && report.entryBytesDone == 0) return false;
        return !(stopAfterBytes && report.jobBytesDone >= *stopAfterBytes);
    }
    std::optional<std::string> passphrase(std::string_view, std::string_view, unsigned attempt) override {
        attempts.push_back(attempt);
        if (attempts.size() > answers.size()) return std::nullopt;
        return answers[attempts.size() - 1];
    }
};

ArcResult extractWith(const std::string& archive, const fs::path& destination, JobListener* listener) {
    Job job(listener);
    return zip::extractArchive(archive, destination.string(), job);
}

// Files the peers pack: text, incompressible, long repeats, empty, and a 200 KiB file whose
// repeats lie more than 64 KiB apart (Deflate64's long distances and lengths).
void makePeerInputs(const fs::path& folder) {
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

class PeerMethod : public ::testing::TestWithParam<MethodCase> {};

TEST_P(PeerMethod, ReadsBackByteExact) {
    REQUIRE_PEER("7zz");
    TempDir dir;
    makePeerInputs(dir.path() / "in");
    const std::string archive = (dir.path() / "m.zip").string();
    std::string command = GetParam().command;
    command.replace(command.find("@ZIP@"), 5, shellQuote(archive));
    command.replace(command.find("@FILES@"), 7, "text.txt random.bin empty 'far repeats.bin' runs.bin");
    ASSERT_EQ(runShell("cd " + shellQuote((dir.path() / "in").string()) + " && " + command), 0);
    const ArcResult result = extractWith(archive, dir.path() / "out", nullptr);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(treeDifference(dir.path() / "in", dir.path() / "out"), "");
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

struct PasswordCase {
    const char* label;
    const char* command;  // packs "one.txt" and "two.txt" with the passphrase "secret"
};

class Passphrase : public ::testing::TestWithParam<PasswordCase> {
protected:
    void SetUp() override {
        REQUIRE_PEER("7zz");
        REQUIRE_PEER("zip");
        writeFile(dir_.path() / "in" / "one.txt", textBytes(90000));
        writeFile(dir_.path() / "in" / "two.txt", randomBytes(5000, 4));
        archive_ = (dir_.path() / "p.zip").string();
        std::string command = GetParam().command;
        command.replace(command.find("@ZIP@"), 5, shellQuote(archive_));
        ASSERT_EQ(runShell("cd " + shellQuote((dir_.path() / "in").string()) + " && " + command + " one.txt two.txt"), 0);
    }
    TempDir dir_;
    std::string archive_;
};

TEST_P(Passphrase, AskedOnceForTheArchive) {
    ScriptedListener listener;
    listener.answers = {"secret"};
    const ArcResult result = extractWith(archive_, dir_.path() / "out", &listener);
    EXPECT_EQ(result.status, ArcStatus::Ok) << result.message;
    EXPECT_EQ(treeDifference(dir_.path() / "in", dir_.path() / "out"), "");
    EXPECT_EQ(listener.attempts, std::vector<unsigned>{1});
}

TEST_P(Passphrase, WrongOnesAreAskedAgainWithTheNextAttempt) {
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

TEST_P(Passphrase, GivingUpFailsEachEntryAndLeavesNoFile) {
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

INSTANTIATE_TEST_SUITE_P(Tools, Passphrase,
                         ::testing::Values(PasswordCase{"InfoZip", "zip -q -P secret @ZIP@"},
                                           PasswordCase{"SevenZipZipCrypto", "7zz a -tzip -psecret -mem=ZipCrypto @ZIP@"},
                                           PasswordCase{"SevenZipAes128", "7zz a -tzip -psecret -mem=AES128 @ZIP@"},
                                           PasswordCase{"SevenZipAes256", "7zz a -tzip -psecret -mem=AES256 @ZIP@"},
                                           PasswordCase{"SevenZipAes256Stored", "7zz a -tzip -psecret -mem=AES256 -mm=Copy @ZIP@"}),
                         [](const auto& info) { return std::string(info.param.label); });

// Only the files finished before the stop remain; no temporary and no partial file.
TEST(Cancel, StopsAtEntryOrByteAndLeavesOnlyWholeFiles) {
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

}  // namespace
}  // namespace arc::testing
