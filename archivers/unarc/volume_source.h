// The bytes of an archive that may span several files (a RAR set, a 7-Zip split set), handed
// to libarchive as one stream.
#pragma once

#include <archive.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/status.h"

namespace arc::unarc {

// The volumes are read one after another as if they were one file, which is what libarchive's
// RAR readers expect of a multi-volume set (each volume starts with its own headers) and what a
// split set is. Reading, skipping and seeking all go through here, so a failed read is known as
// such (its errno and its volume) whatever libarchive makes of it.
//
// Only regular files are read: a FIFO or a device named as an archive or a volume is refused
// before it could block or never end. One descriptor is open at a time, so a set of a thousand
// volumes needs no more than one; each volume must keep the size it had when the set was found.
//
// Threading: one source belongs to one reader on one thread.
class VolumeSource {
public:
    VolumeSource() = default;
    ~VolumeSource();
    VolumeSource(const VolumeSource&) = delete;
    VolumeSource& operator=(const VolumeSource&) = delete;

    // The set `path` begins: `path`, then each volume nextVolumePath() names, as long as it
    // exists. `path` must be the first volume (see firstVolumePath()). ArchiveUnreadable with
    // errno when it cannot be opened or is not a regular file; a later volume that is not a
    // regular file ends the set there.
    ArcResult open(const std::string& path);

    // Volumes already open, for data made in memory (memfd) by tests and the fuzz target. The
    // descriptors become this source's. `names` say what messages call them.
    ArcResult adopt(const std::vector<int>& fds, const std::vector<std::string>& names);

    // Registers the callbacks and this source as the client data of `handle` (not yet opened).
    void attach(archive* handle);

    struct ReadFailure {
        std::string volume;
        int systemError = 0;  // errno, or 0 when a volume came out shorter than it was
        std::string message;
    };
    // Set once a read has failed; libarchive then reports the entry or the archive as broken.
    const std::optional<ReadFailure>& readFailure() const { return readFailure_; }

    std::size_t volumeCount() const { return volumes_.size(); }
    const std::string& firstName() const;
    std::uint64_t totalSize() const { return totalSize_; }

private:
    struct Volume {
        std::string path;  // empty for adopted descriptors, which stay open
        std::string name;
        std::uint64_t size = 0;
        int fd = -1;
    };

    static la_ssize_t readCallback(archive* handle, void* self, const void** buffer);
    static la_int64_t skipCallback(archive* handle, void* self, la_int64_t request);
    static la_int64_t seekCallback(archive* handle, void* self, la_int64_t offset, int whence);

    la_ssize_t read(archive* handle, const void** buffer);
    int descriptorOf(std::size_t index, archive* handle);
    la_ssize_t fail(archive* handle, std::size_t index, int error, std::string message);
    void closeCurrent();

    std::vector<Volume> volumes_;
    std::uint64_t totalSize_ = 0;
    std::uint64_t position_ = 0;
    std::size_t current_ = 0;  // the volume whose descriptor may be open
    std::vector<char> buffer_;
    std::optional<ReadFailure> readFailure_;
};

}  // namespace arc::unarc
