// libFuzzer entry for the central-directory reader that adding trusts with an existing archive.
#include "zip_fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    arc::zip::fuzz::centralDirectoryTarget(data, size);
    return 0;
}
