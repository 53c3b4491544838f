// Ordered decoding of small members on worker threads.
#include "lzh/member_predecoder.h"

#include "lzh/file_io.h"
#include "lzh/lzh_decoder.h"

namespace lzh {
namespace {

// Collects the output; refuses more once `stop` says the result is no longer wanted.
template <typename Stop> class VectorSink final : public ByteSink {
public:
    VectorSink(std::vector<std::uint8_t>& out, Stop stop) : out_(out), stop_(stop) {}
    LzhStatus write(const std::uint8_t* data, std::size_t size) override
    {
        if (stop_())
            return LzhStatus::WriteFailed;
        out_.insert(out_.end(), data, data + size);
        return LzhStatus::Ok;
    }

private:
    std::vector<std::uint8_t>& out_;
    Stop stop_;
};

// The compressed bytes of small members, which the worker takes in ascending offsets, served
// from one large read of the archive instead of a read each.
class ReadWindow {
public:
    explicit ReadWindow(int fd) : fd_(fd) {}
    // The member's bytes, or null when they are not all there (the caller then reads them itself).
    const std::uint8_t* get(std::uint64_t offset, std::uint64_t size)
    {
        if (size > kSize / 4)
            return nullptr;
        if (offset < start_ || offset + size > start_ + bytes_.size()) {
            bytes_.resize(kSize);
            std::size_t got = 0;
            FileAccess file(fd_);
            if (file.readAt(offset, bytes_.data(), bytes_.size(), got) != LzhStatus::Ok)
                got = 0;
            bytes_.resize(got);
            start_ = offset;
            if (size > got)
                return nullptr;
        }
        return bytes_.data() + (offset - start_);
    }

private:
    static constexpr std::size_t kSize = std::size_t{1} << 18;
    int fd_;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t start_ = 0;
};

}  // namespace

MemberPredecoder::MemberPredecoder(int archiveFd, const std::vector<MemberHeader>& members, int threads,
                                   std::size_t ahead, std::uint64_t maxMemberBytes, const arc::Job* job)
    : fd_(archiveFd), members_(members), ahead_(ahead < 1 ? 1 : ahead), maxMemberBytes_(maxMemberBytes), job_(job),
      slots_(members.size()), done_(members.size(), false)
{
    for (int i = 0; i < threads; ++i)
        workers_.emplace_back([this] { work(); });
}

MemberPredecoder::~MemberPredecoder()
{
    abandoned_.store(true, std::memory_order_relaxed);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

bool MemberPredecoder::eligible(const MemberHeader& h) const
{
    return h.method && !h.isDirectory() && h.originalSize <= maxMemberBytes_ && h.compressedSize <= 2 * maxMemberBytes_;
}

bool MemberPredecoder::stopRequested() const
{
    return abandoned_.load(std::memory_order_relaxed) || (job_ != nullptr && job_->cancelled());
}

void MemberPredecoder::work()
{
    ReadWindow window(fd_);
    for (;;) {
        std::size_t index;
        {
            std::unique_lock lock(mutex_);
            // Once the window is full the worker waits for half of it to be free: waking it
            // for every member the extractor releases would cost two system calls a member.
            changed_.wait(lock, [&] {
                if (stopping_ || nextToStart_ >= members_.size())
                    return true;
                const std::size_t room = released_ + ahead_ - nextToStart_;
                if (room == 0)
                    waitingForRoom_ = true;
                else if (!waitingForRoom_ || room >= resumeRoom())
                    waitingForRoom_ = false;
                return !waitingForRoom_;
            });
            if (stopping_ || nextToStart_ >= members_.size())
                return;
            index = nextToStart_++;
        }
        std::unique_ptr<DecodedMember> decoded;
        const MemberHeader& h = members_[index];
        if (eligible(h)) {
            decoded = std::make_unique<DecodedMember>();
            if (stopRequested()) {
                decoded->status = LzhStatus::WriteFailed;
            } else {
                decoded->data.reserve(static_cast<std::size_t>(h.originalSize));
                VectorSink sink(decoded->data, [this] { return stopRequested(); });
                if (const std::uint8_t* bytes = window.get(h.dataOffset, h.compressedSize)) {
                    MemorySource source(bytes, static_cast<std::size_t>(h.compressedSize));
                    decoded->status = decodeMember(*h.method, source, h.originalSize, sink, decoded->crc);
                } else {
                    FileRangeSource source(fd_, h.dataOffset, h.compressedSize);
                    decoded->status = decodeMember(*h.method, source, h.originalSize, sink, decoded->crc);
                    decoded->systemError = source.error();
                }
            }
        }
        {
            std::lock_guard lock(mutex_);
            slots_[index] = std::move(decoded);
            done_[index] = true;
        }
        changed_.notify_all();
    }
}

const DecodedMember* MemberPredecoder::take(std::size_t index)
{
    if (workers_.empty())
        return nullptr;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done_[index]; });
    return slots_[index].get();
}

void MemberPredecoder::release(std::size_t index)
{
    bool wake;
    {
        std::lock_guard lock(mutex_);
        slots_[index].reset();
        released_ = index + 1;
        wake = waitingForRoom_ && released_ + ahead_ - nextToStart_ >= resumeRoom();
    }
    if (wake)
        changed_.notify_all();
}

}  // namespace lzh
