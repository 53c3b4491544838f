// pellum-arc: runs one plug-in command from a shell, loading the plug-in as the desktop program does.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/command_line.h"
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
#if __has_include("plugins/unarc32_usage.h")
#include "plugins/unarc32_usage.h"
#define PELLUM_HAVE_UNARC_USAGE 1
#endif

namespace {

constexpr std::uint32_t kOutputBytes = 64 * 1024;
constexpr std::size_t kLongestListing = 64 << 20;

constexpr char kGeneralUsage[] =
    "usage: pellum-arc [--password=TEXT] [--no-progress] LIBRARY 'COMMAND'\n"
    "       pellum-arc --help\n"
    "\n"
    "Runs one archiver command through a plug-in, exactly as the desktop program calls it.\n"
    "LIBRARY is unlha32, zip32j, unzip32 or unarc32 (lib<LIBRARY>.so beside this program), or a\n"
    "path to a plug-in library. COMMAND is one string, as the program sends it; quote paths inside\n"
    "it with double quotes.\n"
    "\n"
    "Progress (percent, bytes and the current entry) is shown on standard error when it is a\n"
    "terminal, unless --no-progress is given.\n"
    "\n"
    "Encrypted ZIP entries (unzip32, and ZIP split sets in unarc32): --password=TEXT is tried\n"
    "first. Without it, or when it is wrong, the passphrase is asked on the terminal (not echoed)\n"
    "when standard input is a terminal; otherwise such entries fail with password-required or\n"
    "wrong-password.\n"
    "\n"
    "Ctrl-C, SIGTERM and SIGHUP cancel cleanly: the file being extracted is removed, a new\n"
    "archive is not left behind and an archive being added to keeps its old contents. A second\n"
    "signal of the same kind ends at once.\n"
    "\n"
    "Before extracting, a warning goes to standard error when the archive's declared size is\n"
    "more than the free space at the destination.\n"
    "\n"
    "Exit status: 0 when the plug-in returns 0; 128 plus the signal's number (130 for Ctrl-C)\n"
    "when a signal cancelled the command; 1 otherwise, with the plug-in's message, its result\n"
    "name and code on standard error. A plug-in's message on success (a listing, or a warning\n"
    "about something that failed after the command's work was safely done) goes to standard\n"
    "output.\n"
    "\n"
    "Result codes: 1 bad-command, 2 input-missing, 3 archive-unreadable, 4 archive-corrupt,\n"
    "5 write-failed, 6 unsafe-entry, 7 crc-mismatch, 8 unsupported-method, 9 no-memory,\n"
    "10 cancelled, 11 password-required, 12 wrong-password, 13 archive-in-use, 14 name-clash,\n"
    "15 special-entry, 16 archive-itself, 99 internal.\n"
    "\n"
    "Examples:\n"
    "  pellum-arc zip32j '-r -q \"/tmp/A.zip\" \"/home/me/\" photos/*.*'\n"
    "  pellum-arc unzip32 '-xv --i \"/tmp/A.zip\" \"/tmp/out/\"'\n"
    "  pellum-arc unlha32 'x -n \"/tmp/A.lzh\" \"/tmp/out/\"'\n"
    "  pellum-arc unarc32 'x -n \"/tmp/A.tar.xz\" \"/tmp/out/\"'\n";

struct PluginKind {
    std::string_view library;  // lib<library>.so
    const char* command;       // entry point names
    const char* run;
    const char* version;
};

constexpr std::array<PluginKind, 4> kPlugins = {{
    {"unlha32", "Unlha", "UnlhaRun", "UnlhaGetVersion"},
    {"unzip32", "UnZip", "UnZipRun", "UnZipGetVersion"},
    {"zip32j", "Zip", "ZipRun", "ZipGetVersion"},
    {"unarc32", "UnArc", "UnArcRun", "UnArcGetVersion"},
}};

// The signal that asked to stop (0 for none).
volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int signal)
{
    interrupted = signal;
}

// Ctrl-C, and the requests to end that logging out, a service stop or `timeout` send: the first
// asks the plug-in to stop at its next progress point; the handler resets itself, so a second
// one ends the program the usual way.
void catchInterrupts()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

// What the callbacks need: the options and the state of the progress line.
struct Session {
    std::optional<std::string> password;
    bool showProgress = false;
    std::string destination;  // of an extraction, for the free-space warning
    bool totalsWeighed = false;
    std::chrono::steady_clock::time_point lastDrawn{};
    bool lineShown = false;

    void clearLine()
    {
        if (lineShown)
            std::fputs("\r\033[K", stderr);
        lineShown = false;
    }
};

