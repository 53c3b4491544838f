// Compresses archive members, several at once, handing them back in order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/job.h"
#include "common/source_tree.h"
#include "common/status.h"
#include "lzh/file_io.h"
#include "lzh/lzh_method.h"

namespace lzh {

// One member ready to be written: either its compressed bytes (in memory, or in an unnamed
// temporary file once they grow large) or, when compression does not pay, a note to copy
// the file as it is (-lh0-) while writing.
struct PreparedMember {
    arc::ArcResult result;
    Method method = Method::Lh0;
    bool copyRaw = false;  // -lh0-: the writer copies the file and computes the CRC itself
    std::uint16_t crc = 0;
    std::uint64_t originalSize = 0;
    std::uint64_t compressedSize = 0;
    std::vector<std::uint8_t> data;  // compressed bytes while they fit in memory
    FileHandle spill;                // compressed bytes once they did not
};

// Compresses `entry` with `method`; large outputs spill into an unnamed file in `spillDirectory`.
// Stops with Cancelled between reads once `job` (when given) is cancelled; only its cancel flag
// is read, so any thread may run this. `consumed`, when given, follows the input bytes read.
void compressMember(const arc::SourceEntry& entry, Method method, const std::string& spillDirectory,
                    PreparedMember& out, const arc::Job* job = nullptr, std::atomic<std::uint64_t>* consumed = nullptr);

// Runs compressMember on worker threads ahead of the writer, so memory stays bounded however
// many members there are: at most `aheadMembers` members and about `aheadBytes` of held output
// past the one the writer is waiting for (that one always starts, whatever its size). Bounding
// by bytes as well as by count lets a run of tiny members keep every worker busy while the
// writer is held up by a large one. With one small member (or one thread) there are no workers
// and waitFor() compresses in the caller's thread; a single large member still gets a worker, so
// that the caller can report progress and notice a cancel while it is compressed.
class ParallelCompressor {
public:
    ParallelCompressor(const std::vector<arc::SourceEntry>& entries, Method method, std::string spillDirectory,
                       int threads, std::size_t aheadMembers, std::uint64_t aheadBytes, const arc::Job* job = nullptr);
    ~ParallelCompressor();
    ParallelCompressor(const ParallelCompressor&) = delete;
    ParallelCompressor& operator=(const ParallelCompressor&) = delete;

    // Blocks until member `index` is ready; the writer takes members in order. While it waits,
    // `whileWaiting(input bytes of the member read so far)` is called about ten times a second
    // on the caller's thread (the workers stop on their own once the job is cancelled).
    PreparedMember& waitFor(std::size_t index, const std::function<bool(std::uint64_t)>& whileWaiting = {});
    // Frees member `index` and lets the workers move on.
    void release(std::size_t index);

private:
    void work();
    bool mayStartNext() const;

    const std::vector<arc::SourceEntry>& entries_;
    Method method_;
    std::string spillDirectory_;
    const arc::Job* job_;
    std::size_t aheadMembers_;
    std::uint64_t aheadBytes_;
    std::vector<std::unique_ptr<PreparedMember>> slots_;
    std::vector<bool> done_;
    std::vector<std::uint64_t> charged_;                      // what each started member counts against aheadBytes
    std::unique_ptr<std::atomic<std::uint64_t>[]> consumed_;  // input read so far, per member
    std::size_t nextToStart_ = 0;
    std::size_t released_ = 0;
    std::uint64_t bytesAhead_ = 0;  // memory charged to members started and not yet released
    bool stopping_ = false;
    std::mutex mutex_;
    // Separate wake-ups for workers and writer: with many tiny members a shared one would
    // wake every thread for each finished member.
    std::condition_variable roomForWork_;
    std::condition_variable memberReady_;
    std::vector<std::thread> workers_;
};

}  // namespace lzh
