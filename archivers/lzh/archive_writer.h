// Adds members to an LZH archive: creates it, appends in place, or rewrites to replace.
#pragma once

#include <string>
#include <vector>

#include "common/job.h"
#include "common/source_tree.h"
#include "common/status.h"
#include "lzh/lzh_method.h"

namespace lzh {

struct WriteOptions {
    Method method = Method::Lh5;  // for members that shrink; others are stored (-lh0-)
    int threads = 2;
};

// Adds `entries` (parents before children) to the archive at `archivePath`:
// - no archive yet: written under a temporary name beside it, then renamed into place;
// - none of the new members' paths exist in it: the new members are written over the end
//   marker followed by a new one, costing only the new data and a scan of the headers; on
//   any failure the file is cut back and its old bytes restored exactly;
// - some exist: the archive is rebuilt under a temporary name, the other old members copied
//   byte for byte (not recompressed), then renamed over the old one.
// Each member is named by entry.memberName ("/"-separated), stored as CP932 (plus UTF-16
// when needed) in level-2 headers.
arc::ArcResult addMembers(const std::string& archivePath, const std::vector<arc::SourceEntry>& entries,
                          const WriteOptions& options, arc::Job& job);
arc::ArcResult addMembers(const std::string& archivePath, const std::vector<arc::SourceEntry>& entries,
                          const WriteOptions& options);

}  // namespace lzh
