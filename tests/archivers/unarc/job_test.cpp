// What the job sees and answers: passphrases for ZIP split sets, encrypted entries of formats
// that cannot be decrypted, the overwrite question and cancelling.
#include "unarc/archive_extractor.h"
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

struct Encrypted {
    const char* name;
    const char* command;  // 7zz, run in the source tree; writes $A...
    const char* open;
    std::vector<std::string> passphrases;
    ArcStatus status;
    std::size_t questions;
    bool namedNotSupported;  // each failure says "encrypted, not supported"
};

class EncryptedArchives : public ::testing::TestWithParam<Encrypted> {};

TEST_P(EncryptedArchives, AskOrSayWhyNot)
{
    const Encrypted& c = GetParam();
    REQUIRE_PEER("7zz");
    TempDir temp;
    makeSourceTree(temp.path() / "src");
    ASSERT_EQ(runShell("cd " + shellQuote((temp.path() / "src").string()) + " && A=\"$PWD/../a\"; " + c.command), 0);
    ScriptedListener listener;
    listener.passphrases = c.passphrases;
    const ArcResult r = extractWith(temp.path() / c.open, temp.path() / "out", &listener);
    EXPECT_EQ(r.status, c.status) << r.message;
    EXPECT_EQ(listener.asked.size(), c.questions);
    for (const EntryFailure& failure : listener.failures)
        EXPECT_EQ(failure.message.find("encrypted, not supported") != std::string::npos, c.namedNotSupported)
            << failure.message;
    if (r.ok())
        EXPECT_EQ(readFile(temp.path() / "out" / "表示" / "ソフト.txt"),
                  readFile(temp.path() / "src" / "表示" / "ソフト.txt"));
    EXPECT_TRUE(leftovers(temp.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Passphrases, EncryptedArchives,
    ::testing::Values(
        Encrypted{"zip_split_right",
                  "7zz a -bd -tzip -v100k -pSecret \"$A.zip\" .",
                  "a.zip.001",
                  {"Secret"},
                  ArcStatus::Ok,
                  1,
                  false},
        Encrypted{"zip_split_wrong_then_right",
                  "7zz a -bd -tzip -v100k -pSecret \"$A.zip\" .",
                  "a.zip.001",
                  {"wrong", "Secret"},
                  ArcStatus::Ok,
                  2,
                  false},
        Encrypted{"zip_split_unanswered",
                  "7zz a -bd -tzip -v100k -pSecret \"$A.zip\" .",
                  "a.zip.001",
                  {},
                  ArcStatus::PasswordRequired,
                  1,
                  false},
        Encrypted{
            "7z_aes", "7zz a -bd -pSecret \"$A.7z\" .", "a.7z", {"Secret"}, ArcStatus::UnsupportedMethod, 0, true},
        Encrypted{"7z_aes_headers",
                  "7zz a -bd -pSecret -mhe=on \"$A.7z\" .",
                  "a.7z",
                  {"Secret"},
                  ArcStatus::UnsupportedMethod,
                  0,
                  true},
        // Not encryption, but as plainly something libarchive cannot decode.
        Encrypted{
            "7z_arm64_filter", "7zz a -bd -mf=ARM64 \"$A.7z\" .", "a.7z", {}, ArcStatus::UnsupportedMethod, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

class JobAnswers : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_PEER("7zz");
        makeSourceTree(temp_.path() / "src");
        ASSERT_EQ(runShell("cd " + shellQuote((temp_.path() / "src").string()) + " && 7zz a -bd ../a.7z ."), 0);
    }
    TempDir temp_;
};

TEST_F(JobAnswers, OnlyAFileWithOtherContentIsAskedAbout)
{
    ASSERT_TRUE(extractWith(temp_.path() / "a.7z", temp_.path() / "out").ok());
    writeFile(temp_.path() / "out" / "a.txt", "mine");
    ScriptedListener listener;
    listener.answer = OverwriteAnswer::Skip;
    const ArcResult r = extractWith(temp_.path() / "a.7z", temp_.path() / "out", &listener);
    EXPECT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(listener.asked, std::vector<std::string>{"exists:a.txt"});
    EXPECT_EQ(readFile(temp_.path() / "out" / "a.txt"), "mine");
}

TEST_F(JobAnswers, CancelStopsMidFileAndLeavesNoPart)
{
    ScriptedListener listener;
    listener.cancelAfterBytes = 100000;
    const ArcResult r = extractWith(temp_.path() / "a.7z", temp_.path() / "out", &listener);
    EXPECT_EQ(r.status, ArcStatus::Cancelled) << r.message;
    EXPECT_FALSE(fs::exists(temp_.path() / "out" / "sub" / "deep" / "random.bin"));
    EXPECT_TRUE(leftovers(temp_.path()).empty());
}

}  // namespace
}  // namespace arc::testing
