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

// Every entry is written through descriptors of its folders, reached from the destination's
// descriptor one component at a time without following symbolic links (FolderHandles), so
// nothing lands outside the destination or through a link, whatever is on the disk or changes
// there meanwhile. A file is first written as an anonymous file in its final folder (O_TMPFILE;
// where the file system has none, under a hidden temporary name) and named only by
// commitFile(), which the caller calls after the data's check value matched: linked under its
// final name when that is free, else given a hidden name and renamed over what is there;
// abortFile() (or destroying the writer mid-file) removes it. So a final name only ever holds
// a complete, verified file, and a process killed mid-file leaves nothing named behind. Nothing is synced: a crash may
// lose recent files, never leave a partial one under a final name.
//
// Modes: permission bits only (never set-id or sticky), given at creation, so the user's umask
// applies as for any new file. Folder times and modes are applied by finish().
//
// Threading: one writer belongs to one thread at a time. The writer changes no process-wide
// state (no working folder, no umask), so any number of writers may run on other threads,
// beside any other file work of the process.
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

    // `relativePath` must come from safeRelativePath(). A folder entry makes the folder (with
    // parents) and replaces a symbolic link of its name; a file in the way is NameClash. Files
    // and links get their missing parent folders too. `mode` holds permission bits only
    // (0 means the default 0644 for files, 0755 for directories); `mtime` is Unix time, or
    // a negative value for "now".
    ArcResult writeDirectory(std::string_view relativePath, std::uint32_t mode, std::int64_t mtime);
    ArcResult beginFile(std::string_view relativePath, std::uint32_t mode, std::int64_t mtime);
    // Returns Cancelled once the job is cancelled (the caller then calls abortFile()).
    ArcResult writeData(const void* data, std::size_t size);
    // Gives the temporary its final name. A file already there with the same bytes is replaced
    // silently; one with other content is replaced when there is no job, else the job is asked:
    // on Skip the temporary is removed and the result is still Ok; Cancel gives Cancelled. An
    // empty folder in the way gives way; anything else in the way is NameClash.
    ArcResult commitFile();

    // A symbolic link at `relativePath` pointing to `target` (as stored, "/"-separated). It is
    // created only when `target` is relative and, resolved from the link's own folder, stays
    // inside the destination (see linkTargetStaysInside()); otherwise nothing is created and the
    // result is UnsafeEntry. Later entries are never written through a link: a file below it
    // is refused (UnsafeEntry), a folder entry of the link's name replaces the link.
    ArcResult writeSymlink(std::string_view relativePath, std::string_view target, std::int64_t mtime);
    void abortFile();

    // A hard link at `relativePath` to the regular file at `targetPath` (both safeRelativePath()
    // results; the target's folders are walked like any entry's, so no link is followed and
    // nothing outside the destination can be reached). It is made under a temporary name and
    // placed as commitFile() places a file, the question included, unless `replaceWithoutAsking`
    // (for a name this writer placed itself moments ago). A target that is not a regular file
    // gives UnsafeEntry; a file system without hard links gives WriteFailed with its errno.
    ArcResult writeHardLink(std::string_view relativePath, std::string_view targetPath,
                            bool replaceWithoutAsking = false);

    // Whether the last commitFile(), writeSymlink() or writeHardLink() put its entry under its
    // final name: false after a failure or a Skip answer (the old file stayed).
    bool lastPlaced() const;

    // Applies the directories' times and modes (deferred so that files written into them do
    // not disturb the times). Call once after the last entry.
    ArcResult finish();

    const std::string& destination() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A write failure that every later file would meet as well: the destination's file system (or
// the user's quota there) is full. An extraction stops at the first one rather than failing
// entry after entry.
bool destinationFull(const ArcResult& result);

}  // namespace arc
