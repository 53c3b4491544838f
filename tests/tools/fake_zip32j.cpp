// A stand-in zip32j whose result is chosen by the command, to test pellum-arc on its own.
#include <cstring>

#include "plugins/plugin_api.h"

namespace {

int answer(const char* message, int code, char* output, uint32_t outputSize)
{
    if (output != nullptr && outputSize > 0) {
        std::strncpy(output, message, outputSize - 1);
        output[outputSize - 1] = '\0';
    }
    return code;
}

}  // namespace

extern "C" TEMBREL_EXPORT int ZipGetVersion(void)
{
    return 100;
}

// "ok" succeeds quietly, "say" succeeds with a message, "crc" and "silent" fail, and "echo"
// fails with the command itself as the message (proving the string arrives unchanged).
extern "C" TEMBREL_EXPORT int Zip(uintptr_t, const char* command, char* output, uint32_t outputSize)
{
    if (std::strcmp(command, "ok") == 0)
        return answer("", 0, output, outputSize);
    if (std::strcmp(command, "say") == 0)
        return answer("3 files added", 0, output, outputSize);
    if (std::strcmp(command, "crc") == 0)
        return answer("表.txt: data does not match its check value", 7, output, outputSize);
    if (std::strcmp(command, "silent") == 0)
        return answer("", 4, output, outputSize);
    return answer(command, 1, output, outputSize);
}
