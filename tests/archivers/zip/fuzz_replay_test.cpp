// Replays the committed ZIP fuzz corpora, and every cut of each file, through the fuzz targets.
#include "fuzz/zip_fuzz_targets.h"
#include "zip_test_support.h"

namespace arc::testing {
namespace {

void replay(void (*run)(const std::uint8_t*, std::size_t), const char* folder = "fuzz-corpus")
{
    const fs::path corpus = fs::path(TEMBREL_SOURCE_DIR) / "tests/archivers/zip" / folder;
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string bytes = readFile(entry.path());
        SCOPED_TRACE(entry.path().string());
        for (std::size_t cut = 0; cut <= bytes.size(); cut += 1 + bytes.size() / 32)
            run(reinterpret_cast<const std::uint8_t*>(bytes.data()), cut);
        run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++count;
    }
    EXPECT_GT(count, 5u) << "corpus " << corpus << " is missing";
}

TEST(ZipFuzzCorpus, CentralDirectoryTargetSurvivesItsCorpus)
{
    replay(zip::fuzz::centralDirectoryTarget);
}
TEST(ZipFuzzCorpus, DirectoryRebuildTargetSurvivesItsCorpus)
{
    replay(zip::fuzz::directoryRebuildTarget);
}
TEST(ZipFuzzCorpus, Deflate64TargetSurvivesItsCorpus)
{
    replay(zip::fuzz::deflate64Target, "deflate64-corpus");
}

}  // namespace
}  // namespace arc::testing
