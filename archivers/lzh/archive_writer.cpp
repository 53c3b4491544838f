// Writing members into archives: the three ways in (create, append in place, rewrite).
#include "lzh/archive_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "lzh/archive_index.h"
#include "lzh/crc16.h"
#include "lzh/file_io.h"
#include "lzh/header_codec.h"
#include "lzh/member_compressor.h"
#include "lzh/member_name.h"

namespace lzh {
namespace {

constexpr std::size_t kCopyChunk = 1u << 20;
constexpr std::uint64_t kMaxSavedTail = 1u << 20;
// Enough tiny members queued that the workers keep going while the writer copies a large one;
// the byte bound keeps memory flat when the members are large.
constexpr std::size_t kMembersAhead = 256;
constexpr std::uint64_t kBytesAhead = 8u << 20;

arc::ArcResult systemFailure(arc::ArcStatus status, const std::string& what, const std::string& path)
{
    return arc::ArcResult::failure(status, what + " " + path + ": " + std::strerror(errno));
}

std::string directoryOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Writes the sequential output of one archive, tracking the offset for header patches.
class ArchiveOutput {
public:
    ArchiveOutput(int fd, std::uint64_t offset) : fd_(fd), offset_(offset) {}
    int fd() const { return fd_; }
    std::uint64_t offset() const { return offset_; }
    bool write(const void* data, std::size_t size)
    {
        if (writeAll(fd_, data, size) != LzhStatus::Ok) return false;
        offset_ += size;
        return true;
    }
    bool copyFrom(int fd, std::uint64_t offset, std::uint64_t length, std::vector<std::uint8_t>& buffer)
    {
        FileRangeSource source(fd, offset, length);
        while (length > 0) {
            std::size_t got = 0;
            if (source.read(buffer.data(), buffer.size(), got) != LzhStatus::Ok || got == 0) return false;
            if (!write(buffer.data(), got)) return false;
            length -= got;
        }
        return true;
    }

private:
    int fd_;
    std::uint64_t offset_;
};

HeaderFields fieldsFor(const arc::SourceEntry& entry, const PreparedMember& member)
{
    HeaderFields f;
    StoredName names = encodeMemberPath(entry.memberName, entry.isDirectory);
    f.method = member.method;
    f.mtime = entry.mtime;
    f.unixMode = (entry.isDirectory ? S_IFDIR : S_IFREG) | (entry.mode & 07777);
    f.name = std::move(names.name);
    f.directory = std::move(names.directory);
    f.utf16Name = std::move(names.utf16Name);
    f.utf16Directory = std::move(names.utf16Directory);
    f.compressedSize = member.compressedSize;
    f.originalSize = member.originalSize;
    f.dataCrc = member.crc;
    return f;
}

arc::ArcResult headerFailure(LzhStatus st, const arc::SourceEntry& entry)
{
    return arc::ArcResult::failure(st == LzhStatus::TooLarge ? arc::ArcStatus::BadCommand : arc::ArcStatus::Internal,
                                   "cannot store " + entry.memberName + ": name too long for a member header");
}

// A stored member: header with provisional sizes, the file copied while its CRC is taken,
// then the header rewritten in place with what was actually read.
arc::ArcResult writeStoredMember(ArchiveOutput& out, const arc::SourceEntry& entry, HeaderFields fields,
                                 std::vector<std::uint8_t>& buffer)
{
    fields.originalSize = fields.compressedSize = entry.size;
    std::vector<std::uint8_t> header;
    LzhStatus st = writeLevel2Header(fields, header);
    if (st != LzhStatus::Ok) return headerFailure(st, entry);
    const std::uint64_t headerAt = out.offset();
    if (!out.write(header.data(), header.size())) return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
    if (fields.method == Method::Lhd) return arc::ArcResult::success();

    FileHandle file(::open(entry.diskPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) return systemFailure(arc::ArcStatus::InputMissing, "cannot open", entry.diskPath);
    std::uint16_t crc = 0;
    std::uint64_t copied = 0;
    for (;;) {
        ssize_t n = ::read(file.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return systemFailure(arc::ArcStatus::InputMissing, "cannot read", entry.diskPath);
        if (n == 0) break;
        crc = crc16Update(crc, buffer.data(), static_cast<std::size_t>(n));
        if (!out.write(buffer.data(), static_cast<std::size_t>(n)))
            return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
        copied += static_cast<std::uint64_t>(n);
    }
    fields.originalSize = fields.compressedSize = copied;
    fields.dataCrc = crc;
    std::vector<std::uint8_t> final;
    st = writeLevel2Header(fields, final);
    if (st != LzhStatus::Ok || final.size() != header.size())
        return arc::ArcResult::failure(arc::ArcStatus::InputMissing, entry.diskPath + " changed size while being stored");
    if (writeAllAt(out.fd(), final.data(), final.size(), headerAt) != LzhStatus::Ok)
        return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
    return arc::ArcResult::success();
}

arc::ArcResult writeCompressedMember(ArchiveOutput& out, const arc::SourceEntry& entry, PreparedMember& member,
                                     std::vector<std::uint8_t>& buffer)
{
    std::vector<std::uint8_t> header;
    LzhStatus st = writeLevel2Header(fieldsFor(entry, member), header);
    if (st != LzhStatus::Ok) return headerFailure(st, entry);
    if (!out.write(header.data(), header.size())) return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
    if (member.spill.valid()) {
        std::uint64_t spilled = member.compressedSize - member.data.size();
        if (!out.copyFrom(member.spill.get(), 0, spilled, buffer))
            return systemFailure(arc::ArcStatus::WriteFailed, "cannot copy compressed data into", "archive");
    }
    if (!out.write(member.data.data(), member.data.size()))
        return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
    return arc::ArcResult::success();
}

// Compresses and writes all new members, then the end marker.
arc::ArcResult writeNewMembers(ArchiveOutput& out, const std::vector<arc::SourceEntry>& entries,
                               const WriteOptions& options, const std::string& spillDirectory, ArchiveIndex& index)
{
    std::vector<std::uint8_t> buffer(kCopyChunk);
    ParallelCompressor compressor(entries, options.method, spillDirectory, std::max(1, options.threads), kMembersAhead,
                                  kBytesAhead);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        PreparedMember& member = compressor.waitFor(i);
        const std::uint64_t headerOffset = out.offset();
        arc::ArcResult r = member.result;
        if (r.ok()) {
            r = member.copyRaw || member.method == Method::Lhd
                    ? writeStoredMember(out, entries[i], fieldsFor(entries[i], member), buffer)
                    : writeCompressedMember(out, entries[i], member, buffer);
        }
        compressor.release(i);
        if (!r.ok()) return r;
        index.members.push_back({memberKey(entries[i].memberName, false), headerOffset, out.offset()});
    }
    const std::uint8_t endMarker = 0;
    index.endOffset = out.offset();
    if (!out.write(&endMarker, 1)) return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
    index.fileSize = out.offset();
    return arc::ArcResult::success();
}

// Builds a complete archive under a temporary name beside `archivePath`, then renames it
// into place; `copyOld` writes the kept old members first.
template <typename CopyOld>
arc::ArcResult writeViaTemporary(const std::string& archivePath, mode_t mode, const std::vector<arc::SourceEntry>& entries,
                                 const WriteOptions& options, CopyOld copyOld)
{
    std::string tempPath = archivePath + ".tmp-XXXXXX";
    FileHandle temp(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (!temp.valid()) return systemFailure(arc::ArcStatus::WriteFailed, "cannot create a temporary file for", archivePath);
    ArchiveOutput out(temp.get(), 0);
    ArchiveIndex index;
    arc::ArcResult r = copyOld(out, index);
    if (r.ok()) r = writeNewMembers(out, entries, options, directoryOf(archivePath), index);
    if (r.ok() && ::fchmod(temp.get(), mode) != 0) r = systemFailure(arc::ArcStatus::WriteFailed, "cannot set the mode of", tempPath);
    if (r.ok() && ::rename(tempPath.c_str(), archivePath.c_str()) != 0)
        r = systemFailure(arc::ArcStatus::WriteFailed, "cannot rename the new archive to", archivePath);
    if (!r.ok()) ::unlink(tempPath.c_str());
    if (r.ok()) rememberArchiveIndex(temp.get(), std::move(index));
    return r;
}

arc::ArcResult appendInPlace(int fd, const std::string& archivePath, ArchiveIndex index,
                             const std::vector<arc::SourceEntry>& entries, const WriteOptions& options)
{
    // Whatever follows the end marker is kept aside so a failure can restore it exactly.
    const std::uint64_t oldSize = index.fileSize;
    const std::uint64_t oldEnd = index.endOffset;
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(oldSize - oldEnd));
    std::size_t got = 0;
    FileAccess access(fd);
    if (access.readAt(oldEnd, tail.data(), tail.size(), got) != LzhStatus::Ok || got != tail.size())
        return systemFailure(arc::ArcStatus::ArchiveUnreadable, "cannot read", archivePath);
    if (::lseek(fd, static_cast<off_t>(oldEnd), SEEK_SET) < 0)
        return systemFailure(arc::ArcStatus::ArchiveUnreadable, "cannot seek in", archivePath);
    ArchiveOutput out(fd, oldEnd);
    arc::ArcResult r = writeNewMembers(out, entries, options, directoryOf(archivePath), index);
    if (r.ok() && out.offset() < oldSize && ::ftruncate(fd, static_cast<off_t>(out.offset())) != 0)
        r = systemFailure(arc::ArcStatus::WriteFailed, "cannot truncate", archivePath);
    if (!r.ok()) {
        bool restored = ::ftruncate(fd, static_cast<off_t>(oldSize)) == 0 &&
                        writeAllAt(fd, tail.data(), tail.size(), oldEnd) == LzhStatus::Ok;
        if (!restored) r.message += "\nthe archive could not be restored to its previous state";
        return r;
    }
    rememberArchiveIndex(fd, std::move(index));
    return r;
}

}  // namespace

arc::ArcResult addMembers(const std::string& archivePath, const std::vector<arc::SourceEntry>& entries,
                          const WriteOptions& options)
{
    arc::Job job;
    return addMembers(archivePath, entries, options, job);
}

arc::ArcResult addMembers(const std::string& archivePath, const std::vector<arc::SourceEntry>& entries,
                          const WriteOptions& options, arc::Job& /*job*/)
{
    if (entries.empty()) return arc::ArcResult::failure(arc::ArcStatus::InputMissing, "nothing to add");
    FileHandle fd(::open(archivePath.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno != ENOENT) return systemFailure(arc::ArcStatus::ArchiveUnreadable, "cannot open", archivePath);
        return writeViaTemporary(archivePath, 0644, entries, options,
                                 [](ArchiveOutput&, ArchiveIndex&) { return arc::ArcResult::success(); });
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return systemFailure(arc::ArcStatus::ArchiveUnreadable, "cannot read", archivePath);
    ArchiveIndex index;
    LzhStatus st = loadArchiveIndex(fd.get(), index);
    if (st == LzhStatus::ReadFailed) return systemFailure(arc::ArcStatus::ArchiveUnreadable, "cannot read", archivePath);
    if (st != LzhStatus::Ok)
        return arc::ArcResult::failure(arc::ArcStatus::ArchiveCorrupt, "cannot add to " + archivePath + ": " +
                                                                          std::string(lzhStatusName(st)));

    std::set<std::string> newKeys;
    for (const arc::SourceEntry& e : entries) newKeys.insert(memberKey(e.memberName, false));
    std::vector<IndexedMember> kept;
    for (const IndexedMember& m : index.members)
        if (!newKeys.count(m.key)) kept.push_back(m);

    if (kept.size() == index.members.size() && index.fileSize - index.endOffset <= kMaxSavedTail)
        return appendInPlace(fd.get(), archivePath, std::move(index), entries, options);

    return writeViaTemporary(archivePath, info.st_mode & 07777, entries, options, [&](ArchiveOutput& out, ArchiveIndex& rebuilt) {
        std::vector<std::uint8_t> buffer(kCopyChunk);
        for (const IndexedMember& m : kept) {
            const std::uint64_t at = out.offset();
            if (!out.copyFrom(fd.get(), m.headerOffset, m.end - m.headerOffset, buffer))
                return systemFailure(arc::ArcStatus::WriteFailed, "cannot copy the old members of", archivePath);
            rebuilt.members.push_back({m.key, at, out.offset()});
        }
        return arc::ArcResult::success();
    });
}

}  // namespace lzh
