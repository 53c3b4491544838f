// The copy-on-write update: kept members copied raw into a new file, new members streamed
// after them through the worker pool, the merged directory, then the new file renamed into place.
#include "zip/archive_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <thread>
#include <unordered_set>

#include "zip/central_directory.h"
#include "zip/compression_head_start.h"
#include "zip/compression_units.h"
#include "zip/member_names.h"
#include "zip/zip_format.h"
#include "zip/zip_records.h"

namespace arc::zip {
namespace {

std::string errnoText()
{
    return std::strerror(errno);
}

// Sequential writes from a known offset, gathered into large pwrite calls.
class OutputFile {
public:
    OutputFile(int fd, std::uint64_t position) : fd_(fd), position_(position) {}

    std::uint64_t position() const { return position_ + buffer_.size(); }

    bool write(std::string_view data)
    {
        if (buffer_.size() + data.size() > kBufferSize && !flush())
            return false;
        if (data.size() >= kBufferSize)
            return writeAt(position_, data) && (position_ += data.size(), true);
        buffer_.append(data);
        return true;
    }

    bool flush()
    {
        if (buffer_.empty())
            return true;
        if (!writeAt(position_, buffer_))
            return false;
        position_ += buffer_.size();
        buffer_.clear();
        return true;
    }

    bool writeAt(std::uint64_t offset, std::string_view data)
    {
        while (!data.empty()) {
            const ssize_t done = ::pwrite(fd_, data.data(), data.size(), static_cast<off_t>(offset));
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                return false;
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
    std::uint64_t memberSize = 0;  // of a chunked member; a whole one's comes with its result
    std::uint64_t inputBytes = 0;
    bool discard = false;  // compressed ahead for an entry that is not written after all
};

// An old member and the bytes it spans: from its local header to the next member's (or to
// the directory), so a data descriptor or padding travels with it.
struct OldMember {
    const CentralRecord* record = nullptr;
    std::string decodedName;
    std::uint64_t end = 0;
};

class ArchiveUpdate {
public:
    ArchiveUpdate(const WriterOptions& options, Job& job) : options_(options), job_(job) {}

    bool raced() const { return replacement_.raced(); }

    ArcResult run(const std::string& archivePath, std::vector<SourceEntry> entries, CompressionHeadStart* headStart)
    {
        ArcResult result = replacement_.begin(archivePath, options_.lockWait);
        if (!result.ok())
            return result;
        path_ = replacement_.path();
        result = readOld();
        if (!result.ok())
            return result;
        const ArcResult skipped = settleMemberNames(entries, existingMembers());
        if (entries.empty() && !skipped.ok())
            return skipped;  // nothing left to store: the archive stays as it is
        std::uint64_t totalBytes = 0;
        for (const SourceEntry& entry : entries)
            totalBytes += entry.isDirectory ? 0 : entry.size;
        job_.setTotals(totalBytes, entries.size());
        result = copyKeptMembers(entries);
        if (result.ok())
            result = writeMembers(entries, headStart);
        if (result.ok())
            result = writeDirectory();
        // A cancel counts until the rename; after it the archive is the new one.
        if (result.ok() && job_.cancelled())
            result = cancelledResult();
        if (result.ok())
            result = replacement_.commit(options_.checkpoint);
        mergeInto(result, skipped);
        return result;
    }

private:
    ArcResult readOld()
    {
        if (!replacement_.hadArchive() || replacement_.oldSize() == 0)
            return ArcResult::success();
        const FileSource source(replacement_.oldFd(), replacement_.oldSize());
        DirectoryStatus status = readCentralDirectory(source, old_);
        // A shifted archive (a self-extracting one, say) is read, but not rewritten: its records'
        // offsets would no longer match the data.
        if (status == DirectoryStatus::Ok && old_.irregular)
            status = DirectoryStatus::Corrupt;
        if (status == DirectoryStatus::ReadFailed)
            return ArcResult::failure(ArcStatus::ArchiveUnreadable, "cannot read " + path_ + ": " + errnoText(), path_,
                                      errno);
        if (status != DirectoryStatus::Ok)
            return ArcResult::failure(ArcStatus::ArchiveCorrupt,
                                      path_ + ": " + directoryStatusText(status) + "; not changed", path_);
        std::vector<std::uint64_t> starts;
        for (const CentralRecord& record : old_.records) {
            oldMembers_.push_back({&record, decodeMemberName(record.name, record.flags, record.extra), 0});
            starts.push_back(record.localHeaderOffset);
        }
        starts.push_back(old_.directoryOffset);
        std::sort(starts.begin(), starts.end());
        for (OldMember& member : oldMembers_)
            member.end = *std::upper_bound(starts.begin(), starts.end(), member.record->localHeaderOffset);
        return ArcResult::success();
    }

    std::vector<ExistingMember> existingMembers() const
    {
        std::vector<ExistingMember> out;
        for (const OldMember& member : oldMembers_) {
            std::string name = member.decodedName;
            const bool directory = !name.empty() && name.back() == '/';
            while (!name.empty() && name.back() == '/')
                name.pop_back();
            if (!name.empty())
                out.push_back({std::move(name), directory});
        }
        return out;
    }

    // What stays of the old archive goes into the new file first: everything before the
    // directory when no member is replaced (one copy, offsets unchanged), else the bytes before
    // the first member and each kept member's range, moved up over the replaced ones.
    ArcResult copyKeptMembers(const std::vector<SourceEntry>& entries)
    {
        std::unordered_set<std::string> replaced;
        for (const SourceEntry& entry : entries)
            replaced.insert(entry.isDirectory ? entry.memberName + "/" : entry.memberName);
        std::vector<const OldMember*> kept;
        for (const OldMember& member : oldMembers_)
            if (replaced.count(member.decodedName) == 0)
                kept.push_back(&member);
        std::uint64_t position = 0;
        if (kept.size() == oldMembers_.size()) {
            ArcResult result = replacement_.copyFromOld(0, old_.directoryOffset, 0, job_);
            if (!result.ok())
                return result;
            for (const OldMember* member : kept)
                keptRecords_.push_back(member->record->raw);
            position = old_.directoryOffset;
        } else {
            std::uint64_t firstMember = old_.directoryOffset;
            for (const OldMember& member : oldMembers_)
                firstMember = std::min(firstMember, member.record->localHeaderOffset);
            ArcResult result = replacement_.copyFromOld(0, firstMember, 0, job_);
            if (!result.ok())
                return result;
            position = firstMember;
            std::vector<const OldMember*> byOffset = kept;
            std::sort(byOffset.begin(), byOffset.end(), [](const OldMember* a, const OldMember* b) {
                return a->record->localHeaderOffset < b->record->localHeaderOffset;
            });
            std::map<std::uint64_t, std::uint64_t> moved;  // old offset -> new offset
            for (const OldMember* member : byOffset) {
                const std::uint64_t from = member->record->localHeaderOffset;
                if (moved.count(from) != 0)
                    continue;  // two records of one member: copied once
                result = replacement_.copyFromOld(from, member->end - from, position, job_);
                if (!result.ok())
                    return result;
                moved[from] = position;
                position += member->end - from;
            }
            for (const OldMember* member : kept) {
                std::string record =
                    relocatedCentralRecord(member->record->raw, moved[member->record->localHeaderOffset]);
                if (record.empty())
                    return ArcResult::failure(ArcStatus::ArchiveCorrupt,
                                              path_ + ": a directory record cannot be moved; not changed", path_);
                keptRecords_.push_back(std::move(record));
            }
        }
        output_.emplace(replacement_.newFd(), position);
        reached("old copied");
        return ArcResult::success();
    }

    ArcResult writeMembers(const std::vector<SourceEntry>& entries, CompressionHeadStart* headStart)
    {
        entries_ = &entries;
        std::unique_ptr<CompressionPool> pool;
        std::size_t next = 0;
        if (headStart != nullptr)
            next = adopt(*headStart, entries, pool);
        if (!pool) {
            unsigned threads =
                options_.threads != 0 ? options_.threads : std::max(1u, std::thread::hardware_concurrency());
            if (entries.size() == 1 && !entries[0].isDirectory && entries[0].size <= options_.wholeMemberLimit)
                threads = 0;  // one small file: nothing to overlap
            const int level = options_.level;
            pool =
                std::make_unique<CompressionPool>(threads, [level] { return std::make_unique<WorkerContext>(level); });
        }
        const int level = options_.level;
        const std::size_t wholeLimit = options_.wholeMemberLimit;
        const Job* job = &job_;
        for (std::size_t i = next; i < entries.size(); ++i) {
            if (job_.cancelled())
                return cancelledResult();
            const SourceEntry& entry = entries[i];
            if (entry.isDirectory) {
                ArcResult result = submit(*pool, PlannedUnit{i, true, false, true, true, 0, 0},
                                          [](WorkerContext&) { return UnitResult{}; });
                if (!result.ok())
                    return result;
                continue;
            }
            if (entry.size <= wholeLimit) {
                ArcResult result = submit(*pool, PlannedUnit{i, false, false, true, true, 0, entry.size},
                                          wholeFileJob(entry.diskPath, wholeLimit, level, job));
                if (!result.ok())
                    return result;
                continue;
            }
            std::shared_ptr<SourceFile> file;
            std::uint64_t size = 0;
            ArcResult result = openSource(entry, file, size);
            for (std::uint64_t offset = 0; result.ok() && offset < size; offset += options_.chunkSize) {
                const std::size_t length =
                    static_cast<std::size_t>(std::min<std::uint64_t>(options_.chunkSize, size - offset));
                const bool last = offset + length == size;
                const std::string display = entry.diskPath;
                std::string buffer;
                if (!spareBuffers_.empty()) {
                    buffer = std::move(spareBuffers_.back());
                    spareBuffers_.pop_back();
                }
                result = submit(*pool, PlannedUnit{i, false, true, offset == 0, last, size, length},
                                [file, offset, length, last, display, level, job,
                                 buffer = std::move(buffer)](WorkerContext& context) mutable {
                                    if (job->cancelled())
                                        return cancelledUnit();
                                    return compressChunk(*file, offset, length, last, display, level, context,
                                                         std::move(buffer));
                                });
            }
            // A file listed as large may be empty by now: it is still a member.
            if (result.ok() && size == 0)
                result = submit(*pool, PlannedUnit{i, false, false, true, true, 0, 0},
                                [](WorkerContext&) { return UnitResult{}; });
            if (!result.ok())
                return result;
        }
        while (!planned_.empty()) {
            ArcResult result = consumeBatch(*pool);
            if (!result.ok())
                return result;
        }
        return ArcResult::success();
    }

    // Takes over what a head start compressed: the entries that match the ones offered, in
    // order, are written from its results; from the first difference on (the archive itself
    // left out, say, or a name settled elsewhere) its results are dropped and the entries
    // compressed anew. Returns how many entries it covers.
    std::size_t adopt(CompressionHeadStart& headStart, const std::vector<SourceEntry>& entries,
                      std::unique_ptr<CompressionPool>& pool)
    {
        pool = headStart.takePool();
        if (!pool)
            return 0;
        const auto& offered = headStart.offered();
        std::size_t matched = 0;
        while (matched < offered.size() && matched < entries.size() &&
               offered[matched].diskPath == entries[matched].diskPath &&
               offered[matched].isDirectory == entries[matched].isDirectory)
            ++matched;
        for (std::size_t i = 0; i < offered.size(); ++i) {
            PlannedUnit unit{i, offered[i].isDirectory, false, true, true, 0, offered[i].listedSize};
            unit.discard = i >= matched;
            planned_.push_back(unit);
            bytesInFlight_ += unit.inputBytes;
        }
        return matched;
    }

    ArcResult openSource(const SourceEntry& entry, std::shared_ptr<SourceFile>& file, std::uint64_t& size) const
    {
        const int fd = ::open(entry.diskPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return ArcResult::failure(ArcStatus::InputMissing, "cannot open " + entry.diskPath + ": " + errnoText(),
                                      entry.diskPath, errno);
        file = std::make_shared<SourceFile>(fd);
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            return ArcResult::failure(ArcStatus::InputMissing, "could not read " + entry.diskPath + ": " + errnoText(),
                                      entry.diskPath, errno);
        if (!S_ISREG(info.st_mode))
            return ArcResult::failure(ArcStatus::InputMissing, entry.diskPath + " is no longer a regular file",
                                      entry.diskPath);
        size = static_cast<std::uint64_t>(info.st_size);
        return ArcResult::success();
    }

    // A file that grew past the size for whole members after it was listed: compressed here,
    // chunk by chunk as they are written, since the workers' queue has moved on past it.
    ArcResult writeGrownFile(std::size_t entryIndex)
    {
        const SourceEntry& entry = (*entries_)[entryIndex];
        std::shared_ptr<SourceFile> file;
        std::uint64_t size = 0;
        ArcResult result = openSource(entry, file, size);
        if (!result.ok())
            return result;
        if (!ownContext_)
            ownContext_ = std::make_unique<WorkerContext>(options_.level);
        std::uint64_t offset = 0;
        do {
            const std::size_t length =
                static_cast<std::size_t>(std::min<std::uint64_t>(options_.chunkSize, size - offset));
            const bool last = offset + length == size;
            const PlannedUnit unit{entryIndex, false, true, offset == 0, last, size, length};
            result = writeUnit(
                unit, compressChunk(*file, offset, length, last, entry.diskPath, options_.level, *ownContext_));
            offset += length;
        } while (result.ok() && offset < size);
        return result;
    }

    static UnitResult cancelledUnit()
    {
        UnitResult result;
        result.error = cancelledResult();
        return result;
    }

    ArcResult submit(CompressionPool& pool, const PlannedUnit& unit, CompressionPool::Job work)
    {
        while (!planned_.empty() &&
               (bytesInFlight_ + unit.inputBytes > options_.inFlightBytes || planned_.size() >= kMaxUnitsInFlight)) {
            ArcResult result = consumeBatch(pool);
            if (!result.ok())
                return result;
        }
        planned_.push_back(unit);
        bytesInFlight_ += unit.inputBytes;
        pool.submit(std::move(work));
        return ArcResult::success();
    }

    // Waits for a batch of the oldest results (a single large chunk counts as a batch of its
    // own, so memory stays bounded) and writes every result that is ready by then.
    ArcResult consumeBatch(CompressionPool& pool)
    {
        std::size_t count = 0;
        std::uint64_t bytes = 0;
        for (const PlannedUnit& unit : planned_) {
            if (count == kResultsPerWake || (count > 0 && bytes + unit.inputBytes > options_.inFlightBytes / 2))
                break;
            ++count;
            bytes += unit.inputBytes;
        }
        pool.waitForReady(count);
        do {
            ArcResult result = consume(pool);
            if (!result.ok())
                return result;
        } while (!planned_.empty() && pool.nextReady());
        return ArcResult::success();
    }

    // Takes the oldest result and writes it.
    ArcResult consume(CompressionPool& pool)
    {
        UnitResult result = pool.takeNext();
        const PlannedUnit unit = planned_.front();
        planned_.pop_front();
        bytesInFlight_ -= unit.inputBytes;
        if (unit.discard)
            return ArcResult::success();
        if (!result.error.ok())
            return result.error;
        if (result.grown)
            return writeGrownFile(unit.entryIndex);
        return writeUnit(unit, std::move(result));
    }

    // Writes one unit: local header (patched afterwards for a chunked member, whose sizes and
    // CRC are known only at its end), then data.
    ArcResult writeUnit(const PlannedUnit& unit, UnitResult result)
    {
        if (!result.error.ok())
            return result.error;
        const SourceEntry& entry = (*entries_)[unit.entryIndex];
        if (unit.firstChunk) {
            current_ = MemberRecord{};
            current_.name = entry.isDirectory ? entry.memberName + "/" : entry.memberName;
            current_.isDirectory = entry.isDirectory;
            current_.permissions = entry.mode & 07777;
            current_.mtime = entry.mtime;
            current_.method = entry.isDirectory ? kMethodStored : result.method;
            current_.localHeaderOffset = output_->position();
            current_.uncompressedSize = unit.chunked ? unit.memberSize : result.inputSize;
            current_.compressedSize = unit.chunked ? 0 : result.data.size();
            current_.crc32 = result.crc32;
            current_.zip64Local =
                !entry.isDirectory && (options_.forceZip64 || (unit.chunked ? unit.memberSize >= kZip64StreamThreshold
                                                                            : current_.compressedSize >= kMax32 ||
                                                                                  current_.uncompressedSize >= kMax32));
            if (!job_.beginEntry(current_.name, current_.uncompressedSize))
                return cancelledResult();
            if (!output_->write(buildLocalHeader(current_)))
                return writeFailure();
        } else {
            current_.crc32 = static_cast<std::uint32_t>(
                crc32_combine(current_.crc32, result.crc32, static_cast<z_off_t>(result.inputSize)));
        }
        if (unit.chunked)
            current_.compressedSize += result.data.size();
        if (!output_->write(result.data))
            return writeFailure();
        if (unit.chunked && spareBuffers_.size() < kMaxUnitsInFlight)
            spareBuffers_.push_back(std::move(result.data));
        if (!job_.advance(unit.chunked ? unit.inputBytes : result.inputSize))
            return cancelledResult();
        if (!unit.lastChunk)
            return ArcResult::success();
        if (unit.chunked) {
            if (!current_.zip64Local && current_.compressedSize >= kMax32)
                return ArcResult::failure(ArcStatus::Internal,
                                          entry.diskPath + ": compressed size overflowed its header");
            if (!output_->flush() || !output_->writeAt(current_.localHeaderOffset, buildLocalHeader(current_)))
                return writeFailure();
        }
        written_.push_back(current_);
        if (!job_.endEntry())
            return cancelledResult();
        reached("member written");
        if (options_.failAfterMembers && written_.size() == *options_.failAfterMembers)
            return ArcResult::failure(ArcStatus::WriteFailed,
                                      "injected failure after " + std::to_string(written_.size()) + " members");
        return ArcResult::success();
    }

    ArcResult writeDirectory()
    {
        const std::uint64_t directoryOffset = output_->position();
        std::uint64_t entryCount = 0;
        std::uint64_t directorySize = 0;
        auto emit = [&](const std::string& record) {
            ++entryCount;
            directorySize += record.size();
            return output_->write(record);
        };
        for (const std::string& record : keptRecords_)
            if (!emit(record))
                return writeFailure();
        for (const MemberRecord& member : written_)
            if (!emit(buildCentralRecord(member, options_.forceZip64)))
                return writeFailure();
        if (!output_->write(
                buildEndRecords(entryCount, directoryOffset, directorySize, old_.comment, options_.forceZip64)) ||
            !output_->flush())
            return writeFailure();
        reached("directory written");
        return ArcResult::success();
    }

    void reached(std::string_view step) const
    {
        if (options_.checkpoint)
            options_.checkpoint(step);
    }

    ArcResult writeFailure() const { return replacement_.writeFailure(errno); }

    // A streamed member's header is written before its size is known: at this input size
    // the compressed size might pass 4 GiB, so the header reserves zip64 fields.
    static constexpr std::uint64_t kZip64StreamThreshold = 0xF0000000u;
    static constexpr std::size_t kMaxUnitsInFlight = 64;
    static constexpr std::size_t kResultsPerWake = 16;

    const WriterOptions& options_;
    Job& job_;
    ArchiveReplacement replacement_;
    std::string path_;
    CentralDirectory old_;
    std::vector<OldMember> oldMembers_;
    std::vector<std::string> keptRecords_;
    const std::vector<SourceEntry>* entries_ = nullptr;
    std::optional<OutputFile> output_;
    std::deque<PlannedUnit> planned_;
    std::uint64_t bytesInFlight_ = 0;
    std::unique_ptr<WorkerContext> ownContext_;  // for a grown file, compressed on this thread
    std::vector<std::string> spareBuffers_;      // written chunks' buffers, handed to the next chunks
    MemberRecord current_;
    std::vector<MemberRecord> written_;
};

}  // namespace

ArcResult addToArchive(const std::string& archivePath, const std::vector<SourceEntry>& entries,
                       const WriterOptions& options)
{
    Job job;
    return addToArchive(archivePath, entries, options, job);
}

ArcResult addToArchive(const std::string& archivePath, const std::vector<SourceEntry>& entries,
                       const WriterOptions& options, Job& job, CompressionHeadStart* headStart)
{
    try {
        // A new archive that another command created first is added to on a second pass.
        ArcResult result;
        for (int attempt = 0; attempt < 3; ++attempt) {
            ArchiveUpdate update(options, job);
            result = update.run(archivePath, entries, headStart);
            if (!update.raced())
                break;
        }
        return result;
    } catch (const std::bad_alloc&) {
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory while writing " + archivePath);
    } catch (const std::system_error& error) {
        return ArcResult::failure(ArcStatus::Internal, std::string("cannot start worker threads: ") + error.what());
    }
}

}  // namespace arc::zip
