// The analyser over the scripted audio back end and a virtual clock: how packets are read, the
// levels against a direct DFT in double, the render loop, the device list and the thread's lifetime.
#include "lighting/Visualizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "platform/audio/fake/fake_audio_backend.h"
#include "platform/clock/clock.h"

namespace {

using platform::audio::FakeAudioBackend;
using platform::audio::Flow;
using platform::audio::Role;
using SteadyTime = std::chrono::steady_clock;

constexpr double kPi = 3.14159265358979323846;

// Hands the analyser a back end the test keeps, so that it can be scripted and inspected after the
// analyser let go of it.
class Forwarding final : public platform::audio::AudioBackend {
 public:
  Forwarding(FakeAudioBackend& fake, std::atomic<int>& destroyed) : fake_(fake), destroyed_(destroyed) {}
  ~Forwarding() override { ++destroyed_; }
  std::optional<platform::audio::Endpoint> DefaultEndpoint() override { return fake_.DefaultEndpoint(); }
  std::unique_ptr<platform::audio::CaptureStream> OpenLoopback(const platform::audio::Endpoint& e) override {
    return fake_.OpenLoopback(e);
  }
  void SetDefaultChangedListener(DefaultChangedListener listener) override {
    fake_.SetDefaultChangedListener(std::move(listener));
  }

 private:
  FakeAudioBackend& fake_;
  std::atomic<int>& destroyed_;
};

struct Rig {
  platform::VirtualClock clock;
  FakeAudioBackend fake;
  std::atomic<int> backendsDestroyed{0};
  Visualizer v;

  explicit Rig(bool endpoint = true, bool init = true) {
    if (!endpoint) fake.SetEndpoint(std::nullopt);
    v.SetBackend(std::make_unique<Forwarding>(fake, backendsDestroyed));
    v.SetClock(&clock);
    if (init) v.Init();
  }
};

FakeAudioBackend::ScriptedPacket Packet(std::vector<float> samples, int frames, int channels) {
  return FakeAudioBackend::ScriptedPacket{std::move(samples), frames, channels, false};
}

// A stereo tone (plus an offset) as 480-frame packets of 48 kHz.
FakeAudioBackend::ScriptedPacket Tone(int start, double hz, double amplitude, double offset = 0.0) {
  std::vector<float> samples(960);
  for (int i = 0; i < 480; ++i) {
    samples[2 * i] = samples[2 * i + 1] =
        static_cast<float>(offset + amplitude * std::sin(2.0 * kPi * hz * (start + i) / 48000.0));
  }
  return Packet(std::move(samples), 480, 2);
}

float MaxOf(const Visualizer::Levels& levels) { return *std::max_element(levels.begin(), levels.end()); }

// The analysis in double with a direct DFT: window on the older half, DC replaced by value 2, the
// gain ramp, peak hold under an 80 % decay, bands four columns wide, the moving average.
struct ReferenceAnalysis {
  visualizer::LevelArray levels{};
  bool replaceDc = true;

