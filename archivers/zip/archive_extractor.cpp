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
#include "zip/directory_survey.h"
#include "zip/entry_passphrases.h"
#include "zip/libarchive_zip_reader.h"
#include "zip/member_names.h"
#include "zip/raw_member_reader.h"

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

// libarchive turns a Unix mode it does not create into a regular file; the record says what it is.
bool isSpecialFile(const CentralRecord& record) {
    if ((record.madeBy >> 8) != 3) return false;
    const std::uint32_t type = (record.externalAttributes >> 16) & S_IFMT;
    return type == S_IFIFO || type == S_IFCHR || type == S_IFBLK || type == S_IFSOCK;
}

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
        : archivePath_(archivePath), job_(job), writer_(destination, &job), passphrases_(job, archivePath) {}

    ArcResult run() {
        struct stat info{};
        if (::stat(archivePath_.c_str(), &info) != 0) {
            const int error = errno;
            return ArcResult::failure(ArcStatus::ArchiveUnreadable,
                                      "cannot open " + archivePath_ + ": " + std::strerror(error), archivePath_, error);
        }
        if (!S_ISREG(info.st_mode))
            return ArcResult::failure(ArcStatus::ArchiveUnreadable, "cannot open " + archivePath_ + ": not a file",
                                      archivePath_);
        const DirectoryStatus directory = survey_.load(archivePath_);
        // Without a sound directory an archive may be cut short or damaged: what the local
        // headers still give is extracted, but the run must not look complete.
        if (directory != DirectoryStatus::Ok && directory != DirectoryStatus::ReadFailed)
            report(ArcStatus::ArchiveCorrupt, archivePath_ + ": " + directoryStatusText(directory), {});
        mergeInto(total_, survey_.problems());
        if (directory == DirectoryStatus::Ok) job_.setTotals(survey_.totalBytes(), survey_.entries().size());
        withoutEndRecord_ = directory == DirectoryStatus::NoEndRecord;
        sourceFd_ = ::open(archivePath_.c_str(), O_RDONLY | O_CLOEXEC);
        if (sourceFd_ >= 0) source_.emplace(sourceFd_, static_cast<std::uint64_t>(info.st_size));

        if (ArcResult opened = openReader(); !opened.ok()) return opened;
        ArcResult opened = writer_.open();
        if (!opened.ok()) return opened;
        walk();
        mergeInto(total_, writer_.finish());
        return total_;
    }

    ~Extraction() {
        if (sourceFd_ >= 0) ::close(sourceFd_);
    }

