// What the two compressing plug-ins say when they cannot store something: one table for both
// formats, each row a situation, the code it must give and the words that name the cause.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <functional>

#include "common/status.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

const Plugin& lhaPlugin()
{
    static Plugin plugin("libunlha32.so", "Unlha");
    return plugin;
}

struct MessageCase {
    const char* label;
    // Prepares the files under `dir` and returns the items to add (after the archive's name).
    std::function<std::string(const fs::path& dir, const fs::path& archive)> prepare;
    ArcStatus status;
    const char* words;
    const char* stillStored;  // a member that is stored all the same ("" when none)
};

std::string quoted(const fs::path& path)
{
    return "\"" + path.string() + "\"";
}

// An archive that the system refuses to change: immutable for root, who ignores permissions.
void makeReadOnly(const fs::path& archive)
{
    if (geteuid() == 0)
        ASSERT_EQ(runShell("chattr +i " + shellQuote(archive.string())), 0);
    else
        fs::permissions(archive, fs::perms::owner_read);
}

const MessageCase kCases[] = {
    {"ReadOnlyArchive",
     [](const fs::path& dir, const fs::path&) {
         writeFile(dir / "first.txt", "1\n");
         return quoted(dir / "first.txt");
     },
     ArcStatus::WriteFailed, geteuid() == 0 ? "Operation not permitted" : "Permission denied", ""},
    {"TheArchiveItself",
     [](const fs::path& dir, const fs::path& archive) {
         writeFile(dir / "other.txt", "2\n");
         return quoted(archive) + " " + quoted(dir / "other.txt");
     },
     ArcStatus::ArchiveItself, ": the archive itself", "other.txt"},
    {"FileThenFolderOfTheSameName",
     [](const fs::path& dir, const fs::path&) {
         writeFile(dir / "one" / "x", "file x\n");
         writeFile(dir / "two" / "x" / "y", "y\n");
         return quoted(dir / "one" / "x") + " " + quoted(dir / "two" / "x");
     },
     ArcStatus::NameClash, "skipped x/: a file of that name comes first", "x"},
    {"Fifo",
     [](const fs::path& dir, const fs::path&) {
         writeFile(dir / "other.txt", "2\n");
         EXPECT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
         return quoted(dir / "pipe") + " " + quoted(dir / "other.txt");
     },
     ArcStatus::SpecialEntry, "pipe: a FIFO, not a file", "other.txt"},
    {"Socket",
     [](const fs::path& dir, const fs::path&) {
         writeFile(dir / "other.txt", "2\n");
         const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const std::string path = (dir / "sock").string();
         path.copy(address.sun_path, sizeof address.sun_path - 1);
         EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         close(fd);
         return quoted(dir / "sock") + " " + quoted(dir / "other.txt");
     },
     ArcStatus::SpecialEntry, "sock: a socket, not a file", "other.txt"},
};

class WriterMessages : public ::testing::TestWithParam<std::tuple<bool, MessageCase>> {};

TEST_P(WriterMessages, EachFailureNamesItsCause)
{
    const auto& [zip, row] = GetParam();
    TempDir dir;
    const fs::path archive = dir.path() / (zip ? "m.zip" : "m.lzh");
    const std::string prefix = zip ? "-j -q " : "a -n ";
    const Plugin& plugin = zip ? zipPlugin() : lhaPlugin();
    const bool readOnly = std::string(row.label) == "ReadOnlyArchive";
    if (readOnly || std::string(row.label) == "TheArchiveItself") {
        writeFile(dir.path() / "seed.txt", "seed\n");
        ASSERT_EQ(plugin(prefix + quoted(archive) + " " + quoted(dir.path() / "seed.txt")).code, 0);
    }
    const std::string items = row.prepare(dir.path(), archive);
    if (readOnly)
        makeReadOnly(archive);
    const std::string before = readFile(archive);
    const auto result = plugin(prefix + quoted(archive) + " " + items);
    if (readOnly && geteuid() == 0)
        runShell("chattr -i " + shellQuote(archive.string()));
    EXPECT_EQ(result.code, static_cast<int>(row.status)) << result.message;
    EXPECT_NE(result.message.find(row.words), std::string::npos) << result.message;
    if (*row.stillStored != '\0')
        EXPECT_EQ(captureShell("bsdtar -tf " + shellQuote(archive.string()) + " | grep -cx " + row.stillStored), "1\n");
    else
        EXPECT_TRUE(readFile(archive) == before);
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterMessages, ::testing::Combine(::testing::Bool(), ::testing::ValuesIn(kCases)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Zip" : "Lzh") +
                                    std::get<1>(info.param).label;
                         });

}  // namespace
}  // namespace arc::testing
