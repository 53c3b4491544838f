// Open descriptors of folders below a destination, reached without following symbolic links.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/status.h"

namespace arc {

// Each folder is reached from the destination's descriptor one component at a time with
// openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW), so a symbolic link anywhere in the
// path (one placed there before the extraction, made by an earlier entry, or swapped in by
// another process meanwhile) is refused instead of followed. Missing folders are made with
// mkdirat (the kernel applies the user's umask).
//
// The descriptors of the folders used last stay open, so writing a tree costs no folder
// look-ups once a file's folder is known: a small table, least recently used first out. A
// path missing from it is walked from its nearest open ancestor.
//
// Not thread-safe: one FolderHandles belongs to one writer.
class FolderHandles {
public:
    // `rootFd` (the destination, not owned) must stay open while this object lives.
    explicit FolderHandles(int rootFd) : rootFd_(rootFd) {}
    ~FolderHandles();
    FolderHandles(const FolderHandles&) = delete;
    FolderHandles& operator=(const FolderHandles&) = delete;

    struct Request {
        std::string_view path;  // a safeRelativePath() result, or "" for the destination
        bool create = true;     // make missing folders
        // For the last component when this call makes it: its permission bits. Folders made on
        // the way get 0777 (less the umask).
        std::uint32_t lastMode = 0777;
        // A symbolic link as the last component is removed and a folder made instead (a folder
        // entry of that name); elsewhere a link is a refusal.
        bool replaceLastLink = false;
        std::string_view entry;  // the entry being written, for messages
    };

    // The folder's descriptor in `fd`, valid until the next open() or forget(). Failures:
    // UnsafeEntry for a symbolic link in the way, NameClash for a file (or other non-folder) in
    // the way, WriteFailed with errno for a system failure.
    ArcResult open(const Request& request, int& fd);

    // The folder at `path` and everything below it are gone or are about to be (removed, or
    // replaced): close their descriptors.
    void forget(std::string_view path);

    // Whether this object made the folder at `path`.
    bool made(const std::string& path) const { return made_.count(path) != 0; }

    // The file system type (statfs's f_type) of a folder open() gave, looked up once per
    // descriptor held; 0 when the system does not say.
    long fileSystemOf(int fd);

private:
    struct Slot {
        std::string path;
        int fd = -1;
        std::uint64_t lastUse = 0;
        long fileSystem = -1;  // -1: not looked up yet
    };

    int find(std::string_view path);
    int keep(std::string path, int fd);
    ArcResult walk(const Request& request, int& fd);
    ArcResult step(int parentFd, std::string_view prefix, std::string_view name, bool last, const Request& request,
                   int& fd);

    static constexpr std::size_t kCapacity = 32;
    int rootFd_;
    long rootFileSystem_ = -1;
    std::vector<Slot> slots_;
    std::uint64_t clock_ = 0;
    std::unordered_set<std::string> made_;
};

}  // namespace arc
