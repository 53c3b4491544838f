// Walks libarchive's entries beside our own survey of the central directory, which supplies
// the raw name bytes, flags, extras and CRC of each entry.
//
// libarchive gives up on a reader after a fatal error (a broken deflate stream, say), and
// cannot go back to an entry. Both are met by opening the archive again and skipping to the
// entry wanted: the seekable reader skips by seeking, so this costs no pass over the data.
// An entry is read again only after a passphrase that passed the format's quick check turned
// out wrong at the CRC or authentication code (see EntryPassphrases), or after its recorded
// sizes turned out cut to 32 bits.
#include "zip/archive_extractor.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "common/disk_writer.h"
#include "common/name_charset.h"
#include "common/safe_path.h"
#include "zip/directory_extraction.h"
#include "zip/directory_survey.h"
#include "zip/entry_passphrases.h"
#include "zip/libarchive_zip_reader.h"
#include "zip/member_names.h"
#include "zip/member_streamer.h"
#include "zip/raw_member_extraction.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kMethodDeflate64 = 9;
constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;
// Deflate cannot expand data more than this: a stream of n bytes gives at most about 1032 n.
constexpr std::uint64_t kDeflateMaxRatio = 1032;
// The largest data descriptor (signature, CRC, two 64-bit sizes).
constexpr std::uint64_t kMaxDescriptorSize = 24;
// Members from this size on are decoded on a worker thread while this one writes.
constexpr std::uint64_t kStreamedMinimum = std::uint64_t{4} << 20;

// What the walk does after an entry.
enum class Next {
    Continue,  // go on with the next entry
    Reopen,    // the reader is unusable: open the archive again at the next entry
    Retry,     // open the archive again at this same entry (another passphrase)
    Stop,      // cancelled
};

class Extraction {
public:
    Extraction(const std::string& archivePath, const std::string& destination, Job& job)
        : archivePath_(archivePath), job_(job), writer_(destination, &job), passphrases_(job, archivePath)
    {
    }

    ArcResult run()
    {
        struct stat info {};
        if (::stat(archivePath_.c_str(), &info) != 0) {
            const int error = errno;
            return ArcResult::failure(ArcStatus::ArchiveUnreadable,
                                      "cannot open " + archivePath_ + ": " + std::strerror(error), archivePath_, error);
        }
        if (!S_ISREG(info.st_mode))
            return ArcResult::failure(ArcStatus::ArchiveUnreadable, "cannot open " + archivePath_ + ": not a file",
                                      archivePath_);
        const DirectoryStatus directory = survey_.load(archivePath_);
        if (directory == DirectoryStatus::ReadFailed && survey_.readError() != 0)
            return unreadable("", archivePath_, survey_.readError());
        // Without a sound directory an archive may be cut short or damaged: what the local
        // headers still give is extracted, but the run must not look complete.
        if (directory != DirectoryStatus::Ok && directory != DirectoryStatus::ReadFailed)
            report(ArcStatus::ArchiveCorrupt, archivePath_ + ": " + directoryStatusText(directory), {});
        mergeInto(total_, survey_.problems());
        const bool counted = directory == DirectoryStatus::Ok;
        if (!job_.announceTotals(counted ? survey_.totalBytes() : 0, counted ? survey_.entries().size() : 0))
            return cancelledResult("extraction of " + archivePath_ + " cancelled");
        withoutEndRecord_ = directory == DirectoryStatus::NoEndRecord;
        sourceFd_ = ::open(archivePath_.c_str(), O_RDONLY | O_CLOEXEC);
        if (sourceFd_ >= 0)
            source_.emplace(sourceFd_, static_cast<std::uint64_t>(info.st_size));

        if (ArcResult opened = openReader(); !opened.ok())
            return opened;
        ArcResult opened = writer_.open();
        if (!opened.ok())
            return opened;
        if (source_)
            streamer_ = std::make_unique<MemberStreamer>(*source_, streamPlans(), job_);
        walk();
        streamer_.reset();
        mergeInto(total_, writer_.finish());
        return total_;
    }

    ~Extraction()
    {
        if (sourceFd_ >= 0)
            ::close(sourceFd_);
    }

private:
    void report(ArcStatus status, std::string message, std::string path)
    {
        mergeInto(total_, ArcResult::failure(status, std::move(message), std::move(path)));
    }

