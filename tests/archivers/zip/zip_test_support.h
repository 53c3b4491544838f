// Helpers for the ZIP tests: the two plug-ins, sample trees, tree comparison and a builder for
// hand-made (hostile) archives. Peers, plug-in loading and temporary folders are shared with the
// other archiver suites (tests/archivers/support).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "peer_tools.h"
#include "plugin_call.h"
#include "temp_dir.h"

namespace arc::testing {

namespace fs = std::filesystem;

// libzip32j.so / libunzip32.so from the build's bin directory, each loaded once for the run.
inline const Plugin& zipPlugin()
{
    static Plugin plugin("libzip32j.so", "Zip");
    return plugin;
}
inline const Plugin& unzipPlugin()
{
    static Plugin plugin("libunzip32.so", "UnZip");
    return plugin;
}

inline std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(generator() & 0xFF);
    return out;
}

inline std::string textBytes(std::size_t size)
{
    std::string out;
    for (std::size_t line = 0; out.size() < size; ++line)
        out += "line " + std::to_string(line * 7919 % 10007) + " 表ソ能 text\n";
    out.resize(size);
    return out;
}

// The interoperability tree: Japanese names with 0x5C second bytes in CP932 (表, ソ, 能),
// blanks, empty files and folders, a file over 1 MiB and incompressible data.
inline void makeSampleTree(const fs::path& folder)
{
    writeFile(folder / "readme.txt", "hello\n");
    writeFile(folder / "表示 ソフト" / "能力.txt", textBytes(5000));
    writeFile(folder / "with blank" / "a b c.txt", "blank names\n");
    writeFile(folder / "empty file", "");
    fs::create_directories(folder / "empty folder");
    fs::create_directories(folder / "deep" / "er" / "est");
    writeFile(folder / "deep" / "er" / "big text.log", textBytes(1300000));
    writeFile(folder / "deep" / "random.bin", randomBytes(700000, 7));
}

// Relative path -> "d" for a directory, "f:" + content for a file. Symlinks count as "l".
inline std::map<std::string, std::string> describeTree(const fs::path& root)
{
    std::map<std::string, std::string> out;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator(); ++it) {
        const std::string relative = fs::relative(it->path(), root).string();
        if (it->is_symlink())
            out[relative] = "l";
        else if (it->is_directory())
            out[relative] = "d";
        else
            out[relative] = "f:" + readFile(it->path());
    }
    return out;
}

// Names present in one tree only, or with different type or content; empty when equal.
inline std::string treeDifference(const fs::path& expected, const fs::path& actual)
{
    const auto a = describeTree(expected);
    const auto b = describeTree(actual);
    std::string report;
    for (const auto& [name, value] : a) {
        const auto found = b.find(name);
        if (found == b.end())
            report += "missing: " + name + "\n";
        else if (found->second != value)
            report += "differs: " + name + "\n";
    }
    for (const auto& [name, value] : b)
        if (a.count(name) == 0)
            report += "unexpected: " + name + "\n";
    return report;
}

// Every path below `root`, for checking that nothing appeared where it must not.
inline std::vector<std::string> listTree(const fs::path& root)
{
    std::vector<std::string> out;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); it != fs::recursive_directory_iterator(); ++it)
        out.push_back(fs::relative(it->path(), root).string());
    return out;
}

// A stored member for hand-made archives; everything a hostile archive might lie about.
struct RawMember {
    std::string name;
    std::string data;
    std::uint16_t flags = 0;
    std::uint32_t mode = 0100644;      // Unix mode, high half of the external attributes
    std::optional<std::uint32_t> crc;  // default: the true CRC-32
    std::string centralExtra;
};

// `reverseDirectory` lists the central records in the opposite order of the data.
std::string buildStoredZip(const std::vector<RawMember>& members, bool reverseDirectory = false);
std::uint32_t crcOf(const std::string& data);

}  // namespace arc::testing
