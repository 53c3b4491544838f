// Which names are ours, how a set's volumes are named, how legacy names decode, and which
// command strings are refused.
#include <archive.h>

#include "unarc/archive_names.h"
#include "unarc/unarc_command.h"
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

using Kind = unarc::ArchiveNameKind;

class ArchiveNames : public ::testing::TestWithParam<std::tuple<const char*, Kind, const char*>> {};

TEST_P(ArchiveNames, KindAndStem)
{
    const auto& [path, kind, stem] = GetParam();
    const unarc::ArchiveNameInfo info = unarc::classifyArchiveName(path);
    EXPECT_EQ(info.kind, kind);
    EXPECT_EQ(info.stem, stem);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ArchiveNames,
    ::testing::Values(std::tuple{"/home/me/photos.tar.gz", Kind::Archive, "photos"},
                      std::tuple{"/d.x/写真.TGZ", Kind::Archive, "写真"}, std::tuple{".7z", Kind::Archive, ""},
                      std::tuple{"a.zip", Kind::NotArchive, ""}, std::tuple{"a.tar.gz.txt", Kind::NotArchive, ""},
                      std::tuple{"v.part1.rar", Kind::Archive, "v"}, std::tuple{"v.PART10.RAR", Kind::LaterVolume, "v"},
                      std::tuple{"old.rar", Kind::Archive, "old"}, std::tuple{"old.r00", Kind::LaterVolume, "old"},
                      std::tuple{"set.7z.001", Kind::Archive, "set"},
                      std::tuple{"set.zip.002", Kind::LaterVolume, "set"}, std::tuple{"data.000", Kind::NotArchive, ""},
                      std::tuple{"report.2024", Kind::NotArchive, ""}));

class VolumeNames : public ::testing::TestWithParam<std::tuple<const char*, const char*, const char*>> {};

TEST_P(VolumeNames, FirstAndNext)
{
    const auto& [path, first, next] = GetParam();
    EXPECT_EQ(unarc::firstVolumePath(path), first);
    EXPECT_EQ(unarc::nextVolumePath(path).value_or(""), next);
}

INSTANTIATE_TEST_SUITE_P(Volumes, VolumeNames,
                         ::testing::Values(std::tuple{"/d/a.part3.rar", "/d/a.part1.rar", "/d/a.part4.rar"},
                                           std::tuple{"a.part09.rar", "a.part01.rar", "a.part10.rar"},
                                           std::tuple{"A.RAR", "A.RAR", "A.R00"}, std::tuple{"a.r99", "a.rar", "a.s00"},
                                           std::tuple{"a.s99", "a.rar", ""},
                                           std::tuple{"a.7z.999", "a.7z.001", "a.7z.1000"},
                                           std::tuple{"a.tar.gz", "a.tar.gz", ""}));

// Names without a Unicode mark, as old Japanese tools stored them: CP932 when they decode as
// such (a 0x5C second byte stays inside its character), else Latin-1. Format 0: RAR 4.
class LegacyNames : public ::testing::TestWithParam<std::tuple<int, std::string, const char*>> {};

TEST_P(LegacyNames, DecodeAsCp932WhenTheyCan)
{
    const auto& [format, stored, extracted] = GetParam();
    TempDir temp;
    if (format == 0)
        writeFile(temp.path() / "legacy", storedRar4(stored, "data"));
    else
        ASSERT_EQ(writeCrafted(temp.path() / "legacy", format, {{stored, S_IFREG, "data"}}), "");
    const ArcResult r = extractWith(temp.path() / "legacy", temp.path() / "out");
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(readFile(temp.path() / "out" / extracted), "data");
}

// 表示\ソフト.txt in CP932: 表 and ソ end in 0x5C.
const std::string kFolder = "\x95\x5C\x8E\xA6";
const std::string kFile = "\x83\x5C\x83\x74\x83\x67.txt";

INSTANTIATE_TEST_SUITE_P(
    Names, LegacyNames,
    ::testing::Values(std::tuple{ARCHIVE_FORMAT_TAR_USTAR, kFolder + "/" + kFile, "表示/ソフト.txt"},
                      std::tuple{0, kFolder + "\\" + kFile, "表示/ソフト.txt"},
                      std::tuple{ARCHIVE_FORMAT_TAR_USTAR, std::string("caf\xE9.txt"), "café.txt"}));

class BadCommands : public ::testing::TestWithParam<const char*> {};

TEST_P(BadCommands, AreRefusedBeforeAnythingIsRead)
{
    EXPECT_EQ(unarc::runUnarcCommand(GetParam()).status, ArcStatus::BadCommand);
}

INSTANTIATE_TEST_SUITE_P(Commands, BadCommands,
                         ::testing::Values("", "x \"a.7z\"", "x -k \"a.7z\" \"d/\"", "x \"a.7z\" \"\"",
                                           "x \"a.7z\" \"d/\" \"b.txt\"", "l \"a.7z\" \"d/\"", "e \"a.7z\" \"d/\""));

}  // namespace
}  // namespace arc::testing
