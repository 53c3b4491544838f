// The bodies of the ZIP fuzz targets, shared by the libFuzzer programs and the corpus replay test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace arc::zip::fuzz {

// Treats the input as an archive and reads its end records and central directory, as adding to
// an existing archive does; a directory that reads cleanly must describe bytes that exist.
void centralDirectoryTarget(const std::uint8_t* data, std::size_t size);

// What adding with replacement does to a directory that read cleanly: decodes every name, moves
// every record to a new local header offset, writes the records and end records again, and
// reads the result back, which must give the same records at the new offsets.
void directoryRebuildTarget(const std::uint8_t* data, std::size_t size);

// Treats the input as a Deflate64 stream (as the members libarchive refuses are read), its output
// capped at 16 MiB: it must end, whatever the input, without reading or writing out of bounds.
void deflate64Target(const std::uint8_t* data, std::size_t size);

}  // namespace arc::zip::fuzz
