// Walks libarchive's entries and hands each one to the disk writer.
#include "unarc/archive_extractor.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <optional>

#include "common/disk_writer.h"
#include "common/safe_path.h"
#include "unarc/archive_names.h"
#include "unarc/archive_reader.h"
#include "unarc/extracted_files.h"

namespace arc::unarc {
namespace {

// An archive whose headers fail one after another this often is not worth reading on.
constexpr unsigned kMaxUnusableHeaders = 1000;
constexpr std::size_t kZeroBlock = 64 * 1024;

// Opens the set that `archivePath` belongs to, from its first volume.
ArcResult openSet(const std::string& archivePath, VolumeSource& source)
{
    const std::string first = firstVolumePath(archivePath);
    struct stat info {};
    if (first != archivePath && ::stat(first.c_str(), &info) != 0)
        return ArcResult::failure(ArcStatus::ArchiveUnreadable,
                                  archivePath + " is a later volume of a set whose first volume " + first +
                                      " is missing",
                                  archivePath, errno);
    return source.open(first);
}

// Gathers failures: the first one's code, and messages up to a limit, so an archive of a
// million bad entries cannot grow the result without bound.
class Failures {
public:
    void add(const ArcResult& failure)
    {
        if (failure.ok())
            return;
        if (++count_ <= kMaxMessages || failure.status == ArcStatus::Cancelled)
            mergeInto(total_, failure);
        else if (total_.ok())
            total_.status = failure.status;
    }
    ArcResult finish()
    {
        if (count_ > kMaxMessages)
            total_.message += "\n(" + std::to_string(count_ - kMaxMessages) + " more failures)";
        return std::move(total_);
    }
    bool cancelled() const { return total_.status == ArcStatus::Cancelled; }

private:
    static constexpr std::size_t kMaxMessages = 100;
    ArcResult total_;
    std::size_t count_ = 0;
};

enum class Next { Continue, Stop };

class Extraction {
public:
    Extraction(VolumeSource& source, const std::string& destination, Job& job)
        : job_(job), reader_(source, job), writer_(destination, &job)
    {
    }

    ArcResult run()
    {
        if (ArcResult opened = reader_.open(); !opened.ok())
            return opened;
        if (ArcResult opened = writer_.open(); !opened.ok())
            return opened;
        walk();
        failures_.add(writer_.finish());
        return failures_.finish();
    }

private:
    void report(ArcStatus status, const std::string& message, const std::string& entry)
    {
        failures_.add(ArcResult::failure(status, message, entry));
    }

    // A writer's result, with the entry's name when it names nothing.
    void merge(ArcResult result)
    {
        if (!result.ok() && result.path.empty())
            result.path = name_;
        failures_.add(result);
    }

    Next cancel()
    {
        writer_.abortFile();
        if (!failures_.cancelled())
            failures_.add(cancelledResult());
        return Next::Stop;
    }

    // After the writer refused something: the entry is given up (its data read past). A full
    // destination would refuse every later file as well, so the run ends there and says so.
    Next writerFailed(ArcResult result)
    {
        writer_.abortFile();
        if (result.status == ArcStatus::Cancelled || job_.cancelled())
            return cancel();
        const bool full = destinationFull(result);
        const int error = result.systemError;
        merge(std::move(result));
        if (!full)
            return drain();
        failures_.add(ArcResult::failure(ArcStatus::WriteFailed,
                                         "stopped: the destination " + writer_.destination() +
                                             " is full; the entries after \"" + name_ + "\" were not extracted",
                                         {}, error));
        return Next::Stop;
    }

    void walk()
    {
        unsigned unusable = 0;
        for (;;) {
            if (job_.cancelled()) {
                cancel();
                return;
            }
            EntryHeader header;
            ArcResult failed;
            switch (reader_.next(header, failed)) {
            case ArchiveReader::Step::End: return;
            case ArchiveReader::Step::Fatal: failures_.add(failed); return;
            case ArchiveReader::Step::Skipped:
                failures_.add(failed);
                if (++unusable >= kMaxUnusableHeaders)
                    return;
                continue;
            case ArchiveReader::Step::Entry: unusable = 0; break;
            }
            name_ = header.name;
            if (!job_.beginEntry(header.name, header.size.value_or(0))) {
                cancel();
                return;
            }
            if (extractEntry(header) == Next::Stop)
                return;
            if (!job_.endEntry()) {
                cancel();
                return;
            }
        }
    }

