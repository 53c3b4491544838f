// Archives of every format, made by other tools at test time, extracted through the plug-in and
// compared with their source; the RAR samples compared with bsdtar's own extraction.
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

enum Keeps : unsigned {
    kFilesOnly = 0,
    kFolders = 1,    // folders, the empty one too
    kLinks = 2,      // symbolic links
    kHardLinks = 4,  // hard links as hard links (else as copies)
    kAll = kFolders | kLinks | kHardLinks,
};

struct MadeBy {
    const char* name;
    const char* tool;
    const char* command;  // run in the test's folder: $S the source tree, $A the archive's base name
    const char* open;     // the name given to the plug-in
    unsigned keeps;
};

// What of `tree` an archive of a format that keeps `keeps` can give back.
std::map<std::string, std::string> comparable(std::map<std::string, std::string> tree, unsigned keeps)
{
    for (auto it = tree.begin(); it != tree.end();) {
        if (!(keeps & kHardLinks) && it->second.find(" =") != std::string::npos)
            it->second.erase(it->second.find(" ="));
        const bool dropped =
            (!(keeps & kFolders) && it->second == "d") || (!(keeps & kLinks) && it->second.starts_with("l:"));
        it = dropped ? tree.erase(it) : std::next(it);
    }
    return tree;
}

class MadeByPeer : public ::testing::TestWithParam<MadeBy> {};

TEST_P(MadeByPeer, ExtractsTheSourceTree)
{
    const MadeBy& c = GetParam();
    REQUIRE_PEER(c.tool);
    TempDir temp;
    makeSourceTree(temp.path() / "src");
    ASSERT_EQ(runShell("cd " + shellQuote(temp.str()) + " && S=\"$PWD/src\" A=\"$PWD/a\"; " + c.command), 0);
    const PluginResult extracted =
        unarcPlugin()("x -n \"" + (temp.path() / c.open).string() + "\" \"" + (temp.path() / "out").string() + "/\"");
    ASSERT_EQ(extracted.code, 0) << extracted.message;
    EXPECT_EQ(comparable(snapshot(temp.path() / "out"), c.keeps), comparable(snapshot(temp.path() / "src"), c.keeps));
    EXPECT_NEAR(static_cast<double>(fs::last_write_time(temp.path() / "out" / "a.txt").time_since_epoch().count()),
                static_cast<double>(fs::last_write_time(temp.path() / "src" / "a.txt").time_since_epoch().count()),
                2e9);

    // The list names what extraction made, decoded alike.
    const PluginResult listed = unarcPlugin()("l \"" + (temp.path() / c.open).string() + "\"");
    ASSERT_EQ(listed.code, 0) << listed.message;
    EXPECT_NE(listed.message.find("表示/ソフト.txt\n"), std::string::npos) << listed.message;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, MadeByPeer,
    ::testing::Values(
        MadeBy{"7z_lzma2_solid", "7zz", "cd \"$S\" && 7zz a -bd -snl \"$A.7z\" .", "a.7z", kFolders | kLinks},
        MadeBy{"7z_ppmd", "7zz", "cd \"$S\" && 7zz a -bd -snl -m0=PPMd \"$A.7z\" .", "a.7z", kFolders | kLinks},
        MadeBy{"7z_bzip2_bcj", "7zz", "cd \"$S\" && 7zz a -bd -snl -m0=BZip2 -mf=BCJ \"$A.7z\" .", "a.7z",
               kFolders | kLinks},
        MadeBy{"7z_deflate", "7zz", "cd \"$S\" && 7zz a -bd -snl -m0=Deflate \"$A.7z\" .", "a.7z", kFolders | kLinks},
        MadeBy{"7z_bcj2", "7zz", "cd \"$S\" && 7zz a -bd -snl -mf=BCJ2 \"$A.7z\" .", "a.7z", kFolders | kLinks},
        MadeBy{"7z_stored_split", "7zz", "cd \"$S\" && 7zz a -bd -snl -mx0 -v100k \"$A.7z\" .", "a.7z.001",
               kFolders | kLinks},
        MadeBy{"zip_split", "7zz", "cd \"$S\" && 7zz a -bd -snl -tzip -v100k \"$A.zip\" .", "a.zip.001",
               kFolders | kLinks},
        MadeBy{"gnu_tar", "tar", "tar --format=gnu -cf \"$A.tar\" -C \"$S\" .", "a.tar", kAll},
        MadeBy{"ustar_gzip", "bsdtar", "bsdtar --format ustar -czf \"$A.tgz\" -C \"$S\" .", "a.tgz", kAll},
        MadeBy{"pax_bzip2", "bsdtar", "bsdtar --format pax -cjf \"$A.tar.bz2\" -C \"$S\" .", "a.tar.bz2", kAll},
        MadeBy{"pax_xz", "bsdtar", "bsdtar --format pax -cJf \"$A.tar.xz\" -C \"$S\" .", "a.tar.xz", kAll},
        MadeBy{"gnu_tar_zstd", "zstd", "tar --format=gnu --zstd -cf \"$A.tar.zst\" -C \"$S\" .", "a.tar.zst", kAll},
        MadeBy{"pax_lz4", "bsdtar", "bsdtar --format pax --lz4 -cf \"$A.tar.lz4\" -C \"$S\" .", "a.tar.lz4", kAll},
        MadeBy{"pax_lzip", "bsdtar", "bsdtar --format pax --lzip -cf \"$A.tar.lz\" -C \"$S\" .", "a.tar.lz", kAll},
        MadeBy{"cpio_newc", "cpio", "cd \"$S\" && find . | cpio -o -H newc > \"$A.cpio\"", "a.cpio", kAll},
        MadeBy{"cpio_odc", "bsdtar", "bsdtar --format odc -cf \"$A.cpio\" -C \"$S\" .", "a.cpio", kAll},
        MadeBy{"iso_rock_ridge_joliet", "xorriso", "xorriso -as mkisofs -R -J -o \"$A.iso\" \"$S\"", "a.iso", kAll},
        MadeBy{"iso_joliet", "xorriso", "xorriso -as mkisofs -J -o \"$A.iso\" \"$S\"", "a.iso", kFolders},
        MadeBy{"cab", "gcab",
               "cd \"$S\" && gcab -c -z \"$A.cab\" a.txt hard.txt empty.txt 表示/ソフト.txt sub/deep/random.bin",
               "a.cab", kFilesOnly},
        MadeBy{"xar", "bsdtar", "bsdtar --format xar -cf \"$A.xar\" -C \"$S\" .", "a.xar", kAll}),
    [](const auto& info) { return std::string(info.param.name); });

