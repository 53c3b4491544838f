// libFuzzer entry for the LZH header parser (with member decoding behind it).
#include "lzh_fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lzh::fuzz::headerParserTarget(data, size);
    return 0;
}
