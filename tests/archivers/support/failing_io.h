// Disk input and output that fail on demand, as on a disk that fills, breaks or has a bad
// sector: the test executable that compiles failing_io.cpp has write(), fsync(), read() and
// pread() in front of the C library's (exported, so that shared libraries call them too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace arc::testing {

// Writes to regular files (standard streams aside) succeed for `budget` bytes in all, the last
// one short if need be; the next one fails with `error`, and later ones succeed again.
void failWritesAfter(std::size_t budget, int error);

// While `error` is not 0, fsync() of a folder fails with it.
void failFolderSyncs(int error);

// Reads of `file` (its inode, whatever name opened it) that touch its `size` bytes from `from`
// fail with `error`, until stopFailingReads().
void failReadsOf(const std::filesystem::path& file, std::uint64_t from, std::uint64_t size, int error);
void stopFailingReads();

}  // namespace arc::testing
