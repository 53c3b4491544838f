// A stand-in zip32j whose result is chosen by the command, to test pellum-arc on its own.
#include <cstdio>
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

// The callback entry: "pass" answers with the passphrase it is given (code 11 without one);
// "spin:PATH" creates PATH, then reports progress until it is told to stop (code 10).
extern "C" TEMBREL_EXPORT int ZipRun(const char* command, const ArchiverCallbacks* callbacks, char* output,
                                     uint32_t outputSize)
{
    if (std::strcmp(command, "pass") == 0) {
        char passphrase[256] = {};
        if (callbacks->passphrase(callbacks->user, "A.zip", "a.txt", 1, passphrase, sizeof passphrase) !=
            ARCHIVER_CONTINUE)
            return answer("a.txt: a password is required", 11, output, outputSize);
        return answer(passphrase, 0, output, outputSize);
    }
    if (std::strncmp(command, "spin:", 5) == 0) {
        std::fclose(std::fopen(command + 5, "w"));
        ArchiverProgress progress{"a.txt", 0, 100, 0, 100, 0, 1};
        while (callbacks->progress(callbacks->user, &progress) == ARCHIVER_CONTINUE) {}
        return answer("cancelled", 10, output, outputSize);
    }
    return Zip(0, command, output, outputSize);
}
