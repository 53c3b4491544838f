// The interposed calls: the C library's own unless a test asked for a failure.
#include "failing_io.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace arc::testing {
namespace {

std::atomic<std::size_t> writeBudget{SIZE_MAX};
std::atomic<int> writeFailure{0};
std::atomic<int> folderSyncFailure{0};
std::atomic<bool> readsFail{false};
std::atomic<dev_t> badDevice{0};
std::atomic<ino_t> badInode{0};
std::atomic<std::uint64_t> badFrom{0};
std::atomic<std::uint64_t> badEnd{0};
std::atomic<int> readFailure{0};

template <typename Function> Function real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool readRefused(int fd, off_t offset, std::size_t size)
{
    struct stat info;
    if (size == 0 || fstat(fd, &info) != 0 || info.st_dev != badDevice || info.st_ino != badInode ||
        static_cast<std::uint64_t>(offset) + size <= badFrom || static_cast<std::uint64_t>(offset) >= badEnd)
        return false;
    errno = readFailure;
    return true;
}

}  // namespace

void failWritesAfter(std::size_t budget, int error)
{
    writeFailure = error;
    writeBudget = budget;
}

void failFolderSyncs(int error)
{
    folderSyncFailure = error;
}

void failReadsOf(const std::filesystem::path& file, std::uint64_t from, std::uint64_t size, int error)
{
    struct stat info {};
    stat(file.c_str(), &info);
    badDevice = info.st_dev;
    badInode = info.st_ino;
    badFrom = from;
    badEnd = from + size;
    readFailure = error;
    readsFail = true;
}

void stopFailingReads()
{
    readsFail = false;
}

}  // namespace arc::testing

using namespace arc::testing;

extern "C" __attribute__((visibility("default"))) ssize_t write(int fd, const void* data, std::size_t size)
{
    static const auto next = real<ssize_t (*)(int, const void*, std::size_t)>("write");
    struct stat info;
    if (const std::size_t budget = writeBudget;
        budget != SIZE_MAX && fd > STDERR_FILENO && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        if (budget == 0) {
            writeBudget = SIZE_MAX;
            errno = writeFailure;
            return -1;
        }
        size = std::min(size, budget);
        writeBudget = budget - size;
    }
    return next(fd, data, size);
}

extern "C" __attribute__((visibility("default"))) int fsync(int fd)
{
    static const auto next = real<int (*)(int)>("fsync");
    struct stat info;
    if (const int error = folderSyncFailure; error != 0 && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = error;
        return -1;
    }
    return next(fd);
}

extern "C" __attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, std::size_t size)
{
    static const auto next = real<ssize_t (*)(int, void*, std::size_t)>("read");
    return readsFail && readRefused(fd, lseek(fd, 0, SEEK_CUR), size) ? -1 : next(fd, buffer, size);
}

extern "C" __attribute__((visibility("default"))) ssize_t pread(int fd, void* buffer, std::size_t size, off_t offset)
{
    static const auto next = real<ssize_t (*)(int, void*, std::size_t, off_t)>("pread");
    return readsFail && readRefused(fd, offset, size) ? -1 : next(fd, buffer, size, offset);
}

extern "C" __attribute__((visibility("default"))) ssize_t pread64(int fd, void* buffer, std::size_t size, off_t offset)
{
    static const auto next = real<ssize_t (*)(int, void*, std::size_t, off_t)>("pread64");
    return readsFail && readRefused(fd, offset, size) ? -1 : next(fd, buffer, size, offset);
}
