// The acceptance corpus: archives made at test time by other tools, ordinary and hostile, run
// through pellum-arc (the plug-in as the program loads it) with an expectations table.
#include <string>

#include "common/status.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

// In `script`, A is the archive to make; it runs in a folder holding N (the sample tree), J (CP932
// names), L (a tree with a symbolic link) and plain.txt.
struct CorpusArchive {
    const char* label;
    const char* tool;
    const char* script;
    ArcStatus expected;
    const char* expectedTree;  // the source folder the result must equal, or "" for no check
};

const CorpusArchive kCorpus[] = {
    {"InfoZipDeflate", "zip", "zip -r -q A N", ArcStatus::Ok, "N"},
    {"InfoZipStored", "zip", "zip -0 -r -q A N", ArcStatus::Ok, "N"},
    {"InfoZipForcedZip64", "zip", "zip -fz -r -q A N", ArcStatus::Ok, "N"},
    {"InfoZipThroughAPipe", "zip", "zip -q -r - N | cat > A", ArcStatus::Ok, "N"},
    {"InfoZipCp932Names", "zip", "zip -r -q A J", ArcStatus::Ok, "J"},
    {"InfoZipSymlinkKept", "zip", "zip -y -r -q A L", ArcStatus::UnsafeEntry, ""},
    {"InfoZipEncrypted", "zip", "zip -q -P secret A plain.txt", ArcStatus::PasswordRequired, ""},
    {"SevenZipDeflate", "7zz", "7zz a -tzip A N", ArcStatus::Ok, "N"},
    {"SevenZipBzip2", "7zz", "7zz a -tzip -mm=BZip2 A N", ArcStatus::Ok, "N"},
    {"SevenZipDeflate64", "7zz", "7zz a -tzip -mm=Deflate64 A N", ArcStatus::Ok, "N"},
    {"BsdtarDeflate", "bsdtar", "bsdtar --format zip -cf A N", ArcStatus::Ok, "N"},
    {"BsdtarDotEntry", "bsdtar", "mkdir D && cp -r N D/ && bsdtar --format zip -cf A -C D .", ArcStatus::Ok, "N"},
    {"BsdtarStored", "bsdtar", "bsdtar --format zip --options zip:compression=store -cf A N", ArcStatus::Ok, "N"},
    {"BsdtarAbsoluteNames", "bsdtar", "bsdtar -P --format zip -cf A \"$PWD/plain.txt\"", ArcStatus::Ok, ""},
    {"BsdtarDotDotNames", "bsdtar", "bsdtar -P -s ',^,../../,' --format zip -cf A plain.txt", ArcStatus::UnsafeEntry,
     ""},
};

class AcceptanceCorpus : public ::testing::TestWithParam<CorpusArchive> {};

TEST_P(AcceptanceCorpus, PellumArcGivesTheExpectedResult)
{
    const CorpusArchive& row = GetParam();
    REQUIRE_PEER(row.tool);
    const fs::path pellumArc = fs::path(TEMBREL_BIN_DIR) / "pellum-arc";
    if (!fs::exists(pellumArc))
        GTEST_SKIP() << "pellum-arc is not built";
    TempDir dir;
    const fs::path work = dir.path() / "work";
    makeSampleTree(work / "N");
    writeFile(work / "J" / "\x95\x5c\x8e\xa6.txt", "hyouji");                    // 表示.txt
    writeFile(work / "J" / "\x83\x5c\x83\x74\x83\x67" / "\x94\x5c.txt", "nou");  // ソフト/能.txt
    writeFile(work / "L" / "real.txt", "real");
    fs::create_symlink("/etc/hostname", work / "L" / "link");
    writeFile(work / "plain.txt", "plain");
    const std::string archive = (dir.path() / "corpus.zip").string();
    std::string script = row.script;
    for (std::size_t at;
         (at = script.find(" A")) != std::string::npos && (at + 2 == script.size() || script[at + 2] == ' ');)
        script.replace(at + 1, 1, shellQuote(archive));
    ASSERT_EQ(runShell("cd " + shellQuote(work.string()) + " && " + script), 0) << script;

    const fs::path destination = dir.path() / "dest";
    const std::string command = "-xv --i \"" + archive + "\" \"" + destination.string() + "/\"";
    const std::string output =
        captureShell(shellQuote(pellumArc.string()) + " unzip32 " + shellQuote(command) + " 2>&1; echo \"exit=$?\"");
    const bool success = row.expected == ArcStatus::Ok;
    EXPECT_NE(output.find(success ? "exit=0" : "exit=1"), std::string::npos) << output;

    // The plug-in itself names the code.
    const fs::path again = dir.path() / "again";
    const auto result = unzipPlugin()("-xv --i \"" + archive + "\" \"" + again.string() + "/\"");
    EXPECT_EQ(result.code, static_cast<int>(row.expected)) << result.message;
    if (*row.expectedTree != '\0') {
        fs::path expectedRoot = dir.path() / "expected";
        fs::create_directories(expectedRoot);
        if (std::string(row.expectedTree) == "J") {
            writeFile(expectedRoot / "J" / "表示.txt", "hyouji");
            writeFile(expectedRoot / "J" / "ソフト" / "能.txt", "nou");
        } else {
            fs::copy(work / row.expectedTree, expectedRoot / row.expectedTree, fs::copy_options::recursive);
        }
        EXPECT_EQ(treeDifference(expectedRoot, again), "");
    }
    EXPECT_FALSE(fs::exists(dir.path() / "plain.txt"));
    for (const std::string& name : listTree(again))
        EXPECT_EQ(name.find("link"), std::string::npos) << name;
}

INSTANTIATE_TEST_SUITE_P(ByMaker, AcceptanceCorpus, ::testing::ValuesIn(kCorpus),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace arc::testing