    Next extractEntry(const EntryHeader& header)
    {
        const bool backslash = reader_.backslashSeparates();
        const std::optional<std::string> path = safeRelativePath(header.name, backslash);
        if (!path) {
            if (header.type != EntryType::Directory || !namesDestinationItself(header.name, backslash))
                report(ArcStatus::UnsafeEntry,
                       header.name.empty()
                           ? "skipped an entry without a name"
                           : "skipped \"" + header.name + "\": it would be written outside the destination",
                       header.name);
            return drain();
        }
        switch (header.type) {
        case EntryType::Directory: merge(writer_.writeDirectory(*path, header.mode, header.mtime)); return drain();
        case EntryType::Symlink:
            if (header.linkTarget.empty())
                report(ArcStatus::ArchiveCorrupt, "symbolic link \"" + header.name + "\" has no target", header.name);
            else
                merge(writer_.writeSymlink(*path, header.linkTarget, header.mtime));
            return drain();
        case EntryType::Special:
            report(ArcStatus::SpecialEntry,
                   "skipped \"" + header.name + "\": a device, FIFO or socket is never created", header.name);
            return drain();
        case EntryType::HardLink: return extractHardLink(header, *path);
        case EntryType::File: break;
        }
        return extractFile(header, *path);
    }

    Next extractFile(const EntryHeader& header, const std::string& path)
    {
        if (header.encrypted && !reader_.decrypts()) {
            // Its data cannot be read; libarchive passes over it by itself.
            report(ArcStatus::UnsupportedMethod,
                   "\"" + header.name +
                       "\": encrypted, not supported (this format's encryption cannot be decrypted "
                       "here); not extracted",
                   header.name);
            return Next::Continue;
        }
        // Known from the sparse map before a byte is written; fillHole() holds the line for
        // the holes that only the data's offsets reveal.
        if (holeBytes_ + header.holeBytes > kMaxHoleBytes)
            return refuseHoles(header);
        if (ArcResult begun = writer_.beginFile(path, header.mode, header.mtime); !begun.ok())
            return writerFailed(std::move(begun));
        std::uint64_t written = 0;
        for (;;) {
            DataBlock block;
            ArcResult failed;
            const ArchiveReader::Data data = reader_.read(block, failed);
            if (data == ArchiveReader::Data::End)
                break;
            if (data != ArchiveReader::Data::Block) {
                writer_.abortFile();
                if (job_.cancelled())
                    return cancel();
                failures_.add(failed);
                return data == ArchiveReader::Data::Fatal ? Next::Stop : Next::Continue;
            }
            if (block.size == 0)
                continue;
            if (block.offset < written || (header.size && block.offset + block.size > *header.size)) {
                writer_.abortFile();
                report(ArcStatus::ArchiveCorrupt,
                       "\"" + header.name + "\": its data does not fit its declared size; not extracted", header.name);
                return drain();
            }
            if (block.offset > written) {
                if (const std::optional<Next> stopped = fillHole(header, block.offset - written))
                    return *stopped;
                written = block.offset;
            }
            if (ArcResult result = writer_.writeData(block.bytes, block.size); !result.ok())
                return writerFailed(std::move(result));
            written += block.size;
            if (!job_.advance(block.size))
                return cancel();
        }
        if (header.size && written < *header.size) {
            if (!header.sparse) {
                writer_.abortFile();
                report(ArcStatus::ArchiveCorrupt,
                       "\"" + header.name + "\": its data ends " + std::to_string(*header.size - written) +
                           " bytes early (is a volume of the set missing?); not extracted",
                       header.name);
                return Next::Continue;
            }
            if (const std::optional<Next> stopped = fillHole(header, *header.size - written))
                return *stopped;
            written = *header.size;
        }
        if (ArcResult committed = writer_.commitFile(); !committed.ok())
            return writerFailed(std::move(committed));
        if (job_.cancelled())
            return cancel();
        files_.addFile(path, written, writer_.lastPlaced());
        return Next::Continue;
    }

    // Writes `size` zero bytes for a hole in a sparse entry; what stops the entry, if anything.
    std::optional<Next> fillHole(const EntryHeader& header, std::uint64_t size)
    {
        holeBytes_ += size;
        if (holeBytes_ > kMaxHoleBytes) {
            writer_.abortFile();
            return refuseHoles(header);
        }
        static constexpr std::array<char, kZeroBlock> kZeros{};
        while (size > 0) {
            const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(size, kZeros.size()));
            if (ArcResult result = writer_.writeData(kZeros.data(), piece); !result.ok())
                return writerFailed(std::move(result));
            size -= piece;
            if (!job_.advance(piece))
                return cancel();
        }
        return std::nullopt;
    }