    // A result of the disk writer, attributed to the current entry when it names nothing.
    void mergeEntry(ArcResult result)
    {
        if (!result.ok() && result.path.empty())
            result.path = currentName_;
        if (destinationFull(result) && fullError_ == 0)
            fullError_ = result.systemError;
        mergeInto(total_, result);
    }

    // Every later file would fail as this one did: the run ends here, and says so.
    bool stoppedByFullDestination()
    {
        if (fullError_ == 0)
            return false;
        mergeInto(total_,
                  ArcResult::failure(ArcStatus::WriteFailed,
                                     "stopped: the destination " + writer_.destination() +
                                         " is full; the entries after \"" + currentName_ + "\" were not extracted",
                                     {}, fullError_));
        return true;
    }

    ArcResult unreadable(const std::string& prefix, const std::string& path, int error) const
    {
        return ArcResult::failure(ArcStatus::ArchiveUnreadable,
                                  (prefix.empty() ? "" : prefix + ": ") + "could not read " + archivePath_ + ": " +
                                      std::strerror(error),
                                  path, error);
    }

    // libarchive words a read that the disk refused as damage ("truncated ZIP file data"):
    // reading the current entry's own bytes tells a failing disk from a damaged archive.
    ArcResult readCurrentEntry() const
    {
        const SurveyedEntry* surveyed = survey_.at(currentPosition_);
        if (!source_ || surveyed == nullptr || surveyed->dataOffset == 0)
            return ArcResult::success();
        std::vector<char> buffer(std::size_t{1} << 20);
        const std::uint64_t end = surveyed->dataOffset + std::min(surveyed->record->compressedSize, surveyed->dataRoom);
        for (std::uint64_t at = surveyed->headerOffset; at < end; at += buffer.size()) {
            const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
            if (!source_->readAt(at, buffer.data(), piece))
                return errno == 0 ? ArcResult::success() : unreadable("\"" + currentName_ + "\"", currentName_, errno);
        }
        return ArcResult::success();
    }

    Next cancel()
    {
        writer_.abortFile();
        if (total_.status != ArcStatus::Cancelled)
            mergeInto(total_, cancelledResult());
        return Next::Stop;
    }

    // The large members among those the worker can decode ahead. Their decoding is only a head
    // start: what does not come out whole with the recorded CRC and size is read again through
    // libarchive, whose verdict stands.
    std::vector<StreamPlan> streamPlans() const
    {
        return readAheadPlans(
            survey_, [](const SurveyedEntry& entry) { return entry.record->uncompressedSize >= kStreamedMinimum; });
    }

    ArcResult openReader()
    {
        return reader_.open(archivePath_, sourceFd_, withoutEndRecord_, &EntryPassphrases::callback, &passphrases_);
    }

    // A fresh reader placed before entry `position`; false when libarchive cannot get there
    // (reported when the survey cannot take over either).
    bool reopenAt(std::size_t position)
    {
        const bool rawCanTakeOver = position < survey_.entries().size();
        if (ArcResult opened = openReader(); !opened.ok()) {
            if (!rawCanTakeOver)
                mergeInto(total_, opened);
            return false;
        }
        for (std::size_t i = 0; i < position; ++i) {
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(reader_.get(), &entry);
            if (status == ARCHIVE_EOF || status == ARCHIVE_FATAL) {
                if (!rawCanTakeOver)
                    report(ArcStatus::ArchiveCorrupt, archivePath_ + ": " + reader_.errorText(), {});
                return false;
            }
        }
        return true;
    }

    void walk()
    {
        for (std::size_t position = 0;;) {
            if (job_.cancelled()) {
                cancel();
                return;
            }
            if (stoppedByFullDestination())
                return;
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(reader_.get(), &entry);
            if (status == ARCHIVE_EOF)
                return;
            if (status == ARCHIVE_FATAL) {
                if (position < survey_.entries().size())
                    return extractRest(position);
                report(ArcStatus::ArchiveCorrupt, archivePath_ + ": " + reader_.errorText(), {});
                return;
            }
            Next next = Next::Continue;
            if (status == ARCHIVE_FAILED || status == ARCHIVE_RETRY) {
                const SurveyedEntry* surveyed = survey_.at(position);
                report(classifyLibarchiveError(reader_.errorText()), archivePath_ + ": " + reader_.errorText(),
                       surveyed != nullptr ? surveyed->name : std::string());
            } else {
                next = extractEntry(entry, position);
            }
            switch (next) {
            case Next::Stop: return;
            case Next::Continue: ++position; break;
            case Next::Reopen:
                ++position;
                if (!reopenAt(position))
                    return extractRest(position);
                break;
            case Next::Retry:
                if (!reopenAt(position))
                    return extractRest(position);
                break;
            }
        }
    }