std::string humanBytes(std::uint64_t bytes)
{
    const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

// The space free for this user where `folder` is, or on its nearest existing parent (an
// extraction makes its destination); nullopt when unknown.
std::optional<std::uint64_t> freeBytes(std::string folder)
{
    for (;;) {
        struct statvfs info {};
        if (statvfs(folder.empty() ? "." : folder.c_str(), &info) == 0)
            return std::uint64_t{info.f_bavail} * info.f_frsize;
        if (errno != ENOENT || folder.empty() || folder == "/")
            return std::nullopt;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        const std::size_t slash = folder.find_last_of('/');
        folder = slash == std::string::npos ? std::string() : folder.substr(0, slash == 0 ? 1 : slash);
    }
}

// An extraction announces the archive's declared size before it writes anything.
void weighTotals(Session& session, const ArchiverProgress& progress)
{
    session.totalsWeighed = true;
    if (session.destination.empty() || progress.jobBytesTotal == 0)
        return;
    const std::optional<std::uint64_t> free = freeBytes(session.destination);
    if (!free || *free >= progress.jobBytesTotal)
        return;
    session.clearLine();
    std::fprintf(stderr,
                 "pellum-arc: warning: the archive holds %s, but only %s are free at %s; the extraction "
                 "stops when the disk is full\n",
                 humanBytes(progress.jobBytesTotal).c_str(), humanBytes(*free).c_str(), session.destination.c_str());
}

int onProgress(void* user, const ArchiverProgress* progress)
{
    auto& session = *static_cast<Session*>(user);
    if (interrupted)
        return ARCHIVER_CANCEL;
    if (!session.totalsWeighed)
        weighTotals(session, *progress);
    if (!session.showProgress)
        return ARCHIVER_CONTINUE;
    const auto now = std::chrono::steady_clock::now();
    if (session.lineShown && now - session.lastDrawn < std::chrono::milliseconds(100))
        return ARCHIVER_CONTINUE;
    session.lastDrawn = now;
    std::string line;
    if (progress->jobBytesTotal > 0)
        line = std::to_string(progress->jobBytesDone * 100 / progress->jobBytesTotal) + "% ";
    line += humanBytes(progress->jobBytesDone);
    if (progress->jobBytesTotal > 0)
        line += " / " + humanBytes(progress->jobBytesTotal);
    if (progress->entriesTotal > 0)
        line += "  [" + std::to_string(progress->entriesDone) + "/" + std::to_string(progress->entriesTotal) + "]";
    line += "  ";
    line += progress->entryName;
    if (line.size() > 100)
        line = line.substr(0, 97) + "...";
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    session.lineShown = true;
    return ARCHIVER_CONTINUE;
}

// Reads one line from the terminal with echo off, restoring the terminal whatever happens.
std::optional<std::string> askOnTerminal(const std::string& prompt)
{
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    termios saved{};
    const bool haveTermios = tcgetattr(tty, &saved) == 0;
    if (haveTermios) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    [[maybe_unused]] ssize_t shown = ::write(tty, prompt.data(), prompt.size());
    std::string answer;
    bool complete = false;
    for (char c; !interrupted;) {
        const ssize_t got = ::read(tty, &c, 1);
        if (got <= 0)
            break;
        if (c == '\n' || c == '\r') {
            complete = true;
            break;
        }
        answer += c;
    }
    if (haveTermios)
        tcsetattr(tty, TCSAFLUSH, &saved);
    shown = ::write(tty, "\n", 1);
    ::close(tty);
    if (!complete)
        return std::nullopt;
    return answer;
}

int onPassphrase(void* user, const char* archive, const char* entry, uint32_t attempt, char* buffer,
                 uint32_t bufferSize)
{
    auto& session = *static_cast<Session*>(user);
    std::optional<std::string> answer;
    if (attempt == 1 && session.password)
        answer = session.password;
    else if (isatty(STDIN_FILENO)) {
        session.clearLine();
        if (attempt > 1)
            std::fputs("pellum-arc: wrong password\n", stderr);
        answer = askOnTerminal(std::string("Password for ") + entry + " in " + archive + ": ");
    }
    if (!answer || answer->size() >= bufferSize)
        return ARCHIVER_CANCEL;
    std::memcpy(buffer, answer->c_str(), answer->size() + 1);
    return ARCHIVER_CONTINUE;
}

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
#ifdef PELLUM_HAVE_UNARC_USAGE
    section("unarc32 (7z, RAR, tar, cpio, ISO, CAB, xar extraction)", kUnarcUsage);
#else
    section("unarc32 (7z, RAR, tar, cpio, ISO, CAB, xar extraction)", "(not built into this pellum-arc)\n");
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

// The destination of an extraction command (unzip32 ARCHIVE DEST, unlha32 x ARCHIVE DEST); empty
// for the other commands.
std::string extractionDestination(const PluginKind& kind, const char* command)
{
    std::vector<std::string> words;
    for (std::string& word : arc::splitCommand(command))
        if (word.size() < 2 || word[0] != '-')
            words.push_back(std::move(word));
    if (kind.library == "unzip32" && words.size() == 2)
        return words[1];
    if (kind.library == "unlha32" && words.size() >= 3 && words[0] == "x")
        return words[2];
    return {};
}

// Whether the command only lists an archive (unlha32 and unarc32 l, unzip32 -l): such a command
// may be run again, with room for all of its answer.
bool onlyLists(const PluginKind& kind, const char* command)
{
    const std::vector<std::string> words = arc::splitCommand(command);
    if (words.empty())
        return false;
    if (kind.library == "unzip32")
        return std::any_of(words.begin(), words.end(), [](const std::string& word) {
            return word.size() > 1 && word[0] == '-' && word[1] != '-' && word.find('l') != std::string::npos;
        });
    return kind.library != "zip32j" && words[0] == "l";
}

// A message the plug-in cut to the buffer ends with "… (N more lines)".
bool cutShort(const std::string& message)
{
    return message.ends_with(" more lines)") && message.find("\u2026 (") != std::string::npos;
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
    // With TZ unset, glibc's mktime() looks at /etc/localtime again on every call (a stat
    // each), and libarchive converts every ZIP member's MS-DOS time with it: two calls per
    // extracted file. Naming the same zone file explicitly gives the same times, read once.
    // Only this program may do so: the plug-ins never touch the process's environment, and
    // here no other thread exists yet.
    setenv("TZ", ":/etc/localtime", 0);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printHelp();
        return 0;
    }
    Session session;
    session.showProgress = isatty(STDERR_FILENO) != 0;
    std::vector<const char*> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word.starts_with("--password="))
            session.password = std::string(word.substr(std::strlen("--password=")));
        else if (word == "--no-progress")
            session.showProgress = false;
        else
            operands.push_back(argv[i]);
    }
    if (operands.size() != 2) {
        std::fputs(kGeneralUsage, stderr);
        return 1;
    }
    const std::string_view library = operands[0];
    const bool isPath = library.find('/') != std::string_view::npos || library.ends_with(".so");
    const PluginKind* kind = isPath ? pluginOfPath(library) : pluginNamed(library);
    if (kind == nullptr)
        return fail("unknown plug-in \"" + std::string(library) +
                    "\": use unlha32, zip32j, unzip32, unarc32 or a path to lib<one of them>.so");
    const std::string path =
        isPath ? std::string(library) : executableDirectory() + "/lib" + std::string(library) + ".so";

    // Never unmapped (dlclose only lets go): what the plug-in's own C++ runtime keeps stays
    // reachable to the end, as leak checkers expect.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* error = dlerror();
        return fail("cannot load " + path + ": " + (error != nullptr ? error : "unknown error"));
    }
    auto version = reinterpret_cast<ArchiverVersionFn>(dlsym(handle, kind->version));
    auto command = reinterpret_cast<ArchiverCommandFn>(dlsym(handle, kind->command));
    auto run = reinterpret_cast<ArchiverRunFn>(dlsym(handle, kind->run));
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
    int code;
    if (run != nullptr) {
        ArchiverCallbacks callbacks{};
        callbacks.structSize = sizeof callbacks;
        callbacks.user = &session;
        callbacks.progress = onProgress;
        callbacks.passphrase = onPassphrase;
        session.destination = extractionDestination(*kind, operands[1]);
        catchInterrupts();
        const bool repeatable = onlyLists(*kind, operands[1]);
        for (;;) {
            code = run(operands[1], &callbacks, output.data(), static_cast<std::uint32_t>(output.size()));
            output.back() = '\0';
            if (!repeatable || code != 0 || !cutShort(output.data()) || output.size() >= kLongestListing)
                break;
            output.assign(output.size() * 4, '\0');
        }
        session.clearLine();
    } else {
        // A plug-in of the first interface: no progress, no cancel, no passphrase.
        code = command(0, operands[1], output.data(), kOutputBytes);
    }
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
    if (static_cast<arc::ArcStatus>(code) == arc::ArcStatus::Cancelled)
        return 128 + (interrupted != 0 ? static_cast<int>(interrupted) : SIGINT);
    return 1;
}
