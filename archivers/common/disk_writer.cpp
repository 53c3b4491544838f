// Writes extracted entries through archive_write_disk: temporary name first, rename on commit.
#include "common/disk_writer.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

#include "common/safe_path.h"

namespace arc {

namespace {

// Modes come from archives, which may be hostile: no set-id or sticky bits ever reach the
// disk. Without ARCHIVE_EXTRACT_PERM the user's umask still applies, as for any new file.
constexpr int kDiskFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                           ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS | ARCHIVE_EXTRACT_SECURE_SYMLINKS;
constexpr std::uint32_t kPermissionMask = 0777;
// libarchive's private ARCHIVE_ERRNO_MISC: the code of failures that are not system errors.
constexpr int kLibarchiveMiscError = -1;

std::string systemError(const std::string& what, const std::string& path, int error)
{
    return what + " " + path + ": " + std::strerror(error);
}

std::string parentOf(std::string_view relativePath)
{
    const std::size_t slash = relativePath.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(relativePath.substr(0, slash));
}

// A hidden name no archive member is likely to use, unique within this process and across
// processes writing into the same folder.
std::string temporaryName()
{
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    return ".tembrel-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(random() & 0xFFFFFFFF) + ".part";
}

// archive_write_disk refuses absolute names (NOABSOLUTEPATHS), so its paths are relative
// to the destination: the working directory is the destination while libarchive runs, and
// goes back to what it was afterwards. libarchive also applies deferred directory times by
// relative name when it is closed, so closing happens under a guard as well.
class WorkingDirectoryGuard {
public:
    WorkingDirectoryGuard(int savedFd, int destinationFd) : savedFd_(savedFd)
    {
        entered_ = fchdir(destinationFd) == 0;
    }
    ~WorkingDirectoryGuard()
    {
        if (entered_ && fchdir(savedFd_) != 0) {
            // Nothing sensible is left to do: the old directory is gone. Stay where we are.
        }
    }
    WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
    WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;
    bool entered() const { return entered_; }

private:
    int savedFd_;
    bool entered_ = false;
};

ArcResult makeDirectories(const std::string& path)
{
    std::string partial;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        partial = path.substr(0, end);
        start = end + 1;
        if (partial.empty())
            continue;
        if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST)
            return ArcResult::failure(ArcStatus::WriteFailed, systemError("cannot create the folder", partial, errno));
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return ArcResult::failure(ArcStatus::WriteFailed, "not a folder: " + path);
    return ArcResult::success();
}

}  // namespace

struct SafeDiskWriter::Impl {
    std::string destination;
    int destinationFd = -1;
    int savedCwdFd = -1;
    archive* disk = nullptr;

    bool fileOpen = false;
    std::string finalPath;      // relative to the destination
    std::string temporaryPath;  // relative to the destination, in the final path's directory

    ~Impl()
    {
        abort();
        if (disk != nullptr) {
            WorkingDirectoryGuard guard(savedCwdFd, destinationFd);
            if (guard.entered())
                archive_write_close(disk);
            archive_write_free(disk);
        }
        if (destinationFd >= 0)
            close(destinationFd);
        if (savedCwdFd >= 0)
            close(savedCwdFd);
    }

    ArcResult libarchiveFailure(const std::string& path) const
    {
        const int error = archive_errno(disk);
        const char* text = archive_error_string(disk);
        std::string message = path + ": " + (text != nullptr ? text : "write failed");
        // libarchive's refusals for "..", absolute names and links carry no system error.
        const bool refused = error == kLibarchiveMiscError || error == 0;
        return ArcResult::failure(refused ? ArcStatus::UnsafeEntry : ArcStatus::WriteFailed, std::move(message));
    }

    ArcResult checkReady(std::string_view relativePath) const
    {
        if (disk == nullptr)
            return ArcResult::failure(ArcStatus::Internal, "the writer is not open");
        if (fileOpen)
            return ArcResult::failure(ArcStatus::Internal, "the previous file was neither committed nor aborted");
        const std::optional<std::string> safe = safeRelativePath(relativePath, false);
        if (!safe || *safe != relativePath)
            return ArcResult::failure(ArcStatus::UnsafeEntry, "unsafe name: " + std::string(relativePath));
        return ArcResult::success();
    }

