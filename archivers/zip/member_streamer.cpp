// A worker that decodes the planned members ahead of the writing thread, in order.
#include "zip/member_streamer.h"

#include <utility>

namespace arc::zip {

MemberStreamer::MemberStreamer(const ByteSource& source, std::vector<StreamPlan> plans, const Job& job)
    : source_(source), window_(source), plans_(std::move(plans)), job_(job)
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
    if (decompressor_ != nullptr)
        libdeflate_free_decompressor(decompressor_);
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

bool MemberStreamer::push(Block block)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || queuedBytes_ < kQueueBytes || block.end; });
    if (stopping_)
        return false;
    queuedBytes_ += block.bytes.size();
    queue_.push_back(std::move(block));
    lock.unlock();
    changed_.notify_all();
    return true;
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
        bool stopped = false;
        const auto sink = [&](const unsigned char* data, std::size_t size) {
            if (job_.cancelled())
                return false;
            Block block;
            block.plan = plan;
            block.bytes = spare();
            block.bytes.assign(data, data + size);
            stopped = !push(std::move(block));
            return !stopped;
        };
        Block end;
        end.plan = plan;
        end.end = true;
        if (member.compressedSize <= kWholeMemberLimit && member.size <= kWholeMemberLimit) {
            if (job_.cancelled())
                return;
            Block data;
            data.plan = plan;
            data.bytes = spare();
            end.result = decodeWhole(member, data.bytes);
            if (end.result.status == RawMemberStatus::Ok && !data.bytes.empty() && !push(std::move(data)))
                return;
        } else {
            end.result = member.method == 0 ? copyStoredMember(source_, member.dataOffset, member.size, sink)
                                            : inflateDeflateMember(source_, member.dataOffset, member.compressedSize,
                                                                   member.size, sink);
        }
        // A stored member's extent is its compressed size: the two must agree.
        if (member.method == 0 && member.compressedSize != member.size && end.result.status == RawMemberStatus::Ok)
            end.result.status = RawMemberStatus::BadData;
        if (stopped || !push(std::move(end)))
            return;
    }
}

RawMemberResult MemberStreamer::decodeWhole(const StreamPlan& member, std::vector<unsigned char>& output)
{
    RawMemberResult result;
    const auto inSize = static_cast<std::size_t>(member.compressedSize);
    const auto size = static_cast<std::size_t>(member.size);
    std::vector<unsigned char>& in = member.method == 0 ? output : input_;
    in.resize(inSize);
    if (!window_.readAt(member.dataOffset, in.data(), inSize)) {
        result.status = RawMemberStatus::ReadFailed;
        return result;
    }
    if (member.method == 0) {
        result.size = size;
        result.crc32 = libdeflate_crc32(0, output.data(), size);
        return result;
    }
    if (decompressor_ == nullptr && (decompressor_ = libdeflate_alloc_decompressor()) == nullptr) {
        result.status = RawMemberStatus::BadData;
        return result;
    }
    output.resize(size);
    return inflateWhole(decompressor_, in.data(), inSize, output.data(), size);
}

MemberStreamer::Taken MemberStreamer::take(std::size_t position,
                                           const std::function<bool(const unsigned char*, std::size_t)>& consume,
                                           RawMemberResult& result)
{
    while (nextPlan_ < plans_.size() && plans_[nextPlan_].position <= position) {
        const std::size_t plan = nextPlan_++;
        const bool wanted = plans_[plan].position == position;
        bool consuming = wanted;
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
            if (consuming)
                consuming = consume(block.bytes.data(), block.bytes.size());
            std::lock_guard lock(mutex_);
            spares_.push_back(std::move(block.bytes));
        }
    }
    return Taken::NotPlanned;
}

}  // namespace arc::zip
