// The name routines' properties over the committed fuzz corpus and over random byte strings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "name_fuzz_target.h"

namespace arc::testing {
namespace {

namespace fs = std::filesystem;

TEST(NameProperties, CommittedCorpusReplays)
{
    const fs::path corpus = fs::path(TEMBREL_SOURCE_DIR) / "tests/archivers/common/name_corpus";
    std::size_t count = 0;
    for (const auto& item : fs::directory_iterator(corpus)) {
        std::ifstream in(item.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(checkNameProperties(bytes), "") << item.path();
        ++count;
    }
    EXPECT_GT(count, 0u);
}

class RandomNames : public ::testing::TestWithParam<unsigned> {};

// Random bytes drawn mostly from the troublesome ones: separators, dots, quotes, CP932 lead
// bytes, 0x5C, surrogate halves and UTF-8 lead bytes.
TEST_P(RandomNames, PropertiesHold)
{
    std::mt19937 random(GetParam());
    const std::string alphabet =
        std::string("/\\.:\"\t aZ\x81\x83\x94\x95\x5C\xE0\xFC\xFF\xD8\xDC\xED\xF0\xA0") + std::string(1, '\0');
    for (int round = 0; round < 2000; ++round) {
        std::string input(random() % 24, '\0');
        for (char& c : input)
            c = random() % 4 == 0 ? static_cast<char>(random() & 0xFF) : alphabet[random() % alphabet.size()];
        ASSERT_EQ(checkNameProperties(input), "") << ::testing::PrintToString(input);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomNames, ::testing::Values(1u, 2u, 3u, 20240601u));

}  // namespace
}  // namespace arc::testing
