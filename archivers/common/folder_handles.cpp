// Folder descriptors below the destination: component-wise, no links followed, recently used kept.
#include "common/folder_handles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace arc {

namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string joined(std::string_view prefix, std::string_view name)
{
    std::string path(prefix);
    if (!path.empty())
        path += '/';
    path += name;
    return path;
}

ArcResult systemFailure(const std::string& what, const std::string& path, std::string_view entry, int error)
{
    return ArcResult::failure(ArcStatus::WriteFailed, what + " " + path + ": " + std::strerror(error),
                              std::string(entry), error);
}

}  // namespace

FolderHandles::~FolderHandles()
{
    for (const Slot& slot : slots_)
        close(slot.fd);
}

int FolderHandles::find(std::string_view path)
{
    for (Slot& slot : slots_) {
        if (slot.path == path) {
            slot.lastUse = ++clock_;
            return slot.fd;
        }
    }
    return -1;
}

int FolderHandles::keep(std::string path, int fd)
{
    if (slots_.size() < kCapacity) {
        slots_.push_back(Slot{std::move(path), fd, ++clock_});
        return fd;
    }
    Slot* oldest = &slots_.front();
    for (Slot& slot : slots_) {
        if (slot.lastUse < oldest->lastUse)
            oldest = &slot;
    }
    close(oldest->fd);
    *oldest = Slot{std::move(path), fd, ++clock_};
    return fd;
}

long FolderHandles::fileSystemOf(int fd)
{
    const auto lookUp = [fd](long& type) {
        struct statfs info {};
        if (type < 0)
            type = fstatfs(fd, &info) == 0 ? static_cast<long>(info.f_type) : 0;
        return type;
    };
    if (fd == rootFd_)
        return lookUp(rootFileSystem_);
    for (Slot& slot : slots_) {
        if (slot.fd == fd)
            return lookUp(slot.fileSystem);
    }
    return 0;
}

void FolderHandles::forget(std::string_view path)
{
    for (std::size_t i = 0; i < slots_.size();) {
        const std::string& held = slots_[i].path;
        const bool below =
            held.size() > path.size() && held.compare(0, path.size(), path) == 0 && held[path.size()] == '/';
        if (held == path || below || path.empty()) {
            close(slots_[i].fd);
            slots_[i] = std::move(slots_.back());
            slots_.pop_back();
        } else {
            ++i;
        }
    }
}

// Opens `name` in the folder `parentFd` (whose path is `prefix`), making it when missing.
// Whatever is found is classified only after the open failed, so the usual case costs one call.
ArcResult FolderHandles::step(int parentFd, std::string_view prefix, std::string_view name, bool last,
                              const Request& request, int& fd)
{
    const std::string nameZ(name);
    const std::string path = joined(prefix, name);
    for (int attempt = 0; attempt < 4; ++attempt) {
        fd = openat(parentFd, nameZ.c_str(), kFolderFlags);
        if (fd >= 0)
            return ArcResult::success();
        const int error = errno;
        if (error == ENOENT) {
            if (!request.create)
                return systemFailure("cannot open the folder", path, request.entry, error);
            const mode_t mode = last ? (request.lastMode & 0777) : 0777;
            if (mkdirat(parentFd, nameZ.c_str(), mode) == 0)
                made_.insert(path);
            else if (errno != EEXIST)  // EEXIST: someone else made it meanwhile; open it
                return systemFailure("cannot create the folder", path, request.entry, errno);
            continue;
        }
        if (error != ENOTDIR && error != ELOOP)
            return systemFailure("cannot open the folder", path, request.entry, error);
        struct stat info;
        if (fstatat(parentFd, nameZ.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone meanwhile: try again
        if (S_ISDIR(info.st_mode))
            continue;  // a link was swapped back for a folder meanwhile
        if (!S_ISLNK(info.st_mode)) {
            return ArcResult::failure(ArcStatus::NameClash,
                                      std::string(request.entry) + ": the file " + path + " is in the way of a folder",
                                      std::string(request.entry));
        }
        if (!(last && request.replaceLastLink)) {
            return ArcResult::failure(ArcStatus::UnsafeEntry,
                                      std::string(request.entry) + ": " + path +
                                          " is a symbolic link; nothing is written through it",
                                      std::string(request.entry));
        }
        // A folder entry takes the place of the link itself; the link's target is untouched.
        if (unlinkat(parentFd, nameZ.c_str(), 0) != 0 && errno != ENOENT)
            return systemFailure("cannot remove the link", path, request.entry, errno);
    }
    return ArcResult::failure(ArcStatus::WriteFailed, "the folder " + path + " keeps changing while it is being opened",
                              std::string(request.entry));
}

ArcResult FolderHandles::open(const Request& request, int& fd)
{
    if (request.path.empty()) {
        fd = rootFd_;
        return ArcResult::success();
    }
    if ((fd = find(request.path)) >= 0)
        return ArcResult::success();
    ArcResult result = walk(request, fd);
    // An open ancestor removed behind our back holds no new entries: walk once more from the
    // destination itself.
    if (result.systemError == ENOENT && !slots_.empty()) {
        forget("");
        result = walk(request, fd);
    }
    return result;
}

ArcResult FolderHandles::walk(const Request& request, int& fd)
{
    const std::string_view path = request.path;

    // The nearest ancestor already open, then one component at a time from there.
    std::size_t done = path.size();
    int parentFd = -1;
    while (parentFd < 0) {
        const std::size_t slash = path.rfind('/', done - 1);
        if (slash == std::string_view::npos || slash == 0) {
            done = 0;
            parentFd = rootFd_;
        } else {
            done = slash;
            parentFd = find(path.substr(0, done));
        }
    }
    while (done < path.size()) {
        const std::size_t start = done == 0 ? 0 : done + 1;
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        int childFd = -1;
        if (ArcResult r = step(parentFd, path.substr(0, done), path.substr(start, end - start), end == path.size(),
                               request, childFd);
            !r.ok())
            return r;
        parentFd = keep(std::string(path.substr(0, end)), childFd);
        done = end;
    }
    fd = parentFd;
    return ArcResult::success();
}

}  // namespace arc
