// Member compression: stream the file through the encoder, fall back to storing, spill large
// outputs to disk; and the ordered worker pool around it.
#include "lzh/member_compressor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lzh/crc16.h"
#include "lzh/lzh_encoder.h"

namespace lzh {
namespace {

constexpr std::size_t kReadChunk = 256 * 1024;
constexpr std::size_t kSpillThreshold = 4u << 20;
// Data that has not shrunk after this much input is taken to be incompressible (media,
// archives, random bytes) and stored, sparing the rest of the encoder's time.
constexpr std::uint64_t kGiveUpAfter = 4u << 20;
// Input the encoder may hold back (a block of tokens, the look-ahead) when the check runs.
constexpr std::uint64_t kEncoderLag = 64 * 1024;
constexpr std::uint64_t kLargeMember = 1u << 20;

// What a member may come to hold in memory until the writer takes it: its output stays below
// its size (or it is stored instead) and spills to disk past kSpillThreshold. Once compressed,
// the member is charged what it really holds instead.
std::uint64_t heldBytes(const arc::SourceEntry& entry)
{
    return entry.isDirectory ? 0 : std::min<std::uint64_t>(entry.size, kSpillThreshold);
}

// Small members get the deeper search: it costs little in absolute time, while large -lh5-
// members (the default, expected to be quick) must stream fast. -lh6-/-lh7- are chosen for
// size over speed, and their larger windows hold more candidates worth visiting.
LzhEncoder::Settings settingsFor(std::uint64_t size, Method method)
{
    LzhEncoder::Settings settings;
    const bool large = size > kLargeMember;
    if (method == Method::Lh5) {
        settings.maxChain = large ? 32 : 64;
        if (large)
            settings.secondLookBelow = 0;
    } else {
        settings.maxChain = large ? 128 : 512;
    }
    if (large)
        settings.niceLength = 128;
    return settings;
}

FileHandle openSpill(const std::string& directory)
{
    int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return FileHandle(fd);
    std::string pattern = directory + "/.lzh-spill-XXXXXX";
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(pattern.c_str());
    return FileHandle(fd);
}

arc::ArcResult failure(arc::ArcStatus status, const std::string& what, const std::string& path)
{
    const int error = errno;
    return arc::ArcResult::failure(status, what + " " + path + ": " + std::strerror(error), path, error);
}

}  // namespace

void compressMember(const arc::SourceEntry& entry, Method method, const std::string& spillDirectory,
                    PreparedMember& out, const arc::Job* job, std::atomic<std::uint64_t>* consumedBytes)
{
    out = PreparedMember{};
    if (entry.isDirectory) {
        out.method = Method::Lhd;
        return;
    }
    if (entry.size == 0 || !isSlidingDictionary(method)) {
        out.method = Method::Lh0;
        out.copyRaw = true;
        return;
    }
    FileHandle file(::open(entry.diskPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        out.result = failure(arc::ArcStatus::InputMissing, "cannot open", entry.diskPath);
        return;
    }
    LzhEncoder encoder(method, settingsFor(entry.size, method), entry.size);
    std::vector<std::uint8_t> input(std::min<std::size_t>(kReadChunk, entry.size + 1));
    std::uint16_t crc = 0;
    std::uint64_t consumed = 0;
    std::uint64_t produced = 0;
    auto drain = [&]() -> bool {
        if (!out.spill.valid() && out.data.size() < kSpillThreshold)
            return true;
        if (!out.spill.valid()) {
            out.spill = openSpill(spillDirectory);
            if (!out.spill.valid())
                return false;
        }
        if (writeAll(out.spill.get(), out.data.data(), out.data.size()) != LzhStatus::Ok)
            return false;
        produced += out.data.size();
        out.data.clear();
        return true;
    };
    for (;;) {
        if (job != nullptr && job->cancelled()) {
            out.result = arc::cancelledResult();
            return;
        }
        ssize_t n = ::read(file.get(), input.data(), input.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out.result = failure(arc::ArcStatus::InputMissing, "cannot read", entry.diskPath);
            return;
        }
        if (n == 0)
            break;
        crc = crc16Update(crc, input.data(), static_cast<std::size_t>(n));
        consumed += static_cast<std::uint64_t>(n);
        if (consumedBytes != nullptr)
            consumedBytes->store(consumed, std::memory_order_relaxed);
        encoder.write(input.data(), static_cast<std::size_t>(n), out.data);
        if (consumed >= kGiveUpAfter && produced + out.data.size() + kEncoderLag >= consumed) {
            out = PreparedMember{};
            out.method = Method::Lh0;
            out.copyRaw = true;
            return;
        }
        if (!drain()) {
            out.result = failure(arc::ArcStatus::WriteFailed, "cannot write temporary data beside", spillDirectory);
            return;
        }
    }
    encoder.finish(out.data);
    if (out.spill.valid() && !drain()) {
        out.result = failure(arc::ArcStatus::WriteFailed, "cannot write temporary data beside", spillDirectory);
        return;
    }
    out.compressedSize = produced + out.data.size();
    if (out.compressedSize >= consumed) {
        out = PreparedMember{};
        out.method = Method::Lh0;
        out.copyRaw = true;
        return;
    }
    out.method = method;
    out.crc = crc;
    out.originalSize = consumed;
}

ParallelCompressor::ParallelCompressor(const std::vector<arc::SourceEntry>& entries, Method method,
                                       std::string spillDirectory, int threads, std::size_t aheadMembers,
                                       std::uint64_t aheadBytes, const arc::Job* job)
    : entries_(entries), method_(method), spillDirectory_(std::move(spillDirectory)), job_(job),
      aheadMembers_(aheadMembers < 1 ? 1 : aheadMembers), aheadBytes_(aheadBytes), slots_(entries.size()),
      done_(entries.size(), false), charged_(entries.size(), 0),
      consumed_(std::make_unique<std::atomic<std::uint64_t>[]>(entries.size()))
{
    const std::size_t useful = std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 0)), entries.size());
    const bool oneLarge = entries.size() == 1 && !entries[0].isDirectory && entries[0].size > kLargeMember;
    const std::size_t workers = useful > 1 ? useful : (oneLarge ? 1 : 0);
    for (std::size_t i = 0; i < workers; ++i)
        workers_.emplace_back([this] { work(); });
}

