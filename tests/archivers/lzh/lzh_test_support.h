// Helpers for the LZH tests: sample data, codec round trips in memory, the unlha32 plug-in,
// and tree snapshots for comparison. Peers, plug-in loading and temporary folders are shared
// with the other archiver suites (tests/archivers/support).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lzh/byte_io.h"
#include "lzh/lzh_method.h"
#include "peer_tools.h"
#include "plugin_call.h"
#include "temp_dir.h"

namespace lzh::testing {

namespace fs = std::filesystem;
using arc::testing::peerInstalled;
using arc::testing::PluginResult;
using arc::testing::readFile;
using arc::testing::runShell;
using arc::testing::shellQuote;
using arc::testing::TempDir;
using arc::testing::writeFile;
using Bytes = std::vector<std::uint8_t>;

inline Bytes randomBytes(std::size_t size, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(rng());
    return out;
}

// Word salad: compressible like prose, with matches at every distance.
inline Bytes textBytes(std::size_t size, std::uint32_t seed)
{
    static const char* words[] = {"archive ",    "member ", "header ",   "window ", "length ", "the ",  "of ",
                                  "compressed ", "data\n",  "position ", "table ",  "code ",   "圧縮 ", "解凍 "};
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < size) {
        const char* w = words[rng() % (sizeof words / sizeof *words)];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    }
    out.resize(size);
    return out;
}

class VectorSink final : public ByteSink {
public:
    LzhStatus write(const std::uint8_t* data, std::size_t size) override
    {
        bytes.insert(bytes.end(), data, data + size);
        return LzhStatus::Ok;
    }
    Bytes bytes;
};

Bytes encode(Method method, const Bytes& input, std::size_t pieceSize = 100000);
LzhStatus decode(Method method, const Bytes& compressed, std::uint64_t originalSize, Bytes& output, std::uint16_t& crc);

// libunlha32.so from the build's bin directory, called through its C entry point.
PluginResult unlha(const std::string& command);
int unlhaVersion();

// Relative path -> content ("/" suffix and empty content for directories).
using TreeSnapshot = std::map<std::string, std::string>;
TreeSnapshot snapshot(const fs::path& root);

// A source tree with nested folders, an empty folder, an empty file, text, random bytes and
// names with 表, ソ and 能 (whose CP932 forms end in 0x5C).
void makeSampleTree(const fs::path& root, bool japaneseNames);

}  // namespace lzh::testing
