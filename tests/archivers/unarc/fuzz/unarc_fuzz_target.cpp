// Fuzz target body: the archive in memory (memfd), read as extraction reads it, nothing written.
#include "unarc_fuzz_target.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "common/safe_path.h"
#include "unarc/archive_reader.h"

namespace arc::unarc::fuzz {
namespace {

constexpr std::uint64_t kMaxOutput = 8u << 20;
constexpr unsigned kMaxEntries = 10000;

int memoryFile(const std::uint8_t* data, std::size_t size)
{
    const int fd = memfd_create("unarc-fuzz", MFD_CLOEXEC);
    for (std::size_t done = 0; fd >= 0 && done < size;) {
        const ssize_t wrote = ::write(fd, data + done, size - done);
        if (wrote <= 0)
            break;
        done += static_cast<std::size_t>(wrote);
    }
    return fd;
}

}  // namespace

void readingTarget(const std::uint8_t* data, std::size_t size, int volumes)
{
    VolumeSource source;
    const std::size_t half = volumes == 2 ? size / 2 : size;
    std::vector<int> fds{memoryFile(data, half)};
    if (volumes == 2)
        fds.push_back(memoryFile(data + half, size - half));
    if (std::find(fds.begin(), fds.end(), -1) != fds.end() || !source.adopt(fds, {"one", "two"}).ok())
        return;
    Job job;
    ArchiveReader reader(source, job);
    if (!reader.open().ok())
        return;
    std::uint64_t output = 0;
    for (unsigned entries = 0; entries < kMaxEntries; ++entries) {
        EntryHeader header;
        ArcResult failed;
        const ArchiveReader::Step step = reader.next(header, failed);
        if (step == ArchiveReader::Step::End || step == ArchiveReader::Step::Fatal)
            return;
        if (step == ArchiveReader::Step::Skipped)
            continue;
        safeRelativePath(header.name, reader.backslashSeparates());
        safeRelativePath(header.linkTarget, reader.backslashSeparates());
        if (header.encrypted && !reader.decrypts())
            continue;
        for (;;) {
            DataBlock block;
            const ArchiveReader::Data read = reader.read(block, failed);
            if (read == ArchiveReader::Data::Fatal)
                return;
            if (read != ArchiveReader::Data::Block)
                break;
            output += block.size;
            if (output > kMaxOutput)
                return;
        }
    }
}

}  // namespace arc::unarc::fuzz
