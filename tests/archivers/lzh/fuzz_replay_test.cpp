// Replays the committed fuzz corpora through the fuzz targets as an ordinary test.
#include <gtest/gtest.h>

#include "fuzz/lzh_fuzz_targets.h"
#include "lzh_test_support.h"

namespace lzh::testing {
namespace {

void replay(const std::string& target, void (*run)(const std::uint8_t*, std::size_t))
{
    const fs::path corpus = fs::path(TEMBREL_SOURCE_DIR) / "tests/archivers/lzh/fuzz-corpus" / target;
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string bytes = readFile(entry.path());
        SCOPED_TRACE(entry.path().string());
        run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++count;
    }
    EXPECT_GT(count, 5u) << "corpus " << corpus << " is missing";
}

TEST(FuzzCorpus, HeaderParserSurvivesItsCorpus)
{
    replay("header_parser", fuzz::headerParserTarget);
}
TEST(FuzzCorpus, DecoderSurvivesItsCorpus)
{
    replay("decoder", fuzz::decoderTarget);
}

}  // namespace
}  // namespace lzh::testing
