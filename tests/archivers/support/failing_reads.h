// Disk reads that fail on demand: part of one file of the test's choice turns unreadable, as on
// a disk with a bad sector. The test executable that compiles failing_reads.cpp has
// read() and pread() in front of the C library's.
#pragma once

#include <cstdint>
#include <filesystem>

namespace arc::testing {

// From now on every read of `file` (the same inode, whatever name opened it) that touches its
// `badSize` bytes from `badFrom` fails with `error`.
void failReadsOf(const std::filesystem::path& file, std::uint64_t badFrom, std::uint64_t badSize, int error);
void stopFailingReads();

}  // namespace arc::testing
