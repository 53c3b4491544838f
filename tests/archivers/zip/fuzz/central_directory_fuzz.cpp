// libFuzzer target: the central-directory reader that append trusts with an existing archive.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zip/central_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const arc::zip::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    arc::zip::CentralDirectory directory;
    if (arc::zip::readCentralDirectory(source, directory) == arc::zip::DirectoryStatus::Ok) {
        // A directory that reads cleanly must describe bytes that exist.
        for (const auto& record : directory.records)
            if (record.localHeaderOffset > directory.directoryOffset || directory.directoryOffset > size) __builtin_trap();
    }
    return 0;
}