    ArcResult writeHeader(const std::string& path, mode_t type, std::uint32_t mode, std::int64_t mtime)
    {
        archive_entry* entry = archive_entry_new();
        if (entry == nullptr)
            return ArcResult::failure(ArcStatus::NoMemory, "out of memory");
        archive_entry_set_pathname(entry, path.c_str());
        archive_entry_set_filetype(entry, type);
        archive_entry_set_perm(entry, mode & kPermissionMask);
        if (mtime >= 0)
            archive_entry_set_mtime(entry, static_cast<time_t>(mtime), 0);
        int rc;
        {
            WorkingDirectoryGuard guard(savedCwdFd, destinationFd);
            if (!guard.entered()) {
                archive_entry_free(entry);
                return ArcResult::failure(ArcStatus::WriteFailed, systemError("cannot enter", destination, errno));
            }
            rc = archive_write_header(disk, entry);
        }
        archive_entry_free(entry);
        if (rc < ARCHIVE_WARN)
            return libarchiveFailure(path);
        return ArcResult::success();
    }

    // Closes libarchive's handle on the temporary (applying its time and mode) without
    // touching the final name.
    int finishEntry()
    {
        WorkingDirectoryGuard guard(savedCwdFd, destinationFd);
        return archive_write_finish_entry(disk);
    }

    void abort()
    {
        if (!fileOpen)
            return;
        finishEntry();
        unlinkat(destinationFd, temporaryPath.c_str(), 0);
        fileOpen = false;
    }
};

SafeDiskWriter::SafeDiskWriter(std::string destination, Job* /*job*/) : impl_(std::make_unique<Impl>())
{
    impl_->destination = std::move(destination);
}

SafeDiskWriter::~SafeDiskWriter() = default;

const std::string& SafeDiskWriter::destination() const
{
    return impl_->destination;
}

