// read() and pread() interposed: the C library's own, except on the one file a test made bad.
// Exported, so that the shared libraries (libarchive) call them too.
#include "failing_reads.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace arc::testing {
namespace {

std::atomic<bool> armed{false};
std::atomic<dev_t> badDevice{0};
std::atomic<ino_t> badInode{0};
std::atomic<std::uint64_t> badOffset{0};
std::atomic<std::uint64_t> badEnd{0};
std::atomic<int> failure{0};

template <typename Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Whether reading `size` bytes at `offset` of `fd` touches the bad part of the bad file.
bool refused(int fd, off_t offset, std::size_t size)
{
    struct stat info;
    if (!armed || size == 0 || fstat(fd, &info) != 0 || info.st_dev != badDevice || info.st_ino != badInode)
        return false;
    if (static_cast<std::uint64_t>(offset) + size <= badOffset || static_cast<std::uint64_t>(offset) >= badEnd)
        return false;
    errno = failure;
    return true;
}

}  // namespace

void failReadsOf(const std::filesystem::path& file, std::uint64_t badFrom, std::uint64_t badSize, int error)
{
    struct stat info {};
    stat(file.c_str(), &info);
    badDevice = info.st_dev;
    badInode = info.st_ino;
    badOffset = badFrom;
    badEnd = badFrom + badSize;
    failure = error;
    armed = true;
}

void stopFailingReads()
{
    armed = false;
}

}  // namespace arc::testing

using namespace arc::testing;

extern "C" __attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, std::size_t size)
{
    static const auto real = next<ssize_t (*)(int, void*, std::size_t)>("read");
    if (armed && refused(fd, lseek(fd, 0, SEEK_CUR), size))
        return -1;
    return real(fd, buffer, size);
}

extern "C" __attribute__((visibility("default"))) ssize_t pread(int fd, void* buffer, std::size_t size, off_t offset)
{
    static const auto real = next<ssize_t (*)(int, void*, std::size_t, off_t)>("pread");
    return refused(fd, offset, size) ? -1 : real(fd, buffer, size, offset);
}

extern "C" __attribute__((visibility("default"))) ssize_t pread64(int fd, void* buffer, std::size_t size, off_t offset)
{
    static const auto real = next<ssize_t (*)(int, void*, std::size_t, off_t)>("pread64");
    return refused(fd, offset, size) ? -1 : real(fd, buffer, size, offset);
}
