// Replays the committed fuzz corpus, cut and split into two volumes, through the fuzz target,
// and extracts each seed and its cuts for real: nothing outside the destination, no temporary
// left, whatever the damage.
#include "fuzz/unarc_fuzz_target.h"
#include "unarc_test_support.h"

namespace arc::testing {
namespace {

const fs::path kCorpus = fs::path(TEMBREL_SOURCE_DIR) / "tests/archivers/unarc/fuzz-corpus";

TEST(UnarcFuzzCorpus, SurvivesEveryCutAndSplitAndExtractsOnlyInside)
{
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        const std::string bytes = readFile(entry.path());
        SCOPED_TRACE(entry.path().string());
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 32)
            unarc::fuzz::readingTarget(data, cut);
        unarc::fuzz::readingTarget(data, bytes.size(), 2);
        ++count;
        if (entry.path().filename().string().starts_with("found-"))
            continue;
        for (std::size_t cut : {bytes.size() / 3, bytes.size() * 2 / 3, bytes.size() - 1, bytes.size()}) {
            TempDir temp;
            writeFile(temp.path() / "seed", bytes.substr(0, cut));
            extractWith(temp.path() / "seed", temp.path() / "out");
            for (const auto& item : fs::directory_iterator(temp.path()))
                EXPECT_TRUE(item.path().filename() == "seed" || item.path().filename() == "out") << item.path();
            EXPECT_TRUE(leftovers(temp.path()).empty());
        }
    }
    EXPECT_GT(count, 20u) << "corpus " << kCorpus << " is missing";
}

}  // namespace
}  // namespace arc::testing
