// Peer archivers on the command line, shared by the archiver suites: running and capturing
// shell commands, quoting arguments for them, and requiring a peer to be installed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace arc::testing {

// Peers run in a UTF-8 locale so that they write and read names as UTF-8 bytes.
inline int runShell(const std::string& command)
{
    const std::string full = "export LC_ALL=C.UTF-8; { " + command + "\n} >/dev/null 2>&1";
    return std::system(full.c_str());
}

// Runs a shell command (UTF-8 locale) and returns what it printed on stdout.
inline std::string captureShell(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(("export LC_ALL=C.UTF-8; { " + command + "\n} 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    pclose(pipe);
    return out;
}

// Single quotes, so that blanks, quotes and Japanese names reach the peer as one argument.
inline std::string shellQuote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline bool peerInstalled(const std::string& tool)
{
    return runShell("command -v " + tool) == 0;
}

}  // namespace arc::testing

// A missing peer skips the test on a developer's machine; under CI it is a failure.
#define REQUIRE_PEER(tool)                                                                                             \
    do {                                                                                                               \
        if (!::arc::testing::peerInstalled(tool)) {                                                                    \
            if (std::getenv("CI") != nullptr)                                                                          \
                FAIL() << "peer tool missing: " << tool;                                                               \
            GTEST_SKIP() << "peer tool missing: " << tool;                                                             \
        }                                                                                                              \
    } while (0)
