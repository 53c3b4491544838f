// Orders the directory's records by local header offset, reads each local header, and finds
// records that share or overlap another record's data: such records are how a small archive
// unpacks into far more data than it holds, and no honest writer makes them.
#include "zip/directory_survey.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

#include "zip/member_names.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

constexpr std::uint16_t kExtraWinZipAes = 0x9901;
constexpr std::uint16_t kMethodWinZipAes = 99;
constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

}  // namespace

bool isSpecialFile(const CentralRecord& record)
{
    if ((record.madeBy >> 8) != 3)
        return false;
    const std::uint32_t type = (record.externalAttributes >> 16) & S_IFMT;
    return type == S_IFIFO || type == S_IFCHR || type == S_IFBLK || type == S_IFSOCK;
}

std::int64_t memberMtime(const CentralRecord& record)
{
    std::string_view field;
    if (findExtraField(record.extra, kExtraTimestamp, field) && field.size() >= 5 && (field[0] & 1) != 0)
        return static_cast<std::int32_t>(load32(bytesOf(field) + 1));
    // NTFS: [u32 reserved] then tagged attributes; tag 1 holds three FILETIMEs, modification first.
    if (findExtraField(record.extra, kExtraNtfsTimes, field) && field.size() >= 4 + 4 + 24 &&
        load16(bytesOf(field) + 4) == 1 && load16(bytesOf(field) + 6) >= 24) {
        constexpr std::uint64_t kFiletimeTicksPerSecond = 10'000'000;
        constexpr std::uint64_t kFiletimeUnixEpoch = 116'444'736'000'000'000;
        const std::uint64_t filetime = load64(bytesOf(field) + 8);
        if (filetime >= kFiletimeUnixEpoch)
            return static_cast<std::int64_t>((filetime - kFiletimeUnixEpoch) / kFiletimeTicksPerSecond);
    }
    if (record.raw.size() < 16)
        return -1;
    const std::uint16_t time = load16(bytesOf(record.raw) + 12);
    const std::uint16_t date = load16(bytesOf(record.raw) + 14);
    std::tm local{};
    local.tm_year = 80 + (date >> 9);
    local.tm_mon = ((date >> 5) & 0xF) - 1;
    local.tm_mday = date & 0x1F;
    local.tm_hour = time >> 11;
    local.tm_min = (time >> 5) & 0x3F;
    local.tm_sec = (time & 0x1F) * 2;
    local.tm_isdst = -1;
    const std::time_t unixTime = std::mktime(&local);
    return unixTime == static_cast<std::time_t>(-1) ? -1 : static_cast<std::int64_t>(unixTime);
}

std::string memberNameOf(const CentralRecord& record)
{
    std::string name = decodeMemberName(record.name, record.flags, record.extra);
    const std::size_t nul = name.find('\0');
    if (nul != std::string::npos)
        name.resize(nul);
    return name;
}

DirectoryStatus DirectorySurvey::load(const std::string& archivePath)
{
    DirectoryStatus status = DirectoryStatus::ReadFailed;
    const int fd = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        readError_ = errno;
        return status;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        readError_ = errno;
    else {
        FileSource source(fd, static_cast<std::uint64_t>(info.st_size));
        status = readCentralDirectory(source, directory_);
        if (status == DirectoryStatus::ReadFailed)
            readError_ = errno;
        if (status == DirectoryStatus::Corrupt)
            status = readMiscounted(source);
        if (status != DirectoryStatus::Ok)
            directory_.records.clear();
        survey(WindowedSource(source));
    }
    ::close(fd);
    return status;
}

// A directory whose end record declares another count than the records it holds: libarchive
// goes by the records, and so do we, but the mismatch is reported, naming the records beyond
// the declared count.
DirectoryStatus DirectorySurvey::readMiscounted(const ByteSource& source)
{
    std::uint64_t declared = 0;
    CentralDirectory found;
    if (readCentralDirectoryAsFound(source, found, declared) != DirectoryStatus::Ok || found.records.size() == declared)
        return DirectoryStatus::Corrupt;
    directory_ = std::move(found);
    const std::string counts = "the directory declares " + std::to_string(declared) + " entries but holds " +
                               std::to_string(directory_.records.size());
    if (declared > directory_.records.size())
        mergeInto(problems_, ArcResult::failure(ArcStatus::ArchiveCorrupt, counts));
    for (std::size_t i = static_cast<std::size_t>(declared); i < directory_.records.size(); ++i) {
        const std::string name = memberNameOf(directory_.records[i]);
        mergeInto(problems_, ArcResult::failure(ArcStatus::ArchiveCorrupt, "\"" + name + "\": " + counts, name));
    }
    return DirectoryStatus::Ok;
}

// The data offset of a local header at `offset` (0 when there is none), checking its name
// against the record's when `checkName`.
std::uint64_t DirectorySurvey::headerAt(const ByteSource& source, const CentralRecord& record, std::uint64_t offset,
                                        bool checkName) const
{
    unsigned char fixed[kLocalHeaderSize];
    if (offset + kLocalHeaderSize > directory_.directoryOffset || !source.readAt(offset, fixed, sizeof fixed) ||
        load32(fixed) != kLocalHeaderSignature)
        return 0;
    const std::size_t nameSize = load16(fixed + 26);
    if (checkName) {
        std::string name(nameSize, '\0');
        if (nameSize != record.name.size() || !source.readAt(offset + kLocalHeaderSize, name.data(), nameSize) ||
            name != record.name)
            return 0;
    }
    return offset + kLocalHeaderSize + nameSize + load16(fixed + 28);
}

