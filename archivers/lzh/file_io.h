// File access for the archive layer: positioned reads, bounded streams, whole writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "lzh/byte_io.h"
#include "lzh/header_codec.h"

namespace lzh {

// Owns a file descriptor; closes it on destruction.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

class FileAccess final : public RandomAccess {
public:
    explicit FileAccess(int fd) : fd_(fd) {}
    LzhStatus readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size, std::size_t& got) override;
    int error() const { return error_; }  // errno of the last ReadFailed

private:
    int fd_;
    int error_ = 0;
};

// Reads `length` bytes of a file from `offset` with positioned reads (no shared file offset).
class FileRangeSource final : public ByteSource {
public:
    FileRangeSource(int fd, std::uint64_t offset, std::uint64_t length) : fd_(fd), offset_(offset), left_(length) {}
    LzhStatus read(std::uint8_t* buffer, std::size_t capacity, std::size_t& got) override;
    int error() const { return error_; }  // errno of the last ReadFailed

private:
    int fd_;
    std::uint64_t offset_;
    std::uint64_t left_;
    int error_ = 0;
};

// Writes all of `size` bytes at the file's current offset.
LzhStatus writeAll(int fd, const void* data, std::size_t size);
LzhStatus writeAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset);

// Sequential writes to a descriptor as a ByteSink.
class FileSink final : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) {}
    LzhStatus write(const std::uint8_t* data, std::size_t size) override { return writeAll(fd_, data, size); }

private:
    int fd_;
};

}  // namespace lzh
