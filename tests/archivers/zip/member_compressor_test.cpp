// Chained chunk compression: however a member is cut, the chunks join into one deflate stream
// that zlib inflates back to the input.
#include <zlib.h>

#include <string>

#include "zip/deflate_joiner.h"
#include "zip/member_compressor.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

std::string inflateRaw(const std::string& compressed, std::size_t expectedSize)
{
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK)
        return "inflateInit failed";
    std::string out(expectedSize + 1, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    const bool wholeStream = result == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return wholeStream ? out : "stream did not end where the data ends";
}

struct Shape {
    const char* label;
    std::string (*make)();
};

const Shape kShapes[] = {
    {"OneByte", [] { return std::string("x"); }},
    {"Text", [] { return textBytes(700000); }},
    {"Random", [] { return randomBytes(400000, 1); }},
    {"Runs", [] { return std::string(500000, 'a') + std::string(300000, 'b'); }},
    {"TextThenRandom", [] { return textBytes(300000) + randomBytes(300000, 2) + textBytes(200000); }},
};

class ChunkChain : public ::testing::TestWithParam<std::tuple<Shape, std::size_t, int>> {};

TEST_P(ChunkChain, JoinedChunksInflateToTheInput)
{
    const auto& [shape, chunkSize, level] = GetParam();
    const std::string input = shape.make();
    zip::ChunkCompressor compressor(level);
    std::string stream;
    for (std::size_t offset = 0; offset < input.size(); offset += chunkSize) {
        const std::size_t length = std::min(chunkSize, input.size() - offset);
        const std::string_view dictionary(input.data(), offset);
        ASSERT_TRUE(compressor.compress(dictionary, std::string_view(input).substr(offset, length),
                                        offset + length == input.size(), stream));
    }
    EXPECT_TRUE(inflateRaw(stream, input.size()) == input);
}

INSTANTIATE_TEST_SUITE_P(Shapes, ChunkChain,
                         ::testing::Combine(::testing::ValuesIn(kShapes),
                                            ::testing::Values(std::size_t{1000}, std::size_t{65536 + 7},
                                                              std::size_t{1} << 20),
                                            ::testing::Values(1, 6, 9)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "_L" +
                                    std::to_string(std::get<2>(info.param));
                         });

// Every cut of a real stream (dynamic and stored blocks) is refused, never taken as complete.
TEST(DeflateJoiner, AStreamThatDoesNotParseIsLeftAlone)
{
    for (std::string bad :
         {std::string(), std::string("\x07", 1), std::string("\x00\x05\x00\x00\x00", 5), randomBytes(64, 4)}) {
        const std::string before = bad;
        if (!zip::makeDeflateContinuable(bad)) {
            EXPECT_EQ(bad, before);
        }
    }
    zip::WholeCompressor compressor(6);
    std::string whole;
    ASSERT_EQ(compressor.compress(textBytes(8000) + randomBytes(6000, 6) + textBytes(2000), whole), 8);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        std::string part = whole.substr(0, cut);
        EXPECT_FALSE(zip::makeDeflateContinuable(part)) << cut;
        EXPECT_EQ(part.size(), cut);
    }
}

TEST(WholeCompressor, StoresWhatDeflateCannotShrink)
{
    zip::WholeCompressor compressor(6);
    std::string output;
    const std::string random = randomBytes(10000, 5);
    EXPECT_EQ(compressor.compress(random, output), 0);
    EXPECT_EQ(output, random);
    const std::string text = textBytes(10000);
    EXPECT_EQ(compressor.compress(text, output), 8);
    EXPECT_LT(output.size(), text.size());
    EXPECT_TRUE(inflateRaw(output, text.size()) == text);
}

}  // namespace
}  // namespace arc::testing
