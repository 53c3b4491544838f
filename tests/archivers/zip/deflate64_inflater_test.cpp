// The Deflate64 decoder against 7-Zip's encoder: whole streams decode exactly, every cut ends
// in a named failure with only a true prefix handed over, and damaged streams end (no crash,
// no endless loop).
#include <random>
#include <string>

#include "zip/deflate64_inflater.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

using zip::Deflate64Inflater;
using zip::InflateStatus;

InflateStatus inflate(const std::string& packed, std::string& out)
{
    std::size_t at = 0;
    out.clear();
    return Deflate64Inflater().inflate(
        [&](unsigned char* buffer, std::size_t capacity) {
            const std::size_t size = std::min(capacity, packed.size() - at);
            std::copy_n(packed.data() + at, size, reinterpret_cast<char*>(buffer));
            at += size;
            return size;
        },
        [&](const unsigned char* data, std::size_t size) {
            out.append(reinterpret_cast<const char*>(data), size);
            return out.size() < (std::size_t{64} << 20);
        });
}

TEST(Deflate64Inflater, WholeCutAndDamagedStreams)
{
    REQUIRE_PEER("7zz");
    TempDir dir;
    const std::string block = randomBytes(70000, 11);
    const std::string input = textBytes(150000) + block + std::string(70000, 'z') + block;
    writeFile(dir.path() / "in.bin", input);
    const std::string archive = (dir.path() / "d.zip").string();
    ASSERT_EQ(runShell("cd " + shellQuote(dir.str()) + " && 7zz a -tzip -mm=Deflate64 -mx=9 " + shellQuote(archive) +
                       " in.bin"),
              0);
    const std::string zip = readFile(archive);
    const auto u16 = [&](std::size_t at) {
        return static_cast<unsigned char>(zip[at]) | static_cast<unsigned char>(zip[at + 1]) << 8;
    };
    const std::size_t dataOffset = 30 + u16(26) + u16(28);
    const std::size_t packedSize = u16(18) | static_cast<std::size_t>(u16(20)) << 16;
    const std::string packed = zip.substr(dataOffset, packedSize);

    std::string out;
    ASSERT_EQ(inflate(packed, out), InflateStatus::Ok);
    EXPECT_EQ(out, input);

    for (std::size_t cut = 0; cut < packed.size(); cut += 1 + cut / 3) {
        const InflateStatus status = inflate(packed.substr(0, cut), out);
        EXPECT_TRUE(status == InflateStatus::Truncated || status == InflateStatus::BadData) << "cut at " << cut;
        EXPECT_EQ(out, input.substr(0, out.size())) << "cut at " << cut;
    }

    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = packed;
        for (int flips = 0; flips < 3; ++flips)
            damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
        inflate(damaged, out);  // any status; it must return
    }
}

}  // namespace
}  // namespace arc::testing