    // The survey's entry at `position` when it is the one libarchive gives (same size, and the
    // same name bytes where libarchive kept them raw); else null, and libarchive's view is used.
    const SurveyedEntry* pair(std::size_t position, archive_entry* entry) const
    {
        const SurveyedEntry* surveyed = survey_.at(position);
        if (surveyed == nullptr)
            return nullptr;
        const CentralRecord& record = *surveyed->record;
        if (archive_entry_size_is_set(entry) && archive_entry_filetype(entry) == AE_IFREG &&
            static_cast<std::uint64_t>(archive_entry_size(entry)) != record.uncompressedSize)
            return nullptr;
        const char* raw = archive_entry_pathname(entry);
        const bool libarchiveConverted =
            (record.flags & 0x0800) != 0 || !unicodePathName(record.name, record.extra).empty();
        const std::string_view stored = std::string_view(record.name).substr(0, record.name.find('\0'));
        if (raw != nullptr && !libarchiveConverted && stored != raw)
            return nullptr;
        return surveyed;
    }

    static std::string fallbackName(archive_entry* entry)
    {
        if (const char* raw = archive_entry_pathname(entry))
            return decodeLegacyName(raw, LastResort::Cp437);
        if (const char* utf8 = archive_entry_pathname_utf8(entry))
            return utf8;
        return {};
    }

    Next extractEntry(archive_entry* entry, std::size_t position)
    {
        const SurveyedEntry* surveyed = pair(position, entry);
        currentPosition_ = position;
        currentName_ = surveyed != nullptr ? surveyed->name : fallbackName(entry);
        passphrases_.beginEntry(position, currentName_);
        const bool regular = archive_entry_filetype(entry) == AE_IFREG;
        std::uint64_t size = 0;
        if (regular && surveyed != nullptr)
            size = surveyed->record->uncompressedSize;
        else if (regular && archive_entry_size_is_set(entry))
            size = static_cast<std::uint64_t>(archive_entry_size(entry));
        if (!job_.beginEntry(currentName_, size))
            return cancel();
        const Next next = extractBody(entry, surveyed);
        if (next == Next::Stop || next == Next::Retry)
            return next;
        if (!job_.endEntry())
            return cancel();
        return next;
    }

    Next extractBody(archive_entry* entry, const SurveyedEntry* surveyed)
    {
        const std::string& name = currentName_;
        if (surveyed != nullptr && surveyed->overlaps)
            return Next::Continue;  // the survey reported it
        auto type = archive_entry_filetype(entry);
        const std::optional<std::string> path = safeRelativePath(name, true);
        if (!path) {
            if (type == AE_IFDIR && namesDestinationItself(name, true))
                return Next::Continue;
            report(ArcStatus::UnsafeEntry, "skipped \"" + name + "\": it would be written outside the destination",
                   name);
            return Next::Continue;
        }
        if (surveyed != nullptr && isSpecialFile(*surveyed->record))
            type = AE_IFIFO;
        const auto mode = static_cast<std::uint32_t>(archive_entry_perm(entry) & 0777);
        const std::int64_t mtime = archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : -1;
        currentPath_ = *path;
        currentMode_ = mode;
        currentMtime_ = mtime;
        switch (type) {
        case AE_IFDIR: mergeEntry(writer_.writeDirectory(*path, mode, mtime)); return Next::Continue;
        case AE_IFREG: break;
        case AE_IFLNK: return extractSymlink(entry, surveyed, *path, mtime);
        default:
            report(ArcStatus::SpecialEntry, "skipped \"" + name + "\": a device, FIFO or socket is never created",
                   name);
            return Next::Continue;
        }
        const bool encrypted = archive_entry_is_encrypted(entry) != 0;
        if (surveyed != nullptr && surveyed->method == kMethodDeflate64) {
            if (!encrypted)
                return extractDeflate64(*surveyed);
            report(ArcStatus::UnsupportedMethod, "skipped \"" + name + "\": encrypted Deflate64 is not supported",
                   name);
            return Next::Continue;
        }
        ArcResult begun = writer_.beginFile(*path, mode, mtime);
        if (!begun.ok()) {
            mergeEntry(std::move(begun));
            return Next::Continue;
        }
        if (!encrypted && surveyed != nullptr && streamer_) {
            if (const std::optional<Next> streamed = copyStreamed(*surveyed))
                return *streamed;
        }
        return copyData(surveyed, encrypted);
    }