ParallelCompressor::~ParallelCompressor()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    roomForWork_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

bool ParallelCompressor::mayStartNext() const
{
    if (nextToStart_ >= released_ + aheadMembers_)
        return false;
    // The member the writer needs next always starts, so one larger than the budget cannot stall.
    return nextToStart_ == released_ || bytesAhead_ + heldBytes(entries_[nextToStart_]) <= aheadBytes_;
}

void ParallelCompressor::work()
{
    for (;;) {
        std::size_t index;
        {
            std::unique_lock lock(mutex_);
            roomForWork_.wait(lock, [&] { return stopping_ || nextToStart_ >= entries_.size() || mayStartNext(); });
            if (stopping_ || nextToStart_ >= entries_.size())
                return;
            index = nextToStart_++;
            charged_[index] = heldBytes(entries_[index]);
            bytesAhead_ += charged_[index];
        }
        auto member = std::make_unique<PreparedMember>();
        compressMember(entries_[index], method_, spillDirectory_, *member, job_, &consumed_[index]);
        const std::uint64_t held = member->data.capacity();
        bool writerWaits;
        bool freed;
        {
            std::lock_guard lock(mutex_);
            slots_[index] = std::move(member);
            done_[index] = true;
            writerWaits = index == released_;
            // A member that turned out incompressible holds nothing, and must not keep the
            // members behind it waiting until the writer has copied it.
            freed = held < charged_[index];
            bytesAhead_ = bytesAhead_ - charged_[index] + held;
            charged_[index] = held;
        }
        if (writerWaits)
            memberReady_.notify_one();
        if (freed)
            roomForWork_.notify_all();
    }
}

PreparedMember& ParallelCompressor::waitFor(std::size_t index, const std::function<bool(std::uint64_t)>& whileWaiting)
{
    if (workers_.empty()) {
        // No workers (a single member): compress in the caller's thread, sparing the hand-off.
        slots_[index] = std::make_unique<PreparedMember>();
        compressMember(entries_[index], method_, spillDirectory_, *slots_[index], job_);
        return *slots_[index];
    }
    std::unique_lock lock(mutex_);
    while (!memberReady_.wait_for(lock, std::chrono::milliseconds(100), [&] { return done_[index]; })) {
        if (!whileWaiting)
            continue;
        lock.unlock();
        whileWaiting(consumed_[index].load(std::memory_order_relaxed));
        lock.lock();
    }
    return *slots_[index];
}

void ParallelCompressor::release(std::size_t index)
{
    {
        std::lock_guard lock(mutex_);
        slots_[index].reset();
        bytesAhead_ -= charged_[index];
        released_ = index + 1;
    }
    roomForWork_.notify_all();
}

}  // namespace lzh
