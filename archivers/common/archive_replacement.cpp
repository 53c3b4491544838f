// The copy-on-write replacement of an archive: new file, copies, fsync, rename, fsync.
#include "common/archive_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace arc {
namespace {

constexpr std::uint64_t kCopyStep = 64u << 20;  // between cancel checks
constexpr std::size_t kBufferSize = 1u << 20;

// Only for unique temporary names: several commands of one process may run at once.
std::atomic<unsigned> temporaryCounter{0};

ArcResult systemFailure(ArcStatus status, const std::string& what, const std::string& path, int error)
{
    return ArcResult::failure(status, what + " " + path + ": " + std::strerror(error), path, error);
}

bool writeAllAt(int fd, const char* data, std::size_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t done = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}

// Copies with positioned reads and writes: the fallback where the kernel cannot copy itself.
bool copyThroughBuffer(int from, std::uint64_t offset, std::uint64_t length, int to, std::uint64_t toOffset)
{
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, kBufferSize)));
    while (length > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
        const ssize_t got = pread(from, buffer.data(), want, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO;  // the file is shorter than its directory said
            return false;
        }
        if (!writeAllAt(to, buffer.data(), static_cast<std::size_t>(got), toOffset))
            return false;
        offset += static_cast<std::uint64_t>(got);
        toOffset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::uint64_t>(got);
    }
    return true;
}

// Copies a range between two files of one file system without passing it through user space:
// a reflink where the file system shares blocks (btrfs, XFS), else an in-kernel copy.
// `tryClone` is cleared once the file system has said it cannot share blocks.
bool copyRange(int from, std::uint64_t offset, std::uint64_t length, int to, std::uint64_t toOffset, bool& tryClone)
{
    struct stat info;
    const std::uint64_t block =
        fstat(to, &info) == 0 && info.st_blksize > 0 ? static_cast<std::uint64_t>(info.st_blksize) : 4096;
    if (tryClone && offset % block == 0 && toOffset % block == 0 && length >= block) {
        file_clone_range clone{};
        clone.src_fd = from;
        clone.src_offset = offset;
        clone.src_length = length - length % block;
        clone.dest_offset = toOffset;
        if (ioctl(to, FICLONERANGE, &clone) == 0) {
            offset += clone.src_length;
            toOffset += clone.src_length;
            length -= clone.src_length;
        } else {
            tryClone = false;
        }
    }
    while (length > 0) {
        auto in = static_cast<off_t>(offset);
        auto out = static_cast<off_t>(toOffset);
        const ssize_t done = copy_file_range(from, &in, to, &out, static_cast<std::size_t>(length), 0);
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL))
            return copyThroughBuffer(from, offset, length, to, toOffset);
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return false;
        }
        offset += static_cast<std::uint64_t>(done);
        toOffset += static_cast<std::uint64_t>(done);
        length -= static_cast<std::uint64_t>(done);
    }
    return true;
}

void splitPath(const std::string& path, std::string& folder, std::string& leaf)
{
    const std::size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    leaf = slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ArchiveReplacement::~ArchiveReplacement()
{
    if (!committed_)
        discard();
    if (newFd_ >= 0)
        close(newFd_);
    if (folderFd_ >= 0)
        close(folderFd_);
}

ArcResult ArchiveReplacement::writeFailure(int error) const
{
    return systemFailure(ArcStatus::WriteFailed, "cannot write the new archive beside", path_, error);
}

ArcResult ArchiveReplacement::begin(const std::string& archivePath, std::chrono::milliseconds lockWait)
{
    ArcResult result = resolveArchivePath(archivePath, path_);
    if (!result.ok())
        return result;
    splitPath(path_, folder_, leaf_);
    if (leaf_.empty())
        return ArcResult::failure(ArcStatus::BadCommand, "not an archive name: " + archivePath, archivePath);
    result = lock_.acquire(path_, lockWait);
    if (!result.ok())
        return result;
    folderFd_ = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0)
        return systemFailure(ArcStatus::WriteFailed, "cannot open the folder", folder_, errno);
    removeStaleFiles();
    return openNewFile();
}

