// Cost of the macro, lighting and screen packet builders, and of the whole screen download
// through the real manager to the simulated keyboard.
//
//   BM_MacroImageBuild        100 macros filling the image to its largest size     (bound 50 us)
//   BM_CustomColorBlock/rgb   one row per usable LED, full layout map               (bound 50 us)
//   BM_LiveColorBlock/rgb     128 (RGB) or 192 (single colour) key items            (bound 50 us)
//   BM_LcdDownload/F          virtual clock: T = wall time, W = the waits the protocol mandates
//                             (packet delays, read-backs, the keyboard's 1 ms per block);
//                             bound T / W <= 0.15
//   BM_LcdSendBlocks/F        virtual clock, the image built once: CPU time per block of the
//                             transfer alone (bound 10 us)
//   BM_LcdDownloadRealClock/F real clock, F = 1, 16, 141; bound wall / W <= 1.03
//   BM_LcdSendRealClock/F     the same with the image built beforehand (the transfer alone);
//                             sleep_floor_over_W is the same waits slept in a bare loop, what
//                             the machine's wake-ups add whatever the code does
// Frames are photo-like (a gradient under noise), so that reading them costs what real ones do.
// bench/check_packet_bench.py states each bound.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "device/DeviceLink.h"
#include "device/KeyCodes.h"
#include "device/LcdAnimation.h"
#include "device/LightingPackets.h"
#include "device/MacroImage.h"
#include "platform/clock/clock.h"
#include "platform/hid/sim/sim_hid.h"
#include "platform/image/frame_image.h"

namespace {

constexpr int kPacketDelayMs = 35;
constexpr int kAckMs = 1;

MacroRecordRow Rec(int type, int value) {
  MacroRecordRow r;
  r.type = type;
  r.value = value;
  return r;
}

// 89 macros of key down, key up and two delays (one inserted delay each), and 11 of delays only:
// 475 records, 564 events, the last block ending at 3456.
MacroImageInput FullMacroStore() {
  MacroImageInput in;
  for (int i = 0; i < 89; ++i)
    in.macros.push_back({Rec(MACRO_EVENT_KEY_DOWN, 65 + i % 26), Rec(MACRO_EVENT_KEY_UP, 65 + i % 26),
                         Rec(MACRO_EVENT_DELAY, 20), Rec(MACRO_EVENT_DELAY, 30)});
  for (int i = 0; i < 11; ++i)
    in.macros.push_back(std::vector<MacroRecordRow>(i == 10 ? 9 : 11, Rec(MACRO_EVENT_DELAY, 15)));
  in.storedRecords = 475;
  in.listedMacros = 100;
  return in;
}

void BM_MacroImageBuild(benchmark::State& state) {
  const MacroImageInput in = FullMacroStore();
  for (auto _ : state) {
    MacroImage image = BuildMacroImage(in);
    if (image.endOffset != kMacroLastEndOffset) state.SkipWithError("image is not full");
    benchmark::DoNotOptimize(image.bytes.data());
  }
}
BENCHMARK(BM_MacroImageBuild);

void BM_CustomColorBlock(benchmark::State& state) {
  const bool rgb = state.range(0) != 0;
  const int leds = rgb ? kRgbLastLed : kSingleLastLed;
  LedIndexMap layout;
  std::vector<CustomRgbRow> rows;
  for (int led = 1; led <= leds; ++led) {
    const int usage = 1000 + led;  // distinct codes; the layout decides the LED
    layout[usage] = led;
    CustomRgbRow row;
    row.keycode = usage;
    row.rgbvalue = 0x102030 + led;
    rows.push_back(row);
  }
  for (auto _ : state) benchmark::DoNotOptimize(BuildCustomColorBlock(rows, layout, rgb));
}
BENCHMARK(BM_CustomColorBlock)->Arg(1)->Arg(0);

void BM_LiveColorBlock(benchmark::State& state) {
  const bool rgb = state.range(0) != 0;
  const int count = rgb ? 128 : 192;
  LedIndexMap layout;
  std::vector<LightKeyItem> items;
  for (int k = 0; k < count; ++k) {
    layout[1000 + k] = 1 + k % (rgb ? kRgbLastLed : kSingleLastLed);
    items.push_back(
        {1000 + k, uint8_t(k), uint8_t(2 * k), uint8_t(3 * k), k % 3 == 0 ? kKeyStateScaled : 1, k});
  }
  for (auto _ : state) benchmark::DoNotOptimize(BuildLiveColorBlock(items, layout, rgb));
}
BENCHMARK(BM_LiveColorBlock)->Arg(1)->Arg(0);

// Sleeps for real and adds up every wait the transport asks for.
class TallyingClock final : public platform::Clock {
 public:
  std::chrono::nanoseconds now() override { return real_.now(); }
  void sleep(int ms) override { tally_ += ms, real_.sleep(ms); }
  int64_t tallyMs() const { return tally_; }

