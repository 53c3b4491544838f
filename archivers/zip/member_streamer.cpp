// A worker that decodes the planned members ahead of the writing thread, in order.
#include "zip/member_streamer.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <utility>

#include "zip/zip_format.h"

namespace arc::zip {

std::vector<StreamPlan> readAheadPlans(const DirectorySurvey& survey,
                                       const std::function<bool(const SurveyedEntry&)>& wanted)
{
    std::vector<StreamPlan> plans;
    const std::vector<SurveyedEntry>& entries = survey.entries();
    for (std::size_t position = 0; position < entries.size(); ++position) {
        const SurveyedEntry& entry = entries[position];
        const CentralRecord& record = *entry.record;
        if (entry.overlaps || entry.dataOffset == 0 || (record.flags & 1) != 0 ||
            record.compressedSize > entry.dataRoom || !wanted(entry))
            continue;
        if ((record.method == kMethodStored && record.compressedSize == record.uncompressedSize) ||
            record.method == kMethodDeflate)
            plans.push_back(
                StreamPlan{position, record.method, entry.dataOffset, record.compressedSize, record.uncompressedSize});
    }
    return plans;
}

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

MemberStreamer::Bytes MemberStreamer::spare(std::size_t size)
{
    std::lock_guard lock(mutex_);
    if (spares_.empty())
        return {};
    // The smallest spare that fits, else the largest (grown by the caller).
    std::size_t best = 0;
    for (std::size_t i = 1; i < spares_.size(); ++i) {
        const std::size_t have = spares_[i].capacity(), kept = spares_[best].capacity();
        if (kept < size ? have > kept : (have >= size && have < kept))
            best = i;
    }
    Bytes bytes = std::move(spares_[best]);
    spares_[best] = std::move(spares_.back());
    spares_.pop_back();
    return bytes;
}

MemberStreamer::Pushed MemberStreamer::push(Block block)
{
    std::unique_lock lock(mutex_);
    const auto abandoned = [&] { return !block.end && block.plan < abandonedBelow_; };
    // A member's end waits for room too when it carries the member whole: else a worker that
    // inflates faster than files are written would queue every small member of the archive.
    if (queuedBytes_ >= kQueueBytes && block.bytes.capacity() != 0 && !abandoned()) {
        workerWaiting_ = true;
        changed_.wait(lock, [&] { return stopping_ || abandoned() || queuedBytes_ <= kQueueBytes / 2; });
        workerWaiting_ = false;
    }
    if (stopping_)
        return Pushed::Stopping;
    if (abandoned())
        return Pushed::Abandoned;
    queuedBytes_ += block.bytes.capacity();
    queue_.push_back(std::move(block));
    const bool wake =
        extractorWaiting_ && (queue_.back().end || queue_.size() >= kWakeBlocks || queuedBytes_ >= kQueueBytes / 2);
    lock.unlock();
    if (wake)
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

bool MemberStreamer::isAbandoned(std::size_t plan)
{
    std::lock_guard lock(mutex_);
    return plan < abandonedBelow_;
}

MemberStreamer::Block MemberStreamer::pop()
{
    std::unique_lock lock(mutex_);
    if (queue_.empty()) {
        extractorWaiting_ = true;
        changed_.wait(lock, [&] {
            return !queue_.empty() &&
                   (queue_.back().end || queue_.size() >= kWakeBlocks || queuedBytes_ >= kQueueBytes / 2);
        });
        extractorWaiting_ = false;
    }
    Block block = std::move(queue_.front());
    queue_.pop_front();
    queuedBytes_ -= block.bytes.capacity();
    const bool wake = workerWaiting_ && queuedBytes_ <= kQueueBytes / 2;
    lock.unlock();
    if (wake)
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
            block.bytes = spare(size);
            block.bytes.assign(data, data + size);
            pushed = push(std::move(block));
            return pushed == Pushed::Queued;
        };
        Block end;
        end.plan = plan;
        end.end = true;
        if (job_.cancelled() || isAbandoned(plan)) {
            end.result.status = RawMemberStatus::Stopped;
        } else if (member.compressedSize <= kWholeMemberLimit && member.size <= kWholeMemberLimit) {
            end.bytes = spare(static_cast<std::size_t>(member.size));
            end.result = decodeWhole(member, end.bytes);
            if (end.result.status != RawMemberStatus::Ok)
                end.bytes.clear();
        } else {
            end.result = member.method == 0 ? copyStoredMember(source_, member.dataOffset, member.size, sink)
                                            : inflateDeflateMember(source_, member.dataOffset, member.compressedSize,
                                                                   member.size, sink);
        }
        // A stored member's extent is its compressed size: the two must agree.
        if (member.method == 0 && member.compressedSize != member.size && end.result.status == RawMemberStatus::Ok)
            end.result.status = RawMemberStatus::BadData;
        if (pushed == Pushed::Stopping || push(std::move(end)) == Pushed::Stopping)
            return;
    }
}

RawMemberResult MemberStreamer::decodeWhole(const StreamPlan& member, Bytes& output)
{
    RawMemberResult result;
    const auto inSize = static_cast<std::size_t>(member.compressedSize);
    const auto size = static_cast<std::size_t>(member.size);
    // Buffers hold at least kMinimumBuffer and grow in powers of two, so the few in
    // circulation soon fit every member and the heap is not grown and shrunk member by member.
    const auto fit = [](Bytes& buffer, std::size_t size) {
        if (buffer.capacity() < size)
            buffer.reserve(std::max(std::bit_ceil(size), kMinimumBuffer));
        buffer.resize(size);
    };
    Bytes& in = member.method == 0 ? output : input_;
    fit(in, inSize);
    if (!window_.readAt(member.dataOffset, in.data(), inSize)) {
        result.status = RawMemberStatus::ReadFailed;
        result.systemError = errno;
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
    fit(output, size);
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
        if (!wanted)
            abandonUpTo(plan);
        for (;;) {
            Block block = pop();
            if (consuming && !block.bytes.empty() && !consume(block.bytes.data(), block.bytes.size())) {
                consuming = false;
                abandonUpTo(plan);
            }
            const bool end = block.end;
            if (end)
                result = block.result;
            {
                std::lock_guard lock(mutex_);
                spares_.push_back(std::move(block.bytes));
            }
            if (!end)
                continue;
            if (!wanted)
                break;
            if (!consuming && result.status == RawMemberStatus::Ok)
                result.status = RawMemberStatus::Stopped;
            return Taken::Decoded;
        }
    }
    return Taken::NotPlanned;
}

}  // namespace arc::zip
