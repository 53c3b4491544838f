// libFuzzer entry for the name routines (built with TEMBREL_FUZZ=ON).
#include <cstdio>
#include <cstdlib>

#include "name_fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string failure =
        arc::testing::checkNameProperties(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
