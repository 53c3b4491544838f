/* The C entry points of the three archiver plug-ins (libunlha32.so, libzip32j.so, libunzip32.so).
 * `owner` is the calling window's native handle (0 for none) and is not used for any window;
 * `command` is a NUL-terminated UTF-8 command string; `output`/`outputSize` receive a UTF-8
 * message (NUL-terminated, cut to fit) when `output` is not null and `outputSize` > 0.
 * The result is 0 for success, otherwise one of the codes of arc::ArcStatus.
 * The version entries return the version times 100 (1.00 -> 100). */
#ifndef TEMBREL_PLUGIN_API_H
#define TEMBREL_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*ArchiverCommandFn)(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
typedef int (*ArchiverVersionFn)(void);

#define TEMBREL_EXPORT __attribute__((visibility("default")))

TEMBREL_EXPORT int Unlha(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
TEMBREL_EXPORT int UnlhaGetVersion(void);
TEMBREL_EXPORT int Zip(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
TEMBREL_EXPORT int ZipGetVersion(void);
TEMBREL_EXPORT int UnZip(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
TEMBREL_EXPORT int UnZipGetVersion(void);

#ifdef __cplusplus
}
#endif

#endif
