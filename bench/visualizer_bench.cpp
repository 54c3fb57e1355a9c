// The music analyser's costs: its 512-point transform against FFTW's, one render-thread frame for
// scheme pairs, and the real render thread for three seconds with packets arriving in real time.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "device/LightingPackets.h"
#include "lighting/MusicKeys.h"
#include "lighting/Visualizer.h"
#include "lighting/VisualizerDsp.h"
#include "platform/audio/fake/fake_audio_backend.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<float> TestSignal() {
  std::vector<float> values(visualizer::kFftValues);
  for (int i = 0; i < visualizer::kFftValues; ++i) {
    values[i] = static_cast<float>(0.6 * std::sin(0.37 * i) + 0.3 * std::cos(1.9 * i) + 0.05 * (i % 7));
  }
  return values;
}

// FFTW's single-precision real transform of 512 values, planned once.
struct FftwAnchor {
  float* in = fftwf_alloc_real(visualizer::kFftValues);
  fftwf_complex* out = fftwf_alloc_complex(visualizer::kFftValues / 2 + 1);
  fftwf_plan plan;
  FftwAnchor() {
    plan = fftwf_plan_dft_r2c_1d(visualizer::kFftValues, in, out, FFTW_MEASURE);
    const std::vector<float> signal = TestSignal();
    std::memcpy(in, signal.data(), sizeof(float) * signal.size());
  }
  ~FftwAnchor() {
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
  }
};

FftwAnchor& Anchor() {
  static FftwAnchor anchor;
  return anchor;
}

// Ours works in place, so each call starts from a fresh copy of the signal (as the analyser copies
// its history into a work buffer).
struct OwnTransform {
  std::vector<float> signal = TestSignal();
  alignas(32) float work[visualizer::kFftValues];
  void Run() {
    std::memcpy(work, signal.data(), sizeof(work));
    visualizer::RealFFT(work);
    benchmark::DoNotOptimize(work);
  }
};

// Nanoseconds per call: the best of five rounds of about 20 ms each.
template <typename Fn>
double NsPerCall(Fn&& fn) {
  double best = 1e30;
  for (int round = 0; round < 5; ++round) {
    int calls = 0;
    const auto start = Clock::now();
    auto now = start;
    while (now - start < std::chrono::milliseconds(20)) {
      for (int i = 0; i < 256; ++i) fn();
      calls += 256;
      now = Clock::now();
    }
    best = std::min(best, std::chrono::duration<double, std::nano>(now - start).count() / calls);
  }
  return best;
}

void BM_FftwAnchor(benchmark::State& state) {
  FftwAnchor& anchor = Anchor();
  for (auto _ : state) {
    fftwf_execute(anchor.plan);
    benchmark::DoNotOptimize(anchor.out);
  }
}
BENCHMARK(BM_FftwAnchor);

void BM_RealFFT(benchmark::State& state) {
  OwnTransform own;
  for (auto _ : state) own.Run();
  FftwAnchor& anchor = Anchor();
  const double fftw = NsPerCall([&] {
    fftwf_execute(anchor.plan);
    benchmark::DoNotOptimize(anchor.out);
  });
  const double ours = NsPerCall([&] { own.Run(); });
  state.counters["ratio_to_fftw"] = ours / fftw;
}
BENCHMARK(BM_RealFFT);

// A 480-frame stereo packet of a 1 kHz tone at a tenth of full scale, as 10 ms at 48 kHz.
platform::audio::FakeAudioBackend::ScriptedPacket TonePacket(int start) {
  platform::audio::FakeAudioBackend::ScriptedPacket packet;
  packet.frames = 480;
  packet.channels = 2;
  packet.samples.resize(960);
  for (int i = 0; i < 480; ++i) {
    const float value =
        static_cast<float>(0.1 * std::sin(6.283185307179586 * 1000.0 * (start + i) / 48000.0));
    packet.samples[2 * i] = packet.samples[2 * i + 1] = value;
  }
  return packet;
}

struct RunningAnalyser {
  platform::audio::FakeAudioBackend* fake = nullptr;
  Visualizer visualizer;
  RunningAnalyser() {
    auto backend = std::make_unique<platform::audio::FakeAudioBackend>();
    fake = backend.get();
    visualizer.SetBackend(std::move(backend));
    visualizer.Init();
  }
};

// One render-thread frame: the drain of two packets, the analysis, both schemes, compose, publish.
void BM_AnalyzerPass(benchmark::State& state) {
  RunningAnalyser analyser;
  Visualizer& v = analyser.visualizer;
  const int fore = static_cast<int>(state.range(0));
  const int back = static_cast<int>(state.range(1));
  v.m_foreScheme = fore;
  v.m_backScheme = back;
  v.m_backBrightness = back == 17 ? 60 : 100;
  v.m_active = 1;
  const auto first = TonePacket(0), second = TonePacket(480);
  int64_t frames = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    analyser.fake->QueuePacket(first);
    analyser.fake->QueuePacket(second);
    v.RenderOnce();
    ++frames;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  state.counters["cpu_share_60fps"] = frames > 0 ? seconds / static_cast<double>(frames) * 60.0 : 0.0;
}
BENCHMARK(BM_AnalyzerPass)->Args({15, 0})->Apply([](benchmark::internal::Benchmark* b) {
  for (int fore = 0; fore < visualizer::kSchemeCount; ++fore) b->Args({fore, 17});
});

// The real render thread for three seconds, active (1) or idle (0), with a packet every 10 ms.
void BM_RenderLoop(benchmark::State& state) {
  const bool active = state.range(0) != 0;
  for (auto _ : state) {
    RunningAnalyser analyser;
    Visualizer& v = analyser.visualizer;
    v.m_active = active ? 1 : 0;
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
      int start = 0;
      auto next = Clock::now();
      while (feeding) {
        analyser.fake->QueuePacket(TonePacket(start));
        start += 480;
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
      }
    });
    v.StartThread();
    const auto begin = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double cpu = std::chrono::duration<double>(v.RenderThreadCpuTime()).count();
    const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    const uint64_t frames = v.FramesRendered();
    v.Stop();
    feeding = false;
    feeder.join();
    state.counters["fps"] = static_cast<double>(frames) / wall;
    state.counters["thread_cpu_share"] = cpu / wall;
  }
}
BENCHMARK(BM_RenderLoop)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The music page's idle job without the window: the 138 key points sampled from a picture, and the
// RGB and single-colour blocks built from 108 keys.
void BM_MusicKeyBlock(benchmark::State& state) {
  std::vector<uint32_t> picture(Visualizer::kRows * Visualizer::kCols);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
  const music_keys::BandTables tables = music_keys::MakeBandTables();
  for (auto _ : state) {
    const music_keys::Sample sample = music_keys::SamplePicture(picture, tables);
    const std::span<const MusicKeyColor> keys(sample.keys.data(), std::min<size_t>(108, sample.keys.size()));
    std::vector<uint8_t> rgb = BuildMusicColorBlock(keys, {}, true);
    std::vector<uint8_t> single = BuildMusicColorBlock(keys, {}, false);
    benchmark::DoNotOptimize(rgb.data());
    benchmark::DoNotOptimize(single.data());
  }
}
BENCHMARK(BM_MusicKeyBlock)->Unit(benchmark::kMicrosecond);
