// Decodes small members ahead of the extractor on worker threads, handing them back in order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/job.h"
#include "lzh/header_codec.h"

namespace lzh {

struct DecodedMember {
    LzhStatus status = LzhStatus::Ok;
    int systemError = 0;  // errno of ReadFailed
    std::uint16_t crc = 0;
    std::vector<std::uint8_t> data;
};

// Extraction writes files from one thread only (the disk writer requires it), so decoding
// small members on other threads lets the CPU work overlap the file-system work. Members
// larger than `maxMemberBytes` (and directories, unknown methods) are left to the extractor,
// which streams them; at most `ahead` decoded members wait, so memory stays bounded.
//
// The workers poll `job`'s cancel flag (when given) between members and while decoding, and
// stop early once it is set or the predecoder is destroyed; a member cut short that way is
// handed back with a failed status, never as complete data.
class MemberPredecoder {
public:
    MemberPredecoder(int archiveFd, const std::vector<MemberHeader>& members, int threads, std::size_t ahead,
                     std::uint64_t maxMemberBytes, const arc::Job* job = nullptr);
    ~MemberPredecoder();
    MemberPredecoder(const MemberPredecoder&) = delete;
    MemberPredecoder& operator=(const MemberPredecoder&) = delete;

    // Blocks until member `index` is decoded; nullptr when it was not taken (stream it instead).
    const DecodedMember* take(std::size_t index);
    // Frees member `index` and lets the workers move on.
    void release(std::size_t index);

private:
    bool eligible(const MemberHeader& h) const;
    bool stopRequested() const;
    std::size_t resumeRoom() const { return (ahead_ + 1) / 2; }
    void work();

    int fd_;
    const std::vector<MemberHeader>& members_;
    std::size_t ahead_;
    std::uint64_t maxMemberBytes_;
    const arc::Job* job_;
    std::atomic<bool> abandoned_{false};
    std::vector<std::unique_ptr<DecodedMember>> slots_;
    std::vector<bool> done_;
    std::size_t nextToStart_ = 0;
    std::size_t released_ = 0;
    bool stopping_ = false;
    bool waitingForRoom_ = false;  // the worker found the window full and waits for half of it
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> workers_;
};

}  // namespace lzh
