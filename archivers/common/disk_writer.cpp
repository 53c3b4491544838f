// Writes extracted entries through folder descriptors: temporary name first, rename on commit.
#include "common/disk_writer.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "common/folder_handles.h"
#include "common/safe_path.h"

namespace arc {

namespace {

// Modes come from archives, which may be hostile: no set-id or sticky bits ever reach the disk.
constexpr std::uint32_t kPermissionMask = 0777;
// Small files collect into one write; larger pieces go straight through.
constexpr std::size_t kWriteBufferSize = 256 * 1024;

ArcResult systemFailure(const std::string& what, const std::string& path, int error)
{
    return ArcResult::failure(ArcStatus::WriteFailed, what + " " + path + ": " + std::strerror(error), path, error);
}

std::string_view parentOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::string_view nameOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, const char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool sameBytes(int parentFd, const char* first, const char* second)
{
    const int a = openat(parentFd, first, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int b = openat(parentFd, second, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool same = a >= 0 && b >= 0;
    std::vector<char> left(64 * 1024), right(64 * 1024);
    while (same) {
        const ssize_t got = read(a, left.data(), left.size());
        if (got <= 0) {
            same = got == 0 && read(b, right.data(), 1) == 0;
            break;
        }
        std::size_t have = 0;
        while (have < static_cast<std::size_t>(got)) {
            const ssize_t more = read(b, right.data() + have, static_cast<std::size_t>(got) - have);
            if (more <= 0)
                break;
            have += static_cast<std::size_t>(more);
        }
        same = have == static_cast<std::size_t>(got) && std::memcmp(left.data(), right.data(), have) == 0;
    }
    if (a >= 0)
        close(a);
    if (b >= 0)
        close(b);
    return same;
}

// Local file systems that report a failed write at write() and never first at close(): there a
// complete anonymous file may get its final name before it is closed (NFS, FUSE, CIFS and the
// like may still refuse at close(), so there it is closed under a hidden name first).
bool closeNeverFails(long fileSystem)
{
    switch (fileSystem) {
    case TMPFS_MAGIC:
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC: return true;
    default: return false;
    }
}

struct FolderEntry {
    std::string path;
    std::uint32_t mode = 0;  // 0: leave as made
    std::int64_t mtime = -1;
    bool made = false;
};

}  // namespace

struct SafeDiskWriter::Impl {
    std::string destination;
    Job* job = nullptr;
    int destinationFd = -1;
    std::unique_ptr<FolderHandles> folders;
    std::uint64_t nameSeed = 0;
    unsigned processId = 0;
    bool noReplaceWorks = true;  // renameat2(RENAME_NOREPLACE), off once the file system refuses it
    bool anonymousWorks = true;  // O_TMPFILE, off once the file system refuses it
    bool emptyPathWorks = true;  // linkat(AT_EMPTY_PATH), off once the kernel refuses it to us
    bool placed = false;         // the last entry reached its final name
    std::vector<FolderEntry> folderEntries;

    // The file being written.
    int fileFd = -1;
    int parentFd = -1;          // held by `folders`; no folder is opened between beginFile and commit
    std::string finalPath;      // relative to the destination
    std::string temporaryName;  // in the final path's folder; empty while the file is anonymous
    std::int64_t fileMtime = -1;
    std::uint64_t fileSize = 0;
    std::vector<char> buffer;

    ~Impl()
    {
        abort();
        folders.reset();
        if (destinationFd >= 0)
            close(destinationFd);
    }

    // A hidden name no archive member is likely to use: unique within this process (the
    // counter) and across processes writing into the same folder (the pid, noted once, and the
    // seed).
    std::string nextTemporaryName()
    {
        static std::atomic<std::uint64_t> counter{0};
        char name[80];
        std::snprintf(name, sizeof name, ".tembrel-%x-%llx-%llx.part", processId,
                      static_cast<unsigned long long>(counter.fetch_add(1, std::memory_order_relaxed)),
                      static_cast<unsigned long long>(nameSeed));
        return name;
    }

    ArcResult checkReady(std::string_view relativePath) const
    {
        if (!folders)
            return ArcResult::failure(ArcStatus::Internal, "the writer is not open");
        if (fileFd >= 0)
            return ArcResult::failure(ArcStatus::Internal, "the previous file was neither committed nor aborted");
        const std::optional<std::string> safe = safeRelativePath(relativePath, false);
        if (!safe || *safe != relativePath)
            return ArcResult::failure(ArcStatus::UnsafeEntry, "unsafe name: " + std::string(relativePath),
                                      std::string(relativePath));
        return ArcResult::success();
    }

    ArcResult openParent(std::string_view relativePath, int& fd)
    {
        FolderHandles::Request request;
        request.path = parentOf(relativePath);
        request.entry = relativePath;
        return folders->open(request, fd);
    }

    // After creating a temporary failed: Ok to try again with another name (that one was taken)
    // or, once, after walking to the folder afresh from the destination (the open one was
    // removed behind our back).
    ArcResult retryable(std::string_view relativePath, int attempt, const char* what)
    {
        const int error = errno;
        if (error == EEXIST && attempt < 100)
            return ArcResult::success();
        if (error == ENOENT && attempt == 0) {
            folders->forget("");  // its open ancestors may be as stale
            return openParent(relativePath, parentFd);
        }
        return systemFailure(what, std::string(relativePath), error);
    }

    // A new file in the folder of the file to write: anonymous where the file system allows,
    // else under a hidden name. False with errno set.
    bool createTemporary(std::uint32_t mode)
    {
        if (anonymousWorks) {
            temporaryName.clear();
            fileFd = openat(parentFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (fileFd >= 0)
                return true;
            // Kernels without O_TMPFILE see O_DIRECTORY (EISDIR); some file systems refuse it.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                // In a folder removed meanwhile the refusal is EPERM, not ENOENT as for a name.
                struct stat folder;
                if (fstat(parentFd, &folder) == 0 && folder.st_nlink == 0)
                    errno = ENOENT;
                return false;
            }
            anonymousWorks = false;
        }
        temporaryName = nextTemporaryName();
        fileFd = openat(parentFd, temporaryName.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, mode);
        return fileFd >= 0;
    }

    // Gives the anonymous file `name` in its folder; EEXIST when the name is taken. Through its
    // descriptor where the kernel lets an unprivileged process do that (Linux 6.10 on), else
    // through /proc, whose path costs a longer look-up.
    bool linkAnonymous(const char* name)
    {
        if (emptyPathWorks) {
            if (linkat(fileFd, "", parentFd, name, AT_EMPTY_PATH) == 0)
                return true;
            if (errno != ENOENT)
                return false;
        }
        const std::string self = "/proc/self/fd/" + std::to_string(fileFd);
        if (linkat(AT_FDCWD, self.c_str(), parentFd, name, AT_SYMLINK_FOLLOW) != 0)
            return false;
        emptyPathWorks = false;  // refused by privilege, since the folder is there
        return true;
    }

    // The complete anonymous file gets a hidden name, from which it is placed as a named
    // temporary is.
    ArcResult nameTemporary()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            temporaryName = nextTemporaryName();
            if (linkAnonymous(temporaryName.c_str()))
                return ArcResult::success();
            if (errno != EEXIST)
                break;
        }
        temporaryName.clear();
        return systemFailure("cannot name the temporary file of", finalPath, errno);
    }

