// Scanning, listing and extracting archives.
#include "lzh/archive_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/disk_writer.h"
#include "common/safe_path.h"
#include "lzh/file_io.h"
#include "lzh/lzh_decoder.h"
#include "lzh/macbinary.h"
#include "lzh/member_name.h"
#include "lzh/member_predecoder.h"

namespace lzh {
namespace {

// Small members are decoded ahead on a worker while this thread writes files.
constexpr int kDecodeThreads = 1;
constexpr std::size_t kDecodeAhead = 16;
constexpr std::uint64_t kPredecodeLimit = 1u << 20;
constexpr std::size_t kBatchMembers = 4096;       // headers held in memory at a time
constexpr std::uint64_t kSearchBytes = 1u << 20;  // how far a self-extractor's stub may reach

arc::ArcStatus arcStatusFor(LzhStatus st)
{
    switch (st) {
    case LzhStatus::Ok: return arc::ArcStatus::Ok;
    case LzhStatus::CrcMismatch: return arc::ArcStatus::CrcMismatch;
    case LzhStatus::UnsupportedMethod:
    case LzhStatus::UnsupportedHeader: return arc::ArcStatus::UnsupportedMethod;
    case LzhStatus::ReadFailed: return arc::ArcStatus::ArchiveUnreadable;
    case LzhStatus::WriteFailed: return arc::ArcStatus::WriteFailed;
    default: return arc::ArcStatus::ArchiveCorrupt;
    }
}

// Passes decoded data to the disk writer, counting it as the job's progress; remembers the
// writer's failure for the message, and a stop asked for through the job.
class DiskSink final : public ByteSink {
public:
    DiskSink(arc::SafeDiskWriter& writer, arc::Job& job) : writer_(writer), job_(job) {}
    LzhStatus write(const std::uint8_t* data, std::size_t size) override
    {
        arc::ArcResult r = writer_.writeData(data, size);
        if (!r.ok()) {
            failure_ = r;
            return LzhStatus::WriteFailed;
        }
        if (job_.advance(size))
            return LzhStatus::Ok;
        cancelled_ = true;
        return LzhStatus::WriteFailed;
    }
    const arc::ArcResult& failure() const { return failure_; }
    bool cancelled() const { return cancelled_; }

private:
    arc::SafeDiskWriter& writer_;
    arc::Job& job_;
    arc::ArcResult failure_;
    bool cancelled_ = false;
};

// Serves the scan's small header reads, which come in ascending offsets, from one large read
// of the archive, so a tree of thousands of small members costs a few reads, not several each.
class WindowedAccess final : public RandomAccess {
public:
    WindowedAccess(RandomAccess& inner, std::uint64_t fileSize) : inner_(inner), fileSize_(fileSize) {}
    LzhStatus readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size, std::size_t& got) override
    {
        if (size > kWindow / 4)
            return inner_.readAt(offset, buffer, size, got);
        const std::uint64_t wanted = std::min<std::uint64_t>(offset + size, fileSize_);
        if (offset < start_ || wanted > start_ + window_.size()) {
            window_.resize(kWindow);
            std::size_t filled = 0;
            if (inner_.readAt(offset, window_.data(), window_.size(), filled) != LzhStatus::Ok) {
                window_.clear();
                return inner_.readAt(offset, buffer, size, got);
            }
            window_.resize(filled);
            start_ = offset;
        }
        got = offset >= start_ + window_.size() ? 0 : std::min<std::size_t>(size, start_ + window_.size() - offset);
        if (got > 0)
            std::memcpy(buffer, window_.data() + (offset - start_), got);
        return LzhStatus::Ok;
    }

private:
    static constexpr std::size_t kWindow = std::size_t{1} << 18;
    RandomAccess& inner_;
    std::uint64_t fileSize_;
    std::vector<std::uint8_t> window_;
    std::uint64_t start_ = 0;
};

struct OpenArchive {
    FileHandle fd;
    std::uint64_t fileSize = 0;
    ScannedArchive scanned;  // the current batch
};

// Self-extracting archives put a program before the first header. When the file does not
// start with something shaped like a header, the first place within kSearchBytes where a complete, check-summed
// header of a known method parses is taken as the start; 0 (and so the original failure)
// when there is none.
std::uint64_t findFirstHeader(RandomAccess& archive, std::uint64_t fileSize)
{
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kSearchBytes)));
    std::size_t got = 0;
    if (archive.readAt(0, head.data(), head.size(), got) != LzhStatus::Ok)
        return 0;
    // A damaged first header is damage, not a stub: never search past one.
    if (got >= 7 && head[2] == '-' && head[6] == '-')
        return 0;
    for (std::size_t p = 1; p + 7 <= got; ++p) {
        if (head[p + 2] != '-' || head[p + 3] != 'l' || head[p + 6] != '-')
            continue;
        MemberHeader h;
        bool atEnd = false;
        if (readMemberHeader(archive, p, h, atEnd) == LzhStatus::Ok && !atEnd && h.method &&
            (h.level <= 1 || h.hasHeaderCrc))
            return p;
    }
    return 0;
}

