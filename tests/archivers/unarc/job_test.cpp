// What the job sees and answers: passphrases for a ZIP split set, encrypted entries of formats
// that cannot be decrypted, and a cancel in the middle of a file.
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

struct Encrypted {
    const char* name;
    const char* command;  // 7zz in the source tree, writing ../a...
    const char* open;
    std::vector<std::string> passphrases;
    ArcStatus status;
    std::size_t questions;
    bool saysNotSupported;  // each failure says "encrypted, not supported"
};

class EncryptedArchives : public ::testing::TestWithParam<Encrypted> {};

TEST_P(EncryptedArchives, AskOrSayWhyNot)
{
    const Encrypted& c = GetParam();
    REQUIRE_PEER("7zz");
    TempDir temp;
    makeSourceTree(temp.path() / "src");
    ASSERT_EQ(runShell("cd " + shellQuote((temp.path() / "src").string()) + " && 7zz a -bd " + c.command), 0);
    ScriptedListener listener;
    listener.passphrases = c.passphrases;
    const ArcResult r = extractWith(temp.path() / c.open, temp.path() / "out", &listener);
    EXPECT_EQ(r.status, c.status) << r.message;
    EXPECT_EQ(listener.asked.size(), c.questions);
    for (const EntryFailure& failure : listener.failures)
        EXPECT_EQ(failure.message.find("encrypted, not supported") != std::string::npos, c.saysNotSupported);
    if (r.ok())
        EXPECT_EQ(snapshot(temp.path() / "out").at("表示/ソフト.txt"),
                  snapshot(temp.path() / "src").at("表示/ソフト.txt"));
    EXPECT_TRUE(leftovers(temp.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Passphrases, EncryptedArchives,
    ::testing::Values(
        Encrypted{"zip_split_wrong_then_right",
                  "-tzip -v100k -pSecret ../a.zip .",
                  "a.zip.001",
                  {"wrong", "Secret"},
                  ArcStatus::Ok,
                  2,
                  false},
        Encrypted{"zip_split_unanswered",
                  "-tzip -v100k -pSecret ../a.zip .",
                  "a.zip.001",
                  {},
                  ArcStatus::PasswordRequired,
                  1,
                  false},
        Encrypted{"7z_aes", "-pSecret ../a.7z .", "a.7z", {"Secret"}, ArcStatus::UnsupportedMethod, 0, true},
        Encrypted{
            "7z_aes_headers", "-pSecret -mhe=on ../a.7z .", "a.7z", {"Secret"}, ArcStatus::UnsupportedMethod, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cancel, StopsMidFileAndLeavesNoPart)
{
    REQUIRE_PEER("7zz");
    TempDir temp;
    makeSourceTree(temp.path() / "src");
    ASSERT_EQ(runShell("cd " + shellQuote((temp.path() / "src").string()) + " && 7zz a -bd ../a.7z ."), 0);
    ScriptedListener listener;
    listener.cancelAfterBytes = 100000;
    const ArcResult r = extractWith(temp.path() / "a.7z", temp.path() / "out", &listener);
    EXPECT_EQ(r.status, ArcStatus::Cancelled) << r.message;
    EXPECT_FALSE(fs::exists(temp.path() / "out" / "sub" / "deep" / "random.bin"));
    EXPECT_TRUE(leftovers(temp.path()).empty());
}

}  // namespace
}  // namespace arc::testing
