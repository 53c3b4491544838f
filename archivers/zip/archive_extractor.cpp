// Walks libarchive's entries beside our own reading of the central directory, which supplies
// the raw name bytes, flags, extras and CRC of each entry.
#include "zip/archive_extractor.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "common/disk_writer.h"
#include "common/name_charset.h"
#include "common/safe_path.h"
#include "zip/central_directory.h"
#include "zip/member_names.h"

namespace arc::zip {
namespace {

struct ArchiveReader {
    archive* handle = archive_read_new();
    ~ArchiveReader() {
        if (handle != nullptr) archive_read_free(handle);
    }
};

std::string errorText(archive* handle) {
    const char* text = archive_error_string(handle);
    return text != nullptr ? text : "unknown error";
}

// libarchive reports problems as text; map the ones we can name.
ArcStatus classify(const std::string& text) {
    if (text.find("CRC") != std::string::npos || text.find("crc") != std::string::npos) return ArcStatus::CrcMismatch;
    if (text.find("assphrase") != std::string::npos || text.find("ncrypt") != std::string::npos ||
        text.find("nsupported") != std::string::npos || text.find("not supported") != std::string::npos)
        return ArcStatus::UnsupportedMethod;
    return ArcStatus::ArchiveCorrupt;
}

// libarchive's seekable reader visits the central directory's entries in the order of their
// local header offsets, one entry per offset; the same order here lets entry k be paired with
// its record. Each pairing is checked (size, and name bytes where libarchive kept them), and
// an entry that does not pair up falls back to libarchive's own view.
class DirectoryIndex {
public:
    // Returns how the directory read; entries are paired only when it read cleanly.
    DirectoryStatus load(const std::string& archivePath) {
        DirectoryStatus status = DirectoryStatus::ReadFailed;
        const int fd = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return status;
        struct stat info{};
        if (::fstat(fd, &info) == 0) {
            FileSource source(fd, static_cast<std::uint64_t>(info.st_size));
            status = readCentralDirectory(source, directory_);
            if (status != DirectoryStatus::Ok) directory_.records.clear();
        }
        ::close(fd);
        for (std::size_t i = 0; i < directory_.records.size(); ++i) order_.push_back(i);
        std::stable_sort(order_.begin(), order_.end(), [this](std::size_t a, std::size_t b) {
            return directory_.records[a].localHeaderOffset < directory_.records[b].localHeaderOffset;
        });
        order_.erase(std::unique(order_.begin(), order_.end(),
                                 [this](std::size_t a, std::size_t b) {
                                     return directory_.records[a].localHeaderOffset == directory_.records[b].localHeaderOffset;
                                 }),
                     order_.end());
        return status;
    }

    const CentralRecord* pair(std::size_t position, archive_entry* entry) const {
        if (position >= order_.size()) return nullptr;
        const CentralRecord& record = directory_.records[order_[position]];
        if (archive_entry_size_is_set(entry) && archive_entry_filetype(entry) == AE_IFREG &&
            static_cast<std::uint64_t>(archive_entry_size(entry)) != record.uncompressedSize)
            return nullptr;
        const char* raw = archive_entry_pathname(entry);
        const bool libarchiveConverted = (record.flags & 0x0800) != 0 || !unicodePathName(record.name, record.extra).empty();
        if (raw != nullptr && !libarchiveConverted && record.name != raw) return nullptr;
        return &record;
    }

private:
    CentralDirectory directory_;
    std::vector<std::size_t> order_;
};

class Extraction {
public:
    Extraction(const std::string& archivePath, const std::string& destination)
        : archivePath_(archivePath), writer_(destination) {}