arc::ArcResult openArchive(const std::string& archivePath, OpenArchive& open)
{
    open.fd = FileHandle(::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!open.fd.valid() || ::fstat(open.fd.get(), &info) != 0)
        return arc::ArcResult::failure(arc::ArcStatus::ArchiveUnreadable,
                                       "cannot open " + archivePath + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return arc::ArcResult::failure(arc::ArcStatus::ArchiveUnreadable, archivePath + " is not a file");
    open.fileSize = static_cast<std::uint64_t>(info.st_size);
    return arc::ArcResult::success();
}

// The next batch of headers from `offset`; `before` members were read in earlier batches.
arc::ArcResult scanBatch(const std::string& archivePath, OpenArchive& open, std::uint64_t offset, std::size_t before)
{
    FileAccess file(open.fd.get());
    WindowedAccess access(file, open.fileSize);
    LzhStatus st = scanArchive(access, open.fileSize, open.scanned, offset, kBatchMembers);
    if (st == LzhStatus::Ok)
        return arc::ArcResult::success();
    const std::size_t read = before + open.scanned.members.size();
    if (st == LzhStatus::ReadFailed && file.error() != 0)
        return arc::ArcResult::failure(arc::ArcStatus::ArchiveUnreadable,
                                       "could not read " + archivePath +
                                           (read == 0 ? "" : " after member " + std::to_string(read)) + ": " +
                                           std::strerror(file.error()),
                                       {}, file.error());
    if (read == 0)
        return arc::ArcResult::failure(
            arcStatusFor(st), archivePath + " is not a readable LZH archive: " + std::string(lzhStatusName(st)));
    return arc::ArcResult::failure(arcStatusFor(st), archivePath + ": damaged after member " + std::to_string(read) +
                                                         ": " + std::string(lzhStatusName(st)));
}

// Gathers member failures: the first failure's code, and messages up to a limit, so an
// archive of a million bad members cannot grow the message without bound.
class FailureCollector {
public:
    explicit FailureCollector(arc::ArcResult& total) : total_(total) {}
    void add(const arc::ArcResult& r)
    {
        if (r.ok())
            return;
        if (++count_ <= kMaxMessages) {
            arc::mergeInto(total_, r);
        } else if (total_.ok()) {
            total_.status = r.status;
        }
    }
    void finish()
    {
        if (count_ > kMaxMessages)
            total_.message += "\n(" + std::to_string(count_ - kMaxMessages) + " more failures)";
    }

private:
    static constexpr std::size_t kMaxMessages = 100;
    arc::ArcResult& total_;
    std::size_t count_ = 0;
};

// Symbolic links are stored as "name|target" (LHa for UNIX); `path` is the member's decoded path.
arc::ArcResult extractLink(const MemberHeader& h, const std::string& path, arc::SafeDiskWriter& writer)
{
    const std::size_t bar = path.find('|');
    if (bar == std::string::npos || bar + 1 == path.size())
        return arc::ArcResult::failure(arc::ArcStatus::ArchiveCorrupt, "skipped " + path + ": a link without a target",
                                       path);
    const std::string name = path.substr(0, bar);
    std::string target = path.substr(bar + 1);
    if (backslashSeparates(h))
        std::replace(target.begin(), target.end(), '\\', '/');
    const auto safe = arc::safeRelativePath(name, backslashSeparates(h));
    if (!safe)
        return arc::ArcResult::failure(arc::ArcStatus::UnsafeEntry,
                                       "skipped " + name + ": it would land outside the destination", name);
    return writer.writeSymlink(*safe, target, h.mtime);
}

bool isSpecialFile(std::uint32_t mode)
{
    const std::uint32_t type = mode & S_IFMT;
    return type == S_IFIFO || type == S_IFCHR || type == S_IFBLK || type == S_IFSOCK;
}

// Writes one member. A cancel (from the job's listener or the overwrite question) gives
// Cancelled with nothing of this member left behind.
arc::ArcResult extractMember(int fd, const MemberHeader& h, const std::string& path, const DecodedMember* decoded,
                             arc::SafeDiskWriter& writer, arc::Job& job)
{
    const std::uint32_t mode = h.unixMode.value_or(0);
    if ((mode & S_IFMT) == S_IFLNK)
        return extractLink(h, path, writer);
    const auto safe = arc::safeRelativePath(path, backslashSeparates(h));
    if (!safe) {
        // Old tools write a directory entry for the archive's root: an empty name or only a "\".
        const bool rootOnly = path.find_first_not_of(backslashSeparates(h) ? "/\\" : "/") == std::string::npos;
        if (h.isDirectory() && (rootOnly || arc::namesDestinationItself(path, backslashSeparates(h))))
            return arc::ArcResult::success();
        if (path.empty())
            return arc::ArcResult::failure(arc::ArcStatus::UnsafeEntry, "skipped a member without a name");
        return arc::ArcResult::failure(arc::ArcStatus::UnsafeEntry,
                                       "skipped " + path + ": it would land outside the destination", path);
    }
    const std::uint32_t permissions = mode & 0777;
    if (h.isDirectory())
        return writer.writeDirectory(*safe, permissions, h.mtime);
    if (isSpecialFile(mode))
        return arc::ArcResult::failure(arc::ArcStatus::SpecialEntry,
                                       "skipped " + path + ": a device, FIFO or socket is not extracted", path);
    if (!h.method)
        return arc::ArcResult::failure(arc::ArcStatus::UnsupportedMethod,
                                       "skipped " + path + ": method " + h.methodId + " is not supported", path);
    arc::ArcResult r = writer.beginFile(*safe, permissions, h.mtime);
    if (!r.ok())
        return r;
    DiskSink disk(writer, job);
    // The Macintosh LHA writer stores MacBinary; the data fork is the file (the header and the
    // resource fork are still decoded, as the CRC covers them).
    MacBinaryDataForkSink dataFork(disk, h.originalSize, [&job](std::size_t bytes) { job.advance(bytes); });
    const bool mac = h.osId == 'm';
    ByteSink& sink = mac ? static_cast<ByteSink&>(dataFork) : disk;
    std::uint16_t crc = 0;
    LzhStatus st;
    int readError = 0;
    if (decoded != nullptr) {
        st = decoded->status;
        readError = decoded->systemError;
        crc = decoded->crc;
        // In progress-sized steps, so a large predecoded member can still be cancelled midway.
        constexpr std::size_t kStep = 64 * 1024;
        for (std::size_t at = 0; st == LzhStatus::Ok && at < decoded->data.size(); at += kStep)
            st = sink.write(decoded->data.data() + at, std::min(kStep, decoded->data.size() - at));
    } else {
        FileRangeSource source(fd, h.dataOffset, h.compressedSize);
        st = decodeMember(*h.method, source, h.originalSize, sink, crc);
        readError = source.error();
    }
    if (st == LzhStatus::Ok && crc != h.dataCrc)
        st = LzhStatus::CrcMismatch;
    if (st == LzhStatus::Ok && mac)
        st = dataFork.finish();
    if (st != LzhStatus::Ok) {
        writer.abortFile();
        if (disk.cancelled() || job.cancelled())
            return arc::cancelledResult();
        if (st == LzhStatus::WriteFailed && !disk.failure().ok())
            return disk.failure();
        if (st == LzhStatus::ReadFailed && readError != 0)
            return arc::ArcResult::failure(arc::ArcStatus::ArchiveUnreadable,
                                           path + ": could not read the archive: " + std::strerror(readError), path,
                                           readError);
        return arc::ArcResult::failure(arcStatusFor(st), path + ": " + std::string(lzhStatusName(st)), path);
    }
    return writer.commitFile();
}

// What the job counts: every member's original size, and the members that are not directories.
void addToTotals(const std::vector<MemberHeader>& members, std::uint64_t& bytes, std::uint64_t& entries)
{
    for (const MemberHeader& h : members) {
        if (h.isDirectory())
            continue;
        bytes += h.originalSize;
        ++entries;
    }
}

// The totals of the members after the first batch, from a pass over their headers alone (only
// archives of more than one batch need it), as far as the headers can be read.
void addLaterTotals(OpenArchive& open, std::uint64_t offset, std::uint64_t& bytes, std::uint64_t& entries)
{
    FileAccess file(open.fd.get());
    WindowedAccess access(file, open.fileSize);
    ScannedArchive batch;
    for (;;) {
        const LzhStatus status = scanArchive(access, open.fileSize, batch, offset, kBatchMembers);
        addToTotals(batch.members, bytes, entries);
        if (status != LzhStatus::Ok || batch.complete || batch.members.empty())
            return;
        offset = batch.endOffset;
    }
}

}  // namespace

