// A worker that decodes the planned members ahead of the writing thread, in order.
#include "zip/member_streamer.h"

#include <algorithm>
#include <utility>

namespace arc::zip {

MemberStreamer::MemberStreamer(const ByteSource& source, std::vector<StreamPlan> plans, const Job& job)
    : source_(source), plans_(std::move(plans)), job_(job)
{
    if (!plans_.empty())
        worker_ = std::thread([this] { work(); });
}

MemberStreamer::~MemberStreamer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

std::vector<unsigned char> MemberStreamer::spare()
{
    std::lock_guard lock(mutex_);
    if (spares_.empty())
        return {};
    std::vector<unsigned char> bytes = std::move(spares_.back());
    spares_.pop_back();
    return bytes;
}

MemberStreamer::Pushed MemberStreamer::push(Block block)
{
    std::unique_lock lock(mutex_);
    const auto abandoned = [&] { return !block.end && block.plan < abandonedBelow_; };
    changed_.wait(lock, [&] { return stopping_ || abandoned() || queuedBytes_ < kQueueBytes || block.end; });
    if (stopping_)
        return Pushed::Stopping;
    if (abandoned())
        return Pushed::Abandoned;
    queuedBytes_ += block.bytes.size();
    queue_.push_back(std::move(block));
    lock.unlock();
    changed_.notify_all();
    return Pushed::Queued;
}

void MemberStreamer::abandonUpTo(std::size_t plan)
{
    {
        std::lock_guard lock(mutex_);
        abandonedBelow_ = std::max(abandonedBelow_, plan + 1);
    }
    changed_.notify_all();
}

MemberStreamer::Block MemberStreamer::pop()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !queue_.empty(); });
    Block block = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= block.bytes.size();
    lock.unlock();
    changed_.notify_all();
    return block;
}

void MemberStreamer::work()
{
    for (std::size_t plan = 0; plan < plans_.size(); ++plan) {
        const StreamPlan& member = plans_[plan];
        Pushed pushed = Pushed::Queued;
        const auto sink = [&](const unsigned char* data, std::size_t size) {
            if (job_.cancelled())
                return false;
            Block block;
            block.plan = plan;
            block.bytes = spare();
            block.bytes.assign(data, data + size);
            pushed = push(std::move(block));
            return pushed == Pushed::Queued;
        };
        Block end;
        end.plan = plan;
        end.end = true;
        end.result = member.method == 0
                         ? copyStoredMember(source_, member.dataOffset, member.size, sink)
                         : inflateDeflateMember(source_, member.dataOffset, member.compressedSize, member.size, sink);
        // A stored member's extent is its compressed size: the two must agree.
        if (member.method == 0 && member.compressedSize != member.size && end.result.status == RawMemberStatus::Ok)
            end.result.status = RawMemberStatus::BadData;
        if (pushed == Pushed::Stopping || push(std::move(end)) == Pushed::Stopping)
            return;
    }
}

MemberStreamer::Taken MemberStreamer::take(std::size_t position,
                                           const std::function<bool(const unsigned char*, std::size_t)>& consume,
                                           RawMemberResult& result)
{
    while (nextPlan_ < plans_.size() && plans_[nextPlan_].position <= position) {
        const std::size_t plan = nextPlan_++;
        const bool wanted = plans_[plan].position == position;
        bool consuming = wanted;
        if (!wanted)
            abandonUpTo(plan);
        for (;;) {
            Block block = pop();
            if (block.end) {
                if (!wanted)
                    break;
                result = block.result;
                if (!consuming && result.status == RawMemberStatus::Ok)
                    result.status = RawMemberStatus::Stopped;
                return Taken::Decoded;
            }
            if (consuming && !consume(block.bytes.data(), block.bytes.size())) {
                consuming = false;
                abandonUpTo(plan);
            }
            std::lock_guard lock(mutex_);
            spares_.push_back(std::move(block.bytes));
        }
    }
    return Taken::NotPlanned;
}

}  // namespace arc::zip
