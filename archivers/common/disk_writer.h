// Writes extracted entries under a destination directory, safely and atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/job.h"
#include "common/status.h"

namespace arc {

// Every entry goes through libarchive's archive_write_disk with SECURE_NODOTDOT,
// SECURE_NOABSOLUTEPATHS and SECURE_SYMLINKS, so nothing lands outside the destination or
// through a symbolic link. A file is first written under a temporary name in its final
// directory and renamed over the final name only by commitFile(), which the caller calls after
// the data's check value matched; abortFile() (or destroying the writer mid-file) removes the
// temporary. So a final name only ever holds a complete, verified file.
//
// Not thread-safe, and no other thread of the process may create files while a writer is
// alive: archive_write_disk resets the process umask around its calls.
class SafeDiskWriter {
public:
    // `destination` is created (with parents) by open() when missing. `job`, when given, is
    // asked before an existing file with other content is replaced (ExistingFile), and its
    // cancel flag is honoured.
    explicit SafeDiskWriter(std::string destination, Job* job = nullptr);
    ~SafeDiskWriter();
    SafeDiskWriter(const SafeDiskWriter&) = delete;
    SafeDiskWriter& operator=(const SafeDiskWriter&) = delete;

    ArcResult open();

    // `relativePath` must come from safeRelativePath(). `mode` holds permission bits only
    // (0 means the default 0644 for files, 0755 for directories); `mtime` is Unix time, or
    // a negative value for "now".
    ArcResult writeDirectory(std::string_view relativePath, std::uint32_t mode, std::int64_t mtime);
    ArcResult beginFile(std::string_view relativePath, std::uint32_t mode, std::int64_t mtime);
    ArcResult writeData(const void* data, std::size_t size);
    // Gives the temporary its final name. When a file with other content is there already and
    // the job's answer is Skip, the temporary is removed and the result is still Ok; Cancel
    // gives ArcStatus::Cancelled.
    ArcResult commitFile();

    // A symbolic link at `relativePath` pointing to `target` (as stored, "/"-separated). It is
    // created only when `target` is relative and, resolved from the link's own folder, stays
    // inside the destination; otherwise nothing is created and the result is UnsafeEntry.
    ArcResult writeSymlink(std::string_view relativePath, std::string_view target, std::int64_t mtime);
    void abortFile();

    // Applies the directories' times and modes (deferred so that files written into them do
    // not disturb the times). Call once after the last entry.
    ArcResult finish();

    const std::string& destination() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace arc