    // The member's data as the streamer decoded it; null when it did not (or not whole): then
    // libarchive reads it, into a file begun afresh.
    std::optional<Next> copyStreamed(const SurveyedEntry& surveyed)
    {
        ArcResult failure;
        bool stopped = false;
        const auto consume = [&](const unsigned char* data, std::size_t size) {
            ArcResult written = writer_.writeData(data, size);
            if (!written.ok()) {
                failure = std::move(written);
                return false;
            }
            if (job_.advance(size))
                return true;
            stopped = true;
            return false;
        };
        RawMemberResult result;
        if (streamer_->take(currentPosition_, consume, result) == MemberStreamer::Taken::NotPlanned)
            return std::nullopt;
        if (stopped || job_.cancelled())
            return cancel();
        if (!failure.ok()) {
            writer_.abortFile();
            mergeEntry(std::move(failure));
            return Next::Continue;
        }
        const CentralRecord& record = *surveyed.record;
        if (result.status == RawMemberStatus::Ok && result.crc32 == record.crc32 &&
            result.size == record.uncompressedSize) {
            mergeEntry(writer_.commitFile());
            if (job_.cancelled())
                return cancel();
            return Next::Continue;
        }
        writer_.abortFile();
        ArcResult begun = writer_.beginFile(currentPath_, currentMode_, currentMtime_);
        if (!begun.ok()) {
            mergeEntry(std::move(begun));
            return Next::Continue;
        }
        return std::nullopt;
    }

    Next extractSymlink(archive_entry* entry, const SurveyedEntry* surveyed, const std::string& path,
                        std::int64_t mtime)
    {
        const char* rawTarget = archive_entry_symlink(entry);
        if (rawTarget == nullptr || *rawTarget == '\0') {
            report(ArcStatus::ArchiveCorrupt, "symbolic link \"" + currentName_ + "\" has no target", currentName_);
            return Next::Continue;
        }
        const std::string target = surveyed != nullptr ? decodeMemberName(rawTarget, surveyed->record->flags, {})
                                                       : decodeLegacyName(rawTarget, LastResort::Cp437);
        mergeEntry(writer_.writeSymlink(path, target, mtime));
        return Next::Continue;
    }