// Hidden new archives (".LEAF.PID-N.tmp") that writers left when they were killed. Holding the
// lock, this writer is the only one that may rename over the archive, so such a file is never
// needed again once its writer's process is gone (a live process may be a writer that began
// when there was no archive yet, which holds no lock). Beside an archive with several links the
// hidden file may be the only complete copy (see copyBackIntoLinkedArchive()): it stays.
void ArchiveReplacement::removeStaleFiles()
{
    if (!hadArchive() || lock_.info().st_nlink > 1)
        return;
    const int listed = dup(folderFd_);
    DIR* folder = listed >= 0 ? fdopendir(listed) : nullptr;
    if (folder == nullptr) {
        if (listed >= 0)
            close(listed);
        return;
    }
    const std::string prefix = "." + leaf_ + ".";
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix) || !name.ends_with(".tmp"))
            continue;
        const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        const std::size_t dash = middle.find('-');
        const auto digits = [](std::string_view text) {
            return !text.empty() && text.size() < 11 && text.find_first_not_of("0123456789") == std::string_view::npos;
        };
        if (dash == std::string_view::npos || !digits(middle.substr(0, dash)) || !digits(middle.substr(dash + 1)))
            continue;
        const long pid = std::strtol(std::string(middle.substr(0, dash)).c_str(), nullptr, 10);
        struct stat info;
        if (pid <= 0 || pid > INT_MAX || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH ||
            fstatat(folderFd_, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        unlinkat(folderFd_, entry->d_name, 0);
    }
    closedir(folder);
}

