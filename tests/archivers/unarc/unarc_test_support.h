// Helpers for the unarc tests: the plug-in, a source tree, tree snapshots, hand-made archives
// written through libarchive's writer, and extraction through the engine with a listener.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/job.h"
#include "peer_tools.h"
#include "plugin_call.h"
#include "temp_dir.h"

namespace arc::testing {

namespace fs = std::filesystem;

inline const Plugin& unarcPlugin()
{
    static Plugin plugin("libunarc32.so", "UnArc");
    return plugin;
}

// Japanese names with 0x5C second bytes in CP932 (表, ソ), an empty file and folder, data of
// several blocks, a symbolic link and a hard link.
void makeSourceTree(const fs::path& folder);

// Relative path -> "d", "f:" + content or "l:" + target; a file with several names ends in
// " =" + the first of them, so hard links are part of the picture. Contents over 64 bytes are
// shown by their size and hash.
std::map<std::string, std::string> snapshot(const fs::path& root);
std::string shortened(const std::string& content);
// The files whose name starts with ".tembrel-": temporaries a run must never leave.
std::vector<std::string> leftovers(const fs::path& root);

// An entry for a hand-made archive; names and link targets are written exactly as given.
struct Crafted {
    std::string name;
    mode_t type = S_IFREG;
    std::string data;
    std::string link;      // symbolic link target
    std::string hardlink;  // when set, a hard link to this name
};

// Writes `entries` with libarchive's writer in `format` (ARCHIVE_FORMAT_*); an empty string on
// success, else libarchive's complaint.
std::string writeCrafted(const fs::path& archive, int format, const std::vector<Crafted>& entries);

// A RAR 4 archive of one stored file whose name is stored as `name`'s bytes, without the
// Unicode form (as WinRAR stores names its code page can hold).
std::string storedRar4(const std::string& name, const std::string& data);

// A listener that answers as told and remembers what it was asked.
struct ScriptedListener : JobListener {
    std::vector<std::string> passphrases;  // given in turn; then nullopt
    std::uint64_t cancelAfterBytes = UINT64_MAX;
    std::vector<std::string> asked;  // "pass:entry" for each question
    std::vector<EntryFailure> failures;

    bool progress(const ProgressReport& report) override { return report.jobBytesDone < cancelAfterBytes; }
    std::optional<std::string> passphrase(std::string_view, std::string_view entry, unsigned attempt) override;
    void failure(const EntryFailure& failure) override { failures.push_back(failure); }
};

// Extracts through the engine as the plug-in does, failures reported to the listener.
ArcResult extractWith(const fs::path& archive, const fs::path& destination, JobListener* listener = nullptr);

// The RAR samples kept beside the source tree (../shared/samples/rar): empty when missing
// outside CI; a failure under CI.
fs::path rarSamples();

}  // namespace arc::testing
