// The in-place update: keep the old tail, stream new members over it through the worker pool,
// write the merged directory, and put the old bytes back if anything fails.
#include "zip/archive_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <thread>
#include <unordered_set>

#include "zip/central_directory.h"
#include "zip/compression_units.h"
#include "zip/ordered_pool.h"
#include "zip/zip_format.h"
#include "zip/zip_records.h"

namespace arc::zip {
namespace {

std::string errnoText() { return std::strerror(errno); }

// Sequential writes from a known offset, gathered into large pwrite calls.
class OutputFile {
public:
    OutputFile(int fd, std::uint64_t position) : fd_(fd), position_(position) {}

    std::uint64_t position() const { return position_ + buffer_.size(); }

    bool write(std::string_view data) {
        if (buffer_.size() + data.size() > kBufferSize && !flush()) return false;
        if (data.size() >= kBufferSize) return writeAt(position_, data) && (position_ += data.size(), true);
        buffer_.append(data);
        return true;
    }

    bool flush() {
        if (buffer_.empty()) return true;
        if (!writeAt(position_, buffer_)) return false;
        position_ += buffer_.size();
        buffer_.clear();
        return true;
    }

    bool writeAt(std::uint64_t offset, std::string_view data) {
        while (!data.empty()) {
            const ssize_t done = ::pwrite(fd_, data.data(), data.size(), static_cast<off_t>(offset));
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) return false;
            data.remove_prefix(static_cast<std::size_t>(done));
            offset += static_cast<std::uint64_t>(done);
        }
        return true;
    }

private:
    static constexpr std::size_t kBufferSize = 1u << 20;
    int fd_;
    std::uint64_t position_;
    std::string buffer_;
};

// What a submitted unit stands for, in submission order.
struct PlannedUnit {
    std::size_t entryIndex = 0;
    bool directory = false;
    bool chunked = false;
    bool firstChunk = false;
    bool lastChunk = false;
    std::uint64_t memberSize = 0;
    std::uint64_t inputBytes = 0;
};

class ArchiveUpdate {
public:
    ArchiveUpdate(std::string path, const WriterOptions& options) : path_(std::move(path)), options_(options) {}
    ~ArchiveUpdate() {
        if (fd_ >= 0) ::close(fd_);
    }