LzhStatus scanArchive(RandomAccess& archive, std::uint64_t fileSize, ScannedArchive& out, std::uint64_t startOffset,
                      std::size_t maxMembers)
{
    out = ScannedArchive{};
    out.fileSize = fileSize;
    std::uint64_t offset = startOffset;
    if (startOffset == 0) {
        MemberHeader first;
        bool atEnd = false;
        if (readMemberHeader(archive, 0, first, atEnd) != LzhStatus::Ok)
            offset = findFirstHeader(archive, fileSize);
    }
    for (;;) {
        out.endOffset = offset;
        if (out.members.size() >= maxMembers)
            return LzhStatus::Ok;
        MemberHeader h;
        bool atEnd = false;
        LzhStatus st = readMemberHeader(archive, offset, h, atEnd);
        if (st != LzhStatus::Ok)
            return st;
        if (atEnd) {
            out.endOffset = offset < fileSize ? offset : fileSize;
            out.complete = true;
            return LzhStatus::Ok;
        }
        if (h.dataOffset > fileSize || h.compressedSize > fileSize - h.dataOffset)
            return LzhStatus::Truncated;
        offset = h.dataOffset + h.compressedSize;
        out.members.push_back(std::move(h));
    }
}

arc::ArcResult listArchive(const std::string& archivePath, std::vector<std::string>& paths)
{
    OpenArchive open;
    arc::ArcResult r = openArchive(archivePath, open);
    if (!r.ok())
        return r;
    for (std::uint64_t offset = 0;;) {
        r = scanBatch(archivePath, open, offset, paths.size());
        for (const MemberHeader& h : open.scanned.members)
            paths.push_back(decodeMemberPath(h));
        if (!r.ok() || open.scanned.complete)
            return r;
        offset = open.scanned.endOffset;
    }
}

