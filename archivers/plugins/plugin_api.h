/* The C entry points of the four archiver plug-ins (libunlha32.so, libzip32j.so, libunzip32.so, libunarc32.so).
 * `owner` is the calling window's native handle (0 for none) and is not used for any window;
 * `command` is a NUL-terminated UTF-8 command string; `output`/`outputSize` receive a UTF-8
 * message (NUL-terminated) when `output` is not null and `outputSize` > 0. A message too long
 * for the buffer keeps its leading whole lines and ends with "… (N more lines)" (failures
 * for a failed call); a single line too long is cut at a character boundary and ends with
 * "…". The result is one of the ArchiverResult codes below.
 * The version entries return the version times 100 (1.00 -> 100).
 *
 * Pointer lifetimes: the plug-in reads `command` and the callbacks struct only during the call
 * and keeps neither. Every pointer a callback receives (names, the progress, existing-file and
 * failure records) is valid only until that callback returns: copy what you keep. */
#ifndef TEMBREL_PLUGIN_API_H
#define TEMBREL_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Every result an entry point returns. The values are stored and compared by callers, so they
 * never change; the engine's arc::ArcStatus and the desktop's Pack::Code are checked against
 * this list when they are compiled. */
typedef enum ArchiverResult {
    ARCHIVER_OK = 0,
    ARCHIVER_BAD_COMMAND = 1,        /* the command string does not fit the plug-in's grammar */
    ARCHIVER_INPUT_MISSING = 2,      /* a file or folder named for adding is missing or unreadable */
    ARCHIVER_ARCHIVE_UNREADABLE = 3, /* the archive cannot be opened or read (missing, permissions, I/O) */
    ARCHIVER_ARCHIVE_CORRUPT = 4,    /* the archive's structure is broken */
    ARCHIVER_WRITE_FAILED = 5,       /* creating, writing or renaming an output file failed */
    ARCHIVER_UNSAFE_ENTRY = 6,       /* an entry would land outside the destination: skipped */
    ARCHIVER_CRC_MISMATCH = 7,       /* an entry's data did not match its check value */
    ARCHIVER_UNSUPPORTED_METHOD = 8, /* a compression method or feature that is not decoded */
    ARCHIVER_NO_MEMORY = 9,
    ARCHIVER_CANCELLED = 10,         /* the caller asked to stop; nothing half-written is left */
    ARCHIVER_PASSWORD_REQUIRED = 11, /* an encrypted entry needs a passphrase and none was given */
    ARCHIVER_WRONG_PASSWORD = 12,    /* the passphrases given did not open an encrypted entry */
    ARCHIVER_ARCHIVE_IN_USE = 13,    /* another command holds the archive for writing */
    ARCHIVER_NAME_CLASH = 14,        /* a file and a folder want the same name */
    ARCHIVER_SPECIAL_ENTRY = 15,     /* a FIFO, device or socket entry: skipped, never created */
    ARCHIVER_ARCHIVE_ITSELF = 16,    /* the archive was named among the files to add: skipped */
    ARCHIVER_INTERNAL = 99
} ArchiverResult;

/* The passphrase callback's buffer holds this many bytes, the terminating NUL included: a
 * passphrase is at most ARCHIVER_PASSPHRASE_MAX - 1 bytes of UTF-8 (a longer one is cut). */
#define ARCHIVER_PASSPHRASE_MAX 1024

