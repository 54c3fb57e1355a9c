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
// The kernel wakes a sleeper some tens of microseconds after its deadline; over the thousands of
// 1 ms waits of a screen download that adds several percent. A sleep therefore ends this much early
// and waits out the rest on the clock itself, never returning before its deadline.
constexpr int64_t kSpinNs = 60'000;

int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * kNsPerSecond + ts.tv_nsec;
}

timespec ToTimespec(int64_t ns) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
  ts.tv_nsec = static_cast<long>(ns % kNsPerSecond);
  return ts;
}

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

void LowerTimerSlackOnce() {
  thread_local bool lowered = false;
  if (lowered) return;
  lowered = true;
  prctl(PR_SET_TIMERSLACK, kTimerSlackNs, 0, 0, 0);  // best effort: the default slack still works
}

}  // namespace

std::chrono::nanoseconds SteadyClock::now() { return std::chrono::nanoseconds(MonotonicNs()); }

void SteadyClock::sleep(int ms) {
  if (ms <= 0) return;
  LowerTimerSlackOnce();
  const int64_t deadline = MonotonicNs() + int64_t{ms} * kNsPerMs;
  // With an absolute wake-up time a signal only means "call again"; the total wait stays exact.
  const timespec wake = ToTimespec(deadline - kSpinNs);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
  }
  while (MonotonicNs() < deadline) CpuRelax();
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