    // Forgets the file being written, whatever state a failure left it in: nothing of it (its
    // temporary, its unwritten bytes, its size) may reach the next file.
    void abort()
    {
        if (fileFd >= 0) {
            close(fileFd);
            fileFd = -1;
            if (!temporaryName.empty())
                unlinkat(parentFd, temporaryName.c_str(), 0);
        }
        buffer.clear();
        fileSize = 0;
        fileMtime = -1;
    }

    // A failed write ends the file at once, so that a caller who goes on without abortFile()
    // gets "no file is being written" rather than a file missing a piece.
    ArcResult writeFailed()
    {
        ArcResult failure = systemFailure("cannot write", finalPath, errno);
        abort();
        return failure;
    }

    ArcResult flush()
    {
        const bool written = buffer.empty() || writeAll(fileFd, buffer.data(), buffer.size());
        buffer.clear();
        return written ? ArcResult::success() : writeFailed();
    }

    ArcResult rename(const std::string& name)
    {
        if (renameat(parentFd, temporaryName.c_str(), parentFd, name.c_str()) != 0)
            return systemFailure("cannot rename a temporary file to", finalPath, errno);
        placed = true;
        return ArcResult::success();
    }

    // Something is under the final name already: decide whether the temporary replaces it.
    ArcResult replaceExisting(const std::string& name, bool isFile)
    {
        struct stat existing;
        if (fstatat(parentFd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? rename(name) : systemFailure("cannot look at", finalPath, errno);
        if (S_ISDIR(existing.st_mode)) {
            // Only an empty folder gives way: removing it loses nothing.
            if (unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0) {
                if (errno != ENOTEMPTY && errno != EEXIST)
                    return systemFailure("cannot remove the folder in the way of", finalPath, errno);
                return ArcResult::failure(ArcStatus::NameClash,
                                          finalPath + ": a folder of that name is in the way of the file", finalPath);
            }
            folders->forget(finalPath);
            return rename(name);
        }
        if (job == nullptr || !S_ISREG(existing.st_mode))
            return rename(name);
        if (isFile && static_cast<std::uint64_t>(existing.st_size) == fileSize &&
            sameBytes(parentFd, name.c_str(), temporaryName.c_str()))
            return rename(name);
        ExistingFile question;
        question.path = finalPath;
        question.existingSize = static_cast<std::uint64_t>(existing.st_size);
        question.existingMtime = existing.st_mtim.tv_sec;
        question.newSize = fileSize;
        question.newMtime = fileMtime;
        switch (job->exists(question)) {
        case OverwriteAnswer::Overwrite:
        case OverwriteAnswer::OverwriteAll: return rename(name);
        case OverwriteAnswer::Skip:
        case OverwriteAnswer::SkipAll: return ArcResult::success();
        case OverwriteAnswer::Cancel: break;
        }
        return ArcResult::failure(ArcStatus::Cancelled, "cancelled before replacing " + finalPath, finalPath);
    }

    // Gives the finished temporary (a file, or a link when !isFile) its final name. With a job,
    // RENAME_NOREPLACE finds out in the same call whether anything was there to ask about.
    ArcResult place(bool isFile)
    {
        const std::string name(nameOf(finalPath));
        ArcResult result;
        placed = false;
        if (job != nullptr && noReplaceWorks &&
            renameat2(parentFd, temporaryName.c_str(), parentFd, name.c_str(), RENAME_NOREPLACE) == 0) {
            placed = true;
            return result;
        }
        if (job != nullptr && noReplaceWorks && errno != EEXIST) {
            if (errno != EINVAL && errno != ENOSYS)
                result = systemFailure("cannot rename a temporary file to", finalPath, errno);
            else
                noReplaceWorks = false;
        }
        if (result.ok()) {
            if (job != nullptr)
                result = replaceExisting(name, isFile);
            else if (renameat(parentFd, temporaryName.c_str(), parentFd, name.c_str()) != 0)
                result = errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST
                             ? replaceExisting(name, isFile)
                             : systemFailure("cannot rename a temporary file to", finalPath, errno);
            else
                placed = true;
        }
        // After a refusal, a Skip or a Cancel the temporary is still there.
        if (!placed)
            unlinkat(parentFd, temporaryName.c_str(), 0);
        return result;
    }

    ArcResult applyFolder(const FolderEntry& entry)
    {
        FolderHandles::Request request;
        request.path = parentOf(entry.path);
        request.create = false;
        request.entry = entry.path;
        int parent = -1;
        if (!folders->open(request, parent).ok())
            return ArcResult::success();  // gone or replaced meanwhile: nothing to set
        const std::string name(nameOf(entry.path));
        // By name in the folder's parent, without following a link: one call for the time
        // and, only where a mode is to be narrowed, one to look first.
        ArcResult result;
        if (entry.made && entry.mode != 0) {
            struct stat info;
            if (fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
                return errno == ENOENT || errno == ENOTDIR
                           ? ArcResult::success()
                           : systemFailure("cannot look at the folder", entry.path, errno);
            if (!S_ISDIR(info.st_mode))
                return ArcResult::success();  // replaced meanwhile: nothing to set
            // The folder was made with more bits than the entry asks for (0777, or its mode
            // with the owner's rwx so that its files could be written): narrow it to the
            // entry's mode, less whatever the umask took at creation.
            if ((info.st_mode & kPermissionMask & ~entry.mode) != 0)
                result = narrowMode(parent, name, entry, info.st_mode & kPermissionMask & entry.mode);
        }
        if (entry.mtime >= 0) {
            const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(entry.mtime), 0}};
            if (utimensat(parent, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0 && errno != ENOENT && result.ok())
                result = systemFailure("cannot set the time of", entry.path, errno);
        }
        return result;
    }

    static ArcResult narrowMode(int parent, const std::string& name, const FolderEntry& entry, mode_t mode)
    {
        const int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return errno == ENOENT || errno == ENOTDIR ? ArcResult::success()
                                                       : systemFailure("cannot open the folder", entry.path, errno);
        ArcResult result;
        if (fchmod(fd, mode) != 0)
            result = systemFailure("cannot set the mode of", entry.path, errno);
        close(fd);
        return result;
    }
};

SafeDiskWriter::SafeDiskWriter(std::string destination, Job* job) : impl_(std::make_unique<Impl>())
{
    impl_->destination = std::move(destination);
    impl_->job = job;
}

SafeDiskWriter::~SafeDiskWriter() = default;

const std::string& SafeDiskWriter::destination() const
{
    return impl_->destination;
}

ArcResult SafeDiskWriter::open()
{
    Impl& d = *impl_;
    if (d.folders)
        return ArcResult::failure(ArcStatus::Internal, "the writer is already open");
    if (d.destination.empty())
        return ArcResult::failure(ArcStatus::WriteFailed, "no destination folder");
    // The destination is the user's choice, so its own path may pass through links.
    for (std::size_t end = d.destination.find('/', 1);; end = d.destination.find('/', end + 1)) {
        const std::string partial = d.destination.substr(0, end);
        if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
            return systemFailure("cannot create the folder", partial, errno);
        if (end == std::string::npos)
            break;
    }
    d.destinationFd = ::open(d.destination.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (d.destinationFd < 0)
        return systemFailure("cannot open the folder", d.destination, errno);
    d.folders = std::make_unique<FolderHandles>(d.destinationFd);
    d.processId = static_cast<unsigned>(getpid());
    // An anonymous file is named through /proc (linkat with AT_EMPTY_PATH needs a privilege).
    d.anonymousWorks = access("/proc/self/fd", X_OK) == 0;
    d.nameSeed = (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
    return ArcResult::success();
}

ArcResult SafeDiskWriter::writeDirectory(std::string_view relativePath, std::uint32_t mode, std::int64_t mtime)
{
    Impl& d = *impl_;
    if (ArcResult ready = d.checkReady(relativePath); !ready.ok())
        return ready;
    mode &= kPermissionMask;
    FolderHandles::Request request;
    request.path = relativePath;
    // The owner keeps full access until finish(), so that the folder's files can be written.
    request.lastMode = mode == 0 ? 0755 : mode | 0700;
    request.replaceLastLink = true;
    request.entry = relativePath;
    int fd = -1;
    if (ArcResult opened = d.folders->open(request, fd); !opened.ok())
        return opened;
    FolderEntry entry{std::string(relativePath), mode, mtime, false};
    entry.made = d.folders->made(entry.path);
    d.folderEntries.push_back(std::move(entry));
    return ArcResult::success();
}

ArcResult SafeDiskWriter::beginFile(std::string_view relativePath, std::uint32_t mode, std::int64_t mtime)
{
    Impl& d = *impl_;
    if (ArcResult ready = d.checkReady(relativePath); !ready.ok())
        return ready;
    if (ArcResult parent = d.openParent(relativePath, d.parentFd); !parent.ok())
        return parent;
    d.finalPath = std::string(relativePath);
    d.fileMtime = mtime;
    d.fileSize = 0;
    mode &= kPermissionMask;
    for (int attempt = 0;; ++attempt) {
        if (d.createTemporary(mode == 0 ? 0644 : mode))
            return ArcResult::success();
        if (ArcResult again = d.retryable(relativePath, attempt, "cannot create a temporary file for"); !again.ok())
            return again;
    }
}

ArcResult SafeDiskWriter::writeData(const void* data, std::size_t size)
{
    Impl& d = *impl_;
    if (d.fileFd < 0)
        return ArcResult::failure(ArcStatus::Internal, "no file is being written");
    if (d.job != nullptr && d.job->cancelled())
        return ArcResult::failure(ArcStatus::Cancelled, "cancelled while writing " + d.finalPath, d.finalPath);
    const auto* bytes = static_cast<const char*>(data);
    d.fileSize += size;
    if (d.buffer.size() + size <= kWriteBufferSize) {
        d.buffer.insert(d.buffer.end(), bytes, bytes + size);
        return ArcResult::success();
    }
    if (ArcResult flushed = d.flush(); !flushed.ok())
        return flushed;
    if (size >= kWriteBufferSize / 2)
        return writeAll(d.fileFd, bytes, size) ? ArcResult::success() : d.writeFailed();
    d.buffer.assign(bytes, bytes + size);
    return ArcResult::success();
}

ArcResult SafeDiskWriter::commitFile()
{
    Impl& d = *impl_;
    d.placed = false;
    if (d.fileFd < 0)
        return ArcResult::failure(ArcStatus::Internal, "no file is being written");
    if (ArcResult flushed = d.flush(); !flushed.ok())
        return flushed;
    ArcResult result;
    if (d.fileMtime >= 0) {
        const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(d.fileMtime), 0}};
        if (futimens(d.fileFd, times) != 0)
            result = systemFailure("cannot set the time of", d.finalPath, errno);
    }
    // A complete anonymous file takes a free final name in one call: linkat never replaces.
    if (result.ok() && d.temporaryName.empty() && closeNeverFails(d.folders->fileSystemOf(d.parentFd))) {
        const std::string name(nameOf(d.finalPath));
        if (d.linkAnonymous(name.c_str())) {
            close(std::exchange(d.fileFd, -1));
            d.placed = true;
            d.abort();
            return result;
        }
        if (errno != EEXIST)
            result = systemFailure("cannot name the file", d.finalPath, errno);
    }
    if (result.ok() && d.temporaryName.empty())
        result = d.nameTemporary();
    // close() is where some file systems (NFS, FUSE) report a failed write.
    const int fd = std::exchange(d.fileFd, -1);
    if (close(fd) != 0 && result.ok())
        result = systemFailure("cannot write", d.finalPath, errno);
    if (result.ok())
        result = d.place(true);
    else if (!d.temporaryName.empty())
        unlinkat(d.parentFd, d.temporaryName.c_str(), 0);
    d.abort();
    return result;
}

ArcResult SafeDiskWriter::writeSymlink(std::string_view relativePath, std::string_view target, std::int64_t mtime)
{
    Impl& d = *impl_;
    d.placed = false;
    if (ArcResult ready = d.checkReady(relativePath); !ready.ok())
        return ready;
    const std::string path(relativePath);
    if (!linkTargetStaysInside(relativePath, target)) {
        std::string shown(target.substr(0, target.find('\0')));
        return ArcResult::failure(ArcStatus::UnsafeEntry,
                                  "skipped symbolic link \"" + path + "\" -> \"" + shown +
                                      "\": its target is not a relative path inside the destination",
                                  path);
    }
    if (ArcResult parent = d.openParent(relativePath, d.parentFd); !parent.ok())
        return parent;
    d.finalPath = path;
    d.fileMtime = mtime;
    d.fileSize = target.size();
    const std::string targetZ(target);
    for (int attempt = 0;; ++attempt) {
        d.temporaryName = d.nextTemporaryName();
        if (symlinkat(targetZ.c_str(), d.parentFd, d.temporaryName.c_str()) == 0)
            break;
        if (ArcResult again = d.retryable(relativePath, attempt, "cannot create the symbolic link"); !again.ok())
            return again;
    }
    if (mtime >= 0) {
        const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(mtime), 0}};
        if (utimensat(d.parentFd, d.temporaryName.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            unlinkat(d.parentFd, d.temporaryName.c_str(), 0);
            return systemFailure("cannot set the time of", path, error);
        }
    }
    return d.place(false);
}

void SafeDiskWriter::abortFile()
{
    impl_->abort();
}

ArcResult SafeDiskWriter::writeHardLink(std::string_view relativePath, std::string_view targetPath,
                                        bool replaceWithoutAsking)
{
    Impl& d = *impl_;
    d.placed = false;
    if (ArcResult ready = d.checkReady(relativePath); !ready.ok())
        return ready;
    if (ArcResult ready = d.checkReady(targetPath); !ready.ok())
        return ready;
    const std::string path(relativePath);
    FolderHandles::Request request;
    request.path = parentOf(targetPath);
    request.create = false;
    request.entry = relativePath;
    int targetFolder = -1;
    if (ArcResult opened = d.folders->open(request, targetFolder); !opened.ok())
        return opened;
    // Its own descriptor: opening the link's folder may close the one the folder table holds.
    const int heldFolder = fcntl(targetFolder, F_DUPFD_CLOEXEC, 0);
    if (heldFolder < 0)
        return systemFailure("cannot open the folder of", std::string(targetPath), errno);
    const std::string targetName(nameOf(targetPath));
    struct stat target;
    ArcResult result;
    if (fstatat(heldFolder, targetName.c_str(), &target, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(target.st_mode))
        result = ArcResult::failure(ArcStatus::UnsafeEntry,
                                    "skipped hard link \"" + path + "\" -> \"" + std::string(targetPath) +
                                        "\": its target is not a file in the destination",
                                    path);
    if (result.ok())
        result = d.openParent(relativePath, d.parentFd);
    for (int attempt = 0; result.ok(); ++attempt) {
        d.temporaryName = d.nextTemporaryName();
        if (linkat(heldFolder, targetName.c_str(), d.parentFd, d.temporaryName.c_str(), 0) == 0)
            break;
        result = d.retryable(relativePath, attempt, "cannot make the hard link");
    }
    close(heldFolder);
    if (!result.ok())
        return result;
    d.finalPath = path;
    d.fileMtime = -1;
    d.fileSize = static_cast<std::uint64_t>(target.st_size);
    Job* job = d.job;
    if (replaceWithoutAsking)
        d.job = nullptr;
    result = d.place(true);
    d.job = job;
    // A rename between two names of one file changes nothing and leaves the temporary behind.
    unlinkat(d.parentFd, d.temporaryName.c_str(), 0);
    return result;
}

bool SafeDiskWriter::lastPlaced() const
{
    return impl_->placed;
}

ArcResult SafeDiskWriter::finish()
{
    Impl& d = *impl_;
    if (!d.folders)
        return ArcResult::failure(ArcStatus::Internal, "the writer is not open");
    d.abort();
    // Deepest first: narrowing a folder's mode must not lock the writer out of its subfolders.
    std::sort(d.folderEntries.begin(), d.folderEntries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.path > b.path; });
    ArcResult total;
    for (const FolderEntry& entry : d.folderEntries) {
        const ArcResult applied = d.applyFolder(entry);
        if (!applied.ok())
            mergeInto(total, applied);
    }
    d.folderEntries.clear();
    d.folders.reset();
    return total;
}

bool destinationFull(const ArcResult& result)
{
    return result.status == ArcStatus::WriteFailed && (result.systemError == ENOSPC || result.systemError == EDQUOT);
}

}  // namespace arc