    Next refuseHoles(const EntryHeader& header)
    {
        report(ArcStatus::UnsupportedMethod,
               "\"" + header.name + "\": a sparse file whose holes, with those before it, exceed " +
                   std::to_string(kMaxHoleBytes >> 20) + " MiB; not extracted",
               header.name);
        return drain();
    }

    // A hard link is made only to a file this run extracted; see ExtractedFiles.
    Next extractHardLink(const EntryHeader& header, const std::string& path)
    {
        const std::optional<std::string> target = safeRelativePath(header.linkTarget, reader_.backslashSeparates());
        const ExtractedFiles::Record* record = target ? files_.find(*target) : nullptr;
        const bool carriesData = header.size.value_or(0) > 0;
        if (target && *target == path)
            return drain();
        if (record == nullptr) {
            // Its own data makes it a file of its own.
            if (carriesData)
                return extractFile(header, path);
            report(target ? ArcStatus::ArchiveCorrupt : ArcStatus::UnsafeEntry,
                   "skipped hard link \"" + header.name + "\" -> \"" + header.linkTarget + "\": its target " +
                       (target ? "was not extracted" : "is outside the destination"),
                   header.name);
            return drain();
        }
        if (carriesData && record->placed && files_.sizeOf(*record) == 0)
            return extractGroupData(header, path, *record);
        ArcResult linked = writer_.writeHardLink(path, *target);
        if (!linked.ok()) {
            merge(std::move(linked));
            return drain();
        }
        files_.addLink(path, *target, writer_.lastPlaced());
        // Formats that repeat the data with every name ("odc" cpio): it is the target's.
        return drain();
    }

    // The cpio "newc" layout: the group's names came without data and this last one brings it.
    // It is written as a file, and every name of the group then made a link to it.
    Next extractGroupData(const EntryHeader& header, const std::string& path, const ExtractedFiles::Record& record)
    {
        const std::vector<std::string> names = files_.namesOf(record);
        if (const Next next = extractFile(header, path); next == Next::Stop)
            return next;
        const ExtractedFiles::Record* written = files_.find(path);
        if (written == nullptr || !written->placed)
            return Next::Continue;
        for (const std::string& name : names) {
            if (name == path)
                continue;
            ArcResult linked = writer_.writeHardLink(name, path, true);
            if (!linked.ok()) {
                merge(std::move(linked));
                continue;
            }
            files_.addLink(name, path, true);
        }
        return Next::Continue;
    }

    // Reads through the current entry's data without writing it, so a refused entry costs a
    // read with progress points rather than a skip that could not be cancelled.
    Next drain()
    {
        for (;;) {
            DataBlock block;
            ArcResult failed;
            switch (reader_.read(block, failed)) {
            case ArchiveReader::Data::End:
            case ArchiveReader::Data::Failed: return Next::Continue;
            case ArchiveReader::Data::Fatal: failures_.add(failed); return Next::Stop;
            case ArchiveReader::Data::Block:
                if (!job_.advance(block.size))
                    return cancel();
                break;
            }
        }
    }

    Job& job_;
    ArchiveReader reader_;
    SafeDiskWriter writer_;
    ExtractedFiles files_;
    Failures failures_;
    std::string name_;  // the current entry's
    std::uint64_t holeBytes_ = 0;
};

}  // namespace

ArcResult extractArchive(VolumeSource& source, const std::string& destination, Job& job)
{
    try {
        Extraction extraction(source, destination, job);
        return extraction.run();
    } catch (const std::bad_alloc&) {
        return ArcResult::failure(ArcStatus::NoMemory, "out of memory while extracting " + source.firstName());
    }
}

ArcResult extractArchive(const std::string& archivePath, const std::string& destination, Job& job)
{
    VolumeSource source;
    if (ArcResult opened = openSet(archivePath, source); !opened.ok())
        return opened;
    return extractArchive(source, destination, job);
}

ArcResult listArchive(VolumeSource& source, std::vector<std::string>& names)
{
    Job job;
    ArchiveReader reader(source, job);
    if (ArcResult opened = reader.open(); !opened.ok())
        return opened;
    for (;;) {
        EntryHeader header;
        ArcResult failed;
        switch (reader.next(header, failed)) {
        case ArchiveReader::Step::End: return ArcResult::success();
        case ArchiveReader::Step::Entry: names.push_back(std::move(header.name)); break;
        case ArchiveReader::Step::Skipped:
        case ArchiveReader::Step::Fatal: names.clear(); return failed;
        }
    }
}

ArcResult listArchive(const std::string& archivePath, std::vector<std::string>& names)
{
    VolumeSource source;
    if (ArcResult opened = openSet(archivePath, source); !opened.ok())
        return opened;
    return listArchive(source, names);
}

}  // namespace arc::unarc
