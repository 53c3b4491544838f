// The writer's pool: results come back in the order the work was submitted, taken one by one or
// in batches, however unevenly the jobs take their time and however many threads run them.
#include "zip/ordered_pool.h"

#include <gtest/gtest.h>

#include <random>

namespace arc::zip {
namespace {

struct NoContext {};

struct PoolCase {
    const char* label;
    unsigned threads;
    std::size_t batch;  // how many of the oldest results the submitter waits for at once
};

class OrderedPoolOrder : public ::testing::TestWithParam<PoolCase> {};

TEST_P(OrderedPoolOrder, ResultsComeBackInSubmissionOrder)
{
    const PoolCase& c = GetParam();
    OrderedPool<NoContext, int> pool(c.threads, [] { return std::make_unique<NoContext>(); });
    std::mt19937 random(7);
    int next = 0;
    for (int submitted = 0; submitted < 3000; ++submitted) {
        const unsigned work = random() % 20000;  // jobs end out of order
        pool.submit([submitted, work](NoContext&) {
            [[maybe_unused]] volatile unsigned sink = 0;
            for (unsigned i = 0; i < work; ++i)
                sink = i;
            return submitted;
        });
        if (pool.inFlight() < 64)
            continue;
        pool.waitForReady(c.batch);
        do {
            ASSERT_EQ(pool.takeNext(), next++);
        } while (pool.inFlight() > 0 && pool.nextReady());
    }
    while (pool.inFlight() > 0)
        ASSERT_EQ(pool.takeNext(), next++);
    EXPECT_EQ(next, 3000);
}

INSTANTIATE_TEST_SUITE_P(Cases, OrderedPoolOrder,
                         ::testing::Values(PoolCase{"OnTheCallingThread", 0, 1}, PoolCase{"OneThreadOneByOne", 1, 1},
                                           PoolCase{"TwoThreadsInBatches", 2, 16},
                                           PoolCase{"FourThreadsBatchLargerThanTheWork", 4, 100}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace arc::zip
