// Modifying an archive by copy-on-write: the new archive is built beside the old one and takes
// its place in one rename, so a crash at any moment leaves one of the two, each complete.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/archive_lock.h"
#include "common/job.h"
#include "common/status.h"

namespace arc {

// Test hook: called at each step where a crash would leave a different state on disk, with a
// name for the step ("old copied", "member written", "synced", "renamed", ...).
using WriteCheckpoint = std::function<void(std::string_view step)>;

// How one modifying command replaces an archive:
//
//   1. begin(): symbolic links resolved, the writers' lock taken (ArchiveLock), and a new file
//      opened in the archive's folder: an unnamed O_TMPFILE where the file system has them
//      (nothing is left behind by a kill), else a hidden ".NAME.XXXXXX.tmp" made with O_EXCL.
//   2. The writer copies what it keeps of the old archive (copyFromOld: reflinks, then
//      copy_file_range, then read/write) and writes the new parts.
//   3. commit(): fsync of the new file, then it takes the archive's name with renameat (a new
//      archive: linked only if the name is still free), then fsync of the folder. The old
//      archive is not touched before the rename; before it, readers see the old archive, after
//      it the new one, and a power cut leaves one of the two, because the new data is on disk
//      before the rename is.
//   Destroying the object without commit() removes the new file: the old archive stays
//   byte-identical. A writer killed after naming its new file and before the rename leaves
//   that hidden file beside the intact archive; the next writer to hold the lock removes such
//   files of writers whose process is gone.
//
// The new file gets the old one's permission bits and, where allowed, its owner and group. An
// archive with more than one hard link cannot be renamed over without splitting the links;
// its new content is instead copied back into the same inode after step 3's fsync, and the
// complete new archive is kept under the hidden name until that copy is on disk. A crash
// during that copy can leave the shared file mixed; the hidden file then holds the result.
//
// Not thread-safe; one object per command.
class ArchiveReplacement {
public:
    ArchiveReplacement() = default;
    ~ArchiveReplacement();
    ArchiveReplacement(const ArchiveReplacement&) = delete;
    ArchiveReplacement& operator=(const ArchiveReplacement&) = delete;

    ArcResult begin(const std::string& archivePath, std::chrono::milliseconds lockWait);

    bool hadArchive() const { return lock_.exists(); }
    int oldFd() const { return lock_.fd(); }
    std::uint64_t oldSize() const { return hadArchive() ? static_cast<std::uint64_t>(lock_.info().st_size) : 0; }
    int newFd() const { return newFd_; }
    const std::string& path() const { return path_; }  // the resolved archive path

    // Appends `length` bytes of the old archive from `offset` to the new file at `newOffset`.
    // Polls the job's cancel flag between large steps.
    ArcResult copyFromOld(std::uint64_t offset, std::uint64_t length, std::uint64_t newOffset, const Job& job);

    // Makes the new file the archive. A new archive whose name was taken meanwhile (another
    // command created it) gives ArchiveInUse with raced() true: the caller starts again and
    // then adds to that archive. What fails once the new archive is in place (saving the
    // folder) is a success with a message that starts with "warning:".
    ArcResult commit(const WriteCheckpoint& checkpoint);
    bool raced() const { return raced_; }

    ArcResult writeFailure(int error) const;

private:
    void removeStaleFiles();
    ArcResult openNewFile();
    ArcResult nameNewFile(std::string& name);
    ArcResult copyBackIntoLinkedArchive(const std::string& hiddenName, const WriteCheckpoint& checkpoint);
    void discard();

    ArchiveLock lock_;
    std::string path_;
    std::string folder_;
    std::string leaf_;
    int folderFd_ = -1;
    int newFd_ = -1;
    bool unnamed_ = false;   // O_TMPFILE: has no name until linked
    std::string namedTemp_;  // the hidden name while the new file has one
    bool committed_ = false;
    bool raced_ = false;
    bool tryClone_ = true;
};

}  // namespace arc
