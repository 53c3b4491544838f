// The units of work that worker threads do for the writer: a whole small file or one chunk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/job.h"
#include "common/status.h"
#include "zip/member_compressor.h"
#include "zip/ordered_pool.h"
#include "zip/scratch_buffer.h"

namespace arc::zip {

// An open source file shared by the units that read it; closed with the last of them.
class SourceFile {
public:
    explicit SourceFile(int fd) : fd_(fd) {}
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

struct WorkerContext {
    explicit WorkerContext(int level) : whole(level), chunk(level) {}
    WholeCompressor whole;
    ChunkCompressor chunk;
    ScratchBuffer input;  // what is read of the file (and the dictionary before a chunk)
};

struct UnitResult {
    ArcResult error;          // not ok: the unit failed and the whole update is rolled back
    std::string data;         // bytes to write
    std::uint32_t crc32 = 0;  // of this unit's input
    std::uint64_t inputSize = 0;
    std::uint16_t method = 0;
    bool grown = false;  // the file is now too large to be compressed whole: nothing was read
};

using CompressionPool = OrderedPool<WorkerContext, UnitResult>;

// Opens `path` and compresses it as one member. The file is opened here, on the worker, so the
// thread that lists and writes does not pay for the look-ups; one that has grown past
// `wholeLimit` since it was listed comes back `grown`, to be read in chunks.
UnitResult compressFileAt(const std::string& path, std::size_t wholeLimit, int level, WorkerContext& context);

// The pool's job for one listed file (compressFileAt), which gives up when `job` is cancelled.
CompressionPool::Job wholeFileJob(std::string path, std::size_t wholeLimit, int level, const Job* job);

// Reads `size` bytes of the file and compresses them as one member.
UnitResult compressWholeFile(const SourceFile& file, std::uint64_t size, const std::string& displayName, int level,
                             WorkerContext& context);

// Reads and compresses the chunk [offset, offset + length) as part of one deflate stream (or
// copies it when `level` is 0, for a stored member). The result's bytes go into `buffer`, whose
// contents are dropped: a buffer handed back from an earlier chunk keeps its memory, so large
// members cost no fresh pages per chunk.
UnitResult compressChunk(const SourceFile& file, std::uint64_t offset, std::size_t length, bool lastChunk,
                         const std::string& displayName, int level, WorkerContext& context, std::string buffer = {});

}  // namespace arc::zip
