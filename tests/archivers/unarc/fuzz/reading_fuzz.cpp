// libFuzzer entry for unarc32's reading path; the first byte's lowest bit splits the input
// into two volumes, so the way across a volume's end is fuzzed too.
#include "unarc_fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    arc::unarc::fuzz::readingTarget(data, size, size > 0 && (data[size - 1] & 1) != 0 ? 2 : 1);
    return 0;
}