ArcResult SafeDiskWriter::open()
{
    Impl& d = *impl_;
    if (d.disk != nullptr)
        return ArcResult::failure(ArcStatus::Internal, "the writer is already open");
    if (d.destination.empty())
        return ArcResult::failure(ArcStatus::WriteFailed, "no destination folder");
    if (ArcResult made = makeDirectories(d.destination); !made.ok())
        return made;
    d.destinationFd = ::open(d.destination.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (d.destinationFd < 0)
        return ArcResult::failure(ArcStatus::WriteFailed, systemError("cannot open", d.destination, errno));
    d.savedCwdFd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (d.savedCwdFd < 0)
        return ArcResult::failure(ArcStatus::WriteFailed, systemError("cannot note the working folder", ".", errno));
    d.disk = archive_write_disk_new();
    if (d.disk == nullptr)
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory");
    archive_write_disk_set_options(d.disk, kDiskFlags);
    return ArcResult::success();
}

ArcResult SafeDiskWriter::writeDirectory(std::string_view relativePath, std::uint32_t mode, std::int64_t mtime)
{
    Impl& d = *impl_;
    if (ArcResult ready = d.checkReady(relativePath); !ready.ok())
        return ready;
    const std::string path(relativePath);
    // A file of that name in the way is the user's data; leave it and say so.
    struct stat existing;
    if (fstatat(d.destinationFd, path.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(existing.st_mode))
        return ArcResult::failure(ArcStatus::WriteFailed, "a file is in the way of the folder " + path);
    if (ArcResult header = d.writeHeader(path, AE_IFDIR, mode == 0 ? 0755 : mode, mtime); !header.ok())
        return header;
    if (d.finishEntry() < ARCHIVE_WARN)
        return d.libarchiveFailure(path);
    return ArcResult::success();
}

ArcResult SafeDiskWriter::beginFile(std::string_view relativePath, std::uint32_t mode, std::int64_t mtime)
{
    Impl& d = *impl_;
    if (ArcResult ready = d.checkReady(relativePath); !ready.ok())
        return ready;
    d.finalPath = std::string(relativePath);
    const std::string parent = parentOf(d.finalPath);
    struct stat existing;
    do {
        d.temporaryPath = parent.empty() ? temporaryName() : parent + "/" + temporaryName();
    } while (fstatat(d.destinationFd, d.temporaryPath.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0);
    if (ArcResult header = d.writeHeader(d.temporaryPath, AE_IFREG, mode == 0 ? 0644 : mode, mtime); !header.ok()) {
        // The refusal was about the path; report it under the member's own name.
        for (std::size_t at = header.message.find(d.temporaryPath); at != std::string::npos;
             at = header.message.find(d.temporaryPath, at + d.finalPath.size()))
            header.message.replace(at, d.temporaryPath.size(), d.finalPath);
        unlinkat(d.destinationFd, d.temporaryPath.c_str(), 0);
        return header;
    }
    d.fileOpen = true;
    return ArcResult::success();
}

ArcResult SafeDiskWriter::writeData(const void* data, std::size_t size)
{
    Impl& d = *impl_;
    if (!d.fileOpen)
        return ArcResult::failure(ArcStatus::Internal, "no file is being written");
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        la_ssize_t written;
        {
            WorkingDirectoryGuard guard(d.savedCwdFd, d.destinationFd);
            written = archive_write_data(d.disk, bytes, size);
        }
        if (written <= 0) {
            ArcResult failure = d.libarchiveFailure(d.finalPath);
            failure.status = ArcStatus::WriteFailed;
            return failure;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return ArcResult::success();
}

ArcResult SafeDiskWriter::commitFile()
{
    Impl& d = *impl_;
    if (!d.fileOpen)
        return ArcResult::failure(ArcStatus::Internal, "no file is being written");
    if (d.finishEntry() < ARCHIVE_WARN) {
        ArcResult failure = d.libarchiveFailure(d.finalPath);
        failure.status = ArcStatus::WriteFailed;
        d.fileOpen = false;
        unlinkat(d.destinationFd, d.temporaryPath.c_str(), 0);
        return failure;
    }
    d.fileOpen = false;
    // rename() replaces a file or a link under the final name (the link itself, never its
    // target) in one step. A folder in the way is removed only when empty.
    if (renameat(d.destinationFd, d.temporaryPath.c_str(), d.destinationFd, d.finalPath.c_str()) != 0) {
        int error = errno;
        if ((error == EISDIR || error == ENOTEMPTY || error == EEXIST) &&
            unlinkat(d.destinationFd, d.finalPath.c_str(), AT_REMOVEDIR) == 0 &&
            renameat(d.destinationFd, d.temporaryPath.c_str(), d.destinationFd, d.finalPath.c_str()) == 0)
            return ArcResult::success();
        error = error == EISDIR || error == ENOTEMPTY || error == EEXIST ? EISDIR : error;
        unlinkat(d.destinationFd, d.temporaryPath.c_str(), 0);
        return ArcResult::failure(ArcStatus::WriteFailed, systemError("cannot write", d.finalPath, error));
    }
    return ArcResult::success();
}

ArcResult SafeDiskWriter::writeSymlink(std::string_view relativePath, std::string_view /*target*/, std::int64_t /*mtime*/)
{
    return ArcResult::failure(ArcStatus::UnsafeEntry,
                              "skipped symbolic link \"" + std::string(relativePath) + "\": links are not extracted",
                              std::string(relativePath));
}

void SafeDiskWriter::abortFile()
{
    impl_->abort();
}

ArcResult SafeDiskWriter::finish()
{
    Impl& d = *impl_;
    if (d.disk == nullptr)
        return ArcResult::failure(ArcStatus::Internal, "the writer is not open");
    d.abort();
    int rc;
    {
        WorkingDirectoryGuard guard(d.savedCwdFd, d.destinationFd);
        if (!guard.entered())
            return ArcResult::failure(ArcStatus::WriteFailed, systemError("cannot enter", d.destination, errno));
        rc = archive_write_close(d.disk);
    }
    ArcResult result;
    if (rc < ARCHIVE_WARN) {
        result = d.libarchiveFailure(d.destination);
        result.status = ArcStatus::WriteFailed;
    }
    archive_write_free(d.disk);
    d.disk = nullptr;
    return result;
}

}  // namespace arc
