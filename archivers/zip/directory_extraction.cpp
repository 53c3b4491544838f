// The walk over a sound central directory: one member after the other, in data order.
#include "zip/directory_extraction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "common/disk_writer.h"
#include "common/safe_path.h"
#include "zip/directory_survey.h"
#include "zip/member_extractor.h"
#include "zip/member_names.h"
#include "zip/member_streamer.h"
#include "zip/raw_member_extraction.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;
// Deflate cannot expand data more than this: a stream of n bytes gives at most about 1032 n.
constexpr std::uint64_t kDeflateMaxRatio = 1032;
// The largest data descriptor (signature, CRC, two 64-bit sizes).
constexpr std::uint64_t kMaxDescriptorSize = 24;
// A symbolic link's target is a path, never longer than this.
constexpr std::size_t kMaxLinkTarget = 4096;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

enum class Next { Continue, Stop };

enum class MemberKind { File, Directory, Symlink, Special };

// What a member is: a Unix mode says so when the record was made on Unix; else the DOS folder
// attribute, or a name that ends in a separator, makes a folder.
MemberKind kindOf(const SurveyedEntry& entry)
{
    const CentralRecord& record = *entry.record;
    const std::uint32_t type = (record.madeBy >> 8) == 3 ? (record.externalAttributes >> 16) & S_IFMT : 0;
    const std::string& name = entry.name;
    if (type == S_IFDIR || (type == 0 && (record.externalAttributes & 0x10) != 0) ||
        (!name.empty() && (name.back() == '/' || name.back() == '\\')))
        return MemberKind::Directory;
    if (type == S_IFLNK)
        return MemberKind::Symlink;
    return isSpecialFile(record) ? MemberKind::Special : MemberKind::File;
}

class DirectoryExtraction {
public:
    DirectoryExtraction(const std::string& archivePath, const std::string& destination, Job& job,
                        const DirectorySurvey& survey, const ByteSource& source)
        : archivePath_(archivePath), job_(job), survey_(survey), source_(source), writer_(destination, &job),
          members_(source, writer_, job, archivePath)
    {
    }

    ArcResult run()
    {
        // The totals go out before anything is written, not even the destination folder.
        if (!job_.announceTotals(survey_.totalBytes(), survey_.entries().size()))
            return cancelledResult("extraction of " + archivePath_ + " cancelled");
        if (ArcResult opened = writer_.open(); !opened.ok())
            return opened;
        mergeInto(total_, survey_.problems());
        streamer_ = std::make_unique<MemberStreamer>(source_, streamPlans(), job_);
        walk();
        streamer_.reset();
        mergeInto(total_, writer_.finish());
        return total_;
    }

private:
    void report(ArcStatus status, std::string message, std::string path)
    {
        mergeInto(total_, ArcResult::failure(status, std::move(message), std::move(path)));
    }

    void mergeEntry(ArcResult result)
    {
        if (!result.ok() && result.path.empty())
            result.path = target_.name;
        destinationFull_ = destinationFull_ || destinationFull(result);
        mergeInto(total_, result);
    }

    // Every later file would fail as this one did: the run ends here, and says so.
    bool stoppedByFullDestination()
    {
        if (!destinationFull_)
            return false;
        mergeInto(total_,
                  ArcResult::failure(ArcStatus::WriteFailed,
                                     "stopped: the destination " + writer_.destination() +
                                         " is full; the entries after \"" + target_.name + "\" were not extracted",
                                     {}, ENOSPC));
        return true;
    }

    Next cancel()
    {
        writer_.abortFile();
        if (total_.status != ArcStatus::Cancelled)
            mergeInto(total_, cancelledResult());
        return Next::Stop;
    }

    // The plain files among the members the worker can decode ahead.
    std::vector<StreamPlan> streamPlans() const
    {
        return readAheadPlans(survey_,
                              [this](const SurveyedEntry& entry) { return kindOf(entry) == MemberKind::File; });
    }

