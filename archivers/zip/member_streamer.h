// Decodes stored and deflated members on a worker thread while the extractor writes them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "common/job.h"
#include "zip/central_directory.h"
#include "zip/directory_survey.h"
#include "zip/member_decoder.h"
#include "zip/raw_member_reader.h"

namespace arc::zip {

// One member the worker decodes from the archive's raw bytes.
struct StreamPlan {
    std::size_t position = 0;  // the entry's place in the walk
    std::uint16_t method = 0;  // 0 stored, 8 deflate
    std::uint64_t dataOffset = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;  // the recorded size: the most it may decode to
};

// The stored and deflated members that are not encrypted, whose extent the survey vouches for
// and that `wanted` accepts, in the walk's order.
std::vector<StreamPlan> readAheadPlans(const DirectorySurvey& survey,
                                       const std::function<bool(const SurveyedEntry&)>& wanted);

// Reading and inflating a member and writing it take about as long each, so a worker decodes
// the planned members one after the other, in the order given, into a bounded queue of blocks
// (at most kQueueBytes wait, plus the block being handed over), and the extractor's thread
// takes them and writes them. Members within kWholeMemberLimit are read with few reads (small
// ones share one large read) and inflated whole by libdeflate, larger ones streamed through
// ISA-L. The worker may run ahead into the next planned members while the queue has room.
// Each side that waits is woken only once there is a good stretch of work (the queue half
// empty, or several blocks waiting), not at every block: small members would otherwise cost a
// wake-up each. A member nobody will write (refused by the consumer, or passed over) is
// abandoned: the worker stops decoding it at its next block and goes on with the next one, so
// a failed write never costs the rest of a member.
//
// Threading: construct, take() and destroy on the extractor's thread; the worker reads the
// archive through `source` (positioned reads only) and calls nothing of `job` but cancelled().
// Destroying the streamer stops the worker and waits for it.
class MemberStreamer {
public:
    static constexpr std::size_t kQueueBytes = std::size_t{8} << 20;
    static constexpr std::size_t kWakeBlocks = 16;
    static constexpr std::size_t kMinimumBuffer = std::size_t{256} << 10;

    MemberStreamer(const ByteSource& source, std::vector<StreamPlan> plans, const Job& job);
    ~MemberStreamer();
    MemberStreamer(const MemberStreamer&) = delete;
    MemberStreamer& operator=(const MemberStreamer&) = delete;

    enum class Taken {
        NotPlanned,  // the entry at that position was not planned (or already passed)
        Decoded,     // `result` says how the decoding ended (Stopped: the consumer refused)
    };
    // Hands the decoded blocks of the member at `position` to `consume` (false stops: the member
    // is abandoned). Members planned before `position` and not taken are abandoned.
    Taken take(std::size_t position, const std::function<bool(const unsigned char*, std::size_t)>& consume,
               RawMemberResult& result);

private:
    // Bytes left uninitialised when a buffer grows: they are overwritten at once. The queue
    // counts buffers by their capacity, the memory they hold.
    struct Uninitialised : std::allocator<unsigned char> {
        template <typename U> struct rebind {
            using other = Uninitialised;
        };
        template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    };
    using Bytes = std::vector<unsigned char, Uninitialised>;

    struct Block {
        std::size_t plan = 0;
        Bytes bytes;
        bool end = false;  // the member's last item (its last bytes too): `result` holds its outcome
        RawMemberResult result;
    };

    enum class Pushed { Queued, Abandoned, Stopping };

    void work();
    Pushed push(Block block);
    Block pop();
    void abandonUpTo(std::size_t plan);
    bool isAbandoned(std::size_t plan);
    Bytes spare(std::size_t size);  // a used buffer, preferably one that holds `size` bytes

    RawMemberResult decodeWhole(const StreamPlan& member, Bytes& output);

    const ByteSource& source_;
    WindowedSource window_;  // the worker's small reads
    std::vector<StreamPlan> plans_;
    const Job& job_;
    std::size_t nextPlan_ = 0;  // the first plan not yet taken or discarded (extractor's thread)

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> queue_;
    std::vector<Bytes> spares_;  // used blocks, to spare an allocation each
    std::size_t queuedBytes_ = 0;
    std::size_t abandonedBelow_ = 0;  // plans before this one are not to be decoded further
    bool workerWaiting_ = false;      // for room: woken once the queue is half empty
    bool extractorWaiting_ = false;   // for blocks: woken once a few are there, or a member's end
    bool stopping_ = false;
    libdeflate_decompressor* decompressor_ = nullptr;  // the worker's
    Bytes input_;                                      // the worker's
    std::thread worker_;
};

}  // namespace arc::zip
