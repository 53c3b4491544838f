// Disk writes that fail on demand: the test executable that compiles failing_writes.cpp has a
// write() and an fsync() in front of the C library's.
#pragma once

#include <cstddef>

namespace arc::testing {

// From now on writes to regular files (standard streams excepted) succeed for `budget` bytes
// in all, the last one short if need be; the next one fails with `error`, as on a disk that
// fills or breaks, and later ones succeed again, as after space was freed.
void failWritesAfter(std::size_t budget, int error);
void stopFailingWrites();

// While `error` is not 0, fsync() of a folder fails with it.
void failFolderSyncs(int error);

}  // namespace arc::testing
