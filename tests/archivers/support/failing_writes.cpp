// write() interposed: the C library's own, until a test spends its budget of bytes.
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

}  // namespace arc::testing

extern "C" ssize_t write(int fd, const void* data, std::size_t size)
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
