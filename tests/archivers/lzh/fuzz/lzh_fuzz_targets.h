// The bodies of the LZH fuzz targets, shared by the libFuzzer programs and the corpus replay test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh::fuzz {

// Treats the input as an archive: scans the headers, decodes every name and every member's data.
void headerParserTarget(const std::uint8_t* data, std::size_t size);

// First byte: method (lh5/6/7); next two: the claimed original size; the rest: the stream.
void decoderTarget(const std::uint8_t* data, std::size_t size);

}  // namespace lzh::fuzz
