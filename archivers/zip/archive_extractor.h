// Extracts a ZIP archive under a destination directory, safely.
#pragma once

#include <string>

#include "common/job.h"
#include "common/status.h"

namespace arc::zip {

// libarchive reads the members; every name is decoded by decodeMemberName() from the central
// directory's own record, made safe by safeRelativePath() (backslashes are separators) and
// written through SafeDiskWriter, so a file appears under its final name only after its
// CRC-32 matched. An entry that would leave the destination is skipped and reported as
// UnsafeEntry while the others are still extracted. Symbolic-link entries are never created
// (a link is how an archive reaches outside the destination): they are skipped and reported
// as UnsafeEntry too. The first failure's code is returned, with every failure's message.
ArcResult extractArchive(const std::string& archivePath, const std::string& destination, Job& job);
ArcResult extractArchive(const std::string& archivePath, const std::string& destination);

}  // namespace arc::zip
