// libFuzzer entry for the directory rewrite that replacing members does (moved records, new end).
#include "zip_fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    arc::zip::fuzz::directoryRebuildTarget(data, size);
    return 0;
}
