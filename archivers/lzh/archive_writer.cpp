// Writing members into archives: kept members copied raw into a new file, new members after
// them, the new file renamed over the old.
#include "lzh/archive_writer.h"

#include <functional>

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
// Enough tiny members queued that the workers keep going while the writer copies a large one;
// the byte bound keeps memory flat when the members are large.
constexpr std::size_t kMembersAhead = 256;
constexpr std::uint64_t kBytesAhead = 8u << 20;

arc::ArcResult systemFailure(arc::ArcStatus status, const std::string& what, const std::string& path)
{
    const int error = errno;
    return arc::ArcResult::failure(status, what + " " + path + ": " + std::strerror(error), path, error);
}

std::string directoryOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
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
        if (writeAll(fd_, data, size) != LzhStatus::Ok)
            return false;
        offset_ += size;
        return true;
    }
    bool copyFrom(int fd, std::uint64_t offset, std::uint64_t length, std::vector<std::uint8_t>& buffer)
    {
        FileRangeSource source(fd, offset, length);
        while (length > 0) {
            std::size_t got = 0;
            if (source.read(buffer.data(), buffer.size(), got) != LzhStatus::Ok || got == 0)
                return false;
            if (!write(buffer.data(), got))
                return false;
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
// `progressTo(bytes copied so far)` reports progress; false stops the copy.
arc::ArcResult writeStoredMember(ArchiveOutput& out, const arc::SourceEntry& entry, HeaderFields fields,
                                 std::vector<std::uint8_t>& buffer,
                                 const std::function<bool(std::uint64_t)>& progressTo)
{
    fields.originalSize = fields.compressedSize = entry.size;
    std::vector<std::uint8_t> header;
    LzhStatus st = writeLevel2Header(fields, header);
    if (st != LzhStatus::Ok)
        return headerFailure(st, entry);
    const std::uint64_t headerAt = out.offset();
    if (!out.write(header.data(), header.size()))
        return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
    if (fields.method == Method::Lhd)
        return arc::ArcResult::success();

    FileHandle file(::open(entry.diskPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid())
        return systemFailure(arc::ArcStatus::InputMissing, "cannot open", entry.diskPath);
    std::uint16_t crc = 0;
    std::uint64_t copied = 0;
    for (;;) {
        ssize_t n = ::read(file.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemFailure(arc::ArcStatus::InputMissing, "cannot read", entry.diskPath);
        if (n == 0)
            break;
        crc = crc16Update(crc, buffer.data(), static_cast<std::size_t>(n));
        if (!out.write(buffer.data(), static_cast<std::size_t>(n)))
            return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
        copied += static_cast<std::uint64_t>(n);
        if (!progressTo(copied))
            return arc::cancelledResult();
    }
    fields.originalSize = fields.compressedSize = copied;
    fields.dataCrc = crc;
    std::vector<std::uint8_t> final;
    st = writeLevel2Header(fields, final);
    if (st != LzhStatus::Ok || final.size() != header.size())
        return arc::ArcResult::failure(arc::ArcStatus::InputMissing,
                                       entry.diskPath + " changed size while being stored");
    if (writeAllAt(out.fd(), final.data(), final.size(), headerAt) != LzhStatus::Ok)
        return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
    return arc::ArcResult::success();
}

arc::ArcResult writeCompressedMember(ArchiveOutput& out, const arc::SourceEntry& entry, PreparedMember& member,
                                     std::vector<std::uint8_t>& buffer)
{
    std::vector<std::uint8_t> header;
    LzhStatus st = writeLevel2Header(fieldsFor(entry, member), header);
    if (st != LzhStatus::Ok)
        return headerFailure(st, entry);
    if (!out.write(header.data(), header.size()))
        return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
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
                               const WriteOptions& options, const std::string& spillDirectory, ArchiveIndex& index,
                               arc::Job& job)
{
    std::vector<std::uint8_t> buffer(kCopyChunk);
    ParallelCompressor compressor(entries, options.method, spillDirectory, std::max(1, options.threads), kMembersAhead,
                                  kBytesAhead, &job);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!job.beginEntry(entries[i].memberName, entries[i].isDirectory ? 0 : entries[i].size))
            return arc::cancelledResult();
        // Bytes of this member already counted: while a worker compresses it, its input read so
        // far; a member stored after all is not counted twice.
        std::uint64_t counted = 0;
        const auto progressTo = [&](std::uint64_t done) {
            if (done > counted) {
                job.advance(done - counted);
                counted = done;
            }
            return !job.cancelled();
        };
        PreparedMember& member = compressor.waitFor(i, progressTo);
        const std::uint64_t headerOffset = out.offset();
        arc::ArcResult r = member.result;
        if (r.ok()) {
            const bool stored = member.copyRaw || member.method == Method::Lhd;
            r = stored ? writeStoredMember(out, entries[i], fieldsFor(entries[i], member), buffer, progressTo)
                       : writeCompressedMember(out, entries[i], member, buffer);
            if (r.ok() && !stored && !progressTo(member.originalSize))
                r = arc::cancelledResult();
        }
        compressor.release(i);
        if (!r.ok())
            return r;
        index.members.push_back(
            {memberKey(entries[i].memberName, false), headerOffset, out.offset(), entries[i].isDirectory});
        if (!job.endEntry())
            return arc::cancelledResult();
        if (options.checkpoint)
            options.checkpoint("member written");
    }
    const std::uint8_t endMarker = 0;
    index.endOffset = out.offset();
    if (!out.write(&endMarker, 1))
        return systemFailure(arc::ArcStatus::WriteFailed, "cannot write", "archive");
    index.fileSize = out.offset();
    return arc::ArcResult::success();
}

std::string keyOf(const std::string& name)
{
    return memberKey(name, false);
}

// Copies what stays of the old archive into the new file: everything before the end marker
// when no member is replaced, else the bytes before the first member and each kept member.
arc::ArcResult copyKeptMembers(arc::ArchiveReplacement& replacement, const ArchiveIndex& old,
                               const std::set<std::string>& newKeys, ArchiveIndex& rebuilt, arc::Job& job)
{
    std::vector<const IndexedMember*> kept;
    for (const IndexedMember& m : old.members)
        if (!newKeys.count(m.key))
            kept.push_back(&m);
    if (kept.size() == old.members.size()) {
        rebuilt.members = old.members;
        rebuilt.endOffset = old.endOffset;
        return replacement.copyFromOld(0, old.endOffset, 0, job);
    }
    std::uint64_t position = old.members.empty() ? old.endOffset : old.members.front().headerOffset;
    arc::ArcResult r = replacement.copyFromOld(0, position, 0, job);
    for (const IndexedMember* m : kept) {
        if (!r.ok())
            return r;
        r = replacement.copyFromOld(m->headerOffset, m->end - m->headerOffset, position, job);
        rebuilt.members.push_back({m->key, position, position + (m->end - m->headerOffset), m->directory});
        position += m->end - m->headerOffset;
    }
    rebuilt.endOffset = position;
    return r;
}

// One attempt at the whole command; `raced` when a new archive's name was taken meanwhile.
arc::ArcResult addOnce(const std::string& archivePath, std::vector<arc::SourceEntry> entries,
                       const WriteOptions& options, arc::Job& job, bool& raced)
{
    arc::ArchiveReplacement replacement;
    arc::ArcResult r = replacement.begin(archivePath, options.lockWait);
    if (!r.ok())
        return r;
    const std::string& path = replacement.path();
    ArchiveIndex old;
    if (replacement.hadArchive() && replacement.oldSize() > 0) {
        const LzhStatus st = loadArchiveIndex(replacement.oldFd(), old);
        if (st == LzhStatus::ReadFailed)
            return systemFailure(arc::ArcStatus::ArchiveUnreadable, "cannot read", path);
        if (st != LzhStatus::Ok)
            return arc::ArcResult::failure(arc::ArcStatus::ArchiveCorrupt,
                                           "cannot add to " + path + ": " + std::string(lzhStatusName(st)), path);
    }
    std::vector<arc::ExistingMember> existing;
    for (const IndexedMember& m : old.members)
        existing.push_back({m.key, m.directory});
    const arc::ArcResult skipped = arc::settleMemberNames(entries, existing, keyOf);
    if (entries.empty())
        return skipped.ok() ? arc::ArcResult::failure(arc::ArcStatus::InputMissing, "nothing to add") : skipped;
    std::uint64_t totalBytes = 0;
    std::set<std::string> newKeys;
    for (const arc::SourceEntry& e : entries) {
        newKeys.insert(memberKey(e.memberName, false));
        totalBytes += e.isDirectory ? 0 : e.size;
    }
    job.setTotals(totalBytes, entries.size());

    ArchiveIndex rebuilt;
    r = copyKeptMembers(replacement, old, newKeys, rebuilt, job);
    ArchiveOutput out(replacement.newFd(), rebuilt.endOffset);
    if (r.ok() && options.checkpoint)
        options.checkpoint("old copied");
    if (r.ok() && ::lseek(out.fd(), static_cast<off_t>(out.offset()), SEEK_SET) < 0)
        r = replacement.writeFailure(errno);
    if (r.ok())
        r = writeNewMembers(out, entries, options, directoryOf(path), rebuilt, job);
    if (r.ok() && options.checkpoint)
        options.checkpoint("end written");
    if (r.ok())
        r = replacement.commit(options.checkpoint);
    raced = replacement.raced();
    if (r.ok())
        rememberArchiveIndex(replacement.newFd(), std::move(rebuilt));
    arc::mergeInto(r, skipped);
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
                          const WriteOptions& options, arc::Job& job)
{
    if (entries.empty())
        return arc::ArcResult::failure(arc::ArcStatus::InputMissing, "nothing to add");
    // A new archive that another command created first is added to on a second pass.
    arc::ArcResult r;
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool raced = false;
        r = addOnce(archivePath, entries, options, job, raced);
        if (!raced)
            break;
    }
    return r;
}

}  // namespace lzh
