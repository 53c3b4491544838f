// The running totals, the cancel flag and the remembered answers of one command.
#include "common/job.h"

namespace arc {

namespace {
constexpr std::uint64_t kReportEveryBytes = 64 * 1024;
}

void Job::setTotals(std::uint64_t bytes, std::uint64_t entries)
{
    report_.jobBytesTotal = bytes;
    report_.entriesTotal = entries;
}

bool Job::announceTotals(std::uint64_t bytes, std::uint64_t entries)
{
    setTotals(bytes, entries);
    entryName_.clear();
    return notify();
}

bool Job::notify()
{
    if (listener_ != nullptr && !cancelled()) {
        report_.entryName = entryName_;
        if (!listener_->progress(report_))
            cancel();
    }
    return !cancelled();
}

bool Job::beginEntry(std::string_view name, std::uint64_t entryBytes)
{
    entryName_.assign(name);
    report_.entryBytesDone = 0;
    report_.entryBytesTotal = entryBytes;
    unreportedBytes_ = 0;
    return notify();
}

bool Job::advance(std::uint64_t bytes)
{
    report_.entryBytesDone += bytes;
    report_.jobBytesDone += bytes;
    unreportedBytes_ += bytes;
    if (unreportedBytes_ < kReportEveryBytes)
        return !cancelled();
    unreportedBytes_ = 0;
    return notify();
}

bool Job::endEntry()
{
    ++report_.entriesDone;
    unreportedBytes_ = 0;
    return notify();
}

std::optional<std::string> Job::passphrase(std::string_view archive, std::string_view entry, unsigned attempt)
{
    if (attempt == 1 && passphrase_ && passphraseArchive_ == archive)
        return passphrase_;
    if (listener_ == nullptr || cancelled())
        return std::nullopt;
    passphraseArchive_.assign(archive);
    passphrase_ = listener_->passphrase(archive, entry, attempt);
    return passphrase_;
}

OverwriteAnswer Job::exists(const ExistingFile& file)
{
    if (cancelled())
        return OverwriteAnswer::Cancel;
    if (overwriteAll_)
        return *overwriteAll_;
    if (listener_ == nullptr)
        return OverwriteAnswer::Overwrite;
    switch (const OverwriteAnswer answer = listener_->exists(file)) {
    case OverwriteAnswer::OverwriteAll: overwriteAll_ = OverwriteAnswer::Overwrite; return OverwriteAnswer::Overwrite;
    case OverwriteAnswer::SkipAll: overwriteAll_ = OverwriteAnswer::Skip; return OverwriteAnswer::Skip;
    case OverwriteAnswer::Cancel: cancel(); return answer;
    default: return answer;
    }
}

void Job::reportFailures(const ArcResult& result)
{
    if (listener_ == nullptr)
        return;
    for (const EntryFailure& failure : result.allFailures())
        listener_->failure(failure);
}

ArcResult cancelledResult(std::string message)
{
    return ArcResult::failure(ArcStatus::Cancelled, std::move(message));
}

}  // namespace arc
