// Extraction of an archive whose central directory is sound, read entirely by our own code.
#pragma once

#include <optional>
#include <string>

#include "common/job.h"
#include "common/status.h"

namespace arc::zip {

// Walks the members in the order their data lies, each from its central record: names,
// types, modes and times from the record, data decrypted and decoded by MemberExtractor, large
// unencrypted stored and deflate members decoded ahead on a worker (MemberStreamer). Members
// whose sizes old writers cut to 32 bits are read from their real extent when their CRC proves
// them whole. The contract for results, passphrases, cancel and threading is extractArchive()'s.
//
// nullopt when the archive has no sound directory (missing or damaged end records): nothing
// has been written then, and the caller reads the archive another way.
std::optional<ArcResult> extractByDirectory(const std::string& archivePath, const std::string& destination, Job& job);

}  // namespace arc::zip
