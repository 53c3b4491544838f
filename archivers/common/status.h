// Result codes shared by the three plug-ins, and how a result reaches the caller's buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
    Internal = 99,
};

// A short English identifier for the code ("crc-mismatch"), stable for scripts and tests.
std::string_view statusName(ArcStatus status);

struct ArcResult {
    ArcStatus status = ArcStatus::Ok;
    std::string message;  // UTF-8, for a person; empty on success

    bool ok() const { return status == ArcStatus::Ok; }
    static ArcResult success() { return {}; }
    static ArcResult failure(ArcStatus status, std::string message) { return {status, std::move(message)}; }
};

// When several entries fail, the run reports the first failure's code and gathers every
// message (one line each), so one bad entry never hides another.
void mergeInto(ArcResult& total, const ArcResult& entry);

// Ends a plug-in call: copies the message into the caller's buffer (NUL-terminated, cut at a
// UTF-8 character boundary, nothing written when the buffer is null or its size 0) and
// returns the numeric code.
int deliverResult(const ArcResult& result, char* output, std::uint32_t outputSize);

}  // namespace arc
