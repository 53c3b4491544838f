// Where each member of an archive lies and what path it has: what adding to an archive needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lzh/lzh_status.h"

namespace lzh {

struct IndexedMember {
    std::string key;             // memberKey() of the decoded path
    std::uint64_t headerOffset;  // first byte of the header
    std::uint64_t end;           // one past the last byte of the data
    bool directory = false;      // a -lhd- member
};

struct ArchiveIndex {
    std::vector<IndexedMember> members;
    std::uint64_t endOffset = 0;  // the end marker (or the end of the file when it has none)
    std::uint64_t fileSize = 0;
};

// Indexes the archive open on `fd` by scanning its headers. When this process wrote the
// file last and it is unchanged since (same device, inode, size, modification and change
// times), the index kept from that write is used instead, so a run of single-file adds does
// not rescan a growing archive each time.
LzhStatus loadArchiveIndex(int fd, ArchiveIndex& out);

// Keeps `index` for the file open on `fd`, which this process just wrote.
void rememberArchiveIndex(int fd, ArchiveIndex index);

}  // namespace lzh
