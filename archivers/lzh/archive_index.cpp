// The archive index and the one-entry cache of the archive this process wrote last.
#include "lzh/archive_index.h"

#include <mutex>
#include <sys/stat.h>

#include "lzh/archive_reader.h"
#include "lzh/file_io.h"
#include "lzh/member_name.h"

namespace lzh {
namespace {

constexpr std::size_t kBatchMembers = 4096;  // full headers held in memory at a time

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileIdentity& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
               changed.tv_nsec == o.changed.tv_nsec;
    }
};

bool identify(int fd, FileIdentity& id)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return false;
    id = {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    return true;
}

struct Remembered {
    std::mutex mutex;
    bool valid = false;
    FileIdentity identity;
    ArchiveIndex index;
};

Remembered& remembered()
{
    static Remembered r;
    return r;
}

}  // namespace

LzhStatus loadArchiveIndex(int fd, ArchiveIndex& out)
{
    FileIdentity id;
    if (!identify(fd, id))
        return LzhStatus::ReadFailed;
    {
        Remembered& r = remembered();
        std::lock_guard lock(r.mutex);
        if (r.valid && r.identity == id) {
            out = r.index;
            return LzhStatus::Ok;
        }
    }
    FileAccess access(fd);
    out = ArchiveIndex{};
    out.fileSize = static_cast<std::uint64_t>(id.size);
    std::uint64_t offset = 0;
    for (;;) {
        ScannedArchive scanned;
        LzhStatus st = scanArchive(access, out.fileSize, scanned, offset, kBatchMembers);
        if (st != LzhStatus::Ok)
            return st;
        for (const MemberHeader& h : scanned.members)
            out.members.push_back({memberKey(decodeMemberPath(h), backslashSeparates(h)), h.headerOffset,
                                   h.dataOffset + h.compressedSize, h.isDirectory()});
        offset = scanned.endOffset;
        if (scanned.complete)
            break;
    }
    out.endOffset = offset;
    return LzhStatus::Ok;
}

void rememberArchiveIndex(int fd, ArchiveIndex index)
{
    Remembered& r = remembered();
    std::lock_guard lock(r.mutex);
    r.valid = identify(fd, r.identity);
    r.index = std::move(index);
}

}  // namespace lzh
