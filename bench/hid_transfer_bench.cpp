// Cost of a transfer beyond the protocol's own sleeps. Each case drives the real manager against the
// simulated keyboard (no latency) and reports
//   overhead_ratio = (wall time - requested sleeps) / requested sleeps   (real clock; target < 0.05)
//   code_ratio     = CPU time / virtual sleeps                           (virtual clock; target < 0.005)
// Run with --benchmark_repetitions=N to see medians.
#include <benchmark/benchmark.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "device/DevicePacket.h"
#include "device/HidDeviceManager.h"
#include "platform/clock/clock.h"
#include "platform/hid/sim/sim_hid.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Adds up what the transport asks to sleep, then sleeps for real.
class CountingClock final : public platform::Clock {
 public:
  std::chrono::nanoseconds now() override { return inner_.now(); }
  void sleep(int ms) override {
    requestedMs_ += ms;
    inner_.sleep(ms);
  }
  int64_t requestedMs() const { return requestedMs_; }

 private:
  platform::SteadyClock inner_;
  std::atomic<int64_t> requestedMs_{0};
};

Bytes Command(uint8_t command, uint8_t count = 0) {
  Bytes p(kPacketSize, 0);
  p[kPacketMarkerOffset] = CMD_MARKER;
  p[kPacketCommandOffset] = command;
  p[kPacketCountOffset] = count;
  return p;
}

enum class Case { kKeyMap, kColourQuery, kLiveFrame, kBulkBlock };

void RunCase(HidDeviceManager& m, Case c, int delayMs) {
  switch (c) {
    case Case::kKeyMap: {
      static const Bytes block(10 * kPacketSize, 0x11);
      m.Send(Command(CMD_BEGIN), 0, delayMs, true);
      m.Send(Command(CMD_KEYMAP, 9), 0, delayMs, true);
      m.Send(block, 0, delayMs, true);
      m.Send(Command(CMD_END), 0, delayMs, true);
      m.Send(Command(CMD_SAVE), 0, delayMs, true);
      break;
    }
    case Case::kColourQuery: {
      Bytes buffer(kColorReplyBytes);
      Bytes request = Command(CMD_READ_COLORS, 9);
      std::copy(request.begin(), request.end(), buffer.begin());
      m.Query(buffer, 9, 0);
      m.Send(Command(CMD_END), 0, delayMs, true);
      break;
    }
    case Case::kLiveFrame: {
      static const Bytes frame(8 * kPacketSize, 0x22);
      m.Send(Command(CMD_LIVE_COLORS, 8), 0, delayMs, true);
      m.SendFast(frame, 0);
      m.Send(Command(CMD_END), 0, delayMs, true);
      break;
    }
    case Case::kBulkBlock: {
      static const Bytes block(kBulkBlockSize, 0x33);
      m.Write(block, 0);
      break;
    }
  }
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_Transfer(benchmark::State& state) {
  auto c = static_cast<Case>(state.range(0));
  int delayMs = static_cast<int>(state.range(1));

  // Real clock: wall time against requested sleeps.
  CountingClock clock;
  platform::hid::sim::SimHidBackend sim(clock);
  sim.addKeyboard();
  HidDeviceManager manager(sim, clock);
  manager.AddWanted(0x7C3A, 0xB108, L"");
  manager.Reopen();
  double wall = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    RunCase(manager, c, delayMs);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    sim.clearLog();
    state.ResumeTiming();
  }
  double slept = static_cast<double>(clock.requestedMs()) / 1000.0;
  if (slept > 0) state.counters["overhead_ratio"] = (wall - slept) / slept;
  state.counters["ms_per_run"] = wall * 1000.0 / static_cast<double>(state.iterations());

  // Virtual clock: the code's own CPU time against the sleeps it asked for.
  platform::VirtualClock virtualClock;
  platform::hid::sim::SimHidBackend virtualSim(virtualClock);
  virtualSim.addKeyboard();
  HidDeviceManager virtualManager(virtualSim, virtualClock);
  virtualManager.AddWanted(0x7C3A, 0xB108, L"");
  virtualManager.Reopen();
  constexpr int kVirtualRuns = 200;
  double cpuStart = ThreadCpuSeconds();
  for (int i = 0; i < kVirtualRuns; ++i) {
    RunCase(virtualManager, c, delayMs);
    if (i % 50 == 49) virtualSim.clearLog();
  }
  double cpu = ThreadCpuSeconds() - cpuStart;
  double virtualSlept = static_cast<double>(virtualClock.totalSleptMs()) / 1000.0;
  if (virtualSlept > 0) state.counters["code_ratio"] = cpu / virtualSlept;
}

// Arguments: case, delayMs.
BENCHMARK(BM_Transfer)
    ->ArgNames({"case", "delay"})
    ->Args({static_cast<int>(Case::kKeyMap), 10})
    ->Args({static_cast<int>(Case::kKeyMap), 35})
    ->Args({static_cast<int>(Case::kColourQuery), 10})
    ->Args({static_cast<int>(Case::kLiveFrame), 5})
    ->Args({static_cast<int>(Case::kBulkBlock), 0})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
