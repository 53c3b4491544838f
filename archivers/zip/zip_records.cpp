// Record layouts follow the ZIP application note; comments mark where readers are picky.
#include "zip/zip_records.h"

#include <sys/stat.h>

#include "common/name_charset.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

bool isAscii(std::string_view name)
{
    for (unsigned char c : name)
        if (c >= 0x80)
            return false;
    return true;
}

std::uint16_t flagsFor(const MemberRecord& member)
{
    // Bit 11 only for non-ASCII names that really are UTF-8; other bytes are left unmarked so
    // that readers fall back to their legacy code page rather than to broken UTF-8.
    return !isAscii(member.name) && isValidUtf8(member.name) ? kFlagUtf8 : 0;
}

std::uint16_t versionNeeded(const MemberRecord& member, bool zip64)
{
    if (zip64)
        return kVersionZip64;
    return member.method == kMethodDeflate || member.isDirectory ? kVersionDeflate : kVersionStored;
}

// Extended timestamp: flags bit 0 = modification time follows (signed 32-bit Unix time).
void appendTimestampExtra(std::string& extra, std::int64_t mtime)
{
    if (mtime < INT32_MIN || mtime > INT32_MAX)
        return;
    append16(extra, kExtraTimestamp);
    append16(extra, 5);
    extra.push_back('\x01');
    append32(extra, static_cast<std::uint32_t>(static_cast<std::int32_t>(mtime)));
}

void appendCommonFields(std::string& out, const MemberRecord& member, bool zip64Needed)
{
    const DosDateTime dos = toDosDateTime(member.mtime);
    append16(out, versionNeeded(member, zip64Needed));
    append16(out, flagsFor(member));
    append16(out, member.method);
    append16(out, dos.time);
    append16(out, dos.date);
    append32(out, member.crc32);
}

}  // namespace

std::string buildLocalHeader(const MemberRecord& member)
{
    std::string extra;
    if (member.zip64Local) {
        append16(extra, kExtraZip64);
        append16(extra, 16);
        append64(extra, member.uncompressedSize);
        append64(extra, member.compressedSize);
    }
    appendTimestampExtra(extra, member.mtime);
    std::string out;
    out.reserve(kLocalHeaderSize + member.name.size() + extra.size());
    append32(out, kLocalHeaderSignature);
    appendCommonFields(out, member, member.zip64Local);
    append32(out, member.zip64Local ? kMax32 : static_cast<std::uint32_t>(member.compressedSize));
    append32(out, member.zip64Local ? kMax32 : static_cast<std::uint32_t>(member.uncompressedSize));
    append16(out, static_cast<std::uint32_t>(member.name.size()));
    append16(out, static_cast<std::uint32_t>(extra.size()));
    out += member.name;
    out += extra;
    return out;
}

std::string buildCentralRecord(const MemberRecord& member, bool forceZip64)
{
    const bool bigUncompressed = forceZip64 || member.uncompressedSize >= kMax32;
    const bool bigCompressed = forceZip64 || member.compressedSize >= kMax32;
    const bool bigOffset = forceZip64 || member.localHeaderOffset >= kMax32;
    const bool zip64 = bigUncompressed || bigCompressed || bigOffset;
    std::string extra;
    if (zip64) {
        append16(extra, kExtraZip64);
        append16(extra, 8u * (bigUncompressed + bigCompressed + bigOffset));
        if (bigUncompressed)
            append64(extra, member.uncompressedSize);
        if (bigCompressed)
            append64(extra, member.compressedSize);
        if (bigOffset)
            append64(extra, member.localHeaderOffset);
    }
    appendTimestampExtra(extra, member.mtime);

    const std::uint32_t type = member.isDirectory ? S_IFDIR : S_IFREG;
    const std::uint32_t dosAttributes = member.isDirectory ? 0x10 : 0;
    std::string out;
    out.reserve(kCentralHeaderSize + member.name.size() + extra.size());
    append32(out, kCentralHeaderSignature);
    append16(out, kVersionMadeBy);
    appendCommonFields(out, member, zip64 || member.zip64Local);
    append32(out, bigCompressed ? kMax32 : static_cast<std::uint32_t>(member.compressedSize));
    append32(out, bigUncompressed ? kMax32 : static_cast<std::uint32_t>(member.uncompressedSize));
    append16(out, static_cast<std::uint32_t>(member.name.size()));
    append16(out, static_cast<std::uint32_t>(extra.size()));
    append16(out, 0);  // comment
    append16(out, 0);  // disk
    append16(out, 0);  // internal attributes
    append32(out, ((type | (member.permissions & 07777)) << 16) | dosAttributes);
    append32(out, bigOffset ? kMax32 : static_cast<std::uint32_t>(member.localHeaderOffset));
    out += member.name;
    out += extra;
    return out;
}

