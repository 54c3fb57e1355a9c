#include "platform/clock/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(ClockTest, SteadyClockNeverReturnsEarly) {
  SteadyClock clock;
  for (int ms : {1, 2, 5}) {
    auto before = std::chrono::steady_clock::now();
    auto virtualBefore = clock.now();
    clock.sleep(ms);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(ms));
    EXPECT_GE(clock.now() - virtualBefore, std::chrono::milliseconds(ms));
  }
}

TEST(ClockTest, VirtualClockStaysExactAcrossThreads) {
  VirtualClock clock;
  constexpr int kThreads = 4, kSleeps = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kSleeps; ++i) clock.sleep(2);
    });
  for (auto& t : threads) t.join();
  clock.advance(7);  // latency moves time on without a sleep record
  EXPECT_EQ(clock.nowMs(), kThreads * kSleeps * 2 + 7);
  EXPECT_EQ(clock.totalSleptMs(), kThreads * kSleeps * 2);
  auto sleeps = clock.sleeps();
  ASSERT_EQ(sleeps.size(), size_t{kThreads * kSleeps});
  for (size_t i = 0; i < sleeps.size(); ++i) EXPECT_EQ(sleeps[i].startMs, static_cast<int64_t>(i) * 2);
}

}  // namespace
}  // namespace platform