arc::ArcResult extractArchive(const std::string& archivePath, const std::string& destination)
{
    arc::Job job;
    return extractArchive(archivePath, destination, job);
}

arc::ArcResult extractArchive(const std::string& archivePath, const std::string& destination, arc::Job& job)
{
    OpenArchive open;
    arc::ArcResult total = openArchive(archivePath, open);
    if (!total.ok())
        return total;
    arc::ArcResult scanned = scanBatch(archivePath, open, 0, 0);
    if (open.scanned.members.empty() && !scanned.ok())
        return scanned;
    std::uint64_t totalBytes = 0, totalEntries = 0;
    addToTotals(open.scanned.members, totalBytes, totalEntries);
    if (scanned.ok() && !open.scanned.complete)
        addLaterTotals(open, open.scanned.endOffset, totalBytes, totalEntries);
    if (!job.announceTotals(totalBytes, totalEntries))
        return arc::cancelledResult("extraction of " + archivePath + " cancelled");
    arc::SafeDiskWriter writer(destination, &job);
    arc::ArcResult r = writer.open();
    if (!r.ok())
        return r;
    FailureCollector failures(total);
    std::size_t done = 0;
    bool stopped = false;
    bool full = false;
    while (!stopped) {
        const std::vector<MemberHeader>& members = open.scanned.members;
        MemberPredecoder predecoder(open.fd.get(), members, members.size() > 1 ? kDecodeThreads : 0, kDecodeAhead,
                                    kPredecodeLimit, &job);
        for (std::size_t i = 0; i < members.size() && !stopped; ++i) {
            const MemberHeader& h = members[i];
            const std::string path = decodeMemberPath(h);
            const bool counted = !h.isDirectory();
            if (counted && !job.beginEntry(path, h.originalSize)) {
                stopped = true;
                break;
            }
            r = extractMember(open.fd.get(), h, path, predecoder.take(i), writer, job);
            predecoder.release(i);
            if (r.status == arc::ArcStatus::Cancelled)
                stopped = true;
            else
                failures.add(r);
            if (counted && !job.endEntry())
                stopped = true;
            // Every later file would fail as this one did: the run ends here, and says so.
            if (!stopped && arc::destinationFull(r)) {
                full = true;
                failures.add(arc::ArcResult::failure(arc::ArcStatus::WriteFailed,
                                                     "stopped: the destination " + destination +
                                                         " is full; the members after " + path + " were not extracted",
                                                     {}, r.systemError));
                break;
            }
        }
        done += members.size();
        // Members before a damaged header are extracted; the damage itself is still a failure.
        if (stopped || full || !scanned.ok() || open.scanned.complete)
            break;
        scanned = scanBatch(archivePath, open, open.scanned.endOffset, done);
    }
    if (!stopped && !full)
        failures.add(scanned);
    failures.add(writer.finish());
    failures.finish();
    if (stopped || job.cancelled())
        arc::mergeInto(total, arc::cancelledResult("extraction of " + archivePath + " cancelled"));
    return total;
}

}  // namespace lzh
