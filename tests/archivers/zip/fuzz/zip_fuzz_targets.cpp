// Fuzz target bodies for the directory handling that the ZIP writer trusts with an existing
// archive. A broken invariant traps, so the fuzzer and the replay test both stop on it.
#include "zip_fuzz_targets.h"

#include <string>
#include <string_view>

#include "zip/central_directory.h"
#include "zip/member_names.h"
#include "zip/zip_records.h"

namespace arc::zip::fuzz {
namespace {

bool readArchive(std::string_view bytes, CentralDirectory& directory)
{
    return readCentralDirectory(MemorySource(bytes), directory) == DirectoryStatus::Ok;
}

}  // namespace

void centralDirectoryTarget(const std::uint8_t* data, std::size_t size)
{
    CentralDirectory directory;
    if (!readArchive(std::string_view(reinterpret_cast<const char*>(data), size), directory))
        return;
    for (const CentralRecord& record : directory.records)
        if (record.localHeaderOffset > directory.directoryOffset || directory.directoryOffset > size)
            __builtin_trap();
}

void directoryRebuildTarget(const std::uint8_t* data, std::size_t size)
{
    CentralDirectory directory;
    if (!readArchive(std::string_view(reinterpret_cast<const char*>(data), size), directory))
        return;
    // Members move up, as they do when one before them is dropped: offsets only ever shrink.
    std::string rebuilt(static_cast<std::size_t>(directory.directoryOffset), '\0');
    std::string records;
    for (const CentralRecord& record : directory.records) {
        const std::string name = decodeMemberName(record.name, record.flags, record.extra);
        if (!record.name.empty() && name.empty())
            __builtin_trap();
        const std::string moved = relocatedCentralRecord(record.raw, record.localHeaderOffset / 2);
        if (moved.empty())
            return;  // a record the writer refuses to move: the archive is left alone
        if (moved.size() != record.raw.size())
            __builtin_trap();
        records += moved;
    }
    rebuilt += records;
    rebuilt +=
        buildEndRecords(directory.records.size(), directory.directoryOffset, records.size(), directory.comment, false);
    CentralDirectory reread;
    if (!readArchive(rebuilt, reread) || reread.records.size() != directory.records.size())
        __builtin_trap();
    for (std::size_t i = 0; i < reread.records.size(); ++i) {
        if (reread.records[i].localHeaderOffset != directory.records[i].localHeaderOffset / 2)
            __builtin_trap();
        if (reread.records[i].name != directory.records[i].name)
            __builtin_trap();
    }
}

}  // namespace arc::zip::fuzz