    void walk()
    {
        const std::vector<SurveyedEntry>& entries = survey_.entries();
        for (std::size_t position = 0; position < entries.size(); ++position) {
            if (job_.cancelled()) {
                cancel();
                return;
            }
            if (stoppedByFullDestination())
                return;
            const SurveyedEntry& entry = entries[position];
            if (!job_.beginEntry(entry.name, entry.record->uncompressedSize)) {
                cancel();
                return;
            }
            if (extractEntry(position, entry) == Next::Stop)
                return;
            if (!job_.endEntry()) {
                cancel();
                return;
            }
        }
    }

    Next extractEntry(std::size_t position, const SurveyedEntry& entry)
    {
        if (entry.overlaps)
            return Next::Continue;  // the survey reported it
        const CentralRecord& record = *entry.record;
        const std::string& name = entry.name;
        const MemberKind kind = kindOf(entry);
        const bool directory = kind == MemberKind::Directory;
        const std::optional<std::string> path = safeRelativePath(name, true);
        if (!path) {
            if (!(directory && namesDestinationItself(name, true)))
                report(ArcStatus::UnsafeEntry, "skipped \"" + name + "\": it would be written outside the destination",
                       name);
            return Next::Continue;
        }
        const bool unixMode = (record.madeBy >> 8) == 3;
        target_ =
            MemberTarget{name, *path, unixMode ? (record.externalAttributes >> 16) & 0777 : 0, memberMtime(record)};
        if (directory) {
            mergeEntry(writer_.writeDirectory(target_.path, target_.mode, target_.mtime));
            return Next::Continue;
        }
        if (kind == MemberKind::Special) {
            report(ArcStatus::SpecialEntry, "skipped \"" + name + "\": a device, FIFO or socket is never created",
                   name);
            return Next::Continue;
        }
        if (entry.dataOffset == 0) {
            report(ArcStatus::ArchiveCorrupt, "\"" + name + "\": its local header cannot be read; not extracted", name);
            return Next::Continue;
        }
        if (kind == MemberKind::Symlink)
            return extractSymlink(entry);
        if (const std::optional<Next> streamed = extractStreamed(position, entry))
            return *streamed;
        ArcResult failure;
        switch (members_.extractFile(entry, target_, failure)) {
        case MemberOutcome::Committed: return job_.cancelled() ? cancel() : Next::Continue;
        case MemberOutcome::Cancelled: return cancel();
        case MemberOutcome::Failed: break;
        }
        return afterDataFailure(entry, std::move(failure));
    }

    Next extractSymlink(const SurveyedEntry& entry)
    {
        std::string target;
        ArcResult failure;
        switch (members_.readSmall(entry, target_.name, kMaxLinkTarget, target, failure)) {
        case MemberOutcome::Cancelled: return cancel();
        case MemberOutcome::Failed: mergeEntry(std::move(failure)); return Next::Continue;
        case MemberOutcome::Committed: break;
        }
        if (target.empty() || target.find('\0') != std::string::npos) {
            report(ArcStatus::ArchiveCorrupt, "symbolic link \"" + target_.name + "\" has no usable target",
                   target_.name);
            return Next::Continue;
        }
        mergeEntry(
            writer_.writeSymlink(target_.path, decodeMemberName(target, entry.record->flags, {}), target_.mtime));
        return Next::Continue;
    }

