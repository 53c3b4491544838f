// What a listener costs: the same extraction through a plug-in's first entry point (no
// callbacks) and through its callback entry point with a progress listener, alternating, in
// one process. Prints the median of each and how often the listener was called.
//
// usage: callbacks PLUGIN.so unlha|unzip ARCHIVE WORK_DIR [ROUNDS]
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

struct Counter {
    std::uint64_t calls = 0;
};

int countProgress(void* user, const ArchiverProgress*)
{
    ++static_cast<Counter*>(user)->calls;
    return ARCHIVER_CONTINUE;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: callbacks PLUGIN.so unlha|unzip ARCHIVE WORK_DIR [ROUNDS]\n");
        return 2;
    }
    const bool lzh = std::string(argv[2]) == "unlha";
    const std::string archive = argv[3];
    const fs::path work = argv[4];
    const int rounds = argc > 5 ? std::atoi(argv[5]) : 5;

    void* handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "callbacks: %s\n", dlerror());
        return 1;
    }
    auto plain = reinterpret_cast<ArchiverCommandFn>(dlsym(handle, lzh ? "Unlha" : "UnZip"));
    auto withCallbacks = reinterpret_cast<ArchiverRunFn>(dlsym(handle, lzh ? "UnlhaRun" : "UnZipRun"));
    if (plain == nullptr || withCallbacks == nullptr) {
        std::fprintf(stderr, "callbacks: %s lacks its entry points\n", argv[1]);
        return 1;
    }
    const fs::path destination = work / "callbacks-out";
    const std::string command = lzh ? "x -n \"" + archive + "\" \"" + destination.string() + "/\""
                                    : "-x \"" + archive + "\" \"" + destination.string() + "/\"";
    std::vector<char> output(64 * 1024, '\0');
    Counter counter;
    ArchiverCallbacks callbacks{};
    callbacks.structSize = sizeof callbacks;
    callbacks.user = &counter;
    callbacks.progress = countProgress;

    std::vector<double> without, with;
    for (int round = 0; round < rounds; ++round) {
        for (bool listening : {false, true}) {
            fs::remove_all(destination);
            const auto start = std::chrono::steady_clock::now();
            const int code = listening ? withCallbacks(command.c_str(), &callbacks, output.data(), output.size())
                                       : plain(0, command.c_str(), output.data(), output.size());
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (code != 0) {
                std::fprintf(stderr, "callbacks: code %d: %s\n", code, output.data());
                return 1;
            }
            (listening ? with : without).push_back(seconds);
        }
    }
    fs::remove_all(destination);
    const double a = median(without), b = median(with);
    std::printf("%s progress listener: without %.3f s, with %.3f s (%+.1f %%), %ju calls per run (median of %d)\n",
                lzh ? "unlha32" : "unzip32", a, b, 100.0 * (b - a) / a,
                static_cast<std::uintmax_t>(counter.calls / rounds), rounds);
    dlclose(handle);
    return 0;
}
