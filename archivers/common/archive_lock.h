// One writer at a time per archive: an exclusive lock on the archive file itself.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <string>

#include "common/status.h"

namespace arc {

// Where writing to `archivePath` must happen: symbolic links followed to the file they name,
// also when that file does not exist yet (a dangling link names the archive to create), so
// that the archive replaced is the link's target and the link itself stays.
// Fails with WriteFailed on a loop of links.
ArcResult resolveArchivePath(const std::string& archivePath, std::string& resolved);

// The writers' lock: flock(LOCK_EX) on the archive, opened read-write (which is also how a
// read-only archive is refused, with the system's reason). A writer replaces the archive by a
// rename, so a lock taken on a file that was renamed away meanwhile guards nothing: after
// acquiring, the path must still name the locked inode, or the lock is taken again on the file
// that is there now. flock locks belong to the open file, so two commands in one process
// exclude each other as two processes do.
//
// Not thread-safe; one object per command.
class ArchiveLock {
public:
    ArchiveLock() = default;
    ~ArchiveLock();
    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    // `path` must be resolved already. Ok with exists() false when there is no archive yet
    // (nothing to lock: a new archive is linked into place only if the name is still free).
    // Another writer holding the lock longer than `wait` gives ArchiveInUse; a path that is
    // not a regular file, or cannot be opened for writing, gives WriteFailed with errno.
    ArcResult acquire(const std::string& path, std::chrono::milliseconds wait);

    bool exists() const { return fd_ >= 0; }
    int fd() const { return fd_; }  // read-write, positioned reads only
    const struct stat& info() const { return info_; }

private:
    int fd_ = -1;
    struct stat info_ {};
};

}  // namespace arc
