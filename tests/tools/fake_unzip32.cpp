// A stand-in unzip32 that announces an archive's declared size, as extraction does before it
// writes: 1 EiB for an archive named huge.zip, 1 byte otherwise.
#include <cstring>

#include "plugins/plugin_api.h"

extern "C" TEMBREL_EXPORT int UnZipGetVersion(void)
{
    return 100;
}

extern "C" TEMBREL_EXPORT int UnZip(uintptr_t, const char*, char*, uint32_t)
{
    return 0;
}

extern "C" TEMBREL_EXPORT int UnZipRun(const char* command, const ArchiverCallbacks* callbacks, char*, uint32_t)
{
    const uint64_t total = std::strstr(command, "huge.zip") != nullptr ? uint64_t{1} << 60 : 1;
    const ArchiverProgress announced{"", 0, 0, 0, total, 0, 1};
    return callbacks->progress(callbacks->user, &announced) == ARCHIVER_CONTINUE ? 0 : 10;
}
