// Time as the device layer sees it: a monotonic "now" and a sleep. Protocol pacing goes through a
// Clock so that tests can replace real sleeping with virtual time.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time since an arbitrary start.
  virtual std::chrono::nanoseconds now() = 0;
  // Returns after at least `ms` milliseconds; 0 or less returns at once.
  virtual void sleep(int ms) = 0;
};

// The real monotonic clock. sleep() waits for an absolute deadline on CLOCK_MONOTONIC, resumes
// after signals, and lowers the calling thread's timer slack the first time it runs on a thread so
// that short protocol delays do not overshoot by the default 50 us slack.
class SteadyClock final : public Clock {
 public:
  std::chrono::nanoseconds now() override;
  void sleep(int ms) override;
};

// Virtual time for tests. sleep() returns at once, advances the time by `ms` and records who slept
// when; advance() moves time on without a record (latency of a simulated device). Thread-safe;
// one instance is shared by everything in a test that paces itself.
class VirtualClock final : public Clock {
 public:
  struct Sleep {
    std::thread::id thread;
    int64_t startMs;  // virtual time when the sleep began
    int ms;
  };

  std::chrono::nanoseconds now() override;
  void sleep(int ms) override;

  void advance(int ms);
  int64_t nowMs();
  // Copies of the recorded sleeps, in the order they happened.
  std::vector<Sleep> sleeps();
  // Sum of every recorded sleep.
  int64_t totalSleptMs();
  void clearSleeps();

 private:
  std::mutex mutex_;
  int64_t nowNs_ = 0;
  std::vector<Sleep> sleeps_;
};

}  // namespace platform
