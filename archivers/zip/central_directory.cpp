// Locates the end records from the back of the archive, then parses and checks every central
// directory record. Nothing here trusts a size it has not compared with the bytes present.
#include "zip/central_directory.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "zip/zip_format.h"

namespace arc::zip {

const char* directoryStatusText(DirectoryStatus status)
{
    switch (status) {
    case DirectoryStatus::Ok: return "ok";
    case DirectoryStatus::NoEndRecord: return "no end-of-central-directory record (not a ZIP archive or cut short)";
    case DirectoryStatus::Truncated: return "the central directory runs past the end of the archive";
    case DirectoryStatus::Corrupt: return "the central directory is inconsistent";
    case DirectoryStatus::MultiDisk: return "split (multi-disk) archives are not supported";
    case DirectoryStatus::ReadFailed: return "the archive could not be read";
    }
    return "unknown";
}

bool MemorySource::readAt(std::uint64_t offset, void* out, std::size_t length) const
{
    if (offset > bytes_.size() || length > bytes_.size() - offset) {
        errno = 0;
        return false;
    }
    if (length != 0)
        std::memcpy(out, bytes_.data() + offset, length);
    return true;
}

bool FileSource::readAt(std::uint64_t offset, void* out, std::size_t length) const
{
    auto* dest = static_cast<char*>(out);
    while (length > 0) {
        const ssize_t got = ::pread(fd_, dest, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0)
            errno = 0;
        if (got <= 0)
            return false;
        dest += got;
        offset += static_cast<std::uint64_t>(got);
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WindowedSource::readAt(std::uint64_t offset, void* out, std::size_t length) const
{
    if (length == 0)  // an empty member's buffer may have no storage at all
        return offset <= source_.size();
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

namespace {

struct EndRecord {
    std::uint64_t position = 0;  // of the classic end record
    std::uint64_t entries = 0;
    std::uint64_t directorySize = 0;
    std::uint64_t directoryOffset = 0;
    std::uint64_t directoryEnd = 0;  // where the directory must end: the first end record
    std::string comment;
};

// The end record sits within the last 22 + 65535 bytes; the right one is the last whose comment
// length reaches exactly to the end of the file (trailing garbage is refused rather than guessed).
DirectoryStatus findEndRecord(const ByteSource& source, EndRecord& end)
{
    const std::uint64_t size = source.size();
    if (size < kEndSize)
        return DirectoryStatus::NoEndRecord;
    const std::uint64_t tailSize = std::min<std::uint64_t>(size, kEndSize + kMaxCommentSize);
    std::string tail(static_cast<std::size_t>(tailSize), '\0');
    if (!source.readAt(size - tailSize, tail.data(), tail.size()))
        return DirectoryStatus::ReadFailed;
    const auto* bytes = bytesOf(tail);
    bool sawSignature = false;
    for (std::size_t pos = tail.size() - kEndSize + 1; pos-- > 0;) {
        if (load32(bytes + pos) != kEndSignature)
            continue;
        sawSignature = true;
        const std::uint16_t commentSize = load16(bytes + pos + 20);
        if (pos + kEndSize + commentSize != tail.size())
            continue;
        if (load16(bytes + pos + 4) != 0 && load16(bytes + pos + 4) != kMax16)
            return DirectoryStatus::MultiDisk;
        if (load16(bytes + pos + 6) != 0 && load16(bytes + pos + 6) != kMax16)
            return DirectoryStatus::MultiDisk;
        end.position = size - tailSize + pos;
        end.entries = load16(bytes + pos + 10);
        if (load16(bytes + pos + 8) != end.entries)
            return DirectoryStatus::MultiDisk;
        end.directorySize = load32(bytes + pos + 12);
        end.directoryOffset = load32(bytes + pos + 16);
        end.directoryEnd = end.position;
        end.comment.assign(tail, pos + kEndSize, commentSize);
        return DirectoryStatus::Ok;
    }
    return sawSignature ? DirectoryStatus::Corrupt : DirectoryStatus::NoEndRecord;
}

// A zip64 locator right before the end record points at the zip64 end record, whose 64-bit
// counts replace the classic ones. Twenty bytes there may only look like a locator (the end of
// a comment or of member data, say): as other readers do, the locator is believed only when the
// record it points to is a zip64 end record that ends where the locator begins; otherwise the
// classic end record stands alone.
DirectoryStatus readZip64End(const ByteSource& source, EndRecord& end)
{
    if (end.position < kZip64LocatorSize)
        return DirectoryStatus::Ok;
    unsigned char locator[kZip64LocatorSize];
    const std::uint64_t locatorPosition = end.position - kZip64LocatorSize;
    if (!source.readAt(locatorPosition, locator, sizeof locator))
        return DirectoryStatus::ReadFailed;
    if (load32(locator) != kZip64LocatorSignature)
        return DirectoryStatus::Ok;
    // The record the locator points to, or, when a stub before the archive moved it, the one
    // right before the locator (where every writer puts it).
    unsigned char record[kZip64EndSize];
    std::uint64_t recordPosition = 0;
    bool found = false;
    for (const std::uint64_t candidate :
         {load64(locator + 8), locatorPosition - std::min<std::uint64_t>(locatorPosition, kZip64EndSize)}) {
        if (found || candidate > locatorPosition || locatorPosition - candidate < kZip64EndSize)
            continue;
        if (!source.readAt(candidate, record, sizeof record))
            return DirectoryStatus::ReadFailed;
        const std::uint64_t recordSize = load64(record + 4);
        found = load32(record) == kZip64EndSignature && recordSize >= kZip64EndSize - 12 &&
                recordSize + 12 == locatorPosition - candidate;
        recordPosition = candidate;
    }
    if (!found)
        return DirectoryStatus::Ok;
    if (load32(locator + 4) != 0 || load32(locator + 16) > 1)
        return DirectoryStatus::MultiDisk;
    if (load32(record + 16) != 0 || load32(record + 20) != 0)
        return DirectoryStatus::MultiDisk;
    if (load64(record + 24) != load64(record + 32))
        return DirectoryStatus::MultiDisk;
    end.entries = load64(record + 32);
    end.directorySize = load64(record + 40);
    end.directoryOffset = load64(record + 48);
    end.directoryEnd = recordPosition;
    return DirectoryStatus::Ok;
}

// Replaces the 32-bit fields that are saturated with their values from the zip64 extra field,
// which holds exactly those, in the order uncompressed, compressed, offset, disk.
bool applyZip64Extra(CentralRecord& record, bool diskSaturated)
{
    const bool needUncompressed = record.uncompressedSize == kMax32;
    const bool needCompressed = record.compressedSize == kMax32;
    const bool needOffset = record.localHeaderOffset == kMax32;
    if (!needUncompressed && !needCompressed && !needOffset && !diskSaturated)
        return true;
    std::string_view field;
    if (!findExtraField(record.extra, kExtraZip64, field) || field.data() == nullptr)
        return false;
    std::size_t pos = 0;
    auto take64 = [&](std::uint64_t& value) {
        if (pos + 8 > field.size())
            return false;
        value = load64(bytesOf(field) + pos);
        pos += 8;
        return true;
    };
    if (needUncompressed && !take64(record.uncompressedSize))
        return false;
    if (needCompressed && !take64(record.compressedSize))
        return false;
    if (needOffset && !take64(record.localHeaderOffset))
        return false;
    if (diskSaturated && (pos + 4 > field.size() || load32(bytesOf(field) + pos) != 0))
        return false;
    return true;
}

DirectoryStatus parseRecords(std::string_view directory, std::uint64_t expected, CentralDirectory& out)
{
    const auto* bytes = bytesOf(directory);
    std::size_t pos = 0;
    out.records.reserve(static_cast<std::size_t>(expected));
    for (std::uint64_t i = 0; i < expected; ++i) {
        if (directory.size() - pos < kCentralHeaderSize)
            return DirectoryStatus::Truncated;
        const unsigned char* p = bytes + pos;
        if (load32(p) != kCentralHeaderSignature)
            return DirectoryStatus::Corrupt;
        const std::size_t nameSize = load16(p + 28);
        const std::size_t extraSize = load16(p + 30);
        const std::size_t commentSize = load16(p + 32);
        const std::size_t total = kCentralHeaderSize + nameSize + extraSize + commentSize;
        if (directory.size() - pos < total)
            return DirectoryStatus::Truncated;
        const std::uint16_t disk = load16(p + 34);
        if (disk != 0 && disk != kMax16)
            return DirectoryStatus::MultiDisk;
        CentralRecord record;
        record.raw.assign(directory.substr(pos, total));
        record.name.assign(directory.substr(pos + kCentralHeaderSize, nameSize));
        record.extra.assign(directory.substr(pos + kCentralHeaderSize + nameSize, extraSize));
        record.madeBy = load16(p + 4);
        record.flags = load16(p + 8);
        record.method = load16(p + 10);
        record.crc32 = load32(p + 16);
        record.compressedSize = load32(p + 20);
        record.uncompressedSize = load32(p + 24);
        record.externalAttributes = load32(p + 38);
        record.localHeaderOffset = load32(p + 42);
        if (!applyZip64Extra(record, disk == kMax16))
            return DirectoryStatus::Corrupt;
        const std::uint64_t headerOffset = record.localHeaderOffset + out.shift;
        if (headerOffset < record.localHeaderOffset || headerOffset > out.directoryOffset ||
            out.directoryOffset - headerOffset < kLocalHeaderSize + nameSize ||
            out.directoryOffset - headerOffset - kLocalHeaderSize < record.compressedSize)
            return DirectoryStatus::Corrupt;
        out.records.push_back(std::move(record));
        pos += total;
    }
    return pos == directory.size() ? DirectoryStatus::Ok : DirectoryStatus::Corrupt;
}

}  // namespace

namespace {

// Both readers start alike: the end records found and checked against each other, and the
// directory's bytes loaded. `checkCount` also refuses a count the directory cannot hold.
DirectoryStatus loadDirectory(const ByteSource& source, CentralDirectory& out, std::string& directory,
                              std::uint64_t& declaredEntries, bool checkCount)
{
    out = CentralDirectory{};
    EndRecord end;
    DirectoryStatus status = findEndRecord(source, end);
    if (status != DirectoryStatus::Ok)
        return status;
    status = readZip64End(source, end);
    if (status != DirectoryStatus::Ok)
        return status;
    declaredEntries = end.entries;
    if (end.directorySize > end.directoryEnd)
        return DirectoryStatus::Truncated;
    const std::uint64_t start = end.directoryEnd - end.directorySize;
    if (start != end.directoryOffset) {
        // A stub before the archive (or padding between entries) moves the directory later than
        // recorded; padding after the directory leaves it where recorded. Either way a central
        // header must really be there.
        const auto centralHeaderAt = [&](std::uint64_t offset) {
            unsigned char signature[4];
            return end.directorySize >= kCentralHeaderSize && source.readAt(offset, signature, sizeof signature) &&
                   load32(signature) == kCentralHeaderSignature;
        };
        const bool stub = start > end.directoryOffset && centralHeaderAt(start);
        const bool gapAfter = !stub && start > end.directoryOffset && centralHeaderAt(end.directoryOffset);
        const bool empty = start > end.directoryOffset && end.directorySize == 0 && end.entries == 0;
        if (!stub && !gapAfter && !empty)
            return end.directoryOffset > end.directoryEnd ? DirectoryStatus::Truncated : DirectoryStatus::Corrupt;
        if (stub)
            out.shift = start - end.directoryOffset;
        out.irregular = true;
    }
    if (checkCount && end.entries > end.directorySize / kCentralHeaderSize)
        return DirectoryStatus::Corrupt;
    out.directoryOffset = end.directoryOffset + out.shift;
    out.directorySize = end.directorySize;
    out.comment = std::move(end.comment);
    try {
        directory.resize(static_cast<std::size_t>(end.directorySize));
    } catch (const std::bad_alloc&) {
        return DirectoryStatus::ReadFailed;
    }
    if (!source.readAt(out.directoryOffset, directory.data(), directory.size()))
        return DirectoryStatus::ReadFailed;
    return DirectoryStatus::Ok;
}

}  // namespace

DirectoryStatus readCentralDirectory(const ByteSource& source, CentralDirectory& out)
{
    std::string directory;
    std::uint64_t entries = 0;
    DirectoryStatus status = loadDirectory(source, out, directory, entries, true);
    if (status != DirectoryStatus::Ok)
        return status;
    status = parseRecords(directory, entries, out);
    if (status != DirectoryStatus::Ok)
        out.records.clear();
    // A directory found away from where the end records put it that then does not hold
    // together was not found after all: the end records contradict the archive.
    if (status == DirectoryStatus::Truncated && out.irregular)
        status = DirectoryStatus::Corrupt;
    return status;
}

DirectoryStatus readCentralDirectoryAsFound(const ByteSource& source, CentralDirectory& out,
                                            std::uint64_t& declaredEntries)
{
    std::string directory;
    DirectoryStatus status = loadDirectory(source, out, directory, declaredEntries, false);
    if (status != DirectoryStatus::Ok)
        return status;
    // Count the records the bytes hold; parseRecords() then checks each of them as usual.
    std::uint64_t found = 0;
    for (std::size_t pos = 0; directory.size() - pos >= kCentralHeaderSize; ++found) {
        const unsigned char* p = bytesOf(directory) + pos;
        if (load32(p) != kCentralHeaderSignature)
            break;
        pos += kCentralHeaderSize + load16(p + 28) + load16(p + 30) + load16(p + 32);
        if (pos > directory.size())
            break;
    }
    status = parseRecords(directory, found, out);
    if (status != DirectoryStatus::Ok)
        out.records.clear();
    return status;
}

}  // namespace arc::zip
