// Extracts and lists the archives unarc32 reads, through our own disk writer.
#pragma once

#include <string>
#include <vector>

#include "common/job.h"
#include "common/status.h"
#include "unarc/volume_source.h"

namespace arc::unarc {

// Every entry goes through SafeDiskWriter, as ZIP and LZH entries do: names decoded by
// ArchiveReader, cut at a NUL byte and made safe by safeRelativePath() (backslashes separate
// folders in the formats from Windows); nothing lands outside the destination or through a
// link; a file appears under its name only complete, and an existing file with other content
// is replaced only as the job's overwrite question says.
//
// Per entry that fails, a structured failure names it and the others are still extracted:
// UnsafeEntry (outside the destination, or a link whose target is), SpecialEntry (FIFO, device,
// socket), UnsupportedMethod (a method libarchive lacks; an encrypted entry of a format whose
// encryption cannot be decrypted: "encrypted, not supported"), PasswordRequired / WrongPassword
// (ZIP), CrcMismatch, ArchiveCorrupt (also for data that ends before its declared size, as when
// a volume of a set is missing). Symbolic links go to the writer, which makes only those that
// stay inside. A hard link becomes a hard link to the file this run extracted under its
// target's name, never a copy; in the cpio layout where the last name of a group carries the
// data, every name of the group ends up on that data.
//
// A refused write (WriteFailed with errno) gives up its entry at once, nothing of it left. The
// run stops (the file being written removed, the rest not read) when the job is cancelled
// (Cancelled), when the destination is full (destinationFull(): every later file would fail
// too; a last line says so), and when the archive cannot be read on (ArchiveUnreadable with
// errno when a volume could not be read, else what libarchive says).
//
// Bounds on hostile input: no entry gets more bytes than it declares; a hard link never copies
// data; holes in sparse entries are written as zeros up to kMaxHoleBytes per run, and an entry
// needing more is refused; every block read, written or passed over (refused entries are read
// through, not skipped inside libarchive) is a progress point, so キャンセル is never far; and
// memory is libarchive's own per format plus one record per extracted file.
//
// The job: totals are unknown (0) as these formats do not tell them up front; each entry is
// begun and ended, its bytes advanced as they are written. Runs on the calling thread, which
// is also where the listener is called.
inline constexpr std::uint64_t kMaxHoleBytes = std::uint64_t{1} << 30;

// `archivePath` names the archive or any volume of a set; a set is read from its first volume.
ArcResult extractArchive(const std::string& archivePath, const std::string& destination, Job& job);
ArcResult extractArchive(VolumeSource& source, const std::string& destination, Job& job);

// Every entry's decoded name (as extraction decodes it, before it is made safe), in archive
// order. A damaged archive gives its failure and no names rather than a partial list.
ArcResult listArchive(const std::string& archivePath, std::vector<std::string>& names);
ArcResult listArchive(VolumeSource& source, std::vector<std::string>& names);

}  // namespace arc::unarc