    ArcResult run() {
        if (reader_.handle == nullptr) return ArcResult::failure(ArcStatus::NoMemory, "out of memory");
        struct stat info{};
        if (::stat(archivePath_.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return ArcResult::failure(ArcStatus::ArchiveUnreadable, "cannot open " + archivePath_ + ": not a readable file");
        const DirectoryStatus directory = index_.load(archivePath_);
        // Without its end records an archive is cut short: what the local headers still give
        // is extracted, but the run must not look complete.
        if (directory == DirectoryStatus::NoEndRecord || directory == DirectoryStatus::Truncated)
            report(ArcStatus::ArchiveCorrupt, archivePath_ + ": " + directoryStatusText(directory));
        archive_read_support_format_zip(reader_.handle);
        if (archive_read_open_filename(reader_.handle, archivePath_.c_str(), 1 << 16) != ARCHIVE_OK) {
            // libarchive reports "not an archive it knows" as EILSEQ (its file-format errno).
            const bool format = archive_errno(reader_.handle) == EILSEQ;
            return ArcResult::failure(format ? ArcStatus::ArchiveCorrupt : ArcStatus::ArchiveUnreadable,
                                      archivePath_ + ": " + errorText(reader_.handle));
        }
        ArcResult opened = writer_.open();
        if (!opened.ok()) return opened;
        for (std::size_t position = 0;; ++position) {
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(reader_.handle, &entry);
            if (status == ARCHIVE_EOF) break;
            if (status == ARCHIVE_FATAL) {
                report(ArcStatus::ArchiveCorrupt, archivePath_ + ": " + errorText(reader_.handle));
                break;
            }
            if (status == ARCHIVE_FAILED || status == ARCHIVE_RETRY) {
                report(classify(errorText(reader_.handle)), archivePath_ + ": " + errorText(reader_.handle));
                continue;
            }
            if (!extractEntry(entry, index_.pair(position, entry))) break;
        }
        mergeInto(total_, writer_.finish());
        return total_;
    }

private:
    void report(ArcStatus status, std::string message) { mergeInto(total_, ArcResult::failure(status, std::move(message))); }

    std::string entryName(archive_entry* entry, const CentralRecord* record) const {
        if (record != nullptr) return decodeMemberName(record->name, record->flags, record->extra);
        if (const char* raw = archive_entry_pathname(entry)) return decodeLegacyName(raw, LastResort::Cp437);
        if (const char* utf8 = archive_entry_pathname_utf8(entry)) return utf8;
        return {};
    }

    // False when the archive cannot be read any further.
    bool extractEntry(archive_entry* entry, const CentralRecord* record) {
        const std::string name = entryName(entry, record);
        const std::optional<std::string> path = safeRelativePath(name, true);
        if (!path) {
            if (archive_entry_filetype(entry) == AE_IFDIR && namesDestinationItself(name, true)) return true;
            report(ArcStatus::UnsafeEntry, "skipped \"" + name + "\": it would be written outside the destination");
            return true;
        }
        const auto mode = static_cast<std::uint32_t>(archive_entry_perm(entry) & 0777);
        const std::int64_t mtime = archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : -1;
        switch (archive_entry_filetype(entry)) {
        case AE_IFDIR:
            mergeInto(total_, writer_.writeDirectory(*path, mode, mtime));
            return true;
        case AE_IFREG:
            break;
        case AE_IFLNK:
            report(ArcStatus::UnsafeEntry, "skipped symbolic link \"" + name + "\": links are not extracted");
            return true;
        default:
            report(ArcStatus::UnsafeEntry, "skipped \"" + name + "\": not a regular file or directory");
            return true;
        }
        if (archive_entry_is_encrypted(entry)) {
            report(ArcStatus::UnsupportedMethod, "skipped \"" + name + "\": encrypted entries are not supported");
            return true;
        }
        ArcResult begun = writer_.beginFile(*path, mode, mtime);
        if (!begun.ok()) {
            mergeInto(total_, begun);
            return true;
        }
        return copyData(name, record);
    }

    bool copyData(const std::string& name, const CentralRecord* record) {
        std::uint32_t crc = 0;
        std::uint64_t written = 0;
        for (;;) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(reader_.handle, &block, &size, &offset);
            if (status == ARCHIVE_EOF) break;
            if (status == ARCHIVE_OK && size == 0) continue;  // libarchive's empty end block (null pointer)
            if (status != ARCHIVE_OK) {
                writer_.abortFile();
                const std::string text = errorText(reader_.handle);
                report(classify(text), "\"" + name + "\": " + text);
                return status > ARCHIVE_FATAL;
            }
            if (offset < 0 || static_cast<std::uint64_t>(offset) != written) {
                writer_.abortFile();
                report(ArcStatus::ArchiveCorrupt, "\"" + name + "\": data out of sequence");
                return true;
            }
            ArcResult result = writer_.writeData(block, size);
            if (!result.ok()) {
                writer_.abortFile();
                mergeInto(total_, result);
                return true;
            }
            crc = libdeflate_crc32(crc, block, size);
            written += size;
        }
        if (record != nullptr && (crc != record->crc32 || written != record->uncompressedSize)) {
            writer_.abortFile();
            report(ArcStatus::CrcMismatch, "\"" + name + "\": data does not match its CRC-32; not extracted");
            return true;
        }
        mergeInto(total_, writer_.commitFile());
        return true;
    }

    std::string archivePath_;
    ArchiveReader reader_;
    SafeDiskWriter writer_;
    DirectoryIndex index_;
    ArcResult total_;
};

}  // namespace

ArcResult extractArchive(const std::string& archivePath, const std::string& destination) {
    Job job;
    return extractArchive(archivePath, destination, job);
}

ArcResult extractArchive(const std::string& archivePath, const std::string& destination, Job& /*job*/) {
    try {
        Extraction extraction(archivePath, destination);
        return extraction.run();
    } catch (const std::bad_alloc&) {
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory while extracting " + archivePath);
    }
}

}  // namespace arc::zip
