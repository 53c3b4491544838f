// Gathers the files and folders a compression command names, as archive members.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/status.h"

namespace arc {

struct SourceEntry {
    std::string diskPath;    // path to open (UTF-8, as the file system has it)
    std::string memberName;  // name in the archive: "/"-separated, relative, no trailing "/"
    bool isDirectory = false;
    std::uint64_t size = 0;  // bytes, for files
    std::int64_t mtime = 0;  // Unix time of the last modification
    std::uint32_t mode = 0;  // permission bits (st_mode & 07777)
};

// One file stored under its bare name (the file forms of both compressors).
// Fails with InputMissing when `path` is missing or is a directory.
ArcResult collectFile(const std::string& path, std::vector<SourceEntry>& out);

// The folder forms: `baseDirectory` (may end in "/") and a pattern "N/*.*" (or "N/*", or "N")
// name the folder baseDirectory/N; the result is the folder itself ("N") and everything below it
// ("N/..."), directories included (empty ones too), parents before children, names within a
// directory sorted bytewise. Symbolic links are followed and stored as what they point to; a
// directory reached again through a link (a loop) is not descended; a dangling link is skipped.
// Fails with InputMissing when the folder is missing. `found`, when given, is told of each entry
// as it is added, so work on it can begin while the walk goes on.
using EntryFound = std::function<void(const SourceEntry&)>;
ArcResult collectFolder(const std::string& baseDirectory, const std::string& pattern, std::vector<SourceEntry>& out,
                        const EntryFound& found = {});

// Removes every entry that is the archive itself (same device and inode, or, for an archive
// not yet created, the same absolute path), so an archive is never added to itself. Each one
// removed is reported as ArchiveItself ("skipped ...: the archive itself").
ArcResult excludeArchive(const std::string& archivePath, std::vector<SourceEntry>& entries);

// A member already in the archive, by its decoded "/"-separated name (no trailing "/").
struct ExistingMember {
    std::string name;
    bool isDirectory = false;
};

// Makes the members to add one consistent tree with those already there. Entries of the same
// name and kind: the later one is stored (in the earlier one's place, so parents still come
// before children). An entry that would make one name both a file and a folder (a file "x"
// given, then a folder "x" holding "x/y"; or a file where the archive has a folder) is left
// out and reported as NameClash; the first of the two wins. Names compare bytewise, or by
// `memberKey` when given (LZH counts cleaned paths as the same member).
ArcResult settleMemberNames(std::vector<SourceEntry>& entries, const std::vector<ExistingMember>& existing,
                            std::string (*memberKey)(const std::string& name) = nullptr);

// Whether a failure only means that something was skipped and the rest can still be stored.
bool isSkipOnly(const ArcResult& result);

}  // namespace arc
