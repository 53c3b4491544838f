// Taking the writers' lock on an archive that another writer may replace at any moment.
#include "common/archive_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <thread>

namespace arc {
namespace {

ArcResult systemFailure(ArcStatus status, const std::string& what, const std::string& path, int error)
{
    return ArcResult::failure(status, what + " " + path + ": " + std::strerror(error), path, error);
}

std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}

}  // namespace

ArcResult resolveArchivePath(const std::string& archivePath, std::string& resolved)
{
    std::string path = archivePath;
    // The same bound as the kernel's own for nested links.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link;
        if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            resolved = path;
            return ArcResult::success();
        }
        if (char* real = realpath(path.c_str(), nullptr)) {
            resolved = real;
            free(real);
            return ArcResult::success();
        }
        // A dangling link: follow it one step by hand, to the archive it means to name.
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length < 0)
            return systemFailure(ArcStatus::WriteFailed, "cannot read the link", archivePath, errno);
        target[length] = '\0';
        path = target[0] == '/' ? std::string(target) : directoryOf(path) + target;
    }
    return systemFailure(ArcStatus::WriteFailed, "cannot follow the links of", archivePath, ELOOP);
}

ArchiveLock::~ArchiveLock()
{
    if (fd_ >= 0)
        close(fd_);  // releases the lock
}

ArcResult ArchiveLock::acquire(const std::string& path, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            if (errno == ENOENT)
                return ArcResult::success();
            if (errno == EISDIR)
                return ArcResult::failure(ArcStatus::WriteFailed, path + " is a folder, not an archive", path, EISDIR);
            return systemFailure(ArcStatus::WriteFailed, "cannot write to", path, errno);
        }
        fd_ = fd;
        if (fstat(fd_, &info_) != 0)
            return systemFailure(ArcStatus::WriteFailed, "cannot examine", path, errno);
        if (!S_ISREG(info_.st_mode))
            return ArcResult::failure(ArcStatus::WriteFailed, path + " is not a regular file", path);
        if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return systemFailure(ArcStatus::WriteFailed, "cannot lock", path, errno);
            if (std::chrono::steady_clock::now() >= deadline)
                return ArcResult::failure(ArcStatus::ArchiveInUse,
                                          path + " is being changed by another command; try again later", path);
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
            continue;
        }
        // The previous holder may have renamed a new archive over this one before unlocking.
        struct stat now;
        if (stat(path.c_str(), &now) == 0 && now.st_dev == info_.st_dev && now.st_ino == info_.st_ino)
            return ArcResult::success();
        if (std::chrono::steady_clock::now() >= deadline)
            return ArcResult::failure(ArcStatus::ArchiveInUse,
                                      path + " is being changed by another command; try again later", path);
    }
}

}  // namespace arc