  void Frame(const Visualizer::History& history) {
    for (float& level : levels) level *= 0.8f;
    std::vector<double> x(history.begin(), history.end());
    for (int j = 0; j < 256; ++j) x[j] *= (1.0 - std::cos(2.0 * kPi * j / 256)) * 0.5;
    std::vector<double> packed(512);
    for (int k = 0; k <= 256; ++k) {
      double re = 0.0, im = 0.0;
      for (int j = 0; j < 512; ++j) {
        re += x[j] * std::cos(2.0 * kPi * j * k / 512);
        im += x[j] * std::sin(2.0 * kPi * j * k / 512);
      }
      if (k == 0)
        packed[0] = re / 512;
      else if (k == 256)
        packed[1] = re / 512;
      else if (k < 256) {
        packed[2 * k] = re / 512;
        packed[2 * k + 1] = im / 512;
      }
    }
    if (replaceDc) packed[0] = packed[2];
    for (int i = 0; i < 256; ++i) packed[i] *= 0.04 + 0.5 * i / 256;
    for (int b = 0; b < 64; ++b) {
      const double m = std::hypot(packed[2 * b], packed[2 * b + 1]);
      const double value = std::min(0.5 * std::log10(1.1 * m) + 0.9 * m, 1.0);
      float& level = levels[4 * b];
      if (value > level) level = static_cast<float>(value);
      if (level < 0.0f) level = 0.0f;
      levels[4 * b + 1] = levels[4 * b + 2] = levels[4 * b + 3] = level;
    }
    visualizer::SmoothLevels(levels, 1, 8);
  }
};

void ExpectLevels(const Visualizer& v, const ReferenceAnalysis& reference, const char* when) {
  const Visualizer::Levels levels = v.LevelsView();
  for (int i = 0; i < 256; ++i) ASSERT_NEAR(levels[i], reference.levels[i], 1e-5) << when << ", level " << i;
  const Visualizer::Levels display = v.DisplayLevelsView();
  for (int i = 0; i < 256; ++i)
    ASSERT_NEAR(display[i], levels[i], 1e-7) << when << ": the display follows at once";
}

TEST(VisualizerAnalysis, ReadsGroupsOfFourFromTheFirstHalfOfEachPacket) {
  Rig rig;
  rig.v.m_gain = 3;
  // 8 stereo frames: two groups (ceil(8 / 4)) from floats 0..7; floats 8..15 are never read.
  rig.fake.QueuePacket(Packet({1, 2, 3, 4, 5, 6, 7, 8, 900, 900, 900, 900, 900, 900, 900, 900}, 8, 2));
  // One stereo frame holds two floats: its group would read past the packet, so nothing is read.
  rig.fake.QueuePacket(Packet({50, 50}, 1, 2));
  // 5 mono frames: two groups by the frame count, but only one lies inside the 5 floats.
  rig.fake.QueuePacket(Packet({1, 1, 1, 1, 60}, 5, 1));
  rig.v.AnalyzeOnce();
  Visualizer::History h = rig.v.SampleHistoryView();
  const float newest[7] = {0.0f, 15.0f, 15.0f, 39.0f, 39.0f, 6.0f, 6.0f};  // means x 2 x 3, each twice
  for (int i = 0; i < 7; ++i) EXPECT_FLOAT_EQ(h[505 + i], newest[i]) << "position " << 505 + i;
  EXPECT_EQ(rig.fake.counts().releases, 3);

  // Non-finite samples count as 0, and so does a mean that overflows under the gain.
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  rig.v.m_gain = 270;
  std::vector<float> odd(24, 0.0f);
  const float groups[12] = {nan, 1, 1, 1, inf, -inf, 2, 2, 3e38f, 3e38f, 3e38f, 3e38f};
  std::copy(groups, groups + 12, odd.begin());
  rig.fake.QueuePacket(Packet(odd, 12, 2));
  rig.v.AnalyzeOnce();
  h = rig.v.SampleHistoryView();
  EXPECT_FLOAT_EQ(h[506], 0.75f * 2 * 270);
  EXPECT_FLOAT_EQ(h[508], 1.0f * 2 * 270);
  EXPECT_EQ(h[510], 0.0f);
  for (float value : h) ASSERT_TRUE(std::isfinite(value));
  for (float level : rig.v.LevelsView()) ASSERT_TRUE(std::isfinite(level));
  // Packets longer than the history keep only its newest 256 samples.
  std::vector<float> ramp(4096);
  for (int i = 0; i < 4096; ++i) ramp[i] = static_cast<float>(i / 4);
  rig.v.m_gain = 1;
  rig.fake.QueuePacket(Packet(ramp, 2048, 2));
  rig.v.AnalyzeOnce();
  h = rig.v.SampleHistoryView();
  EXPECT_FLOAT_EQ(h[511], 2.0f * 511);
  EXPECT_FLOAT_EQ(h[0], 2.0f * 256);
}

TEST(VisualizerAnalysis, LevelsMatchADirectDftWithPeakHoldAndDecay) {
  Rig rig;
  rig.v.m_gain = 10;
  ReferenceAnalysis reference, keptDc;
  keptDc.replaceDc = false;
  rig.fake.QueuePacket(Tone(0, 3000.0, 0.5, 0.9));
  rig.fake.QueuePacket(Tone(480, 3000.0, 0.5, 0.9));
  rig.v.AnalyzeOnce();
  reference.Frame(rig.v.SampleHistoryView());
  keptDc.Frame(rig.v.SampleHistoryView());
  ExpectLevels(rig.v, reference, "first frame");
  EXPECT_GT(MaxOf(rig.v.LevelsView()), 0.1f);
  EXPECT_GT(std::fabs(rig.v.LevelsView()[0] - keptDc.levels[0]), 1e-3f) << "band 0 is (value 2, value 1)";

  // No packet for less than 100 ms: the same history, levels held against the decay.
  for (int frame = 0; frame < 3; ++frame) {
    rig.clock.advance(15);
    rig.v.AnalyzeOnce();
    reference.Frame(rig.v.SampleHistoryView());
    ExpectLevels(rig.v, reference, "held");
  }
  // A quieter tone: the held peaks decay towards it.
  rig.fake.QueuePacket(Tone(960, 3000.0, 0.1));
  rig.fake.QueuePacket(Tone(1440, 3000.0, 0.1));
  rig.v.AnalyzeOnce();
  reference.Frame(rig.v.SampleHistoryView());
  ExpectLevels(rig.v, reference, "quieter");

  // 100 ms without a packet zeroes the history; from then on every frame takes a fifth off.
  rig.clock.advance(100);
  float before = MaxOf(rig.v.LevelsView());
  for (int frame = 0; frame < 30; ++frame) {
    rig.v.AnalyzeOnce();
    for (float value : rig.v.SampleHistoryView()) ASSERT_EQ(value, 0.0f);
    const float now = MaxOf(rig.v.LevelsView());
    ASSERT_LE(now, before * 0.8f + 1e-7f) << "frame " << frame;
    before = now;
  }
}

TEST(VisualizerRender, InactiveRendersNothingAndThePhaseWraps) {
  Rig rig;
  rig.v.m_backScheme = 19;  // whole picture in the hue of the phase
  rig.v.RenderOnce();
  EXPECT_EQ(rig.v.FramesRendered(), 0u);
  EXPECT_EQ(rig.v.FrontPixel(10, 10), 0u) << "the frames exist, black, before any render";
  EXPECT_EQ(rig.v.Phase(), 0.0f);

  rig.v.m_active = 1;
  for (int frame = 0; frame < 72; ++frame) rig.v.RenderOnce();
  EXPECT_EQ(rig.v.Phase(), 360.0f);
  EXPECT_EQ(rig.v.FrontPixel(63, 255), visualizer::HsvToRgb(355, 255, 255));
  rig.v.RenderOnce();  // 360 is painted as 0
  EXPECT_EQ(rig.v.FrontPixel(0, 0), visualizer::HsvToRgb(0, 255, 255));
  EXPECT_EQ(rig.v.Phase(), 5.0f);

  // Each frame is published whole once composed; settings are read per frame.
  rig.v.m_backScheme = 2;
  rig.v.m_backBrightness = 50;
  rig.v.RenderOnce();
  Visualizer::Frame frame;
  rig.v.CopyFrontFrame(frame);
  for (uint32_t pixel : frame) ASSERT_EQ(pixel, visualizer::Pixel(126, 0, 0));
  rig.v.m_backScheme = 99;  // unknown: the scheme frame keeps its pixels
  rig.v.RenderOnce();
  EXPECT_EQ(rig.v.FrontPixel(5, 5), visualizer::Pixel(126, 0, 0));
  EXPECT_EQ(rig.v.FrontPixel(64, 0), 0u);
  EXPECT_EQ(rig.v.FramesRendered(), 75u);
}

TEST(VisualizerRender, BarsOverTheBackgroundAndSilenceFadesToIt) {
  Rig rig;
  rig.v.m_active = 1;
  rig.v.m_foreScheme = 1;  // white bars on black
  rig.v.m_gain = 20;
  for (int frame = 0; frame < 4; ++frame) {
    rig.fake.QueuePacket(Tone(960 * frame, 3000.0, 0.5));
    rig.fake.QueuePacket(Tone(960 * frame + 480, 3000.0, 0.5));
    rig.v.RenderOnce();
    rig.clock.advance(16);
  }
  const Visualizer::Levels display = rig.v.DisplayLevelsView();
  const int peak = static_cast<int>(std::max_element(display.begin(), display.end()) - display.begin());
  EXPECT_NEAR(peak / 4, 32, 2) << "3000 Hz lies near band 32";
  EXPECT_EQ(rig.v.FrontPixel(63, peak), visualizer::Pixel(254, 254, 254));
  EXPECT_EQ(rig.v.FrontPixel(63, 5), 0u);

  // A stopped player sends nothing: within a bounded number of frames every pixel is background.
  bool allBackground = false;
  for (int frame = 0; frame < 60 && !allBackground; ++frame) {
    rig.clock.advance(16);
    rig.v.RenderOnce();
    Visualizer::Frame out;
    rig.v.CopyFrontFrame(out);
    allBackground = std::all_of(out.begin(), out.end(), [](uint32_t p) { return p == 0u; });
  }
  EXPECT_TRUE(allBackground);
}

TEST(VisualizerDevices, OneDefaultEntryAndTheIndexRule) {
  {
    testing::internal::CaptureStderr();
    Rig none(false);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(none.v.DeviceNames().empty());
    EXPECT_FALSE(none.v.Capturing());
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    none.v.m_deviceIndex = 4;
    none.v.OpenCapture();
    EXPECT_EQ(none.fake.counts().opens, 0);
    EXPECT_EQ(none.v.m_deviceIndex, 4) << "an empty list opens nothing and keeps the index";
    none.v.m_active = 1;
    none.v.m_backScheme = 5;
    none.v.RenderOnce();
    EXPECT_EQ(none.v.FrontPixel(0, 0), visualizer::Pixel(0, 254, 0)) << "the background without a server";
  }
  Visualizer noBackend;
  testing::internal::CaptureStderr();
  noBackend.Init();
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(noBackend.DeviceNames().empty() && !noBackend.Capturing());
  Rig rig;
  ASSERT_EQ(rig.v.DeviceNames(), std::vector<std::wstring>{L"Default Loopback Device"});
  EXPECT_TRUE(rig.v.Capturing());
  EXPECT_EQ(rig.fake.counts().opens, 1);
  for (int index : {1, 7, -1, -100}) {
    rig.v.m_deviceIndex = index;
    rig.v.OpenCapture();
    EXPECT_EQ(rig.v.m_deviceIndex, 0) << index;
  }
  EXPECT_EQ(rig.fake.counts().opens, 5);
  EXPECT_EQ(rig.fake.counts().stops, 4) << "each replacement stops the old stream first";
  EXPECT_EQ(rig.fake.openedIds().back(), "fake.monitor");
}

TEST(VisualizerDevices, FollowsTheDefaultForRenderConsoleOnly) {
  Rig rig;
  rig.fake.SetEndpoint(platform::audio::Endpoint{"second.monitor"});
  for (auto [flow, role] : {std::pair{Flow::kRender, Role::kMultimedia},
                            {Flow::kRender, Role::kCommunications},
                            {Flow::kCapture, Role::kConsole}}) {
    rig.fake.Notify(flow, role);
  }
  EXPECT_EQ(rig.fake.counts().opens, 1);
  rig.fake.Notify(Flow::kRender, Role::kConsole);
  EXPECT_EQ(rig.fake.counts().opens, 2);
  EXPECT_EQ(rig.fake.openedIds().back(), "second.monitor");
  EXPECT_EQ(rig.v.DeviceNames().size(), 1u);
  rig.fake.SetEndpoint(std::nullopt);
  rig.fake.Notify(Flow::kRender, Role::kConsole);
  EXPECT_TRUE(rig.v.DeviceNames().empty());
  EXPECT_EQ(rig.fake.counts().opens, 2);
}

TEST(VisualizerDevices, LostCaptureAndStallsZeroTheHistory) {
  Rig rig;
  rig.v.m_gain = 1;
  rig.fake.QueueStereo(480, 0.25f);
  rig.v.AnalyzeOnce();
  EXPECT_FLOAT_EQ(rig.v.SampleHistoryView()[511], 0.5f);
  rig.clock.advance(99);
  rig.v.AnalyzeOnce();
  EXPECT_FLOAT_EQ(rig.v.SampleHistoryView()[511], 0.5f) << "99 ms without a packet";
  rig.clock.advance(1);
  rig.v.AnalyzeOnce();
  EXPECT_EQ(rig.v.SampleHistoryView()[511], 0.0f) << "100 ms without a packet";

  rig.fake.QueueStereo(480, 0.25f);
  rig.v.AnalyzeOnce();
  EXPECT_FLOAT_EQ(rig.v.SampleHistoryView()[511], 0.5f);
  rig.fake.QueuePacket(FakeAudioBackend::ScriptedPacket{{}, 480, 2, true});
  rig.fake.QueueStereo(480, 0.5f);
  rig.v.AnalyzeOnce();
  EXPECT_FALSE(rig.v.Capturing());
  EXPECT_EQ(rig.fake.counts().stops, 1);
  EXPECT_EQ(rig.v.SampleHistoryView()[511], 0.0f) << "capture stopped";
  rig.v.AnalyzeOnce();
  EXPECT_EQ(rig.v.SampleHistoryView()[511], 0.0f) << "off until the next open";
  EXPECT_EQ(rig.fake.queuedPackets(), 1);
  rig.v.OpenCapture();
  EXPECT_TRUE(rig.v.Capturing());
  rig.v.AnalyzeOnce();
  EXPECT_FLOAT_EQ(rig.v.SampleHistoryView()[511], 1.0f);
}

TEST(VisualizerDevices, NotificationsDuringDrainsOnAnotherThread) {
  Rig rig;
  rig.v.m_active = 1;
  std::atomic<bool> feeding{true};
  std::thread feeder([&] {
    for (int i = 0; feeding && i < 2000; ++i) {
      rig.fake.QueueStereo(480, 0.1f);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });
  ASSERT_TRUE(rig.v.StartThread());
  for (int i = 0; i < 40; ++i) {
    rig.fake.Notify(Flow::kRender, Role::kConsole);
    rig.v.m_foreScheme = i % 21;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  feeding = false;
  feeder.join();
  EXPECT_TRUE(rig.v.Capturing()) << "no stream lost";
  EXPECT_EQ(rig.fake.counts().opens, 41);
  EXPECT_EQ(rig.fake.counts().stops, 40);
  rig.v.Stop();
  EXPECT_GT(rig.v.FramesRendered(), 0u);
}

TEST(VisualizerLifetime, StopWakesTheThreadAndNothingRunsAfterIt) {
  {
    Rig idle;
    ASSERT_TRUE(idle.v.StartThread());
    EXPECT_FALSE(idle.v.StartThread());
    const auto napping = SteadyTime::now() + std::chrono::seconds(5);
    while (idle.v.Waits().begun == 0 && SteadyTime::now() < napping)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(idle.v.Waits().begun, 1u) << "into a 500 ms nap";
    idle.v.Stop();
    EXPECT_EQ(idle.v.Waits().cutShort, 1u) << "Stop waited for the nap to end";
  }
  Rig rig;
  rig.v.m_active = 1;
  ASSERT_TRUE(rig.v.StartThread());
  const auto start = SteadyTime::now();
  while (rig.v.FramesRendered() < 3 && SteadyTime::now() - start < std::chrono::seconds(5)) {
    rig.fake.QueueStereo(480, 0.2f);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_GE(rig.v.FramesRendered(), 3u);
  rig.v.Stop();
  const uint64_t frames = rig.v.FramesRendered();
  EXPECT_FALSE(rig.v.Capturing());
  EXPECT_EQ(rig.backendsDestroyed, 1) << "disconnected";
  const int opens = rig.fake.counts().opens;
  rig.fake.Notify(Flow::kRender, Role::kConsole);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  EXPECT_EQ(rig.v.FramesRendered(), frames);
  EXPECT_EQ(rig.fake.counts().opens, opens) << "no listener after stop";
  EXPECT_FALSE(rig.v.StartThread());
  rig.v.Stop();  // a second stop does nothing
  rig.v.OpenCapture();
  EXPECT_FALSE(rig.v.Capturing());

  // The destructor stops a running analyser by itself (a thread left running would end the program).
  {
    Rig running;
    running.v.m_active = 1;
    ASSERT_TRUE(running.v.StartThread());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace
