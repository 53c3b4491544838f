// What a running command tells its caller and asks of it: progress with cancel, a passphrase,
// whether to replace an existing file, and each failure as it happens.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/status.h"

namespace arc {

struct ProgressReport {
    std::string_view entryName;  // UTF-8, the entry being worked on ("" between entries)
    std::uint64_t entryBytesDone = 0;
    std::uint64_t entryBytesTotal = 0;
    std::uint64_t jobBytesDone = 0;
    std::uint64_t jobBytesTotal = 0;  // 0 while unknown
    std::uint64_t entriesDone = 0;
    std::uint64_t entriesTotal = 0;  // 0 while unknown
};

// An extracted file is about to replace a file that is already there.
struct ExistingFile {
    std::string_view path;  // UTF-8, relative to the destination
    std::uint64_t existingSize = 0;
    std::int64_t existingMtime = 0;  // Unix seconds
    std::uint64_t newSize = 0;
    std::int64_t newMtime = -1;  // Unix seconds, -1 when the entry has none
};

enum class OverwriteAnswer { Overwrite, Skip, OverwriteAll, SkipAll, Cancel };

// The caller's side. Every method has the answer of a caller that does not listen: go on,
// no passphrase, overwrite.
class JobListener {
public:
    virtual ~JobListener() = default;
    // False asks the command to stop.
    virtual bool progress(const ProgressReport& /*report*/) { return true; }
    // The passphrase for an encrypted entry; `attempt` counts from 1 and grows after each wrong
    // one. nullopt gives up: the command then reports PasswordRequired (attempt 1) or
    // WrongPassword, and goes on with the other entries.
    virtual std::optional<std::string> passphrase(std::string_view /*archive*/, std::string_view /*entry*/,
                                                  unsigned /*attempt*/)
    {
        return std::nullopt;
    }
    virtual OverwriteAnswer exists(const ExistingFile& /*file*/) { return OverwriteAnswer::Overwrite; }
    virtual void failure(const EntryFailure& /*failure*/) {}
};

// The engine's side of one command: the listener, the running totals, the cancel flag and
// the answers that hold for the rest of the command ("overwrite all", the archive's passphrase).
//
// Threading: a Job belongs to one command. Its methods are called on the thread that runs the
// command (the one that called the plug-in's entry point), so the listener is never called from
// two threads at once. Only cancelled() and cancel() may be called from any thread: the
// engine's own worker threads poll cancelled() to stop early.
class Job {
public:
    explicit Job(JobListener* listener = nullptr) : listener_(listener) {}
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Whole-job totals, when known (before the first entry, or as soon as they are).
    void setTotals(std::uint64_t bytes, std::uint64_t entries);
    // An extraction's declared totals (0 when unknown), told to the listener once before
    // anything is written: a report without an entry and with nothing done, so that the caller
    // can weigh them against the free space and stop the command before it starts. False when
    // the command is to stop.
    bool announceTotals(std::uint64_t bytes, std::uint64_t entries);

    // An entry starts: tells the listener. False when the command is to stop.
    bool beginEntry(std::string_view name, std::uint64_t entryBytes);
    // `bytes` more of the current entry are done. Calls the listener at least every 64 KiB and
    // costs one addition otherwise. False when the command is to stop.
    bool advance(std::uint64_t bytes);
    // The current entry is done (whether it succeeded or not).
    bool endEntry();

    bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }

    // Asks the listener for an encrypted entry's passphrase. Attempt 1 for an entry of the
    // archive whose passphrase worked before is answered with that one, without asking: the
    // user types it once per archive. The last answer is kept for this archive only.
    std::optional<std::string> passphrase(std::string_view archive, std::string_view entry, unsigned attempt);

    // Asks whether an existing file may be replaced; "all" answers are remembered and returned
    // as Overwrite/Skip without asking again. Cancel also cancels the job.
    OverwriteAnswer exists(const ExistingFile& file);

    // Tells the listener about each failure of `result` (call once per merged result).
    void reportFailures(const ArcResult& result);

    bool listening() const { return listener_ != nullptr; }

private:
    bool notify();

    JobListener* listener_;
    std::atomic<bool> cancelled_{false};
    ProgressReport report_;
    std::string entryName_;
    std::uint64_t unreportedBytes_ = 0;
    std::optional<OverwriteAnswer> overwriteAll_;
    std::string passphraseArchive_;
    std::optional<std::string> passphrase_;
};

// A command's result with Cancelled when the job was cancelled, so a caller that cancelled
// never mistakes a partial run for a finished one.
ArcResult cancelledResult(std::string message = "cancelled");

}  // namespace arc