    Next copyData(const SurveyedEntry* surveyed, bool encrypted)
    {
        const CentralRecord* record = surveyed != nullptr ? surveyed->record : nullptr;
        std::uint32_t crc = 0;
        std::uint64_t written = 0;
        for (;;) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(reader_.get(), &block, &size, &offset);
            if (status == ARCHIVE_EOF)
                break;
            if (status == ARCHIVE_OK && size == 0)
                continue;  // libarchive's empty end block (null pointer)
            if (status != ARCHIVE_OK) {
                writer_.abortFile();
                const std::string text = reader_.errorText();
                if (!encrypted && surveyed != nullptr) {
                    if (const std::optional<Next> redone = readOversized(*surveyed, status <= ARCHIVE_FATAL))
                        return *redone;
                }
                return dataFailure(text, encrypted, status <= ARCHIVE_FATAL);
            }
            if (offset < 0 || static_cast<std::uint64_t>(offset) != written) {
                writer_.abortFile();
                report(ArcStatus::ArchiveCorrupt, "\"" + currentName_ + "\": data out of sequence", currentName_);
                return Next::Continue;
            }
            ArcResult result = writer_.writeData(block, size);
            if (!result.ok()) {
                writer_.abortFile();
                mergeEntry(std::move(result));
                return Next::Continue;
            }
            crc = libdeflate_crc32(crc, block, size);
            written += size;
            if (!job_.advance(size))
                return cancel();
        }
        // AE-2 stores no CRC (0): its authentication code, which libarchive checked, stands for it.
        const bool crcStored = surveyed == nullptr || !surveyed->aesAuthenticated;
        if (record != nullptr && ((crcStored && crc != record->crc32) || written != record->uncompressedSize)) {
            writer_.abortFile();
            if (!encrypted) {
                if (const std::optional<Next> redone = readOversized(*surveyed, false))
                    return *redone;
            }
            return dataFailure("data does not match its CRC-32", encrypted, false);
        }
        mergeEntry(writer_.commitFile());
        if (job_.cancelled())
            return cancel();
        return Next::Continue;
    }

    // The entry's data could not be read to a good end. On an encrypted entry that is most
    // likely a wrong passphrase that passed the quick check (see EntryPassphrases).
    Next dataFailure(const std::string& text, bool encrypted, bool fatal)
    {
        const Next after = fatal ? Next::Reopen : Next::Continue;
        if (job_.cancelled())
            return cancel();
        ArcStatus status = classifyLibarchiveError(text);
        if (status == ArcStatus::ArchiveCorrupt || status == ArcStatus::CrcMismatch) {
            if (ArcResult unread = readCurrentEntry(); !unread.ok()) {
                mergeInto(total_, unread);
                return after;
            }
        }
        // A reader opened again asks from scratch, and says "required" though one was given.
        if (status == ArcStatus::PasswordRequired && passphrases_.givenForEntry())
            status = ArcStatus::WrongPassword;
        std::string message = "\"" + currentName_ + "\": " + text;
        if (encrypted && (status == ArcStatus::CrcMismatch || status == ArcStatus::ArchiveCorrupt)) {
            switch (passphrases_.afterDataFailure()) {
            case EntryPassphrases::DataVerdict::AskAgain: return Next::Retry;
            case EntryPassphrases::DataVerdict::Damaged:
                status = ArcStatus::CrcMismatch;
                message += " (with a passphrase that was accepted)";
                break;
            case EntryPassphrases::DataVerdict::Wrong: status = ArcStatus::WrongPassword; break;
            }
        }
        if (status == ArcStatus::WrongPassword)
            message += " (wrong passphrase)";
        report(status, message + "; not extracted", currentName_);
        return after;
    }

    RawMemberPlan planFor(const SurveyedEntry& surveyed) const
    {
        const CentralRecord& record = *surveyed.record;
        return RawMemberPlan{
            currentName_,        currentPath_,          currentMode_, currentMtime_,           surveyed.method,
            surveyed.dataOffset, record.compressedSize, record.crc32, record.uncompressedSize, false};
    }

    Next runRaw(const RawMemberPlan& plan, Next after)
    {
        ArcResult failure;
        if (extractRawMember(*source_, plan, writer_, job_, failure) == RawOutcome::Cancelled)
            return cancel();
        mergeEntry(std::move(failure));
        return after;
    }

    // Writers without (or with half of) zip64 stored the sizes of members over 4 GiB cut to 32
    // bits, so libarchive stops early. Such a member is read again here, its real extent taken
    // from the room up to the next header (stored) or from the stream's own end (deflate), and
    // kept only when its CRC-32 and its size modulo 4 GiB prove it whole. Null when the member
    // cannot be one of those: its first failure stands.
    std::optional<Next> readOversized(const SurveyedEntry& surveyed, bool fatal)
    {
        const CentralRecord& record = *surveyed.record;
        const std::uint64_t room = surveyed.dataRoom;
        if (!source_ || surveyed.dataOffset == 0 || (record.flags & 1) != 0)
            return std::nullopt;
        RawMemberPlan plan = planFor(surveyed);
        plan.sizeModulo4GiB = true;
        plan.compressedSize = room;
        if (surveyed.method == kMethodStored) {
            if (room < record.compressedSize + k4GiB)
                return std::nullopt;
            plan.compressedSize = record.compressedSize;
            while (plan.compressedSize + k4GiB <= room)
                plan.compressedSize += k4GiB;
            if (room - plan.compressedSize > kMaxDescriptorSize)
                return std::nullopt;
        } else if (surveyed.method != kMethodDeflate ||
                   (room < record.compressedSize + k4GiB && record.compressedSize < k4GiB / kDeflateMaxRatio)) {
            return std::nullopt;
        }
        return runRaw(plan, fatal ? Next::Reopen : Next::Continue);
    }

    Next extractDeflate64(const SurveyedEntry& surveyed)
    {
        if (surveyed.dataOffset == 0 || !source_) {
            report(ArcStatus::ArchiveCorrupt, "\"" + currentName_ + "\": its local header cannot be read",
                   currentName_);
            return Next::Continue;
        }
        return runRaw(planFor(surveyed), Next::Continue);
    }

    // libarchive cannot go past the header of the entry at `position` (it gives up on the
    // whole archive there): that entry and the ones after it are read from their raw bytes,
    // as far as their methods allow, so one damaged header does not lose the rest.
    void extractRest(std::size_t position)
    {
        for (; position < survey_.entries().size(); ++position) {
            if (job_.cancelled()) {
                cancel();
                return;
            }
            if (stoppedByFullDestination())
                return;
            const SurveyedEntry& surveyed = survey_.entries()[position];
            currentName_ = surveyed.name;
            if (!job_.beginEntry(currentName_, surveyed.record->uncompressedSize)) {
                cancel();
                return;
            }
            if (extractRaw(surveyed) == Next::Stop)
                return;
            if (!job_.endEntry()) {
                cancel();
                return;
            }
        }
    }

    Next extractRaw(const SurveyedEntry& surveyed)
    {
        const CentralRecord& record = *surveyed.record;
        const std::string& name = currentName_;
        if (surveyed.overlaps)
            return Next::Continue;  // the survey reported it
        const std::optional<std::string> path = safeRelativePath(name, true);
        const bool unixMode = (record.madeBy >> 8) == 3;
        const std::uint32_t type = unixMode ? (record.externalAttributes >> 16) & S_IFMT : 0;
        const bool directory = type == S_IFDIR || (record.externalAttributes & 0x10) != 0 ||
                               (!name.empty() && (name.back() == '/' || name.back() == '\\'));
        if (!path) {
            if (directory && namesDestinationItself(name, true))
                return Next::Continue;
            report(ArcStatus::UnsafeEntry, "skipped \"" + name + "\": it would be written outside the destination",
                   name);
            return Next::Continue;
        }
        currentPath_ = *path;
        currentMode_ = unixMode ? (record.externalAttributes >> 16) & 0777 : 0;
        currentMtime_ = memberMtime(record);
        if (directory) {
            mergeEntry(writer_.writeDirectory(*path, currentMode_, currentMtime_));
            return Next::Continue;
        }
        if (isSpecialFile(record) || type == S_IFLNK) {
            report(type == S_IFLNK ? ArcStatus::ArchiveCorrupt : ArcStatus::SpecialEntry,
                   "skipped \"" + name + "\": not a file that can be read past the damage before it", name);
            return Next::Continue;
        }
        if ((record.flags & 1) != 0 || surveyed.dataOffset == 0 || !source_) {
            report(ArcStatus::ArchiveCorrupt,
                   "\"" + name + "\": " + (surveyed.dataOffset == 0 ? "its local header is damaged" : "encrypted") +
                       ", and libarchive cannot read on from the damage; not extracted",
                   name);
            return Next::Continue;
        }
        return runRaw(planFor(surveyed), Next::Continue);
    }

    std::string archivePath_;
    Job& job_;
    SafeDiskWriter writer_;
    EntryPassphrases passphrases_;
    DirectorySurvey survey_;
    bool withoutEndRecord_ = false;
    int sourceFd_ = -1;
    LibarchiveZipReader reader_;  // reads through its own duplicate of sourceFd_ when streamed
    std::optional<FileSource> source_;
    std::unique_ptr<MemberStreamer> streamer_;  // reads source_, so goes before it
    ArcResult total_;
    int fullError_ = 0;  // ENOSPC or EDQUOT once the destination is full

    std::string currentName_;
    std::size_t currentPosition_ = 0;
    std::string currentPath_;  // the safe path of the current entry
    std::uint32_t currentMode_ = 0;
    std::int64_t currentMtime_ = -1;
};

}  // namespace

ArcResult extractArchive(const std::string& archivePath, const std::string& destination)
{
    Job job;
    return extractArchive(archivePath, destination, job);
}

ArcResult extractArchive(const std::string& archivePath, const std::string& destination, Job& job)
{
    try {
        if (std::optional<ArcResult> read = extractByDirectory(archivePath, destination, job))
            return *read;
        Extraction extraction(archivePath, destination, job);
        return extraction.run();
    } catch (const std::bad_alloc&) {
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory while extracting " + archivePath);
    }
}

}  // namespace arc::zip
