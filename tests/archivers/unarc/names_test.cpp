// Which names are ours, how a set's volumes are named, and what a command string means.
#include <archive.h>

#include "unarc/archive_names.h"
#include "unarc/unarc_command.h"
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

using unarc::ArchiveNameKind;

struct NameCase {
    const char* path;
    ArchiveNameKind kind;
    const char* stem;
};

class ArchiveNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ArchiveNames, KindAndStem)
{
    const unarc::ArchiveNameInfo info = unarc::classifyArchiveName(GetParam().path);
    EXPECT_EQ(info.kind, GetParam().kind);
    EXPECT_EQ(info.stem, GetParam().stem);
}

INSTANTIATE_TEST_SUITE_P(Names, ArchiveNames,
                         ::testing::Values(NameCase{"/home/me/photos.tar.gz", ArchiveNameKind::Archive, "photos"},
                                           NameCase{"/d.x/写真.TGZ", ArchiveNameKind::Archive, "写真"},
                                           NameCase{"backup.Tar.Zst", ArchiveNameKind::Archive, "backup"},
                                           NameCase{".7z", ArchiveNameKind::Archive, ""},
                                           NameCase{"a.zip", ArchiveNameKind::NotArchive, ""},
                                           NameCase{"a.lzh", ArchiveNameKind::NotArchive, ""},
                                           NameCase{"a.tar.gz.txt", ArchiveNameKind::NotArchive, ""},
                                           NameCase{"v.part1.rar", ArchiveNameKind::Archive, "v"},
                                           NameCase{"v.part01.rar", ArchiveNameKind::Archive, "v"},
                                           NameCase{"v.PART10.RAR", ArchiveNameKind::LaterVolume, "v"},
                                           NameCase{"old.rar", ArchiveNameKind::Archive, "old"},
                                           NameCase{"old.r00", ArchiveNameKind::LaterVolume, "old"},
                                           NameCase{"old.S12", ArchiveNameKind::LaterVolume, "old"},
                                           NameCase{"set.7z.001", ArchiveNameKind::Archive, "set"},
                                           NameCase{"set.zip.002", ArchiveNameKind::LaterVolume, "set"},
                                           NameCase{"data.001", ArchiveNameKind::Archive, "data"},
                                           NameCase{"data.000", ArchiveNameKind::NotArchive, ""},
                                           NameCase{"report.2024", ArchiveNameKind::NotArchive, ""}));

struct VolumeCase {
    const char* path;
    const char* first;
    const char* next;  // "" for none
};

class VolumeNames : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(VolumeNames, FirstAndNext)
{
    EXPECT_EQ(unarc::firstVolumePath(GetParam().path), GetParam().first);
    EXPECT_EQ(unarc::nextVolumePath(GetParam().path).value_or(""), GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(Volumes, VolumeNames,
                         ::testing::Values(VolumeCase{"/d/a.part3.rar", "/d/a.part1.rar", "/d/a.part4.rar"},
                                           VolumeCase{"a.part09.rar", "a.part01.rar", "a.part10.rar"},
                                           VolumeCase{"a.part9.rar", "a.part1.rar", "a.part10.rar"},
                                           VolumeCase{"A.RAR", "A.RAR", "A.R00"}, VolumeCase{"a.r99", "a.rar", "a.s00"},
                                           VolumeCase{"a.s99", "a.rar", ""},
                                           VolumeCase{"a.7z.999", "a.7z.001", "a.7z.1000"},
                                           VolumeCase{"a.7z.1000", "a.7z.0001", "a.7z.1001"},
                                           VolumeCase{"a.tar.gz", "a.tar.gz", ""}));

// Names without a Unicode mark, as old Japanese tools stored them: CP932 when they decode as
// such (a 0x5C second byte stays inside its character), else Latin-1.
struct LegacyName {
    const char* name;
    int format;  // 0: a hand-made RAR 4 archive
    std::string stored;
    std::string extracted;
};

class LegacyNames : public ::testing::TestWithParam<LegacyName> {};

TEST_P(LegacyNames, DecodeAsCp932WhenTheyCan)
{
    const LegacyName& c = GetParam();
    TempDir temp;
    if (c.format == 0)
        writeFile(temp.path() / "legacy", storedRar4(c.stored, "data"));
    else
        ASSERT_EQ(writeCrafted(temp.path() / "legacy", c.format, {{c.stored, S_IFREG, "data"}}), "");
    const ArcResult r = extractWith(temp.path() / "legacy", temp.path() / "out");
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(readFile(temp.path() / "out" / c.extracted), "data");
}

// 表示\ソフト.txt in CP932: 表 and ソ end in 0x5C.
const std::string kCp932Folder = "\x95\x5C\x8E\xA6";
const std::string kCp932File = "\x83\x5C\x83\x74\x83\x67.txt";

INSTANTIATE_TEST_SUITE_P(
    Names, LegacyNames,
    ::testing::Values(
        LegacyName{"ustar_cp932", ARCHIVE_FORMAT_TAR_USTAR, kCp932Folder + "/" + kCp932File, "表示/ソフト.txt"},
        LegacyName{"cpio_cp932", ARCHIVE_FORMAT_CPIO_SVR4_NOCRC, kCp932Folder + "/" + kCp932File, "表示/ソフト.txt"},
        LegacyName{"rar4_cp932", 0, kCp932Folder + "\\" + kCp932File, "表示/ソフト.txt"},
        LegacyName{"ustar_latin1", ARCHIVE_FORMAT_TAR_USTAR, "caf\xE9.txt", "café.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

class BadCommands : public ::testing::TestWithParam<const char*> {};

TEST_P(BadCommands, AreRefusedBeforeAnythingIsRead)
{
    const ArcResult r = unarc::runUnarcCommand(GetParam());
    EXPECT_EQ(r.status, ArcStatus::BadCommand) << r.message;
}

INSTANTIATE_TEST_SUITE_P(Commands, BadCommands,
                         ::testing::Values("", "-n", "x \"a.7z\"", "x -k \"a.7z\" \"d/\"", "x \"a.7z\" \"\"",
                                           "x \"a.7z\" \"d/\" \"b.txt\"", "l \"a.7z\" \"d/\"", "e \"a.7z\" \"d/\""));

}  // namespace
}  // namespace arc::testing