 private:
  platform::SteadyClock real_;
  std::atomic<int64_t> tally_{0};
};

// A slot folder with `frames` PNG frames, written once per benchmark.
struct FrameFolder {
  std::string working;
  std::vector<LedFrameRow> rows;
  explicit FrameFolder(int frames) {
    working = (std::filesystem::temp_directory_path() /
               ("kelvane-bench-lcd-" + std::to_string(frames) + "-" + std::to_string(::getpid())))
                  .string() +
              "/";
    std::filesystem::create_directories(working + "led/slot");
    for (int i = 0; i < frames; ++i) {
      QImage image(LCD_WIDTH, LCD_HEIGHT, QImage::Format_RGB32);
      uint32_t noise = 2166136261u ^ static_cast<uint32_t>(i);
      for (int y = 0; y < LCD_HEIGHT; ++y) {
        for (int x = 0; x < LCD_WIDTH; ++x) {
          noise = noise * 1664525u + 1013904223u;
          const int grain = static_cast<int>(noise >> 26) - 32;  // -32..31
          const auto channel = [&](int base) { return std::clamp(base + grain, 0, 255); };
          image.setPixel(x, y, qRgb(channel(x + i), channel(y * 255 / LCD_HEIGHT), channel(255 - x)));
        }
      }
      const std::string name = std::to_string(i) + ".png";
      image.save(QString::fromStdString(working + "led/slot/" + name), "PNG");
      LedFrameRow row;
      row.file_name = std::wstring(name.begin(), name.end());
      row.delay_time = 50;
      row.frame_index = i;
      rows.push_back(row);
    }
  }
  ~FrameFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(working, ignored);
  }
};

// The real manager over one simulated keyboard that acknowledges each block after 1 ms, and the
// download of a slot of `frames` frames through it.
template <typename ClockType>
struct DownloadRig {
  explicit DownloadRig(int frames) : folder(frames) {
    manager.AddWanted(0x7C3A, 0xB108, L"");
    sim.addKeyboard().setAckLatencyMs(kAckMs);
    manager.Reopen();
    input.frames = folder.rows;
    input.workingFolder = folder.working;
    input.slotFolder = L"slot";
    input.selectedSlot = 0;
  }
  // Runs one download; returns its wall time in milliseconds.
  double Run(benchmark::State& state) {
    const auto start = std::chrono::steady_clock::now();
    const LcdFrameReader read = [](const std::string& path) {
      return platform::image::ReadFramePixels(path, LCD_WIDTH, LCD_HEIGHT);
    };
    if (!DownloadLcdAnimation(link, input, read, nullptr, nullptr)) state.SkipWithError("download failed");
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    sim.clearLog();  // the record of every block would pile up otherwise
    state.ResumeTiming();
    return ms;
  }
  int Blocks() { return sim.keyboard(0).bulkBlocks(); }

  FrameFolder folder;
  ClockType clock;
  platform::hid::sim::SimHidBackend sim{clock};
  HidDeviceManager manager{sim, clock};
  DeviceLink link{manager, clock, 0, kPacketDelayMs};
  LcdDownloadInput input;
};

