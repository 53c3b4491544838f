// Scanning, listing and extracting archives.
#include "lzh/archive_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/disk_writer.h"
#include "common/safe_path.h"
#include "lzh/file_io.h"
#include "lzh/lzh_decoder.h"
#include "lzh/member_predecoder.h"
#include "lzh/member_name.h"

namespace lzh {
namespace {

// Small members are decoded ahead on a worker while this thread writes files.
constexpr int kDecodeThreads = 1;
constexpr std::size_t kDecodeAhead = 16;
constexpr std::uint64_t kPredecodeLimit = 1u << 20;

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

// Passes decoded data to the disk writer, remembering its failure for the message.
class DiskSink final : public ByteSink {
public:
    explicit DiskSink(arc::SafeDiskWriter& writer) : writer_(writer) {}
    LzhStatus write(const std::uint8_t* data, std::size_t size) override
    {
        arc::ArcResult r = writer_.writeData(data, size);
        if (r.ok()) return LzhStatus::Ok;
        failure_ = r;
        return LzhStatus::WriteFailed;
    }
    const arc::ArcResult& failure() const { return failure_; }

private:
    arc::SafeDiskWriter& writer_;
    arc::ArcResult failure_;
};

struct OpenArchive {
    FileHandle fd;
    ScannedArchive scanned;
    LzhStatus scanStatus = LzhStatus::Ok;
};

arc::ArcResult openAndScan(const std::string& archivePath, OpenArchive& open)
{
    open.fd = FileHandle(::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!open.fd.valid() || ::fstat(open.fd.get(), &info) != 0)
        return arc::ArcResult::failure(arc::ArcStatus::ArchiveUnreadable,
                                       "cannot open " + archivePath + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return arc::ArcResult::failure(arc::ArcStatus::ArchiveUnreadable, archivePath + " is not a file");
    FileAccess access(open.fd.get());
    open.scanStatus = scanArchive(access, static_cast<std::uint64_t>(info.st_size), open.scanned);
    if (open.scanned.members.empty() && open.scanStatus != LzhStatus::Ok)
        return arc::ArcResult::failure(arcStatusFor(open.scanStatus),
                                       archivePath + " is not a readable LZH archive: " +
                                           std::string(lzhStatusName(open.scanStatus)));
    return arc::ArcResult::success();
}

arc::ArcResult extractMember(int fd, const MemberHeader& h, const DecodedMember* decoded, arc::SafeDiskWriter& writer)
{
    const std::string path = decodeMemberPath(h);
    const auto safe = arc::safeRelativePath(path, backslashSeparates(h));
    if (!safe) return arc::ArcResult::failure(arc::ArcStatus::UnsafeEntry, "skipped " + path + ": it would land outside the destination");
    const std::uint32_t mode = h.unixMode.value_or(0);
    const std::uint32_t permissions = mode & 0777;
    if (h.isDirectory()) return writer.writeDirectory(*safe, permissions, h.mtime);
    if ((mode & S_IFMT) == S_IFLNK)
        return arc::ArcResult::failure(arc::ArcStatus::UnsupportedMethod, "skipped " + path + ": symbolic links are not extracted");
    if (!h.method)
        return arc::ArcResult::failure(arc::ArcStatus::UnsupportedMethod,
                                       "skipped " + path + ": method " + h.methodId + " is not supported");
    arc::ArcResult r = writer.beginFile(*safe, permissions, h.mtime);
    if (!r.ok()) return r;
    DiskSink sink(writer);
    std::uint16_t crc = 0;
    LzhStatus st;
    if (decoded != nullptr) {
        st = decoded->status;
        crc = decoded->crc;
        if (st == LzhStatus::Ok) st = sink.write(decoded->data.data(), decoded->data.size());
    } else {
        FileRangeSource source(fd, h.dataOffset, h.compressedSize);
        st = decodeMember(*h.method, source, h.originalSize, sink, crc);
    }
    if (st == LzhStatus::Ok && crc != h.dataCrc) st = LzhStatus::CrcMismatch;
    if (st != LzhStatus::Ok) {
        writer.abortFile();
        if (st == LzhStatus::WriteFailed && !sink.failure().ok()) return sink.failure();
        return arc::ArcResult::failure(arcStatusFor(st), path + ": " + std::string(lzhStatusName(st)));
    }
    return writer.commitFile();
}

}  // namespace

LzhStatus scanArchive(RandomAccess& archive, std::uint64_t fileSize, ScannedArchive& out)
{
    out = ScannedArchive{};
    out.fileSize = fileSize;
    std::uint64_t offset = 0;
    for (;;) {
        MemberHeader h;
        bool atEnd = false;
        LzhStatus st = readMemberHeader(archive, offset, h, atEnd);
        if (st != LzhStatus::Ok) {
            out.endOffset = offset;
            return st;
        }
        if (atEnd) {
            out.endOffset = offset < fileSize ? offset : fileSize;
            return LzhStatus::Ok;
        }
        if (h.dataOffset > fileSize || h.compressedSize > fileSize - h.dataOffset) {
            out.endOffset = offset;
            return LzhStatus::Truncated;
        }
        offset = h.dataOffset + h.compressedSize;
        out.members.push_back(std::move(h));
    }
}

arc::ArcResult listArchive(const std::string& archivePath, std::vector<std::string>& paths)
{
    OpenArchive open;
    arc::ArcResult r = openAndScan(archivePath, open);
    if (!r.ok()) return r;
    for (const MemberHeader& h : open.scanned.members) paths.push_back(decodeMemberPath(h));
    if (open.scanStatus != LzhStatus::Ok)
        return arc::ArcResult::failure(arcStatusFor(open.scanStatus),
                                       archivePath + ": damaged after member " + std::to_string(paths.size()) + ": " +
                                           std::string(lzhStatusName(open.scanStatus)));
    return arc::ArcResult::success();
}

arc::ArcResult extractArchive(const std::string& archivePath, const std::string& destination)
{
    OpenArchive open;
    arc::ArcResult total = openAndScan(archivePath, open);
    if (!total.ok()) return total;
    arc::SafeDiskWriter writer(destination);
    arc::ArcResult r = writer.open();
    if (!r.ok()) return r;
    const std::vector<MemberHeader>& members = open.scanned.members;
    MemberPredecoder predecoder(open.fd.get(), members, members.size() > 1 ? kDecodeThreads : 0, kDecodeAhead,
                                kPredecodeLimit);
    for (std::size_t i = 0; i < members.size(); ++i) {
        arc::mergeInto(total, extractMember(open.fd.get(), members[i], predecoder.take(i), writer));
        predecoder.release(i);
    }
    // Members before a damaged header are extracted; the damage itself is still a failure.
    if (open.scanStatus != LzhStatus::Ok)
        arc::mergeInto(total, arc::ArcResult::failure(arcStatusFor(open.scanStatus),
                                                      archivePath + ": damaged after member " +
                                                          std::to_string(open.scanned.members.size()) + ": " +
                                                          std::string(lzhStatusName(open.scanStatus))));
    arc::mergeInto(total, writer.finish());
    return total;
}

}  // namespace lzh
