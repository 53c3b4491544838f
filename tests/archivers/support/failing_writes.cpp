// write() and fsync() interposed: the C library's own, until a test asks for failures.
// Exported, so that the shared libraries call them too.
#include "failing_writes.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace arc::testing {
namespace {

std::atomic<bool> armed{false};
std::atomic<std::size_t> remaining{0};
std::atomic<int> failure{0};
std::atomic<int> folderSyncFailure{0};

using WriteFunction = ssize_t (*)(int, const void*, std::size_t);

WriteFunction realWrite()
{
    static const auto function = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
    return function;
}

bool regularFile(int fd)
{
    struct stat info;
    return fd > STDERR_FILENO && fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void failWritesAfter(std::size_t budget, int error)
{
    remaining = budget;
    failure = error;
    armed = true;
}

void stopFailingWrites()
{
    armed = false;
}

void failFolderSyncs(int error)
{
    folderSyncFailure = error;
}

}  // namespace arc::testing

extern "C" __attribute__((visibility("default"))) ssize_t write(int fd, const void* data, std::size_t size)
{
    using namespace arc::testing;
    if (armed && regularFile(fd)) {
        std::size_t allowed = remaining.load();
        if (allowed == 0) {
            armed = false;
            errno = failure;
            return -1;
        }
        if (size > allowed)
            size = allowed;
        remaining -= size;
    }
    return realWrite()(fd, data, size);
}

extern "C" __attribute__((visibility("default"))) int fsync(int fd)
{
    using namespace arc::testing;
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    struct stat info;
    if (const int error = folderSyncFailure; error != 0 && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = error;
        return -1;
    }
    return real(fd);
}
