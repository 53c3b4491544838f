// Times, inside one process, N single-file add calls against one folder-form call adding the
// same files, through a plug-in loaded with dlopen as the desktop program loads it.
//
// usage: adds PLUGIN.so zip|lzh FOLDER_PARENT FOLDER_NAME WORK_DIR [N]
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "plugins/plugin_api.h"

namespace fs = std::filesystem;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool call(ArchiverCommandFn entry, const std::string& command)
{
    std::vector<char> output(64 * 1024, '\0');
    const int code = entry(0, command.c_str(), output.data(), static_cast<uint32_t>(output.size()));
    if (code != 0)
        std::fprintf(stderr, "adds: %s -> code %d: %s\n", command.c_str(), code, output.data());
    return code == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: adds PLUGIN.so zip|lzh FOLDER_PARENT FOLDER_NAME WORK_DIR [N]\n");
        return 2;
    }
    const std::string plugin = argv[1];
    const bool zip = std::string(argv[2]) == "zip";
    const fs::path parent = argv[3];
    const std::string folder = argv[4];
    const fs::path work = argv[5];
    const std::size_t limit = argc > 6 ? std::strtoul(argv[6], nullptr, 10) : 1000;

    void* handle = dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "adds: %s\n", dlerror());
        return 1;
    }
    auto entry = reinterpret_cast<ArchiverCommandFn>(dlsym(handle, zip ? "Zip" : "Unlha"));
    auto version = reinterpret_cast<ArchiverVersionFn>(dlsym(handle, zip ? "ZipGetVersion" : "UnlhaGetVersion"));
    if (entry == nullptr || version == nullptr) {
        std::fprintf(stderr, "adds: %s lacks its entry points\n", plugin.c_str());
        return 1;
    }
    version();

    std::vector<fs::path> files;
    for (const auto& item : fs::directory_iterator(parent / folder)) {
        if (item.is_regular_file())
            files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    if (files.size() > limit)
        files.resize(limit);

    fs::create_directories(work);
    const std::string extension = zip ? ".zip" : ".lzh";
    const fs::path single = work / ("adds-single" + extension);
    const fs::path whole = work / ("adds-folder" + extension);
    fs::remove(single);
    fs::remove(whole);

    const auto singleStart = std::chrono::steady_clock::now();
    for (const fs::path& file : files) {
        const std::string command = zip ? "-r -j -q \"" + single.string() + "\" \"" + file.string() + "\""
                                        : "a -n1 \"" + single.string() + "\" \"" + file.string() + "\"";
        if (!call(entry, command))
            return 1;
    }
    const double singleSeconds = secondsSince(singleStart);

    const std::string base = parent.string() + "/";
    const std::string folderCommand =
        zip ? "-r -q \"" + whole.string() + "\" \"" + base + "\" " + folder + "/*.*"
            : "a \"" + whole.string() + "\" \"" + base + "\" " + folder + "/*.* -x -n1 -r2";
    const auto wholeStart = std::chrono::steady_clock::now();
    if (!call(entry, folderCommand))
        return 1;
    const double wholeSeconds = secondsSince(wholeStart);

    std::printf("%s in-process: %zu single adds %.3f s (%.2f ms each, archive %ju bytes); one folder command "
                "%.3f s (archive %ju bytes); ratio %.2f\n",
                zip ? "zip32j" : "unlha32", files.size(), singleSeconds, 1000.0 * singleSeconds / files.size(),
                static_cast<std::uintmax_t>(fs::file_size(single)), wholeSeconds,
                static_cast<std::uintmax_t>(fs::file_size(whole)), singleSeconds / wholeSeconds);
    dlclose(handle);
    return 0;
}