typedef int (*ArchiverCommandFn)(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
typedef int (*ArchiverVersionFn)(void);

/* The second entry point of each plug-in (UnlhaRun, ZipRun, UnZipRun) runs the same command
 * strings with a struct of optional callbacks; the first entry points are this call without
 * callbacks. Every callback is called on the thread that called the entry point, never from
 * two threads at once; any of them may be null. Several commands may run at once on different
 * threads (each with its own callbacks): no plug-in keeps process-wide state. */

/* Answers to `progress` and `passphrase`. Any other value counts as ARCHIVER_CANCEL. */
enum { ARCHIVER_CONTINUE = 0, ARCHIVER_CANCEL = 1 };

/* Answers to `exists`. Any value out of this range counts as ARCHIVER_STOP. */
enum {
    ARCHIVER_OVERWRITE = 0,
    ARCHIVER_SKIP = 1,
    ARCHIVER_OVERWRITE_ALL = 2,
    ARCHIVER_SKIP_ALL = 3,
    ARCHIVER_STOP = 4 /* cancels the whole command */
};

typedef struct ArchiverProgress {
    const char* entryName; /* UTF-8; "" between entries */
    uint64_t entryBytesDone, entryBytesTotal;
    uint64_t jobBytesDone, jobBytesTotal; /* total 0 while unknown */
    uint64_t entriesDone, entriesTotal;   /* total 0 while unknown */
} ArchiverProgress;

typedef struct ArchiverExisting {
    const char* path; /* UTF-8, relative to the destination */
    uint64_t existingSize;
    int64_t existingMtime; /* Unix seconds */
    uint64_t newSize;
    int64_t newMtime; /* Unix seconds, -1 when unknown */
} ArchiverExisting;

typedef struct ArchiverFailure {
    const char* path;    /* UTF-8 entry name or file path; "" for the archive as a whole */
    int reason;          /* an ArchiverResult */
    int systemError;     /* errno, or 0 */
    const char* message; /* the same failure as an English line */
} ArchiverFailure;

typedef struct ArchiverCallbacks {
    uint32_t structSize; /* sizeof(ArchiverCallbacks) as the caller knows it */
    void* user;          /* handed back to every callback */
    /* At every entry and at least every 64 KiB of data: ARCHIVER_CONTINUE or ARCHIVER_CANCEL.
     * Every extracting plug-in calls it first exactly once before anything is written (not even
     * the destination folder is made): entryName "", every count done 0, and the archive's
     * declared totals in jobBytesTotal and entriesTotal (0 where the archive does not tell), so
     * that the caller can weigh them against the destination's free space and cancel first. */
    int (*progress)(void* user, const ArchiverProgress* progress);
    /* Writes a NUL-terminated UTF-8 passphrase into `buffer` (`bufferSize` is
     * ARCHIVER_PASSPHRASE_MAX) and returns ARCHIVER_CONTINUE, or returns ARCHIVER_CANCEL to give
     * up on the entry. `attempt` counts from 1 and grows after each wrong passphrase. */
    int (*passphrase)(void* user, const char* archive, const char* entry, uint32_t attempt, char* buffer,
                      uint32_t bufferSize);
    /* Before an extracted file replaces an existing file with other content: ARCHIVER_OVERWRITE .. ARCHIVER_STOP.
     * Without this callback existing files are overwritten. */
    int (*exists)(void* user, const ArchiverExisting* file);
    /* Each failed entry, once, before the entry point returns. */
    void (*failure)(void* user, const ArchiverFailure* failure);
} ArchiverCallbacks;

typedef int (*ArchiverRunFn)(const char* command, const ArchiverCallbacks* callbacks, char* output,
                             uint32_t outputSize);

#define TEMBREL_EXPORT __attribute__((visibility("default")))

TEMBREL_EXPORT int Unlha(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
TEMBREL_EXPORT int UnlhaGetVersion(void);
TEMBREL_EXPORT int Zip(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
TEMBREL_EXPORT int ZipGetVersion(void);
TEMBREL_EXPORT int UnZip(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
TEMBREL_EXPORT int UnZipGetVersion(void);
TEMBREL_EXPORT int UnlhaRun(const char* command, const ArchiverCallbacks* callbacks, char* output, uint32_t outputSize);
TEMBREL_EXPORT int ZipRun(const char* command, const ArchiverCallbacks* callbacks, char* output, uint32_t outputSize);
TEMBREL_EXPORT int UnZipRun(const char* command, const ArchiverCallbacks* callbacks, char* output, uint32_t outputSize);
/* The fourth plug-in, libunarc32.so, with the same interface as the three above (UnArcRun as
 * their second entry point): it extracts (x) and lists (l) 7z, RAR (multi-volume too), tar.*,
 * cpio, ISO 9660, CAB and xar archives and split .001 sets. ZIP entries of a split set ask
 * through `passphrase`; other formats' encrypted entries fail with code 8. Which file names it
 * takes, and which are later volumes of a set, is arc::unarc::classifyArchiveName()
 * (archivers/unarc/archive_names.h). */
TEMBREL_EXPORT int UnArc(uintptr_t owner, const char* command, char* output, uint32_t outputSize);
TEMBREL_EXPORT int UnArcGetVersion(void);
TEMBREL_EXPORT int UnArcRun(const char* command, const ArchiverCallbacks* callbacks, char* output, uint32_t outputSize);

#ifdef __cplusplus
}
#endif

#endif
