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
#include <vector>

#include "zip/member_names.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

constexpr std::uint16_t kExtraWinZipAes = 0x9901;
constexpr std::uint16_t kMethodWinZipAes = 99;
constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

// Serves the survey's small reads of local headers, which come in ascending offsets, from
// one large read: a tree of thousands of small members then costs a few reads, not one
// per member.
class WindowedSource final : public ByteSource {
public:
    explicit WindowedSource(const ByteSource& source) : source_(source) {}
    std::uint64_t size() const override { return source_.size(); }
    bool readAt(std::uint64_t offset, void* out, std::size_t length) const override
    {
        if (length > kWindow / 4)
            return source_.readAt(offset, out, length);
        if (offset < start_ || offset + length > start_ + window_.size()) {
            if (offset >= source_.size())
                return false;
            window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, source_.size() - offset)));
            if (!source_.readAt(offset, window_.data(), window_.size())) {
                window_.clear();
                return source_.readAt(offset, out, length);
            }
            start_ = offset;
            if (offset + length > start_ + window_.size())
                return false;
        }
        std::memcpy(out, window_.data() + (offset - start_), length);
        return true;
    }

private:
    static constexpr std::size_t kWindow = std::size_t{1} << 18;
    const ByteSource& source_;
    mutable std::vector<char> window_;
    mutable std::uint64_t start_ = 0;
};

}  // namespace

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

// Where the record's local header really is: where the record says, or, when no local header
// of that name is there, a multiple of 4 GiB further on (writers without zip64 cut offsets past
// 4 GiB to 32 bits). Returns the data offset (0 when no header is found) and sets `header`.
std::uint64_t DirectorySurvey::locate(const ByteSource& source, const CentralRecord& record,
                                      std::uint64_t& header) const
{
    std::uint64_t offset = record.localHeaderOffset;
    for (int wraps = 0; wraps <= kMaxOffsetWraps && offset + kLocalHeaderSize <= directory_.directoryOffset;
         ++wraps, offset += k4GiB) {
        unsigned char fixed[kLocalHeaderSize];
        if (!source.readAt(offset, fixed, sizeof fixed) || load32(fixed) != kLocalHeaderSignature)
            continue;
        const std::size_t nameSize = load16(fixed + 26);
        if (wraps > 0) {
            std::string name(nameSize, '\0');
            if (nameSize != record.name.size() || !source.readAt(offset + kLocalHeaderSize, name.data(), nameSize) ||
                name != record.name)
                continue;
        }
        header = offset;
        return offset + kLocalHeaderSize + nameSize + load16(fixed + 28);
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
