// Orders the directory's records by local header offset, reads each local header, and finds
// records that share or overlap another record's data: such records are how a small archive
// unpacks into far more data than it holds, and no honest writer makes them.
#include "zip/directory_survey.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "zip/member_names.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

constexpr std::uint16_t kExtraWinZipAes = 0x9901;
constexpr std::uint16_t kMethodWinZipAes = 99;

}  // namespace

std::string memberNameOf(const CentralRecord& record) {
    std::string name = decodeMemberName(record.name, record.flags, record.extra);
    const std::size_t nul = name.find('\0');
    if (nul != std::string::npos) name.resize(nul);
    return name;
}

DirectoryStatus DirectorySurvey::load(const std::string& archivePath) {
    DirectoryStatus status = DirectoryStatus::ReadFailed;
    const int fd = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return status;
    struct stat info{};
    if (::fstat(fd, &info) == 0) {
        FileSource source(fd, static_cast<std::uint64_t>(info.st_size));
        status = readCentralDirectory(source, directory_);
        if (status == DirectoryStatus::Corrupt) status = readMiscounted(source);
        if (status != DirectoryStatus::Ok) directory_.records.clear();
        survey(source);
    }
    ::close(fd);
    return status;
}

// A directory whose end record declares another count than the records it holds: libarchive
// goes by the records, and so do we, but the mismatch is reported, naming the records beyond
// the declared count.
DirectoryStatus DirectorySurvey::readMiscounted(const ByteSource& source) {
    std::uint64_t declared = 0;
    CentralDirectory found;
    if (readCentralDirectoryAsFound(source, found, declared) != DirectoryStatus::Ok || found.records.size() == declared)
        return DirectoryStatus::Corrupt;
    directory_ = std::move(found);
    const std::string counts = "the directory declares " + std::to_string(declared) + " entries but holds " +
                               std::to_string(directory_.records.size());
    if (declared > directory_.records.size()) mergeInto(problems_, ArcResult::failure(ArcStatus::ArchiveCorrupt, counts));
    for (std::size_t i = static_cast<std::size_t>(declared); i < directory_.records.size(); ++i) {
        const std::string name = memberNameOf(directory_.records[i]);
        mergeInto(problems_, ArcResult::failure(ArcStatus::ArchiveCorrupt, "\"" + name + "\": " + counts, name));
    }
    return DirectoryStatus::Ok;
}

void DirectorySurvey::survey(const ByteSource& source) {
    std::vector<std::size_t> order(directory_.records.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return directory_.records[a].localHeaderOffset < directory_.records[b].localHeaderOffset;
    });
    std::uint64_t dataEnd = 0;  // end of the data of the last entry kept
    std::string previousName;
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
        if (record.method == kMethodWinZipAes && findExtraField(record.extra, kExtraWinZipAes, aes) && aes.size() >= 7) {
            entry.method = load16(bytesOf(aes) + 5);
            entry.aesAuthenticated = load16(bytesOf(aes)) == 2;
        }
        unsigned char header[kLocalHeaderSize];
        if (source.readAt(record.localHeaderOffset, header, sizeof header) && load32(header) == kLocalHeaderSignature)
            entry.dataOffset = record.localHeaderOffset + kLocalHeaderSize + load16(header + 26) + load16(header + 28);
        if (!entries_.empty() && record.localHeaderOffset < dataEnd) {
            entry.overlaps = true;
            mergeInto(problems_, ArcResult::failure(ArcStatus::ArchiveCorrupt,
                                                    "\"" + name + "\" lies inside the data of \"" + previousName +
                                                        "\"; not extracted",
                                                    name));
        } else {
            if (entry.dataOffset != 0) dataEnd = entry.dataOffset + record.compressedSize;
            previousName = name;
            totalBytes_ += record.uncompressedSize;
        }
        entries_.push_back(std::move(entry));
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::uint64_t next = i + 1 < entries_.size() ? entries_[i + 1].record->localHeaderOffset : directory_.directoryOffset;
        if (entries_[i].dataOffset != 0 && next > entries_[i].dataOffset) entries_[i].dataRoom = next - entries_[i].dataOffset;
    }
}

}  // namespace arc::zip
