// Decodes Deflate64 ("enhanced deflate", ZIP method 9), which libarchive does not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace arc::zip {

enum class InflateStatus {
    Ok,         // the final block ended
    BadData,    // a code, table or length the format does not allow
    Truncated,  // the input ended before the final block did
    Stopped,    // the output sink asked to stop
};

// Deflate64 is deflate with a 64 KiB window: length code 285 means 3 plus 16 extra bits (up to
// 65538) instead of 258, and distance codes 30 and 31 (14 extra bits each) reach back 65536.
// Everything else (block types, code-length alphabet, fixed tables) is deflate's.
//
// `input` fills a buffer with up to `capacity` compressed bytes and returns how many (0 at the
// end); `output` receives the decoded bytes in order, in pieces of at most 64 KiB, and returns
// false to stop. Memory is fixed (about 200 KiB) whatever the sizes; hostile input ends in
// BadData or Truncated, never a crash or an endless loop. One call decodes one stream; an
// inflater object is not shared between threads.
class Deflate64Inflater {
public:
    using Input = std::function<std::size_t(unsigned char* buffer, std::size_t capacity)>;
    using Output = std::function<bool(const unsigned char* data, std::size_t size)>;

    InflateStatus inflate(const Input& input, const Output& output);
};

}  // namespace arc::zip
