#include "model/HelperThread.h"

#include <atomic>
#include <gtest/gtest.h>

using namespace orvanel;

TEST(HelperThreadTest, RunsOneCallersTaskAtATime) {
    HelperThread helper;
    std::atomic<bool> release{false};
    int runs = 0;
    ASSERT_TRUE(helper.Start([&] {
        while (!release.load())
            ;
        ++runs;
    }));
    EXPECT_FALSE(helper.Start([&] { runs += 10; }));
    release = true;
    helper.Wait();
    EXPECT_EQ(runs, 1);

    ASSERT_TRUE(helper.Start([&] { ++runs; }));
    helper.Wait();
    EXPECT_EQ(runs, 2);
}
