// The job's remembered answers and how often it calls its listener.
#include "common/job.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace arc {
namespace {

struct ScriptedListener : JobListener {
    std::deque<OverwriteAnswer> overwriteAnswers;
    std::deque<std::optional<std::string>> passphrases;
    std::vector<std::uint64_t> reportedBytes;
    int existsAsked = 0;
    int passphraseAsked = 0;
    std::uint64_t stopAfterBytes = UINT64_MAX;

    bool progress(const ProgressReport& report) override
    {
        reportedBytes.push_back(report.jobBytesDone);
        return report.jobBytesDone < stopAfterBytes;
    }
    std::optional<std::string> passphrase(std::string_view, std::string_view, unsigned) override
    {
        ++passphraseAsked;
        auto answer = passphrases.front();
        passphrases.pop_front();
        return answer;
    }
    OverwriteAnswer exists(const ExistingFile&) override
    {
        ++existsAsked;
        auto answer = overwriteAnswers.front();
        overwriteAnswers.pop_front();
        return answer;
    }
};

struct OverwriteCase {
    OverwriteAnswer first;
    OverwriteAnswer thereafter;  // what the next three questions get
    int asked;                   // how often the listener was asked in all
    bool cancelled;
};

class JobOverwrite : public ::testing::TestWithParam<OverwriteCase> {};

TEST_P(JobOverwrite, AllAnswersHoldForTheRestOfTheJob)
{
    const OverwriteCase& c = GetParam();
    ScriptedListener listener;
    listener.overwriteAnswers = {c.first, OverwriteAnswer::Skip, OverwriteAnswer::Skip, OverwriteAnswer::Skip};
    Job job(&listener);
    job.exists({});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(job.exists({}), c.thereafter);
    EXPECT_EQ(listener.existsAsked, c.asked);
    EXPECT_EQ(job.cancelled(), c.cancelled);
}

INSTANTIATE_TEST_SUITE_P(Answers, JobOverwrite,
                         ::testing::Values(OverwriteCase{OverwriteAnswer::Overwrite, OverwriteAnswer::Skip, 4, false},
                                           OverwriteCase{OverwriteAnswer::OverwriteAll, OverwriteAnswer::Overwrite, 1,
                                                         false},
                                           OverwriteCase{OverwriteAnswer::SkipAll, OverwriteAnswer::Skip, 1, false},
                                           OverwriteCase{OverwriteAnswer::Cancel, OverwriteAnswer::Cancel, 1, true}));

TEST(Job, PassphraseAskedOncePerArchiveAndAgainWhenWrong)
{
    ScriptedListener listener;
    listener.passphrases = {"one", "two", "three"};
    Job job(&listener);
    EXPECT_EQ(job.passphrase("a.zip", "x", 1), "one");
    EXPECT_EQ(job.passphrase("a.zip", "y", 1), "one");
    EXPECT_EQ(job.passphrase("a.zip", "y", 2), "two");  // "one" was wrong for y
    EXPECT_EQ(job.passphrase("a.zip", "z", 1), "two");
    EXPECT_EQ(job.passphrase("b.zip", "x", 1), "three");  // never carried to another archive
    EXPECT_EQ(listener.passphraseAsked, 3);
    EXPECT_EQ(Job().passphrase("a.zip", "x", 1), std::nullopt);
}

TEST(Job, ReportsAtLeastEvery64KiBAndStopsWhenTold)
{
    ScriptedListener listener;
    listener.stopAfterBytes = 300'000;
    Job job(&listener);
    job.setTotals(1'000'000, 1);
    ASSERT_TRUE(job.beginEntry("big", 1'000'000));
    std::uint64_t done = 0;
    while (job.advance(1000))
        done += 1000;
    EXPECT_TRUE(job.cancelled());
    EXPECT_GE(done, 300'000u - 1000);
    EXPECT_LT(done, 300'000u + 65'536);
    for (std::size_t i = 1; i < listener.reportedBytes.size(); ++i)
        EXPECT_LE(listener.reportedBytes[i] - listener.reportedBytes[i - 1], 65'536u + 1000);  // one block past
    EXPECT_FALSE(job.endEntry());
}

}  // namespace
}  // namespace arc
