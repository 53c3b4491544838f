// One stream over the volumes of a set, read with pread from one descriptor at a time.
#include "unarc/volume_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "unarc/archive_names.h"

namespace arc::unarc {
namespace {

// Large reads: libarchive asks again for every buffer, and a tree of small entries is read in
// a few hundred calls rather than thousands.
constexpr std::size_t kBufferSize = 1 << 20;

// Opens `path` for reading without waiting on a FIFO or a device, and keeps it only if it is a
// regular file; -1 with errno set otherwise (EINVAL for "not a file").
int openRegularFile(const std::string& path, std::uint64_t& size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISREG(info.st_mode) ? errno : EINVAL;
        ::close(fd);
        errno = error;
        return -1;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return fd;
}

}  // namespace

VolumeSource::~VolumeSource()
{
    for (Volume& volume : volumes_) {
        if (volume.fd >= 0)
            ::close(volume.fd);
    }
}

const std::string& VolumeSource::firstName() const
{
    static const std::string none;
    return volumes_.empty() ? none : volumes_.front().name;
}

ArcResult VolumeSource::open(const std::string& path)
{
    std::uint64_t size = 0;
    const int fd = openRegularFile(path, size);
    if (fd < 0) {
        const int error = errno;
        const std::string why = error == EINVAL ? "not a file" : std::strerror(error);
        return ArcResult::failure(ArcStatus::ArchiveUnreadable, "cannot open " + path + ": " + why, path,
                                  error == EINVAL ? 0 : error);
    }
    volumes_.push_back(Volume{path, path, size, fd});
    totalSize_ = size;
    for (std::optional<std::string> next = nextVolumePath(path); next; next = nextVolumePath(*next)) {
        struct stat info {};
        if (::stat(next->c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            break;
        volumes_.push_back(Volume{*next, *next, static_cast<std::uint64_t>(info.st_size), -1});
        totalSize_ += static_cast<std::uint64_t>(info.st_size);
    }
    return ArcResult::success();
}

ArcResult VolumeSource::adopt(const std::vector<int>& fds, const std::vector<std::string>& names)
{
    for (std::size_t i = 0; i < fds.size(); ++i) {
        struct stat info {};
        if (::fstat(fds[i], &info) != 0 || !S_ISREG(info.st_mode)) {
            const int error = errno;
            for (std::size_t j = i; j < fds.size(); ++j)
                ::close(fds[j]);
            return ArcResult::failure(ArcStatus::ArchiveUnreadable, "cannot read " + names.at(i), names.at(i), error);
        }
        volumes_.push_back(Volume{{}, names.at(i), static_cast<std::uint64_t>(info.st_size), fds[i]});
        totalSize_ += static_cast<std::uint64_t>(info.st_size);
    }
    return ArcResult::success();
}

void VolumeSource::attach(archive* handle)
{
    archive_read_set_read_callback(handle, &VolumeSource::readCallback);
    archive_read_set_skip_callback(handle, &VolumeSource::skipCallback);
    archive_read_set_seek_callback(handle, &VolumeSource::seekCallback);
    archive_read_set_callback_data(handle, this);
}

void VolumeSource::closeCurrent()
{
    Volume& volume = volumes_[current_];
    if (!volume.path.empty() && volume.fd >= 0 && current_ != 0) {
        ::close(volume.fd);
        volume.fd = -1;
    }
}

// The descriptor of volume `index`, opened (and checked against the size it had) on first use.
int VolumeSource::descriptorOf(std::size_t index, archive* handle)
{
    if (index != current_) {
        closeCurrent();
        current_ = index;
    }
    Volume& volume = volumes_[index];
    if (volume.fd >= 0)
        return volume.fd;
    std::uint64_t size = 0;
    volume.fd = openRegularFile(volume.path, size);
    if (volume.fd < 0) {
        fail(handle, index, errno == EINVAL ? 0 : errno, "cannot open the volume " + volume.path);
        return -1;
    }
    if (size != volume.size) {
        fail(handle, index, 0, "the volume " + volume.path + " changed while the archive was read");
        return -1;
    }
    return volume.fd;
}

la_ssize_t VolumeSource::fail(archive* handle, std::size_t index, int error, std::string message)
{
    if (error != 0)
        message += std::string(": ") + std::strerror(error);
    archive_set_error(handle, error != 0 ? error : EIO, "%s", message.c_str());
    readFailure_ = ReadFailure{volumes_[index].name, error, std::move(message)};
    return ARCHIVE_FATAL;
}

la_ssize_t VolumeSource::read(archive* handle, const void** buffer)
{
    std::uint64_t offset = position_;
    std::size_t index = 0;
    while (index < volumes_.size() && offset >= volumes_[index].size) {
        offset -= volumes_[index].size;
        ++index;
    }
    if (index == volumes_.size())
        return 0;
    const int fd = descriptorOf(index, handle);
    if (fd < 0)
        return ARCHIVE_FATAL;
    if (buffer_.empty())
        buffer_.resize(kBufferSize);
    const std::uint64_t wanted = std::min<std::uint64_t>(buffer_.size(), volumes_[index].size - offset);
    ssize_t got;
    do {
        got = ::pread(fd, buffer_.data(), static_cast<std::size_t>(wanted), static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return fail(handle, index, errno, "cannot read " + volumes_[index].name);
    if (got == 0)
        return fail(handle, index, 0, volumes_[index].name + " became shorter while the archive was read");
    position_ += static_cast<std::uint64_t>(got);
    *buffer = buffer_.data();
    return got;
}

la_ssize_t VolumeSource::readCallback(archive* handle, void* self, const void** buffer)
{
    return static_cast<VolumeSource*>(self)->read(handle, buffer);
}

la_int64_t VolumeSource::skipCallback(archive* /*handle*/, void* self, la_int64_t request)
{
    auto& source = *static_cast<VolumeSource*>(self);
    if (request <= 0 || source.position_ >= source.totalSize_)
        return 0;
    const std::uint64_t skipped =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(request), source.totalSize_ - source.position_);
    source.position_ += skipped;
    return static_cast<la_int64_t>(skipped);
}

la_int64_t VolumeSource::seekCallback(archive* /*handle*/, void* self, la_int64_t offset, int whence)
{
    auto& source = *static_cast<VolumeSource*>(self);
    la_int64_t base = 0;
    switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<la_int64_t>(source.position_); break;
    case SEEK_END: base = static_cast<la_int64_t>(source.totalSize_); break;
    default: return ARCHIVE_FATAL;
    }
    if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset))
        return ARCHIVE_FATAL;
    source.position_ = static_cast<std::uint64_t>(base + offset);
    return static_cast<la_int64_t>(source.position_);
}

}  // namespace arc::unarc