std::string buildEndRecords(std::uint64_t entries, std::uint64_t directoryOffset, std::uint64_t directorySize,
                            std::string_view comment, bool forceZip64)
{
    const bool zip64 = forceZip64 || entries >= kMax16 || directoryOffset >= kMax32 || directorySize >= kMax32;
    std::string out;
    if (zip64) {
        const std::uint64_t recordOffset = directoryOffset + directorySize;
        append32(out, kZip64EndSignature);
        append64(out, kZip64EndSize - 12);
        append16(out, kVersionMadeBy);
        append16(out, kVersionZip64);
        append32(out, 0);  // this disk
        append32(out, 0);  // disk with the directory
        append64(out, entries);
        append64(out, entries);
        append64(out, directorySize);
        append64(out, directoryOffset);
        append32(out, kZip64LocatorSignature);
        append32(out, 0);
        append64(out, recordOffset);
        append32(out, 1);
    }
    const std::uint32_t shortEntries = zip64 && entries >= kMax16 ? kMax16 : static_cast<std::uint32_t>(entries);
    append32(out, kEndSignature);
    append16(out, 0);
    append16(out, 0);
    append16(out, shortEntries);
    append16(out, shortEntries);
    append32(out, zip64 && directorySize >= kMax32 ? kMax32 : static_cast<std::uint32_t>(directorySize));
    append32(out, zip64 && directoryOffset >= kMax32 ? kMax32 : static_cast<std::uint32_t>(directoryOffset));
    append16(out, static_cast<std::uint32_t>(comment.size()));
    out += comment;
    return out;
}

}  // namespace arc::zip

namespace arc::zip {

std::string relocatedCentralRecord(std::string_view raw, std::uint64_t newOffset)
{
    if (raw.size() < kCentralHeaderSize)
        return {};
    std::string out(raw);
    const unsigned char* p = bytesOf(raw);
    const std::uint32_t offset32 = load32(p + 42);
    if (offset32 != kMax32) {
        if (newOffset >= kMax32)
            return {};
        store32(out, 42, static_cast<std::uint32_t>(newOffset));
        return out;
    }
    // The zip64 extra holds, in this order, only the fields whose 32-bit slots are all ones.
    const std::size_t nameSize = load16(p + 28);
    const std::size_t extraSize = load16(p + 30);
    if (kCentralHeaderSize + nameSize + extraSize > raw.size())
        return {};
    const std::string_view extra = raw.substr(kCentralHeaderSize + nameSize, extraSize);
    std::string_view field;
    if (!findExtraField(extra, kExtraZip64, field) || field.data() == nullptr)
        return {};
    std::size_t at = (load32(p + 24) == kMax32 ? 8 : 0) + (load32(p + 20) == kMax32 ? 8 : 0);
    if (at + 8 > field.size())
        return {};
    at += static_cast<std::size_t>(field.data() - raw.data());
    for (int i = 0; i < 8; ++i)
        out[at + i] = static_cast<char>((newOffset >> (8 * i)) & 0xFF);
    return out;
}

}  // namespace arc::zip
