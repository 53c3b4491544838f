// Both archive writers under stress: killed at every step, two writers at once, replacement that
// really drops the old bytes, links to the archive, progress and cancel. Each case runs for ZIP
// and for LZH, and peers (unzip, Python's zipfile, bsdtar; lhasa for LZH) judge the result.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <map>
#include <thread>

#include "common/source_tree.h"
#include "failing_io.h"
#include "lzh/archive_writer.h"
#include "lzh/unlha_command.h"
#include "zip/archive_writer.h"
#include "zip/zip_commands.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

enum class Format { Zip, Lzh };

struct Hooks {
    WriteCheckpoint checkpoint;
    Job* job = nullptr;
    std::chrono::milliseconds lockWait{10000};
};

ArcResult addFiles(Format format, const fs::path& archive, const std::vector<fs::path>& files, const Hooks& hooks = {})
{
    std::vector<SourceEntry> entries;
    for (const fs::path& file : files)
        EXPECT_TRUE(collectFile(file.string(), entries).ok()) << file;
    Job localJob;
    Job& job = hooks.job != nullptr ? *hooks.job : localJob;
    if (format == Format::Zip) {
        zip::WriterOptions options;
        options.threads = 2;
        options.checkpoint = hooks.checkpoint;
        options.lockWait = hooks.lockWait;
        return zip::addToArchive(archive.string(), entries, options, job);
    }
    lzh::WriteOptions options;
    options.checkpoint = hooks.checkpoint;
    options.lockWait = hooks.lockWait;
    return lzh::addMembers(archive.string(), entries, options, job);
}

// Every member each peer extracts, by name; a peer that fails to read the archive gives nothing.
std::map<std::string, std::string> extractedBy(const std::string& peer, const fs::path& archive)
{
    const fs::path out = archive.parent_path() / ("out-" + peer);
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string a = shellQuote(archive.string());
    const std::string o = shellQuote(out.string());
    std::string command;
    if (peer == "unzip")
        command = "unzip -tq " + a + " && unzip -q " + a + " -d " + o;
    if (peer == "python3")
        command = "python3 -c 'import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; "
                  "z.extractall(sys.argv[2])' " +
                  a + " " + o;
    if (peer == "bsdtar")
        command = "bsdtar -xf " + a + " -C " + o;
    if (peer == "lhasa")
        command = "cd " + o + " && lhasa tq " + a + " && lhasa xq " + a;
    std::map<std::string, std::string> members;
    if (runShell(command) != 0)
        return members;
    for (const auto& [name, value] : describeTree(out))
        if (value.rfind("f:", 0) == 0)
            members[name] = value.substr(2);
    fs::remove_all(out);
    return members;
}

std::vector<std::string> peersFor(Format format)
{
    return format == Format::Zip ? std::vector<std::string>{"unzip", "python3", "bsdtar"}
                                 : std::vector<std::string>{"lhasa", "bsdtar"};
}

// Names in the folder that are not `keep` and not a source: leftovers of a writer.
std::vector<std::string> leftovers(const fs::path& folder, const std::string& keep)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != keep && name != "src")
            found.push_back(name);
    }
    return found;
}

struct WriterCase {
    Format format;
    bool replace;  // the new files include one of a name already in the archive
    const char* label;
};

class WriterSafety : public ::testing::TestWithParam<WriterCase> {
protected:
    void SetUp() override
    {
        archive = dir.path() / (GetParam().format == Format::Zip ? "a.zip" : "a.lzh");
        oldMembers = {{"old1.txt", textBytes(40000)}, {"old2.bin", randomBytes(600000, 2)}, {"same.txt", "old same\n"}};
        for (const auto& [name, content] : oldMembers)
            writeFile(dir.path() / "src" / "v1" / name, content);
        ASSERT_TRUE(addFiles(format(), archive, {src("v1/old1.txt"), src("v1/old2.bin"), src("v1/same.txt")}).ok());
        before = readFile(archive);
        writeFile(src("v2/new1.bin"), randomBytes(1200000, 5));
        writeFile(src("v2/new2.txt"), textBytes(70000));
        writeFile(src("v2/same.txt"), "new same\n");
        newFiles = {src("v2/new1.bin"), src("v2/new2.txt")};
        if (GetParam().replace)
            newFiles.push_back(src("v2/same.txt"));
    }
    Format format() const { return GetParam().format; }
    fs::path src(const std::string& name) const { return dir.path() / "src" / name; }