ArcResult ArchiveReplacement::openNewFile()
{
    // 0666 less the umask, as any new file; an existing archive's mode is copied at commit.
    newFd_ = openat(folderFd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (newFd_ >= 0 && access("/proc/self/fd", X_OK) == 0) {
        unnamed_ = true;
        return ArcResult::success();
    }
    if (newFd_ >= 0) {
        close(newFd_);
        newFd_ = -1;
    }
    std::string name;
    return nameNewFile(name);
}

// A hidden name beside the archive, created exclusively. With an unnamed file open, the name
// is given to it (linkat); otherwise a new named file is created.
ArcResult ArchiveReplacement::nameNewFile(std::string& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%d-%u.tmp", static_cast<int>(getpid()), temporaryCounter.fetch_add(1));
        name = "." + leaf_ + suffix;
        if (unnamed_) {
            const std::string self = "/proc/self/fd/" + std::to_string(newFd_);
            if (linkat(AT_FDCWD, self.c_str(), folderFd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                unnamed_ = false;
                namedTemp_ = name;
                return ArcResult::success();
            }
        } else {
            newFd_ = openat(folderFd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (newFd_ >= 0) {
                namedTemp_ = name;
                return ArcResult::success();
            }
        }
        if (errno != EEXIST)
            return systemFailure(ArcStatus::WriteFailed, "cannot create a temporary file for", path_, errno);
    }
    return systemFailure(ArcStatus::WriteFailed, "cannot create a temporary file for", path_, EEXIST);
}

ArcResult ArchiveReplacement::copyFromOld(std::uint64_t offset, std::uint64_t length, std::uint64_t newOffset,
                                          const Job& job)
{
    while (length > 0) {
        if (job.cancelled())
            return cancelledResult();
        const std::uint64_t step = std::min(length, kCopyStep);
        if (!copyRange(oldFd(), offset, step, newFd_, newOffset, tryClone_))
            return writeFailure(errno);
        // Start writing the copy to disk now, so the fsync before the rename finds most of it done.
        sync_file_range(newFd_, static_cast<off_t>(newOffset), static_cast<off_t>(step), SYNC_FILE_RANGE_WRITE);
        offset += step;
        newOffset += step;
        length -= step;
    }
    return ArcResult::success();
}

ArcResult ArchiveReplacement::commit(const WriteCheckpoint& checkpoint)
{
    auto reached = [&](std::string_view step) {
        if (checkpoint)
            checkpoint(step);
    };
    if (hadArchive()) {
        const struct stat& old = lock_.info();
        if (fchown(newFd_, old.st_uid, old.st_gid) != 0)
            (void)!fchown(newFd_, static_cast<uid_t>(-1), old.st_gid);  // a member of the group may keep it
        if (fchmod(newFd_, old.st_mode & 07777) != 0)
            return systemFailure(ArcStatus::WriteFailed, "cannot set the permissions of the new", path_, errno);
    }
    if (fsync(newFd_) != 0)
        return writeFailure(errno);
    reached("synced");
    if (hadArchive() && lock_.info().st_nlink > 1) {
        std::string hidden = namedTemp_;
        if (hidden.empty()) {
            ArcResult named = nameNewFile(hidden);
            if (!named.ok())
                return named;
        }
        return copyBackIntoLinkedArchive(hidden, checkpoint);
    }
    if (!hadArchive()) {
        // Never replace an archive that another command created meanwhile: its members would be lost.
        int linked;
        if (unnamed_) {
            const std::string self = "/proc/self/fd/" + std::to_string(newFd_);
            linked = linkat(AT_FDCWD, self.c_str(), folderFd_, leaf_.c_str(), AT_SYMLINK_FOLLOW);
        } else {
            linked = renameat2(folderFd_, namedTemp_.c_str(), folderFd_, leaf_.c_str(), RENAME_NOREPLACE);
            // File systems without RENAME_NOREPLACE: a hard link fails on a taken name just the same.
            if (linked != 0 && errno == EINVAL) {
                linked = linkat(folderFd_, namedTemp_.c_str(), folderFd_, leaf_.c_str(), 0);
                if (linked == 0)
                    unlinkat(folderFd_, namedTemp_.c_str(), 0);
            }
        }
        if (linked != 0) {
            if (errno == EEXIST) {
                raced_ = true;
                return ArcResult::failure(ArcStatus::ArchiveInUse, path_ + " was created by another command meanwhile",
                                          path_);
            }
            return systemFailure(ArcStatus::WriteFailed, "cannot create", path_, errno);
        }
    } else {
        if (unnamed_) {
            std::string hidden;
            ArcResult named = nameNewFile(hidden);
            if (!named.ok())
                return named;
            reached("named");
        }
        if (renameat(folderFd_, namedTemp_.c_str(), folderFd_, leaf_.c_str()) != 0)
            return systemFailure(ArcStatus::WriteFailed, "cannot replace", path_, errno);
    }
    committed_ = true;
    namedTemp_.clear();
    unnamed_ = false;
    reached("renamed");
    // The new archive is in place whatever happens now: a failure here is no failure of the
    // command, but the rename may not survive a power cut.
    if (fsync(folderFd_) != 0) {
        ArcResult warned;
        warned.message = "warning: the new " + path_ + " is in place, but saving its folder failed (" +
                         std::strerror(errno) + "): a power cut now could bring back the old archive";
        return warned;
    }
    return ArcResult::success();
}

// The shared inode is rewritten from the complete, synced new file; only then does the
// hidden copy go.
ArcResult ArchiveReplacement::copyBackIntoLinkedArchive(const std::string& hiddenName,
                                                        const WriteCheckpoint& checkpoint)
{
    struct stat info;
    if (fstat(newFd_, &info) != 0)
        return writeFailure(errno);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const int archive = lock_.fd();
    if (fsync(folderFd_) != 0)
        return systemFailure(ArcStatus::WriteFailed, "cannot save the folder of", path_, errno);
    committed_ = true;  // from here on the hidden file is the one complete copy until the end
    bool tryClone = true;
    if (!copyRange(newFd_, 0, size, archive, 0, tryClone) || ftruncate(archive, static_cast<off_t>(size)) != 0 ||
        fsync(archive) != 0)
        return systemFailure(ArcStatus::WriteFailed,
                             "could not finish rewriting the hard-linked archive; the new archive is kept as " +
                                 folder_ + "/" + hiddenName + " beside",
                             path_, errno);
    if (checkpoint)
        checkpoint("copied back");
    unlinkat(folderFd_, hiddenName.c_str(), 0);
    namedTemp_.clear();
    fsync(folderFd_);
    return ArcResult::success();
}

void ArchiveReplacement::discard()
{
    if (!namedTemp_.empty() && folderFd_ >= 0)
        unlinkat(folderFd_, namedTemp_.c_str(), 0);
    namedTemp_.clear();
}

}  // namespace arc
