// Extracts a ZIP archive under a destination directory, safely.
#pragma once

#include <string>

#include "common/job.h"
#include "common/status.h"

namespace arc::zip {

// libarchive reads the members (stored, deflate, bzip2, LZMA, XZ, Zstandard, PPMd; traditional
// PKWARE and WinZip AES encryption); Deflate64, which libarchive refuses, is decoded here from
// the member's raw bytes. Every name is decoded by decodeMemberName() from the central
// directory's own record, cut at a NUL byte, made safe by safeRelativePath() (backslashes are
// separators) and written through SafeDiskWriter, so a file appears under its final name only
// after its CRC-32 (or, for WinZip AE-2, its authentication code) matched.
//
// Per entry that fails, a structured failure names it and the others are still extracted:
// UnsafeEntry (would leave the destination; a link whose target does), SpecialEntry (FIFO,
// device, socket: never created), PasswordRequired / WrongPassword (see below),
// UnsupportedMethod, CrcMismatch, ArchiveCorrupt (also for directory records that share or
// overlap another record's data, which are not extracted, and for a directory whose declared
// count differs from its records). The first failure's code is returned with every failure
// merged.
//
// Damaged archives give what can be proven whole: without end records the local headers are
// followed (the run still reports ArchiveCorrupt, as entries may be missing); members whose
// sizes or offsets old writers cut to 32 bits are read from their real extent and kept when
// their CRC holds; past a local header libarchive cannot read, the remaining stored, deflate
// and Deflate64 members are read from their raw bytes.
//
// The job: totals are set from the central directory before the first entry; each entry is
// begun and ended, and its data advanced block by block. A false answer or job.cancel() stops
// the run: the file being written is removed, files already committed stay, and the result is
// Cancelled. Passphrases are asked through job.passphrase() for the first encrypted entry and
// reused for the others; a wrong one is asked again with the next attempt number until the
// listener gives up, and then only that entry fails.
//
// Runs on the calling thread; the job's listener is called on it too. Large stored and deflate
// members are decoded ahead on one worker thread (see MemberStreamer), which reads the archive
// and polls job.cancelled() only; it is stopped and joined before this returns.
ArcResult extractArchive(const std::string& archivePath, const std::string& destination, Job& job);
ArcResult extractArchive(const std::string& archivePath, const std::string& destination);

}  // namespace arc::zip