// Where the record's local header really is: where the record says, or, when no local header
// of that name is there, a multiple of 4 GiB further on (writers without zip64 cut offsets past
// 4 GiB to 32 bits). In a shifted archive the members lie up to the directory's shift further
// on, and never less far than the member before: first where the member before was moved to,
// then the whole shift (a stub), then the first header of its name in between (padding).
// Returns the data offset (0 when no header is found) and sets `header`.
std::uint64_t DirectorySurvey::locate(const ByteSource& source, const CentralRecord& record, std::uint64_t& header)
{
    const std::uint64_t recorded = record.localHeaderOffset;
    if (directory_.shift != 0) {
        for (const std::uint64_t offset : {recorded + movedBy_, recorded + directory_.shift}) {
            if (const std::uint64_t data = headerAt(source, record, offset, true)) {
                header = offset;
                movedBy_ = offset - recorded;
                return data;
            }
        }
        unsigned char piece[4096];
        for (std::uint64_t from = recorded + movedBy_ + 1; from < recorded + directory_.shift;
             from += sizeof piece - 3) {
            const auto size =
                static_cast<std::size_t>(std::min<std::uint64_t>(sizeof piece, recorded + directory_.shift + 4 - from));
            if (!source.readAt(from, piece, size))
                break;
            for (std::size_t at = 0; at + 4 <= size; ++at) {
                if (load32(piece + at) != kLocalHeaderSignature)
                    continue;
                if (const std::uint64_t data = headerAt(source, record, from + at, true)) {
                    header = from + at;
                    movedBy_ = header - recorded;
                    return data;
                }
            }
        }
        return 0;
    }
    std::uint64_t offset = recorded;
    for (int wraps = 0; wraps <= kMaxOffsetWraps && offset + kLocalHeaderSize <= directory_.directoryOffset;
         ++wraps, offset += k4GiB) {
        if (const std::uint64_t data = headerAt(source, record, offset, wraps > 0)) {
            header = offset;
            return data;
        }
    }
    return 0;
}

void DirectorySurvey::survey(const ByteSource& source)
{
    std::vector<std::size_t> order(directory_.records.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return directory_.records[a].localHeaderOffset < directory_.records[b].localHeaderOffset;
    });
    for (std::size_t i : order) {
        const CentralRecord& record = directory_.records[i];
        const std::string name = memberNameOf(record);
        if (!entries_.empty() && entries_.back().record->localHeaderOffset == record.localHeaderOffset) {
            // libarchive keeps one entry per offset; the others would vanish without a word.
            mergeInto(problems_, ArcResult::failure(ArcStatus::ArchiveCorrupt,
                                                    "\"" + name + "\" shares its data with \"" + entries_.back().name +
                                                        "\"; not extracted",
                                                    name));
            continue;
        }
        SurveyedEntry entry;
        entry.record = &record;
        entry.name = name;
        entry.method = record.method;
        std::string_view aes;
        if (record.method == kMethodWinZipAes && findExtraField(record.extra, kExtraWinZipAes, aes) &&
            aes.size() >= 7) {
            entry.method = load16(bytesOf(aes) + 5);
            entry.aesAuthenticated = load16(bytesOf(aes)) == 2;
        }
        entry.dataOffset = locate(source, record, entry.headerOffset);
        entries_.push_back(std::move(entry));
    }
    // Extents in the order the data really lies: a header inside the previous entry's data is
    // an overlap, and the room up to the next header bounds what a member may occupy.
    std::vector<SurveyedEntry*> placed;
    for (SurveyedEntry& entry : entries_)
        if (entry.dataOffset != 0)
            placed.push_back(&entry);
    std::stable_sort(placed.begin(), placed.end(),
                     [](const SurveyedEntry* a, const SurveyedEntry* b) { return a->headerOffset < b->headerOffset; });
    const SurveyedEntry* previous = nullptr;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        SurveyedEntry& entry = *placed[i];
        const std::uint64_t next = i + 1 < placed.size() ? placed[i + 1]->headerOffset : directory_.directoryOffset;
        if (next > entry.dataOffset)
            entry.dataRoom = next - entry.dataOffset;
        if (previous != nullptr && entry.headerOffset < previous->dataOffset + previous->record->compressedSize) {
            entry.overlaps = true;
            mergeInto(problems_, ArcResult::failure(ArcStatus::ArchiveCorrupt,
                                                    "\"" + entry.name + "\" lies inside the data of \"" +
                                                        previous->name + "\"; not extracted",
                                                    entry.name));
            continue;
        }
        previous = &entry;
    }
    for (const SurveyedEntry& entry : entries_)
        if (!entry.overlaps)
            totalBytes_ += entry.record->uncompressedSize;
}

}  // namespace arc::zip
