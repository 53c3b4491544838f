// A small worker pool whose results are taken back in the order the work was submitted.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace arc::zip {

// `Context` is per-worker state (compressors), made once per thread by the factory. With
// zero threads every job runs at once on the submitting thread (a one-file call then starts
// no threads at all).
// The submitter bounds the work in flight itself (inFlight()), so memory stays bounded:
// a result waits in the pool only until takeNext() hands it over.
template <typename Context, typename Result> class OrderedPool {
public:
    using Job = std::function<Result(Context&)>;

    OrderedPool(unsigned threads, std::function<std::unique_ptr<Context>()> makeContext)
    {
        if (threads == 0)
            inlineContext_ = makeContext();
        for (unsigned i = 0; i < threads; ++i)
            workers_.emplace_back([this, makeContext] { run(makeContext()); });
    }

    ~OrderedPool()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            queue_.clear();  // abandoned work (after a failure) is not started
        }
        workAvailable_.notify_all();
        for (auto& worker : workers_)
            worker.join();
    }

    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    void submit(Job job)
    {
        if (inlineContext_) {
            std::lock_guard lock(mutex_);
            done_.emplace(nextSubmitted_++, job(*inlineContext_));
            return;
        }
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({nextSubmitted_++, std::move(job)});
        }
        workAvailable_.notify_one();
    }

    std::size_t inFlight() const
    {
        std::lock_guard lock(mutex_);
        return nextSubmitted_ - nextTaken_;
    }

    bool nextReady() const
    {
        std::lock_guard lock(mutex_);
        return done_.count(nextTaken_) != 0;
    }

    // Blocks until the oldest outstanding job is done and returns its result.
    Result takeNext()
    {
        waitForReady(1);
        std::lock_guard lock(mutex_);
        auto node = done_.extract(nextTaken_++);
        return std::move(node.mapped());
    }

    // Blocks until the `count` oldest outstanding jobs are all done (all of them when fewer are
    // outstanding). A submitter that takes results in batches is woken once per batch instead
    // of once per job, which is most of the cost of many small jobs.
    void waitForReady(std::size_t count)
    {
        std::unique_lock lock(mutex_);
        wanted_ = std::min(count, nextSubmitted_ - nextTaken_);
        resultReady_.wait(lock, [this] { return readyLocked() >= wanted_; });
        wanted_ = 0;
    }

private:
    struct Queued {
        std::size_t sequence;
        Job job;
    };

    void run(std::unique_ptr<Context> context)
    {
        for (;;) {
            Queued item;
            {
                std::unique_lock lock(mutex_);
                workAvailable_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                item = std::move(queue_.front());
                queue_.pop_front();
            }
            Result result = item.job(*context);
            bool wake = false;
            {
                std::lock_guard lock(mutex_);
                done_.emplace(item.sequence, std::move(result));
                wake = wanted_ != 0 && item.sequence < nextTaken_ + wanted_ && readyLocked() >= wanted_;
            }
            if (wake)
                resultReady_.notify_one();
        }
    }

    // How many of the oldest jobs are done, counted no further than the submitter waits for.
    std::size_t readyLocked() const
    {
        std::size_t ready = 0;
        for (auto it = done_.begin(); it != done_.end() && it->first == nextTaken_ + ready && ready < wanted_; ++it)
            ++ready;
        return ready;
    }

    mutable std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable resultReady_;
    std::deque<Queued> queue_;
    std::map<std::size_t, Result> done_;
    std::size_t nextSubmitted_ = 0;
    std::size_t nextTaken_ = 0;
    std::size_t wanted_ = 0;  // the submitter sleeps until this many of the oldest are done
    bool stopping_ = false;
    std::vector<std::thread> workers_;
    std::unique_ptr<Context> inlineContext_;
};

}  // namespace arc::zip
