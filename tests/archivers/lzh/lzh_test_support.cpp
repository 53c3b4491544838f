// Helpers for the LZH tests.
#include "lzh_test_support.h"

#include "lzh/lzh_decoder.h"
#include "lzh/lzh_encoder.h"

namespace lzh::testing {

Bytes encode(Method method, const Bytes& input, std::size_t pieceSize)
{
    LzhEncoder encoder(method);
    Bytes out;
    for (std::size_t at = 0; at < input.size(); at += pieceSize)
        encoder.write(input.data() + at, std::min(pieceSize, input.size() - at), out);
    encoder.finish(out);
    return out;
}

LzhStatus decode(Method method, const Bytes& compressed, std::uint64_t originalSize, Bytes& output, std::uint16_t& crc)
{
    MemorySource source(compressed.data(), compressed.size());
    VectorSink sink;
    LzhStatus st = decodeMember(method, source, originalSize, sink, crc);
    output = std::move(sink.bytes);
    return st;
}

namespace {

// One load for the whole run; the message buffer keeps the 64 KiB these tests were written
// against, larger than the ZIP plug-ins' 4 KiB.
const arc::testing::Plugin& unlhaPlugin()
{
    static const arc::testing::Plugin plugin("libunlha32.so", "Unlha", 65536);
    return plugin;
}

}  // namespace

PluginResult unlha(const std::string& command)
{
    return unlhaPlugin()(command);
}

int unlhaVersion()
{
    auto version = unlhaPlugin().symbol<int (*)()>("UnlhaGetVersion");
    return version ? version() : -1;
}

TreeSnapshot snapshot(const fs::path& root)
{
    TreeSnapshot out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        std::string rel = fs::relative(it->path(), root).string();
        if (it->is_directory())
            out[rel + "/"] = "";
        else
            out[rel] = readFile(it->path());
    }
    return out;
}

void makeSampleTree(const fs::path& root, bool japaneseNames)
{
    const Bytes text = textBytes(300000, 7);
    const Bytes noise = randomBytes(20000, 9);
    writeFile(root / "N" / "readme.txt", "hello\n");
    writeFile(root / "N" / "empty.dat", "");
    writeFile(root / "N" / "sub" / "text.txt", std::string(text.begin(), text.end()));
    writeFile(root / "N" / "sub" / "noise.bin", std::string(noise.begin(), noise.end()));
    writeFile(root / "N" / "sub" / "deeper" / "zeros.bin", std::string(100000, '\0'));
    fs::create_directories(root / "N" / "emptydir");
    if (japaneseNames) {
        writeFile(root / "N" / "表示" / "ソフト能力.txt", "表ソ能\n");
        writeFile(root / "N" / "日本語.txt", std::string(text.begin(), text.begin() + 5000));
    }
}

}  // namespace lzh::testing
