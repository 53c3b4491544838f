// libFuzzer entry for the -lh5-/-lh6-/-lh7- decoder.
#include "lzh_fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lzh::fuzz::decoderTarget(data, size);
    return 0;
}
