// What the central directory and the local headers say about an archive before extraction:
// the entries in data order, their names, and the records that must not be extracted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/status.h"
#include "zip/central_directory.h"

namespace arc::zip {

// One stretch of member data, in the order of the local headers (libarchive's seekable reader
// visits the entries in that order, one per local header offset).
struct SurveyedEntry {
    const CentralRecord* record = nullptr;
    std::string name;                // decoded, cut at a NUL byte; never made safe here
    std::uint64_t headerOffset = 0;  // where its local header really is (see DirectorySurvey::locate)
    std::uint64_t dataOffset = 0;    // first byte of the member data; 0 when the local header is unreadable
    std::uint64_t dataRoom = 0;      // bytes from dataOffset to the next local header or the directory
    std::uint16_t method = 0;        // the compression method (the inner one for AES-encrypted entries)
    bool aesAuthenticated = false;   // WinZip AE-2: the stored CRC is 0 and the HMAC stands for it
    bool overlaps = false;           // its local header lies inside an earlier entry's data
};

// The name of a central record as extraction uses it: decodeMemberName() of the full raw bytes,
// cut at the first NUL (a name ends there, as in C strings and every LZH reader).
std::string memberNameOf(const CentralRecord& record);

// A Unix FIFO, device or socket (made by Unix, its mode says so): never created.
bool isSpecialFile(const CentralRecord& record);

// The modification time a record gives: the Unix time of an extended-timestamp field, else the
// NTFS time field, else the MS-DOS local time; -1 when none is usable.
std::int64_t memberMtime(const CentralRecord& record);

class DirectorySurvey {
public:
    // Reads the directory and every local header once (a few bytes each, no member data).
    // Problems found (records sharing data, overlapping data) are in problems().
    DirectoryStatus load(const std::string& archivePath);

    const CentralDirectory& directory() const { return directory_; }
    const std::vector<SurveyedEntry>& entries() const { return entries_; }
    const SurveyedEntry* at(std::size_t position) const
    {
        return position < entries_.size() ? &entries_[position] : nullptr;
    }
    // Every ArchiveCorrupt failure the survey found, one per record left out.
    const ArcResult& problems() const { return problems_; }
    std::uint64_t totalBytes() const { return totalBytes_; }
    // The system's reason when load() gave ReadFailed (0 when it was memory, not the disk).
    int readError() const { return readError_; }

private:
    // Local header offsets are tried this many times 4 GiB further on (up to 1 TiB).
    static constexpr int kMaxOffsetWraps = 256;

    DirectoryStatus readMiscounted(const ByteSource& source);
    std::uint64_t headerAt(const ByteSource& source, const CentralRecord& record, std::uint64_t offset,
                           bool checkName) const;
    std::uint64_t locate(const ByteSource& source, const CentralRecord& record, std::uint64_t& header);
    void survey(const ByteSource& source);

    CentralDirectory directory_;
    std::vector<SurveyedEntry> entries_;
    ArcResult problems_;
    std::uint64_t totalBytes_ = 0;
    std::uint64_t movedBy_ = 0;  // how far the last member located lay past its recorded offset
    int readError_ = 0;
};

}  // namespace arc::zip