struct Sample {
    const char* name;
    const char* open;     // the volume named
    const char* volumes;  // what bsdtar reads, as a shell glob (a set concatenated)
};

class RarSample : public ::testing::TestWithParam<Sample> {};

TEST_P(RarSample, ExtractsAsBsdtarDoes)
{
    const Sample& c = GetParam();
    REQUIRE_PEER("bsdtar");
    const fs::path samples = rarSamples();
    if (samples.empty())
        GTEST_SKIP() << "no RAR samples beside the source tree";
    TempDir temp;
    fs::create_directories(temp.path() / "peer");
    ASSERT_EQ(runShell("cd " + shellQuote(samples.string()) + " && cat " + c.volumes + " | bsdtar -xf - -C " +
                       shellQuote((temp.path() / "peer").string())),
              0);
    const PluginResult extracted =
        unarcPlugin()("x -n \"" + (samples / c.open).string() + "\" \"" + (temp.path() / "out").string() + "/\"");
    ASSERT_EQ(extracted.code, 0) << extracted.message;
    EXPECT_EQ(snapshot(temp.path() / "out"), snapshot(temp.path() / "peer"));
}

INSTANTIATE_TEST_SUITE_P(Samples, RarSample,
                         ::testing::Values(Sample{"rar4", "rar.rar", "rar.rar"},
                                           Sample{"rar4_japanese", "rar_unicode.rar", "rar_unicode.rar"},
                                           Sample{"rar5", "rar5_compressed.rar", "rar5_compressed.rar"},
                                           Sample{"rar5_links", "rar5_unicode.rar", "rar5_unicode.rar"},
                                           Sample{"rar5_solid", "rar5_solid.rar", "rar5_solid.rar"},
                                           Sample{"rar5_eight_volumes", "rar5_multiarchive.part01.rar",
                                                  "rar5_multiarchive.part*.rar"},
                                           Sample{"rar5_set_named_by_a_later_volume", "rar5_multiarchive.part05.rar",
                                                  "rar5_multiarchive.part*.rar"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace arc::testing
