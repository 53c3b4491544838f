// The files one extraction has written, grouped by the hard links between them.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace arc::unarc {

// Hard-link entries name an earlier entry; they become hard links only to a file this run wrote
// (or whose old copy the user chose to keep), never to anything else on the disk. Names that
// share one file form a group, so that the cpio "newc" layout, where the last name of a group
// carries the data of all of them, can point every name of the group at that data.
//
// Memory: one record per extracted file.
class ExtractedFiles {
public:
    struct Record {
        std::size_t group = 0;
        bool placed = false;  // written by this run (false: an old file the user kept)
    };

    // A file entry's path, in a group of its own (an earlier record of the same path is dropped).
    void addFile(const std::string& path, std::uint64_t size, bool placed);
    // `path` now names the file of `target`'s group.
    void addLink(const std::string& path, const std::string& target, bool placed);
    // The group's file now holds `size` bytes.
    void setSize(const std::string& path, std::uint64_t size);

    const Record* find(const std::string& path) const;
    std::uint64_t sizeOf(const Record& record) const { return groups_[record.group].size; }
    // Every path that still names `record`'s file.
    std::vector<std::string> namesOf(const Record& record) const;

private:
    struct Group {
        std::uint64_t size = 0;
        std::vector<std::string> names;  // may hold paths that joined another group since
    };
    std::unordered_map<std::string, Record> records_;
    std::vector<Group> groups_;
};

}  // namespace arc::unarc
