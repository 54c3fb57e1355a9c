#include "platform/clock/clock.h"

#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

namespace platform {

namespace {

constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kNsPerSecond = 1'000'000'000;
// 1 us instead of the default 50 us: the protocol's 2 ms and 3 ms sleeps would otherwise lose
// several percent to slack.
constexpr unsigned long kTimerSlackNs = 1000;

void LowerTimerSlackOnce() {
  thread_local bool lowered = false;
  if (lowered) return;
  lowered = true;
  prctl(PR_SET_TIMERSLACK, kTimerSlackNs, 0, 0, 0);  // best effort: the default slack still works
}

}  // namespace

std::chrono::nanoseconds SteadyClock::now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::chrono::nanoseconds(int64_t{ts.tv_sec} * kNsPerSecond + ts.tv_nsec);
}

void SteadyClock::sleep(int ms) {
  if (ms <= 0) return;
  LowerTimerSlackOnce();
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  int64_t ns = deadline.tv_nsec + int64_t{ms} * kNsPerMs;
  deadline.tv_sec += static_cast<time_t>(ns / kNsPerSecond);
  deadline.tv_nsec = static_cast<long>(ns % kNsPerSecond);
  // With an absolute deadline a signal only means "call again"; the total wait stays exact.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

std::chrono::nanoseconds VirtualClock::now() {
  std::lock_guard lock(mutex_);
  return std::chrono::nanoseconds(nowNs_);
}

void VirtualClock::sleep(int ms) {
  if (ms < 0) ms = 0;
  std::lock_guard lock(mutex_);
  sleeps_.push_back(Sleep{std::this_thread::get_id(), nowNs_ / kNsPerMs, ms});
  nowNs_ += int64_t{ms} * kNsPerMs;
}

void VirtualClock::advance(int ms) {
  if (ms <= 0) return;
  std::lock_guard lock(mutex_);
  nowNs_ += int64_t{ms} * kNsPerMs;
}

int64_t VirtualClock::nowMs() {
  std::lock_guard lock(mutex_);
  return nowNs_ / kNsPerMs;
}

std::vector<VirtualClock::Sleep> VirtualClock::sleeps() {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

int64_t VirtualClock::totalSleptMs() {
  std::lock_guard lock(mutex_);
  int64_t total = 0;
  for (const Sleep& s : sleeps_) total += s.ms;
  return total;
}

void VirtualClock::clearSleeps() {
  std::lock_guard lock(mutex_);
  sleeps_.clear();
}

}  // namespace platform
