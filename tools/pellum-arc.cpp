// pellum-arc: runs one plug-in command from a shell, loading the plug-in as the desktop program does.
#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "plugins/plugin_api.h"

#if __has_include("plugins/unlha32_usage.h")
#include "plugins/unlha32_usage.h"
#define PELLUM_HAVE_UNLHA_USAGE 1
#endif
#if __has_include("plugins/zip32j_usage.h")
#include "plugins/zip32j_usage.h"
#define PELLUM_HAVE_ZIP_USAGE 1
#endif
#if __has_include("plugins/unzip32_usage.h")
#include "plugins/unzip32_usage.h"
#define PELLUM_HAVE_UNZIP_USAGE 1
#endif

namespace {

constexpr std::uint32_t kOutputBytes = 64 * 1024;

constexpr char kGeneralUsage[] =
    "usage: pellum-arc LIBRARY 'COMMAND'\n"
    "       pellum-arc --help\n"
    "\n"
    "Runs one archiver command through a plug-in, exactly as the desktop program calls it.\n"
    "LIBRARY is unlha32, zip32j or unzip32 (lib<LIBRARY>.so beside this program), or a path\n"
    "to a plug-in library. COMMAND is one string, as the program sends it; quote paths inside\n"
    "it with double quotes.\n"
    "\n"
    "Exit status: 0 when the plug-in returns 0; 1 otherwise, with the plug-in's message, its\n"
    "result name and code on standard error. A plug-in's message on success goes to standard\n"
    "output.\n"
    "\n"
    "Result codes: 1 bad-command, 2 input-missing, 3 archive-unreadable, 4 archive-corrupt,\n"
    "5 write-failed, 6 unsafe-entry, 7 crc-mismatch, 8 unsupported-method, 9 no-memory,\n"
    "99 internal.\n"
    "\n"
    "Examples:\n"
    "  pellum-arc zip32j '-r -q \"/tmp/A.zip\" \"/home/me/\" photos/*.*'\n"
    "  pellum-arc unzip32 '-xv --i \"/tmp/A.zip\" \"/tmp/out/\"'\n"
    "  pellum-arc unlha32 'x -n \"/tmp/A.lzh\" \"/tmp/out/\"'\n";

struct PluginKind {
    std::string_view library;  // lib<library>.so
    const char* command;       // entry point names
    const char* version;
};

constexpr std::array<PluginKind, 3> kPlugins = {{
    {"unlha32", "Unlha", "UnlhaGetVersion"},
    {"unzip32", "UnZip", "UnZipGetVersion"},
    {"zip32j", "Zip", "ZipGetVersion"},
}};

void printHelp()
{
    std::fputs(kGeneralUsage, stdout);
    const auto section = [](const char* name, const char* text) {
        std::printf("\n== %s ==\n%s", name, text);
        if (text[0] != '\0' && text[std::strlen(text) - 1] != '\n')
            std::fputc('\n', stdout);
    };
#ifdef PELLUM_HAVE_UNLHA_USAGE
    section("unlha32 (LZH)", kUnlhaUsage);
#else
    section("unlha32 (LZH)", "(not built into this pellum-arc)\n");
#endif
#ifdef PELLUM_HAVE_ZIP_USAGE
    section("zip32j (ZIP creation)", kZipUsage);
#else
    section("zip32j (ZIP creation)", "(not built into this pellum-arc)\n");
#endif
#ifdef PELLUM_HAVE_UNZIP_USAGE
    section("unzip32 (ZIP extraction)", kUnzipUsage);
#else
    section("unzip32 (ZIP extraction)", "(not built into this pellum-arc)\n");
#endif
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "pellum-arc: %s\n", message.c_str());
    return 1;
}

// The plug-ins live beside the executable, whatever the current directory.
std::string executableDirectory()
{
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return ".";
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

const PluginKind* pluginNamed(std::string_view name)
{
    for (const PluginKind& kind : kPlugins) {
        if (kind.library == name)
            return &kind;
    }
    return nullptr;
}

// A library given by path is recognised by its file name (libzip32j.so, unzip32.so, ...).
const PluginKind* pluginOfPath(std::string_view path)
{
    std::string_view base = path.substr(path.find_last_of('/') + 1);
    if (base.starts_with("lib"))
        base.remove_prefix(3);
    if (const std::size_t dot = base.find('.'); dot != std::string_view::npos)
        base = base.substr(0, dot);
    return pluginNamed(base);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printHelp();
        return 0;
    }
    if (argc != 3) {
        std::fputs(kGeneralUsage, stderr);
        return 1;
    }
    const std::string_view library = argv[1];
    const bool isPath = library.find('/') != std::string_view::npos || library.ends_with(".so");
    const PluginKind* kind = isPath ? pluginOfPath(library) : pluginNamed(library);
    if (kind == nullptr)
        return fail("unknown plug-in \"" + std::string(library) +
                    "\": use unlha32, zip32j, unzip32 or a path to lib<one of them>.so");
    const std::string path =
        isPath ? std::string(library) : executableDirectory() + "/lib" + std::string(library) + ".so";

    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* error = dlerror();
        return fail("cannot load " + path + ": " + (error != nullptr ? error : "unknown error"));
    }
    auto version = reinterpret_cast<ArchiverVersionFn>(dlsym(handle, kind->version));
    auto command = reinterpret_cast<ArchiverCommandFn>(dlsym(handle, kind->command));
    if (version == nullptr || command == nullptr) {
        const char* missing = version == nullptr ? kind->version : kind->command;
        dlclose(handle);
        return fail(path + " has no entry point " + missing);
    }

    // The program asks for the version first, as its probe that the plug-in works.
    if (version() <= 0) {
        dlclose(handle);
        return fail(path + " reports no usable version");
    }
    std::vector<char> output(kOutputBytes, '\0');
    const int code = command(0, argv[2], output.data(), kOutputBytes);
    output.back() = '\0';  // whatever the plug-in did, the message ends inside the buffer
    std::string message = output.data();
    dlclose(handle);

    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    if (code == 0) {
        if (!message.empty())
            std::printf("%s\n", message.c_str());
        return 0;
    }
    const std::string_view name = arc::statusName(static_cast<arc::ArcStatus>(code));
    if (message.empty())
        message = "the command failed";
    std::fprintf(stderr, "pellum-arc: %s (%.*s, code %d)\n", message.c_str(), static_cast<int>(name.size()),
                 name.data(), code);
    return 1;
}