    TempDir dir;
    fs::path archive;
    std::map<std::string, std::string> oldMembers;
    std::string before;
    std::vector<fs::path> newFiles;
};

// A kill at each step where the disk state changes: the archive is then the old one, byte for
// byte, or the complete new one, and every peer reads every member it should hold.
TEST_P(WriterSafety, AKillAtAnyStepLeavesTheOldOrTheNewArchive)
{
    for (const std::string& peer : peersFor(format()))
        REQUIRE_PEER(peer);
    std::vector<std::string> steps;
    {
        const fs::path trial = dir.path() / ("trial" + archive.extension().string());
        fs::copy_file(archive, trial);
        Hooks hooks;
        hooks.checkpoint = [&](std::string_view step) { steps.emplace_back(step); };
        ASSERT_TRUE(addFiles(format(), trial, newFiles, hooks).ok());
        fs::remove(trial);
    }
    ASSERT_GE(steps.size(), 5u);
    // Hidden files beside the archive that no writer may take away: a live process's, and one
    // that only starts like a writer's.
    const std::string leaf = archive.filename().string();
    const std::vector<std::string> kept = {"." + leaf + "." + std::to_string(getppid()) + "-7.tmp", "." + leaf + ".x"};
    for (const std::string& name : kept)
        writeFile(dir.path() / name, "not a leftover");
    const auto leftoversOfKilled = [&] {
        std::vector<std::string> found = leftovers(dir.path(), leaf);
        std::erase_if(found, [&](const std::string& name) { return std::count(kept.begin(), kept.end(), name) != 0; });
        return found;
    };
    bool sawOld = false;
    bool sawNew = false;
    for (std::size_t killAt = 0; killAt < steps.size(); ++killAt) {
        SCOPED_TRACE("killed at step " + std::to_string(killAt) + " (" + steps[killAt] + ")");
        writeFile(archive, before);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::size_t reached = 0;
            Hooks hooks;
            hooks.checkpoint = [&](std::string_view) {
                if (reached++ == killAt)
                    raise(SIGKILL);
            };
            addFiles(format(), archive, newFiles, hooks);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        const bool unchanged = readFile(archive) == before;
        sawOld |= unchanged;
        sawNew |= !unchanged;
        std::map<std::string, std::string> expected = oldMembers;
        if (!unchanged) {
            for (const fs::path& file : newFiles)
                expected[file.filename().string()] = readFile(file);
        }
        for (const std::string& peer : peersFor(format()))
            EXPECT_EQ(extractedBy(peer, archive), expected) << peer;
        // Only a kill between naming the new file and the rename can leave it, hidden, beside;
        // the next writer removes it, its process being gone.
        const std::vector<std::string> left = leftoversOfKilled();
        for (const std::string& name : left) {
            EXPECT_EQ(steps[killAt], "named") << name;
            EXPECT_EQ(name.front(), '.') << name;
        }
        if (!left.empty()) {
            ASSERT_TRUE(addFiles(format(), archive, {newFiles[0]}).ok());
            EXPECT_TRUE(leftoversOfKilled().empty());
        }
    }
    EXPECT_TRUE(sawOld && sawNew);
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(dir.path() / name)) << name;
}

// Saving the folder fails after the rename: the new archive is in place, so the command
// succeeds, with a warning that says what failed.
TEST_P(WriterSafety, AFailureAfterTheRenameIsAWarning)
{
    failFolderSyncs(EIO);
    const ArcResult result = addFiles(format(), archive, newFiles);
    failFolderSyncs(0);
    EXPECT_TRUE(result.ok()) << result.message;
    EXPECT_TRUE(result.message.starts_with("warning: ")) << result.message;
    EXPECT_NE(result.message.find(std::strerror(EIO)), std::string::npos) << result.message;
    std::map<std::string, std::string> expected = oldMembers;
    for (const fs::path& file : newFiles)
        expected[file.filename().string()] = readFile(file);
    EXPECT_EQ(extractedBy("bsdtar", archive), expected);
}

TEST_P(WriterSafety, TwoWritersAtOnceBothLand)
{
    std::thread other([&] { EXPECT_TRUE(addFiles(format(), archive, {newFiles[0]}).ok()); });
    EXPECT_TRUE(addFiles(format(), archive, {newFiles[1]}).ok());
    other.join();
    std::map<std::string, std::string> expected = oldMembers;
    for (int i : {0, 1})
        expected[newFiles[i].filename().string()] = readFile(newFiles[i]);
    EXPECT_EQ(extractedBy("bsdtar", archive), expected);
}