private:
    void report(ArcStatus status, std::string message, std::string path) {
        mergeInto(total_, ArcResult::failure(status, std::move(message), std::move(path)));
    }

    // A result of the disk writer, attributed to the current entry when it names nothing.
    void mergeEntry(ArcResult result) {
        if (!result.ok() && result.path.empty()) result.path = currentName_;
        mergeInto(total_, result);
    }

    Next cancel() {
        writer_.abortFile();
        if (total_.status != ArcStatus::Cancelled) mergeInto(total_, cancelledResult());
        return Next::Stop;
    }

    ArcResult openReader() {
        return reader_.open(archivePath_, sourceFd_, withoutEndRecord_, &EntryPassphrases::callback, &passphrases_);
    }

    // A fresh reader placed before entry `position`; false (reported) when that fails.
    bool reopenAt(std::size_t position) {
        if (ArcResult opened = openReader(); !opened.ok()) {
            mergeInto(total_, opened);
            return false;
        }
        for (std::size_t i = 0; i < position; ++i) {
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(reader_.get(), &entry);
            if (status == ARCHIVE_EOF || status == ARCHIVE_FATAL) {
                report(ArcStatus::ArchiveCorrupt, archivePath_ + ": " + reader_.errorText(), {});
                return false;
            }
        }
        return true;
    }

    void walk() {
        for (std::size_t position = 0;;) {
            if (job_.cancelled()) {
                cancel();
                return;
            }
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(reader_.get(), &entry);
            if (status == ARCHIVE_EOF) return;
            if (status == ARCHIVE_FATAL) {
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
                if (!reopenAt(position)) return;
                break;
            case Next::Retry:
                if (!reopenAt(position)) return;
                break;
            }
        }
    }

    // The survey's entry at `position` when it is the one libarchive gives (same size, and the
    // same name bytes where libarchive kept them raw); else null, and libarchive's view is used.
    const SurveyedEntry* pair(std::size_t position, archive_entry* entry) const {
        const SurveyedEntry* surveyed = survey_.at(position);
        if (surveyed == nullptr) return nullptr;
        const CentralRecord& record = *surveyed->record;
        if (archive_entry_size_is_set(entry) && archive_entry_filetype(entry) == AE_IFREG &&
            static_cast<std::uint64_t>(archive_entry_size(entry)) != record.uncompressedSize)
            return nullptr;
        const char* raw = archive_entry_pathname(entry);
        const bool libarchiveConverted = (record.flags & 0x0800) != 0 || !unicodePathName(record.name, record.extra).empty();
        const std::string_view stored = std::string_view(record.name).substr(0, record.name.find('\0'));
        if (raw != nullptr && !libarchiveConverted && stored != raw) return nullptr;
        return surveyed;
    }

    static std::string fallbackName(archive_entry* entry) {
        if (const char* raw = archive_entry_pathname(entry)) return decodeLegacyName(raw, LastResort::Cp437);
        if (const char* utf8 = archive_entry_pathname_utf8(entry)) return utf8;
        return {};
    }

    Next extractEntry(archive_entry* entry, std::size_t position) {
        const SurveyedEntry* surveyed = pair(position, entry);
        currentName_ = surveyed != nullptr ? surveyed->name : fallbackName(entry);
        passphrases_.beginEntry(position, currentName_);
        const bool regular = archive_entry_filetype(entry) == AE_IFREG;
        std::uint64_t size = 0;
        if (regular && surveyed != nullptr) size = surveyed->record->uncompressedSize;
        else if (regular && archive_entry_size_is_set(entry)) size = static_cast<std::uint64_t>(archive_entry_size(entry));
        if (!job_.beginEntry(currentName_, size)) return cancel();
        const Next next = extractBody(entry, surveyed);
        if (next == Next::Stop || next == Next::Retry) return next;
        if (!job_.endEntry()) return cancel();
        return next;
    }

    Next extractBody(archive_entry* entry, const SurveyedEntry* surveyed) {
        const std::string& name = currentName_;
        if (surveyed != nullptr && surveyed->overlaps) return Next::Continue;  // the survey reported it
        auto type = archive_entry_filetype(entry);
        const std::optional<std::string> path = safeRelativePath(name, true);
        if (!path) {
            if (type == AE_IFDIR && namesDestinationItself(name, true)) return Next::Continue;
            report(ArcStatus::UnsafeEntry, "skipped \"" + name + "\": it would be written outside the destination", name);
            return Next::Continue;
        }
        if (surveyed != nullptr && isSpecialFile(*surveyed->record)) type = AE_IFIFO;
        const auto mode = static_cast<std::uint32_t>(archive_entry_perm(entry) & 0777);
        const std::int64_t mtime = archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : -1;
        currentPath_ = *path;
        currentMode_ = mode;
        currentMtime_ = mtime;
        switch (type) {
        case AE_IFDIR:
            mergeEntry(writer_.writeDirectory(*path, mode, mtime));
            return Next::Continue;
        case AE_IFREG:
            break;
        case AE_IFLNK:
            return extractSymlink(entry, surveyed, *path, mtime);
        default:
            report(ArcStatus::SpecialEntry, "skipped \"" + name + "\": a device, FIFO or socket is never created", name);
            return Next::Continue;
        }
        const bool encrypted = archive_entry_is_encrypted(entry) != 0;
        if (surveyed != nullptr && surveyed->method == kMethodDeflate64) {
            if (!encrypted) return extractDeflate64(*surveyed, *path, mode, mtime);
            report(ArcStatus::UnsupportedMethod, "skipped \"" + name + "\": encrypted Deflate64 is not supported", name);
            return Next::Continue;
        }
        ArcResult begun = writer_.beginFile(*path, mode, mtime);
        if (!begun.ok()) {
            mergeEntry(std::move(begun));
            return Next::Continue;
        }
        return copyData(surveyed, encrypted);
    }

    Next extractSymlink(archive_entry* entry, const SurveyedEntry* surveyed, const std::string& path, std::int64_t mtime) {
        const char* rawTarget = archive_entry_symlink(entry);
        if (rawTarget == nullptr || *rawTarget == '\0') {
            report(ArcStatus::ArchiveCorrupt, "symbolic link \"" + currentName_ + "\" has no target", currentName_);
            return Next::Continue;
        }
        const std::string target = surveyed != nullptr
                                       ? decodeMemberName(rawTarget, surveyed->record->flags, {})
                                       : decodeLegacyName(rawTarget, LastResort::Cp437);
        mergeEntry(writer_.writeSymlink(path, target, mtime));
        return Next::Continue;
    }

    Next copyData(const SurveyedEntry* surveyed, bool encrypted) {
        const CentralRecord* record = surveyed != nullptr ? surveyed->record : nullptr;
        std::uint32_t crc = 0;
        std::uint64_t written = 0;
        for (;;) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(reader_.get(), &block, &size, &offset);
            if (status == ARCHIVE_EOF) break;
            if (status == ARCHIVE_OK && size == 0) continue;  // libarchive's empty end block (null pointer)
            if (status != ARCHIVE_OK) {
                writer_.abortFile();
                const std::string text = reader_.errorText();
                if (!encrypted && surveyed != nullptr) {
                    if (const std::optional<Next> redone = readOversized(*surveyed, status <= ARCHIVE_FATAL)) return *redone;
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
            if (!job_.advance(size)) return cancel();
        }
        // AE-2 stores no CRC (0): its authentication code, which libarchive checked, stands for it.
        const bool crcStored = surveyed == nullptr || !surveyed->aesAuthenticated;
        if (record != nullptr && ((crcStored && crc != record->crc32) || written != record->uncompressedSize)) {
            writer_.abortFile();
            if (!encrypted) {
                if (const std::optional<Next> redone = readOversized(*surveyed, false)) return *redone;
            }
            return dataFailure("data does not match its CRC-32", encrypted, false);
        }
        mergeEntry(writer_.commitFile());
        if (job_.cancelled()) return cancel();
        return Next::Continue;
    }

    // The entry's data could not be read to a good end. On an encrypted entry that is most
    // likely a wrong passphrase that passed the quick check (see EntryPassphrases).
    Next dataFailure(const std::string& text, bool encrypted, bool fatal) {
        const Next after = fatal ? Next::Reopen : Next::Continue;
        if (job_.cancelled()) return cancel();
        ArcStatus status = classifyLibarchiveError(text);
        // A reader opened again asks from scratch, and says "required" though one was given.
        if (status == ArcStatus::PasswordRequired && passphrases_.givenForEntry()) status = ArcStatus::WrongPassword;
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
        if (status == ArcStatus::WrongPassword) message += " (wrong passphrase)";
        report(status, message + "; not extracted", currentName_);
        return after;
    }

    // Writers without (or with half of) zip64 stored the sizes of members over 4 GiB cut to 32
    // bits, so libarchive stops early. Such a member is read again here, its real extent taken
    // from the room up to the next header (stored) or from the stream's own end (deflate), and
    // kept only when its CRC-32 and its size modulo 4 GiB prove it whole. Null when the member
    // is not one of those after all: its first failure stands.
    std::optional<Next> readOversized(const SurveyedEntry& surveyed, bool fatal) {
        const CentralRecord& record = *surveyed.record;
        const std::uint64_t room = surveyed.dataRoom;
        if (!source_ || surveyed.dataOffset == 0 || (record.flags & 1) != 0) return std::nullopt;
        std::uint64_t storedSize = record.compressedSize;
        if (surveyed.method == kMethodStored) {
            if (room < storedSize + k4GiB) return std::nullopt;
            while (storedSize + k4GiB <= room) storedSize += k4GiB;
            if (room - storedSize > kMaxDescriptorSize) return std::nullopt;
        } else if (surveyed.method != kMethodDeflate ||
                   (room < record.compressedSize + k4GiB && record.compressedSize < k4GiB / kDeflateMaxRatio)) {
            return std::nullopt;
        }
        ArcResult begun = writer_.beginFile(currentPath_, currentMode_, currentMtime_);
        if (!begun.ok()) {
            mergeEntry(std::move(begun));
            return fatal ? Next::Reopen : Next::Continue;
        }
        bool stopped = false;
        ArcResult writeFailure;
        const auto sink = [&](const unsigned char* data, std::size_t size) {
            writeFailure = writer_.writeData(data, size);
            if (!writeFailure.ok()) return false;
            stopped = !job_.advance(size);
            return !stopped;
        };
        const RawMemberResult read =
            surveyed.method == kMethodStored
                ? copyStoredMember(*source_, surveyed.dataOffset, storedSize, sink)
                : inflateDeflateMember(*source_, surveyed.dataOffset, room,
                                       room > UINT64_MAX / kDeflateMaxRatio ? UINT64_MAX : room * kDeflateMaxRatio, sink);
        if (stopped) return cancel();
        if (read.status == RawMemberStatus::Ok && read.crc32 == record.crc32 &&
            (read.size & (k4GiB - 1)) == (record.uncompressedSize & (k4GiB - 1))) {
            mergeEntry(writer_.commitFile());
            if (job_.cancelled()) return cancel();
            return fatal ? Next::Reopen : Next::Continue;
        }
        writer_.abortFile();
        if (writeFailure.ok()) return std::nullopt;
        mergeEntry(std::move(writeFailure));
        return fatal ? Next::Reopen : Next::Continue;
    }

    Next extractDeflate64(const SurveyedEntry& surveyed, const std::string& path, std::uint32_t mode, std::int64_t mtime) {
        const CentralRecord& record = *surveyed.record;
        if (surveyed.dataOffset == 0 || !source_) {
            report(ArcStatus::ArchiveCorrupt, "\"" + currentName_ + "\": its local header cannot be read", currentName_);
            return Next::Continue;
        }
        ArcResult begun = writer_.beginFile(path, mode, mtime);
        if (!begun.ok()) {
            mergeEntry(std::move(begun));
            return Next::Continue;
        }
        ArcResult writeFailure;
        bool stopped = false;
        const RawMemberResult decoded = inflateDeflate64Member(
            *source_, surveyed.dataOffset, record.compressedSize, record.uncompressedSize,
            [&](const unsigned char* data, std::size_t size) {
                writeFailure = writer_.writeData(data, size);
                if (!writeFailure.ok()) return false;
                stopped = !job_.advance(size);
                return !stopped;
            });
        if (decoded.status == RawMemberStatus::Ok && decoded.crc32 == record.crc32 && decoded.size == record.uncompressedSize) {
            mergeEntry(writer_.commitFile());
            return job_.cancelled() ? cancel() : Next::Continue;
        }
        writer_.abortFile();
        if (stopped) return cancel();
        const std::string prefix = "\"" + currentName_ + "\": ";
        switch (decoded.status) {
        case RawMemberStatus::Stopped:
            mergeEntry(std::move(writeFailure));
            break;
        case RawMemberStatus::ReadFailed:
            report(ArcStatus::ArchiveUnreadable, prefix + "the archive could not be read", currentName_);
            break;
        case RawMemberStatus::BadData:
        case RawMemberStatus::Truncated:
        case RawMemberStatus::TooLong:
            report(ArcStatus::ArchiveCorrupt, prefix + "the Deflate64 data is damaged; not extracted", currentName_);
            break;
        case RawMemberStatus::Ok:
            report(ArcStatus::CrcMismatch, prefix + "data does not match its CRC-32; not extracted", currentName_);
            break;
        }
        return Next::Continue;
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
    ArcResult total_;

    std::string currentName_;
    std::string currentPath_;  // the safe path of the current entry
    std::uint32_t currentMode_ = 0;
    std::int64_t currentMtime_ = -1;
};

}  // namespace

ArcResult extractArchive(const std::string& archivePath, const std::string& destination) {
    Job job;
    return extractArchive(archivePath, destination, job);
}

ArcResult extractArchive(const std::string& archivePath, const std::string& destination, Job& job) {
    try {
        Extraction extraction(archivePath, destination, job);
        return extraction.run();
    } catch (const std::bad_alloc&) {
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory while extracting " + archivePath);
    }
}

}  // namespace arc::zip