    // The member as the streamer decoded it, or nullopt when it was not planned there.
    std::optional<Next> extractStreamed(std::size_t position, const SurveyedEntry& entry)
    {
        ArcResult writeFailure;
        bool stopped = false;
        bool begun = false;
        const auto consume = [&](const unsigned char* data, std::size_t size) {
            if (!begun) {
                begun = true;
                writeFailure = writer_.beginFile(target_.path, target_.mode, target_.mtime);
                if (!writeFailure.ok())
                    return false;
            }
            writeFailure = writer_.writeData(data, size);
            if (!writeFailure.ok())
                return false;
            stopped = !job_.advance(size);
            return !stopped;
        };
        RawMemberResult result;
        if (streamer_->take(position, consume, result) == MemberStreamer::Taken::NotPlanned)
            return std::nullopt;
        if (stopped || job_.cancelled())
            return cancel();
        if (!writeFailure.ok()) {
            writer_.abortFile();
            mergeEntry(std::move(writeFailure));
            return Next::Continue;
        }
        const CentralRecord& record = *entry.record;
        const bool whole = result.status == RawMemberStatus::Ok && result.crc32 == record.crc32 &&
                           result.size == record.uncompressedSize;
        if (whole && !begun) {
            // An empty stream: nothing reached consume().
            if (ArcResult created = writer_.beginFile(target_.path, target_.mode, target_.mtime); !created.ok()) {
                mergeEntry(std::move(created));
                return Next::Continue;
            }
            begun = true;
        }
        if (whole) {
            mergeEntry(writer_.commitFile());
            return job_.cancelled() ? cancel() : Next::Continue;
        }
        if (begun)
            writer_.abortFile();
        ArcResult failure;
        if (result.status != RawMemberStatus::Ok)
            failure = decodeFailure(result.status, target_.name, result.systemError);
        else
            failure = ArcResult::failure(ArcStatus::CrcMismatch,
                                         "\"" + target_.name + "\": data does not match its CRC-32; not extracted",
                                         target_.name);
        return afterDataFailure(entry, std::move(failure));
    }

    // Writers without (or with half of) zip64 stored the sizes of members over 4 GiB cut to 32
    // bits. Such a member is read again, its real extent taken from the room up to the next
    // header (stored) or from the stream's own end (deflate), and kept only when its CRC-32 and
    // its size modulo 4 GiB prove it whole. Any other member's first failure stands.
    Next afterDataFailure(const SurveyedEntry& entry, ArcResult failure)
    {
        const CentralRecord& record = *entry.record;
        const std::uint64_t room = entry.dataRoom;
        const bool dataFailure =
            failure.status == ArcStatus::ArchiveCorrupt || failure.status == ArcStatus::CrcMismatch;
        RawMemberPlan plan{target_.name,     target_.path, target_.mode, target_.mtime,           entry.method,
                           entry.dataOffset, room,         record.crc32, record.uncompressedSize, true};
        bool oversized = false;
        if (dataFailure && (record.flags & 1) == 0) {
            if (entry.method == kMethodStored && room >= record.compressedSize + k4GiB) {
                plan.compressedSize = record.compressedSize;
                while (plan.compressedSize + k4GiB <= room)
                    plan.compressedSize += k4GiB;
                oversized = room - plan.compressedSize <= kMaxDescriptorSize;
            } else if (entry.method == kMethodDeflate) {
                oversized = room >= record.compressedSize + k4GiB || record.compressedSize >= k4GiB / kDeflateMaxRatio;
            }
        }
        if (!oversized) {
            mergeEntry(std::move(failure));
            return Next::Continue;
        }
        ArcResult rawFailure;
        if (extractRawMember(source_, plan, writer_, job_, rawFailure) == RawOutcome::Cancelled)
            return cancel();
        mergeEntry(std::move(rawFailure));
        return Next::Continue;
    }

    const std::string& archivePath_;
    Job& job_;
    const DirectorySurvey& survey_;
    const ByteSource& source_;
    SafeDiskWriter writer_;
    MemberExtractor members_;
    std::unique_ptr<MemberStreamer> streamer_;
    ArcResult total_;
    bool destinationFull_ = false;
    MemberTarget target_;
};

}  // namespace

std::optional<ArcResult> extractByDirectory(const std::string& archivePath, const std::string& destination, Job& job)
{
    const Descriptor fd(::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    DirectorySurvey survey;
    if (survey.load(archivePath) != DirectoryStatus::Ok)
        return std::nullopt;
    const FileSource source(fd.get(), static_cast<std::uint64_t>(info.st_size));
    DirectoryExtraction extraction(archivePath, destination, job, survey, source);
    return extraction.run();
}

}  // namespace arc::zip