TEST_P(WriterSafety, AWriterThatCannotGetTheLockSaysInUseAndChangesNothing)
{
    const int held = open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    Hooks hooks;
    hooks.lockWait = std::chrono::milliseconds(100);
    const ArcResult result = addFiles(format(), archive, newFiles, hooks);
    close(held);
    EXPECT_EQ(result.status, ArcStatus::ArchiveInUse) << result.message;
    EXPECT_TRUE(readFile(archive) == before);
    EXPECT_EQ(leftovers(dir.path(), archive.filename().string()), std::vector<std::string>{});
}

// Progress arrives with totals and each member; cancelling at the first report leaves the
// archive byte-identical (and a new archive is not created).
class Recorder final : public JobListener {
public:
    bool progress(const ProgressReport& report) override
    {
        last = report;
        if (!report.entryName.empty())
            names.emplace_back(report.entryName);
        return !cancelOnFirst;
    }
    bool cancelOnFirst = false;
    ProgressReport last;
    std::vector<std::string> names;
};

TEST_P(WriterSafety, ProgressCountsTheNewMembersAndCancelChangesNothing)
{
    Recorder recorder;
    Job job(&recorder);
    Hooks hooks;
    hooks.job = &job;
    const fs::path copy = dir.path() / ("copy" + archive.extension().string());
    fs::copy_file(archive, copy);
    ASSERT_TRUE(addFiles(format(), copy, newFiles, hooks).ok());
    EXPECT_EQ(recorder.last.entriesTotal, newFiles.size());
    EXPECT_EQ(recorder.last.entriesDone, newFiles.size());
    EXPECT_EQ(recorder.last.jobBytesDone, recorder.last.jobBytesTotal);
    EXPECT_NE(std::find(recorder.names.begin(), recorder.names.end(), "new1.bin"), recorder.names.end());
    fs::remove(copy);

    for (const fs::path& target : {archive, dir.path() / ("fresh" + archive.extension().string())}) {
        Recorder canceller;
        canceller.cancelOnFirst = true;
        Job cancelled(&canceller);
        hooks.job = &cancelled;
        EXPECT_EQ(addFiles(format(), target, newFiles, hooks).status, ArcStatus::Cancelled) << target;
        // A folder command, whose compression began while the folder was listed, too.
        Recorder folderCanceller;
        folderCanceller.cancelOnFirst = true;
        Job folderJob(&folderCanceller);
        const std::string folder = "\"" + target.string() + "\" \"" + (dir.path() / "src").string() + "/\" v2/*.*";
        EXPECT_EQ((format() == Format::Zip ? zip::runZipCommand("-r -q " + folder, folderJob)
                                           : lzh::runUnlhaCommand("a -r " + folder, folderJob))
                      .status,
                  ArcStatus::Cancelled)
            << target;
    }
    EXPECT_TRUE(readFile(archive) == before);
    EXPECT_EQ(leftovers(dir.path(), archive.filename().string()), std::vector<std::string>{});
}

