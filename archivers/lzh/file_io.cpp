// POSIX implementations of the archive layer's file access, retrying interrupted calls.
#include "lzh/file_io.h"

#include <cerrno>
#include <unistd.h>

namespace lzh {

FileHandle::~FileHandle()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

LzhStatus FileAccess::readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd_, buffer + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error_ = errno;
            return LzhStatus::ReadFailed;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return LzhStatus::Ok;
}

LzhStatus FileRangeSource::read(std::uint8_t* buffer, std::size_t capacity, std::size_t& got)
{
    got = 0;
    if (left_ == 0)
        return LzhStatus::Ok;
    std::size_t want = capacity < left_ ? capacity : static_cast<std::size_t>(left_);
    FileAccess access(fd_);
    LzhStatus st = access.readAt(offset_, buffer, want, got);
    if (st == LzhStatus::ReadFailed)
        error_ = access.error();
    offset_ += got;
    left_ -= got;
    if (got == 0)
        left_ = 0;  // the file ended early: the decoder sees a short source
    return st;
}

LzhStatus writeAll(int fd, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return LzhStatus::WriteFailed;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return LzhStatus::Ok;
}

LzhStatus writeAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return LzhStatus::WriteFailed;
        p += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return LzhStatus::Ok;
}

}  // namespace lzh
