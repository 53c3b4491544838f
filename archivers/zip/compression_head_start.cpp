// Offers within the head start's bounds become the same whole-file jobs the writer submits.
#include "zip/compression_head_start.h"

#include <algorithm>
#include <thread>

namespace arc::zip {

void CompressionHeadStart::offer(const SourceEntry& entry)
{
    if (closed_)
        return;
    const std::uint64_t size = entry.isDirectory ? 0 : entry.size;
    if (size > settings_.wholeMemberLimit || bytes_ + size > settings_.inputBudget || offered_.size() == kMaxOffered) {
        closed_ = true;
        return;
    }
    offered_.push_back({entry.diskPath, entry.isDirectory, size});
    bytes_ += size;
    // A command that names one file starts no threads: the writer compresses it on its own.
    if (offered_.size() < 2)
        return;
    if (!pool_) {
        const unsigned threads =
            settings_.threads != 0 ? settings_.threads : std::max(1u, std::thread::hardware_concurrency());
        const int level = settings_.level;
        pool_ = std::make_unique<CompressionPool>(threads, [level] { return std::make_unique<WorkerContext>(level); });
        submit(offered_.front());
    }
    submit(offered_.back());
}

void CompressionHeadStart::submit(const Offered& entry)
{
    if (entry.isDirectory) {
        pool_->submit([](WorkerContext&) { return UnitResult{}; });
        return;
    }
    pool_->submit(wholeFileJob(entry.diskPath, settings_.wholeMemberLimit, settings_.level, &job_));
}

std::unique_ptr<CompressionPool> CompressionHeadStart::takePool()
{
    closed_ = true;
    return std::move(pool_);
}

}  // namespace arc::zip