// One large member reports progress while it is being compressed, and a cancel half way
// through it stops the command with nothing changed.
TEST_P(WriterSafety, ALargeMemberReportsProgressAndStopsHalfWay)
{
    std::string text;
    for (std::uint64_t i = 0; text.size() < (24u << 20); ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + " of a large text\n";
    writeFile(src("v3/large.txt"), text);
    struct HalfWay final : JobListener {
        int reportsInsideTheMember = 0;
        bool progress(const ProgressReport& report) override
        {
            if (report.jobBytesDone > 0 && report.jobBytesDone < report.jobBytesTotal)
                ++reportsInsideTheMember;
            return report.jobBytesDone < report.jobBytesTotal / 2;
        }
    } listener;
    Job job(&listener);
    Hooks hooks;
    hooks.job = &job;
    EXPECT_EQ(addFiles(format(), archive, {src("v3/large.txt")}, hooks).status, ArcStatus::Cancelled);
    EXPECT_GT(listener.reportsInsideTheMember, 0);
    EXPECT_TRUE(readFile(archive) == before);
    EXPECT_EQ(leftovers(dir.path(), archive.filename().string()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterSafety,
                         ::testing::Values(WriterCase{Format::Zip, false, "ZipAppend"},
                                           WriterCase{Format::Zip, true, "ZipReplace"},
                                           WriterCase{Format::Lzh, false, "LzhAppend"},
                                           WriterCase{Format::Lzh, true, "LzhReplace"}),
                         [](const auto& info) { return std::string(info.param.label); });

class Replacement : public ::testing::TestWithParam<Format> {
protected:
    TempDir dir;
    fs::path archive() const { return dir.path() / (GetParam() == Format::Zip ? "r.zip" : "r.lzh"); }
};

// Re-adding a file replaces it for good: the archive does not grow with each version, an old
// version's bytes are nowhere in the file, and the archive keeps its permissions.
TEST_P(Replacement, FourReAddsLeaveOneCopyAndNoOldBytes)
{
    const fs::path file = dir.path() / "src" / "big.bin";
    for (int version = 0; version < 4; ++version) {
        writeFile(file, randomBytes(1 << 20, version) + "SECRET-MARKER-" + std::to_string(version) +
                            randomBytes(1 << 20, 9 + version));
        ASSERT_TRUE(addFiles(GetParam(), archive(), {file}).ok());
        if (version == 0)
            fs::permissions(archive(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    EXPECT_EQ(fs::status(archive()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
        << "the new archive keeps the old one's permissions";
    const std::string bytes = readFile(archive());
    EXPECT_LT(bytes.size(), (2u << 20) + 64 * 1024);
    for (int version = 0; version < 3; ++version)
        EXPECT_EQ(bytes.find("SECRET-MARKER-" + std::to_string(version)), std::string::npos) << version;
    EXPECT_NE(bytes.find("SECRET-MARKER-3"), std::string::npos);
}

// The archive named through a symbolic link stays a link to the updated archive; one with two
// hard links stays one file that both names show updated.
TEST_P(Replacement, LinksToTheArchiveSeeTheUpdate)
{
    writeFile(dir.path() / "src" / "a.txt", "a\n");
    writeFile(dir.path() / "src" / "b.txt", "b\n");
    writeFile(dir.path() / "src" / "c.txt", "c\n");
    ASSERT_TRUE(addFiles(GetParam(), archive(), {dir.path() / "src" / "a.txt"}).ok());
    const fs::path symbolic = dir.path() / ("link" + archive().extension().string());
    const fs::path hard = dir.path() / ("hard" + archive().extension().string());
    fs::create_symlink(archive().filename(), symbolic);
    fs::create_hard_link(archive(), hard);
    ASSERT_TRUE(addFiles(GetParam(), symbolic, {dir.path() / "src" / "b.txt"}).ok());
    ASSERT_TRUE(addFiles(GetParam(), hard, {dir.path() / "src" / "c.txt"}).ok());
    EXPECT_TRUE(fs::is_symlink(symbolic));
    EXPECT_EQ(fs::hard_link_count(archive()), 2u);
    EXPECT_TRUE(fs::equivalent(archive(), hard));
    const std::map<std::string, std::string> expected = {{"a.txt", "a\n"}, {"b.txt", "b\n"}, {"c.txt", "c\n"}};
    EXPECT_EQ(extractedBy("bsdtar", archive()), expected);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

// Two commands both creating the archive: the one that finishes second finds the name taken,
// and adds to the archive the first one made instead of replacing it.
TEST_P(Replacement, TwoCommandsCreatingOneArchiveBothLand)
{
    writeFile(dir.path() / "src" / "a.txt", "a\n");
    writeFile(dir.path() / "src" / "b.txt", "b\n");
    std::promise<void> firstReady;
    std::promise<void> secondDone;
    bool paused = false;
    Hooks hooks;
    hooks.checkpoint = [&](std::string_view step) {
        if (step != "synced" || paused)
            return;
        paused = true;
        firstReady.set_value();
        secondDone.get_future().wait();
    };
    ArcResult first;
    std::thread thread([&] { first = addFiles(GetParam(), archive(), {dir.path() / "src" / "a.txt"}, hooks); });
    firstReady.get_future().wait();
    const ArcResult second = addFiles(GetParam(), archive(), {dir.path() / "src" / "b.txt"});
    secondDone.set_value();
    thread.join();
    EXPECT_TRUE(first.ok()) << first.message;
    EXPECT_TRUE(second.ok()) << second.message;
    const std::map<std::string, std::string> expected = {{"a.txt", "a\n"}, {"b.txt", "b\n"}};
    EXPECT_EQ(extractedBy("bsdtar", archive()), expected);
}

INSTANTIATE_TEST_SUITE_P(Writers, Replacement, ::testing::Values(Format::Zip, Format::Lzh),
                         [](const auto& info) { return info.param == Format::Zip ? "Zip" : "Lzh"; });

}  // namespace
}  // namespace arc::testing
