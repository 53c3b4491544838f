// libFuzzer target: the Deflate64 decoder, which reads members libarchive refuses.
#include "zip_fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    arc::zip::fuzz::deflate64Target(data, size);
    return 0;
}
