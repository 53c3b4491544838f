// Interoperability: our archives read by lhasa, bsdtar, 7zz and jlha with identical trees, and
// jlha's archives (header levels 0, 1, 2; -lh0-, -lh5-, -lh6-, -lh7-) read by us.
#include <gtest/gtest.h>

#include "lzh_test_support.h"

namespace lzh::testing {
namespace {

struct Peer {
    const char* name;
    const char* tool;
    bool decodesCp932;  // lhasa and 7zz keep the raw bytes, so their trees use ASCII names
    std::string (*extract)(const std::string& archive, const std::string& destination);
};

const Peer kPeers[] = {
    {"lhasa", "lhasa", false,
     [](const std::string& a, const std::string& d) {
         return "cd " + shellQuote(d) + " && lhasa xq " + shellQuote(a);
     }},
    {"bsdtar", "bsdtar", true,
     [](const std::string& a, const std::string& d) {
         return "bsdtar --options hdrcharset=CP932 -xf " + shellQuote(a) + " -C " + shellQuote(d);
     }},
    {"sevenzip", "7zz", false,
     [](const std::string& a, const std::string& d) { return "7zz x -y -o" + shellQuote(d) + " " + shellQuote(a); }},
    {"jlha", "jlha", true,
     [](const std::string& a, const std::string& d) {
         return "cd " + shellQuote(d) + " && jlha xyfq " + shellQuote(a);
     }},
};

struct OursCase {
    Peer peer;
    const char* methodSwitch;
};

class OursReadByPeer : public ::testing::TestWithParam<OursCase> {};

TEST_P(OursReadByPeer, ExtractsAnIdenticalTree)
{
    const Peer& peer = GetParam().peer;
    REQUIRE_PEER(peer.tool);
    TempDir dir;
    makeSampleTree(dir.path() / "src", peer.decodesCp932);
    const fs::path archive = dir.path() / "A.lzh";
    PluginResult r = unlha(std::string("a ") + GetParam().methodSwitch + " \"" + archive.string() + "\" \"" +
                           (dir.path() / "src").string() + "/\" N/*.* -x -n1 -r2");
    ASSERT_EQ(r.code, 0) << r.message;
    fs::create_directories(dir.path() / "out");
    ASSERT_EQ(runShell(peer.extract(archive.string(), (dir.path() / "out").string())), 0);
    EXPECT_EQ(snapshot(dir.path() / "out"), snapshot(dir.path() / "src"));
}

std::vector<OursCase> oursCases()
{
    std::vector<OursCase> cases;
    for (const Peer& p : kPeers)
        for (const char* m : {"-lh5", "-lh6", "-lh7"})
            cases.push_back({p, m});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Peers, OursReadByPeer, ::testing::ValuesIn(oursCases()),
                         [](const ::testing::TestParamInfo<OursCase>& info) {
                             return std::string(info.param.peer.name) + "_" + std::string(info.param.methodSwitch + 1);
                         });

struct TheirsCase {
    int level;
    const char* method;  // jlha's switch: o5, o6, o7, or z (stored)
};

class TheirsReadByUs : public ::testing::TestWithParam<TheirsCase> {};

TEST_P(TheirsReadByUs, ExtractsAnIdenticalTree)
{
    REQUIRE_PEER("jlha");
    TempDir dir;
    makeSampleTree(dir.path() / "src", true);
    const fs::path archive = dir.path() / "J.lzh";
    // jlha's letters: a = add, a digit = header level, o5..o7 / z = method, y = CP932 names,
    // q last (a digit after q would be taken as its quiet level).
    const std::string flags = "a" + std::to_string(GetParam().level) + GetParam().method + "yq";
    ASSERT_EQ(runShell("cd " + shellQuote((dir.path() / "src").string()) + " && jlha " + flags + " " +
                       shellQuote(archive.string()) + " N"),
              0);
    PluginResult r = unlha("x -n \"" + archive.string() + "\" \"" + (dir.path() / "out").string() + "/\"");
    ASSERT_EQ(r.code, 0) << r.message;
    EXPECT_EQ(snapshot(dir.path() / "out"), snapshot(dir.path() / "src"));
}

std::vector<TheirsCase> theirsCases()
{
    std::vector<TheirsCase> cases;
    for (int level : {0, 1, 2})
        for (const char* m : {"o5", "o6", "o7", "z"})
            cases.push_back({level, m});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(JlhaLevelsAndMethods, TheirsReadByUs, ::testing::ValuesIn(theirsCases()),
                         [](const ::testing::TestParamInfo<TheirsCase>& info) {
                             return "level" + std::to_string(info.param.level) + "_" + info.param.method;
                         });

TEST(Utf16Names, BsdtarReadsNamesThatHaveNoCp932Form)
{
    REQUIRE_PEER("bsdtar");
    TempDir dir;
    writeFile(dir.path() / "src" / "N" / "café😀" / "naïve→ß.txt", "unicode");
    writeFile(dir.path() / "src" / "N" / "表示.txt", "cp932");
    const fs::path archive = dir.path() / "U.lzh";
    ASSERT_EQ(unlha("a \"" + archive.string() + "\" \"" + (dir.path() / "src").string() + "/\" N/*.*").code, 0);
    fs::create_directories(dir.path() / "out");
    ASSERT_EQ(runShell("bsdtar --options hdrcharset=CP932 -xf " + shellQuote(archive.string()) + " -C " +
                       shellQuote((dir.path() / "out").string())),
              0);
    EXPECT_EQ(snapshot(dir.path() / "out"), snapshot(dir.path() / "src"));
}

TEST(AppendedArchive, PeersReadEveryMemberAfterManySingleFileAdds)
{
    REQUIRE_PEER("bsdtar");
    REQUIRE_PEER("lhasa");
    TempDir dir;
    for (int i = 0; i < 40; ++i) {
        const fs::path file = dir.path() / "src" / ("f" + std::to_string(i) + ".txt");
        const Bytes text = textBytes(static_cast<std::size_t>(100 + 997 * i), static_cast<std::uint32_t>(i));
        writeFile(file, std::string(text.begin(), text.end()));
        ASSERT_EQ(unlha("a -n1 \"" + (dir.path() / "A.lzh").string() + "\" \"" + file.string() + "\"").code, 0);
    }
    fs::create_directories(dir.path() / "bsd");
    fs::create_directories(dir.path() / "lhasa");
    ASSERT_EQ(runShell("bsdtar -xf " + shellQuote((dir.path() / "A.lzh").string()) + " -C " +
                       shellQuote((dir.path() / "bsd").string())),
              0);
    ASSERT_EQ(runShell("cd " + shellQuote((dir.path() / "lhasa").string()) + " && lhasa xq " +
                       shellQuote((dir.path() / "A.lzh").string())),
              0);
    EXPECT_EQ(snapshot(dir.path() / "bsd"), snapshot(dir.path() / "src"));
    EXPECT_EQ(snapshot(dir.path() / "lhasa"), snapshot(dir.path() / "src"));
}

}  // namespace
}  // namespace lzh::testing
