// Result codes shared by the three plug-ins, and how a result reaches the caller's buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace arc {

// The numeric values are the plug-ins' public result codes: callers store and compare them,
// so they never change. 0 is success; each failure has its own code.
enum class ArcStatus : int {
    Ok = 0,
    BadCommand = 1,         // the command string does not fit the plug-in's grammar
    InputMissing = 2,       // a file or folder named for adding does not exist or cannot be read
    ArchiveUnreadable = 3,  // the archive cannot be opened or read (missing, permissions, I/O)
    ArchiveCorrupt = 4,     // the archive's structure is broken (headers, directory, truncation)
    WriteFailed = 5,        // creating, writing or renaming an output file failed
    UnsafeEntry = 6,        // an entry would land outside the destination and was skipped
    CrcMismatch = 7,        // an entry's data did not match its stored check value
    UnsupportedMethod = 8,  // an entry uses a compression method or feature we do not decode
    NoMemory = 9,
    Cancelled = 10,         // the caller asked to stop; nothing half-written was left behind
    PasswordRequired = 11,  // an encrypted entry needs a passphrase and nobody can give one
    WrongPassword = 12,     // the passphrases given did not open an encrypted entry
    ArchiveInUse = 13,      // another command holds the archive for writing
    NameClash = 14,         // a file and a folder want the same name
    SpecialEntry = 15,      // a FIFO, device or socket entry: skipped, never created
    ArchiveItself = 16,     // the archive was named among the files to add: skipped
    Internal = 99,
};

// A short English identifier for the code ("crc-mismatch"), stable for scripts and tests.
std::string_view statusName(ArcStatus status);

// One failed entry or file, for a caller that words failures itself (the desktop program).
struct EntryFailure {
    std::string path;  // UTF-8: the entry's name, or the file's path; empty for the archive as a whole
    ArcStatus reason = ArcStatus::Internal;
    int systemError = 0;  // errno when the system refused, else 0
    std::string message;  // the same failure as an English line
};

struct ArcResult {
    ArcStatus status = ArcStatus::Ok;
    std::string message;  // UTF-8, for a person; empty on success
    std::string path;     // what a single failure is about (see EntryFailure)
    int systemError = 0;
    std::vector<EntryFailure> failures;  // every failure merged into this result, in order

    bool ok() const { return status == ArcStatus::Ok; }
    static ArcResult success() { return {}; }
    static ArcResult failure(ArcStatus status, std::string message, std::string path = {}, int systemError = 0)
    {
        ArcResult result;
        result.status = status;
        result.message = std::move(message);
        result.path = std::move(path);
        result.systemError = systemError;
        return result;
    }
    // Every failure this result stands for: the merged list, or the result itself.
    std::vector<EntryFailure> allFailures() const;
};

// When several entries fail, the run reports the first failure's code and gathers every
// message (one line each) and every structured failure, so one bad entry never hides another.
// A cancellation is the exception: once merged, the total says Cancelled whatever failed first.
void mergeInto(ArcResult& total, const ArcResult& entry);

// Ends a plug-in call: copies the message into the caller's buffer (NUL-terminated; nothing
// written when the buffer is null or its size 0) and returns the numeric code. A message too
// long for the buffer keeps its whole lines as far as they fit and ends with "…" and the count
// of the lines left out ("… (12 more failures)"); a single line too long is cut at a UTF-8
// character boundary and ends with "…".
int deliverResult(const ArcResult& result, char* output, std::uint32_t outputSize);

}  // namespace arc