void BM_LcdDownload(benchmark::State& state) {
  DownloadRig<platform::VirtualClock> rig(static_cast<int>(state.range(0)));
  double wallMs = 0, waitMs = 0, bytes = 0;
  for (auto _ : state) {
    const int64_t virtualStart = rig.clock.nowMs();
    wallMs += rig.Run(state);
    waitMs += static_cast<double>(rig.clock.nowMs() - virtualStart);  // sleeps and acks
    bytes += static_cast<double>(rig.Blocks()) * kBulkBlockSize;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["T_ms"] = wallMs / n;
  state.counters["W_ms"] = waitMs / n;
  state.counters["T_over_W"] = wallMs / waitMs;
  state.counters["MB_per_s"] = bytes / 1e6 / (wallMs / 1e3);
}
BENCHMARK(BM_LcdDownload)->Arg(1)->Arg(16)->Arg(141)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LcdDownloadRealClock(benchmark::State& state) {
  DownloadRig<TallyingClock> rig(static_cast<int>(state.range(0)));
  double wallMs = 0, waitMs = 0;
  for (auto _ : state) {
    const int64_t tally = rig.clock.tallyMs();
    wallMs += rig.Run(state);
    waitMs += static_cast<double>(rig.clock.tallyMs() - tally + rig.Blocks() * kAckMs);
  }
  state.counters["wall_ms"] = wallMs / static_cast<double>(state.iterations());
  state.counters["W_ms"] = waitMs / static_cast<double>(state.iterations());
  state.counters["wall_over_W"] = wallMs / waitMs;
}
BENCHMARK(BM_LcdDownloadRealClock)
    ->Arg(1)
    ->Arg(16)
    ->Arg(141)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// The same on the real clock with the image built beforehand: what the transfer alone adds to
// the waits, without the reading of the frames.
void BM_LcdSendRealClock(benchmark::State& state) {
  DownloadRig<TallyingClock> rig(static_cast<int>(state.range(0)));
  const LcdAnimationImage image = BuildLcdAnimationImage(
      rig.input.frames, rig.input.workingFolder, rig.input.slotFolder,
      [](const std::string& path) { return platform::image::ReadFramePixels(path, LCD_WIDTH, LCD_HEIGHT); });
  double wallMs = 0, waitMs = 0;
  for (auto _ : state) {
    const int64_t tally = rig.clock.tallyMs();
    const auto start = std::chrono::steady_clock::now();
    if (!SendLcdAnimationImage(rig.link, 1, image, nullptr, nullptr)) state.SkipWithError("send failed");
    wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    waitMs += static_cast<double>(rig.clock.tallyMs() - tally + rig.Blocks() * kAckMs);
    state.PauseTiming();
    rig.sim.clearLog();
    state.ResumeTiming();
  }
  state.counters["wall_over_W"] = wallMs / waitMs;
  // What the machine itself adds: the same waits slept in a bare loop with the SteadyClock the
  // transport and the simulated keyboard sleep with (packet delays in 35 ms pieces, then one 1 ms
  // wait per block).
  const int64_t packetMs = rig.clock.tallyMs() / static_cast<int64_t>(state.iterations());
  platform::SteadyClock bare;
  const auto start = std::chrono::steady_clock::now();
  for (int64_t ms = 0; ms < packetMs; ms += kPacketDelayMs) bare.sleep(kPacketDelayMs);
  for (int k = 0; k < image.blocks; ++k) bare.sleep(kAckMs);
  const double floorMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  state.counters["sleep_floor_over_W"] = floorMs / (waitMs / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_LcdSendRealClock)
    ->Arg(1)
    ->Arg(16)
    ->Arg(141)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_LcdSendBlocks(benchmark::State& state) {
  DownloadRig<platform::VirtualClock> rig(static_cast<int>(state.range(0)));
  const LcdAnimationImage image = BuildLcdAnimationImage(
      rig.input.frames, rig.input.workingFolder, rig.input.slotFolder,
      [](const std::string& path) { return platform::image::ReadFramePixels(path, LCD_WIDTH, LCD_HEIGHT); });
  double cpu = 0;
  int64_t blocks = 0;
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    if (!SendLcdAnimationImage(rig.link, 1, image, nullptr, nullptr)) state.SkipWithError("send failed");
    cpu += ThreadCpuSeconds() - start;
    blocks += image.blocks;
    state.PauseTiming();
    rig.sim.clearLog();
    state.ResumeTiming();
  }
  state.counters["cpu_us_per_block"] = cpu * 1e6 / static_cast<double>(blocks);
}
BENCHMARK(BM_LcdSendBlocks)->Arg(1)->Arg(16)->Arg(141)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
