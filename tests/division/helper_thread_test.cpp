#include "division/helper_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace fenban::division {
namespace {

// The search hands a job over thousands of times a second; every job must
// run exactly once, and Wait must not return before it has.
TEST(HelperThread, RunsEveryJobOnceAndWaitsForIt) {
  HelperThread helper;
  std::vector<int> done(5'000, 0);
  int64_t mine = 0;
  for (size_t j = 0; j < done.size(); ++j) {
    helper.Start([&done, j] { ++done[j]; });
    mine += static_cast<int64_t>(j);  // the caller's own half meanwhile
    helper.Wait();
    ASSERT_EQ(done[j], 1) << "job " << j;
  }
  EXPECT_EQ(mine, 4'999LL * 5'000 / 2);
}

TEST(HelperThread, WaitWithoutAJobReturnsAndTheHelperStopsWhenIdle) {
  std::atomic<int> runs{0};
  {
    HelperThread helper;
    helper.Wait();
    helper.Start([&runs] { ++runs; });
    helper.Wait();
  }  // destroyed while idle: must not hang
  EXPECT_EQ(runs.load(), 1);
  EXPECT_GE(HardwareThreads(), 1);
}

}  // namespace
}  // namespace fenban::division
