#include "common/thread_basic.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Counts passes and overlapping entries, records start times, and can hold a pass on a latch.
class CountingThread final : public CThreadBasic {
 public:
  ~CountingThread() override {
    Release();
    Stop();
    Join();
  }

  void Run() override {
    if (inside.fetch_add(1) != 0) overlapped = true;
    {
      std::lock_guard guard(mutex_);
      starts_.push_back(Clock::now());
    }
    passes.fetch_add(1);
    {
      std::unique_lock guard(mutex_);
      entered_.notify_all();
      latch_.wait_for(guard, std::chrono::seconds(10), [this] { return !hold_; });
      if (passMs_ > 0) latch_.wait_for(guard, milliseconds(passMs_), [] { return false; });
    }
    inside.fetch_sub(1);
  }

  void Hold() {
    std::lock_guard guard(mutex_);
    hold_ = true;
  }
  void Release() {
    std::lock_guard guard(mutex_);
    hold_ = false;
    latch_.notify_all();
  }
  void SetPassLength(int ms) { passMs_ = ms; }
  // Waits (at most 5 s) until at least `count` passes have started.
  bool WaitForPasses(int count) {
    std::unique_lock guard(mutex_);
    return entered_.wait_for(guard, std::chrono::seconds(5),
                             [&] { return static_cast<int>(starts_.size()) >= count; });
  }
  std::vector<Clock::time_point> Starts() {
    std::lock_guard guard(mutex_);
    return starts_;
  }

  std::atomic<int> passes{0};
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};

 private:
  std::mutex mutex_;
  std::condition_variable latch_;
  std::condition_variable entered_;
  std::vector<Clock::time_point> starts_;
  bool hold_ = false;
  std::atomic<int> passMs_{0};
};

TEST(CThreadBasic, StartsOnceAndPausesAfterEachPass) {
  CountingThread thread;
  thread.SetPassLength(10);
  EXPECT_EQ(thread.Start(), 1);
  EXPECT_EQ(thread.Start(), 0);
  ASSERT_TRUE(thread.WaitForPasses(4));
  thread.Stop();
  EXPECT_FALSE(thread.overlapped);
  const auto starts = thread.Starts();
  for (std::size_t i = 1; i < starts.size(); ++i)
    EXPECT_GE(starts[i] - starts[i - 1], milliseconds(40)) << "pass " << i;
}

TEST(CThreadBasic, StopWaitsForThePassInProgressAndNoPassFollows) {
  CountingThread thread;
  thread.Hold();
  thread.Start();
  ASSERT_TRUE(thread.WaitForPasses(1));
  std::thread release([&] {
    std::this_thread::sleep_for(milliseconds(100));
    thread.Release();
  });
  const auto before = Clock::now();
  thread.Stop();
  EXPECT_GE(Clock::now() - before, milliseconds(90));
  EXPECT_EQ(thread.inside, 0);
  release.join();
  std::this_thread::sleep_for(milliseconds(80));
  EXPECT_EQ(thread.passes, 1);
}

TEST(CThreadBasic, AHangingPassBoundsStopAndIsJoinedLater) {
  CountingThread thread;
  thread.Hold();
  thread.Start();
  ASSERT_TRUE(thread.WaitForPasses(1));
  const auto before = Clock::now();
  thread.Stop();
  EXPECT_GE(Clock::now() - before, milliseconds(950));
  EXPECT_EQ(thread.inside, 1) << "Stop gave up on the held pass instead of waiting for it";
  EXPECT_FALSE(thread.IsRunning());

  // A restart waits for the old thread; the two never run side by side.
  std::thread release([&] {
    std::this_thread::sleep_for(milliseconds(50));
    thread.Release();
  });
  EXPECT_EQ(thread.Start(), 1);
  release.join();
  ASSERT_TRUE(thread.WaitForPasses(2));
  thread.Stop();
  EXPECT_FALSE(thread.overlapped);
}

TEST(CThreadBasic, StopWhenIdleOrTwiceDoesNothingAndStartRunsAgain) {
  CountingThread thread;
  thread.Stop();
  thread.Join();
  EXPECT_EQ(thread.Start(), 1);
  ASSERT_TRUE(thread.WaitForPasses(1));
  thread.Stop();
  thread.Stop();
  const int before = thread.passes;
  EXPECT_EQ(thread.Start(), 1);
  ASSERT_TRUE(thread.WaitForPasses(before + 1));
  // Destruction stops and joins.
}

TEST(PeriodicWorker, RunsItsFunctionUntilStoppedAndJoinsOnDestruction) {
  std::atomic<int> calls{0};
  {
    PeriodicWorker worker([&] { calls.fetch_add(1); });
    worker.Start();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (calls < 2 && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(5));
    EXPECT_GE(calls, 2);
  }
  const int after = calls;
  std::this_thread::sleep_for(milliseconds(60));
  EXPECT_EQ(calls, after);
}

}  // namespace
