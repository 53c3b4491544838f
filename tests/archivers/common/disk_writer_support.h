// Helpers shared by the SafeDiskWriter tests.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/disk_writer.h"

namespace arc::testing {

// Every path below `root`, relative, sorted; used to prove no temporary is left behind.
inline std::vector<std::string> treeOf(const std::filesystem::path& root)
{
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root))
        names.push_back(item.path().lexically_relative(root).string());
    std::sort(names.begin(), names.end());
    return names;
}

inline ArcResult writeWhole(SafeDiskWriter& writer, const std::string& name, const std::string& content,
                            std::int64_t mtime = 1700000000)
{
    if (ArcResult r = writer.beginFile(name, 0644, mtime); !r.ok())
        return r;
    if (ArcResult r = writer.writeData(content.data(), content.size()); !r.ok()) {
        writer.abortFile();
        return r;
    }
    return writer.commitFile();
}

}  // namespace arc::testing

#include <fstream>

namespace arc::testing {

// The process's umask, read without changing it.
inline unsigned processUmask()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "Umask:") {
            status >> word;
            return static_cast<unsigned>(std::stoul(word, nullptr, 8));
        }
    }
    return 022;
}

}  // namespace arc::testing
