// Turns a complete deflate stream into one that another stream may follow.
#pragma once

#include <string>

namespace arc::zip {

// libdeflate compresses whole buffers only, and its output always ends with a final block.
// To chain independently compressed chunks into one member, each chunk but the last is
// rewritten here: the stream's block headers are walked (decoding the Huffman codes without
// producing output) to find the last block, its final bit is cleared, and an empty stored
// block is appended, which ends the stream on a byte boundary exactly as a zlib sync flush
// does. Returns false, leaving `stream` unchanged, when the stream does not parse.
bool makeDeflateContinuable(std::string& stream);

}  // namespace arc::zip