    ArcResult run(const std::vector<SourceEntry>& entries) {
        ArcResult result = open();
        if (!result.ok()) return result;
        result = writeMembers(entries);
        if (result.ok()) result = writeDirectory();
        if (!result.ok()) rollBack(result);
        return result;
    }

private:
    ArcResult open() {
        struct stat info{};
        if (::stat(path_.c_str(), &info) != 0) {
            if (errno != ENOENT) return failure(ArcStatus::ArchiveUnreadable, "cannot examine " + path_ + ": " + errnoText());
            fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0) return failure(ArcStatus::WriteFailed, "cannot create " + path_ + ": " + errnoText());
            created_ = true;
            return ArcResult::success();
        }
        if (!S_ISREG(info.st_mode)) return failure(ArcStatus::ArchiveUnreadable, path_ + " is not a regular file");
        fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0) return failure(ArcStatus::ArchiveUnreadable, "cannot open " + path_ + ": " + errnoText());
        oldSize_ = static_cast<std::uint64_t>(info.st_size);
        if (oldSize_ == 0) return ArcResult::success();  // an empty file holds nothing to lose
        const FileSource source(fd_, oldSize_);
        const DirectoryStatus status = readCentralDirectory(source, old_);
        if (status == DirectoryStatus::ReadFailed)
            return failure(ArcStatus::ArchiveUnreadable, "cannot read " + path_ + ": " + directoryStatusText(status));
        if (status != DirectoryStatus::Ok)
            return failure(ArcStatus::ArchiveCorrupt, path_ + ": " + directoryStatusText(status) + "; not changed");
        oldTail_.resize(static_cast<std::size_t>(oldSize_ - old_.directoryOffset));
        if (!source.readAt(old_.directoryOffset, oldTail_.data(), oldTail_.size()))
            return failure(ArcStatus::ArchiveUnreadable, "cannot read " + path_ + ": " + errnoText());
        return ArcResult::success();
    }

    ArcResult writeMembers(const std::vector<SourceEntry>& entries) {
        entries_ = &entries;
        output_.emplace(fd_, old_.directoryOffset);
        unsigned threads = options_.threads != 0 ? options_.threads : std::max(1u, std::thread::hardware_concurrency());
        if (entries.size() == 1 && !entries[0].isDirectory && entries[0].size <= options_.wholeMemberLimit)
            threads = 0;  // one small file: nothing to overlap
        const int level = options_.level;
        OrderedPool<WorkerContext, UnitResult> pool(threads, [level] { return std::make_unique<WorkerContext>(level); });
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const SourceEntry& entry = entries[i];
            if (entry.isDirectory) {
                PlannedUnit unit{i, true, false, true, true, 0, 0};
                ArcResult result = submit(pool, unit, [](WorkerContext&) { return UnitResult{}; });
                if (!result.ok()) return result;
                continue;
            }
            const int fd = ::open(entry.diskPath.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return failure(ArcStatus::InputMissing, "cannot open " + entry.diskPath + ": " + errnoText());
            auto file = std::make_shared<SourceFile>(fd);
            struct stat info{};
            if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
                return failure(ArcStatus::InputMissing, entry.diskPath + " is not a readable regular file");
            const auto size = static_cast<std::uint64_t>(info.st_size);
            const std::string display = entry.diskPath;
            if (size <= options_.wholeMemberLimit) {
                PlannedUnit unit{i, false, false, true, true, size, size};
                ArcResult result = submit(pool, unit, [file, size, display, level](WorkerContext& context) {
                    return compressWholeFile(*file, size, display, level, context);
                });
                if (!result.ok()) return result;
                continue;
            }
            for (std::uint64_t offset = 0; offset < size; offset += options_.chunkSize) {
                const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(options_.chunkSize, size - offset));
                const bool last = offset + length == size;
                PlannedUnit unit{i, false, true, offset == 0, last, size, length};
                ArcResult result = submit(pool, unit, [file, offset, length, last, display, level](WorkerContext& context) {
                    return compressChunk(*file, offset, length, last, display, level, context);
                });
                if (!result.ok()) return result;
            }
        }
        while (!planned_.empty()) {
            ArcResult result = consume(pool);
            if (!result.ok()) return result;
        }
        return ArcResult::success();
    }

    template <typename Pool, typename Job>
    ArcResult submit(Pool& pool, const PlannedUnit& unit, Job job) {
        while (!planned_.empty() &&
               (bytesInFlight_ + unit.inputBytes > options_.inFlightBytes || planned_.size() >= kMaxUnitsInFlight)) {
            ArcResult result = consume(pool);
            if (!result.ok()) return result;
        }
        planned_.push_back(unit);
        bytesInFlight_ += unit.inputBytes;
        pool.submit(std::move(job));
        return ArcResult::success();
    }

    // Takes the oldest result and writes it: local header (patched afterwards for a chunked
    // member, whose sizes and CRC are known only at its end), then data.
    template <typename Pool>
    ArcResult consume(Pool& pool) {
        UnitResult result = pool.takeNext();
        const PlannedUnit unit = planned_.front();
        planned_.pop_front();
        bytesInFlight_ -= unit.inputBytes;
        if (!result.error.ok()) return result.error;
        const SourceEntry& entry = (*entries_)[unit.entryIndex];
        if (unit.firstChunk) {
            current_ = MemberRecord{};
            current_.name = entry.isDirectory ? entry.memberName + "/" : entry.memberName;
            current_.isDirectory = entry.isDirectory;
            current_.permissions = entry.mode & 07777;
            current_.mtime = entry.mtime;
            current_.method = entry.isDirectory ? kMethodStored : result.method;
            current_.localHeaderOffset = output_->position();
            current_.uncompressedSize = unit.memberSize;
            current_.compressedSize = unit.chunked ? 0 : result.data.size();
            current_.crc32 = result.crc32;
            current_.zip64Local = !entry.isDirectory &&
                (options_.forceZip64 || (unit.chunked ? unit.memberSize >= kZip64StreamThreshold
                                                       : current_.compressedSize >= kMax32 || unit.memberSize >= kMax32));
            if (!output_->write(buildLocalHeader(current_))) return writeFailure();
        } else {
            current_.crc32 = static_cast<std::uint32_t>(crc32_combine(current_.crc32, result.crc32, static_cast<z_off_t>(result.inputSize)));
        }
        if (unit.chunked) current_.compressedSize += result.data.size();
        if (!output_->write(result.data)) return writeFailure();
        if (!unit.lastChunk) return ArcResult::success();
        if (unit.chunked) {
            if (!current_.zip64Local && current_.compressedSize >= kMax32)
                return failure(ArcStatus::Internal, entry.diskPath + ": compressed size overflowed its header");
            if (!output_->flush() || !output_->writeAt(current_.localHeaderOffset, buildLocalHeader(current_)))
                return writeFailure();
        }
        written_.push_back(current_);
        if (options_.failAfterMembers && written_.size() == *options_.failAfterMembers)
            return failure(ArcStatus::WriteFailed, "injected failure after " + std::to_string(written_.size()) + " members");
        return ArcResult::success();
    }

    ArcResult writeDirectory() {
        std::unordered_set<std::string> replaced;
        for (const MemberRecord& member : written_) replaced.insert(member.name);
        const std::uint64_t directoryOffset = output_->position();
        std::uint64_t entryCount = 0;
        std::uint64_t directorySize = 0;
        auto emit = [&](const std::string& record) {
            ++entryCount;
            directorySize += record.size();
            return output_->write(record);
        };
        for (const CentralRecord& record : old_.records)
            if (replaced.count(record.name) == 0 && !emit(record.raw)) return writeFailure();
        for (const MemberRecord& member : written_)
            if (!emit(buildCentralRecord(member, options_.forceZip64))) return writeFailure();
        if (!output_->write(buildEndRecords(entryCount, directoryOffset, directorySize, old_.comment, options_.forceZip64)) ||
            !output_->flush())
            return writeFailure();
        const std::uint64_t finalSize = output_->position();
        if (finalSize < oldSize_ && ::ftruncate(fd_, static_cast<off_t>(finalSize)) != 0) return writeFailure();
        if (::close(fd_) != 0) {
            fd_ = -1;
            return writeFailure();
        }
        fd_ = -1;
        return ArcResult::success();
    }

    // Puts the archive back as it was: the saved tail over whatever was written, then the old
    // length. A new archive is removed.
    void rollBack(ArcResult& result) {
        if (created_) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = -1;
            ::unlink(path_.c_str());
            return;
        }
        if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
        OutputFile restore(fd_, old_.directoryOffset);
        if (fd_ < 0 || !restore.writeAt(old_.directoryOffset, oldTail_) || ::ftruncate(fd_, static_cast<off_t>(oldSize_)) != 0)
            mergeInto(result, ArcResult::failure(ArcStatus::WriteFailed, "could not restore " + path_ + ": " + errnoText()));
    }

    ArcResult writeFailure() { return failure(ArcStatus::WriteFailed, "cannot write " + path_ + ": " + errnoText()); }
    static ArcResult failure(ArcStatus status, std::string message) { return ArcResult::failure(status, std::move(message)); }

    // A streamed member's header is written before its size is known: at this input size
    // the compressed size might pass 4 GiB, so the header reserves zip64 fields.
    static constexpr std::uint64_t kZip64StreamThreshold = 0xF0000000u;
    static constexpr std::size_t kMaxUnitsInFlight = 64;

    std::string path_;
    const WriterOptions& options_;
    int fd_ = -1;
    bool created_ = false;
    std::uint64_t oldSize_ = 0;
    CentralDirectory old_;
    std::string oldTail_;
    const std::vector<SourceEntry>* entries_ = nullptr;
    std::optional<OutputFile> output_;
    std::deque<PlannedUnit> planned_;
    std::uint64_t bytesInFlight_ = 0;
    MemberRecord current_;
    std::vector<MemberRecord> written_;
};

}  // namespace

ArcResult addToArchive(const std::string& archivePath, const std::vector<SourceEntry>& entries,
                       const WriterOptions& options) {
    Job job;
    return addToArchive(archivePath, entries, options, job);
}

ArcResult addToArchive(const std::string& archivePath, const std::vector<SourceEntry>& entries,
                       const WriterOptions& options, Job& /*job*/) {
    try {
        ArchiveUpdate update(archivePath, options);
        return update.run(entries);
    } catch (const std::bad_alloc&) {
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory while writing " + archivePath);
    } catch (const std::system_error& error) {
        return ArcResult::failure(ArcStatus::Internal, std::string("cannot start worker threads: ") + error.what());
    }
}

}  // namespace arc::zip
