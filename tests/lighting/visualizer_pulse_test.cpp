// The analyser on a real sound server: a private PulseAudio server with two null sinks plays a
// tone, and the analyser's own render thread turns what the default sink's monitor records into
// bars; a new default sink is followed, and a server that dies leaves the background.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "lighting/Visualizer.h"
#include "platform/audio/pulse_backend.h"
#include "support/pulse_server.h"
#include "support/temp_dir.h"

namespace {

using testing_support::PulseServer;
using Clock = std::chrono::steady_clock;

constexpr int kBands = 64;
constexpr uint32_t kBlack = 0;

// Lit rows (1..63) of each band's first column in a picture of white bars on black.
std::array<int, kBands> BarHeights(const Visualizer::Frame& frame) {
  std::array<int, kBands> heights{};
  for (int band = 0; band < kBands; ++band)
    for (int row = 1; row < Visualizer::kRows; ++row)
      heights[band] += frame[row * Visualizer::kCols + band * 4] != kBlack;
  return heights;
}

bool AllBackground(const Visualizer::Frame& frame) {
  return std::all_of(frame.begin(), frame.end(), [](uint32_t p) { return p == kBlack; });
}

class VisualizerPulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server_.Running()) GTEST_SKIP() << "no private PulseAudio server: " << server_.Error();
    env_.emplace("PULSE_SERVER", server_.Address());
    auto backend = std::make_unique<platform::audio::PulseAudioBackend>();
    backend_ = backend.get();
    analyser_.SetBackend(std::move(backend));
    analyser_.Init();
    analyser_.m_foreScheme = 1;  // white bars
    analyser_.m_backScheme = 0;  // on black
    analyser_.m_backBrightness = 100;
    analyser_.m_active = 1;
    ASSERT_TRUE(analyser_.StartThread());
  }
  void TearDown() override { analyser_.Stop(); }

  // Plays `hz` into the default sink on another thread while `seen` is asked of each new picture;
  // the first picture it accepts, or none within 5 s.
  template <typename Seen>
  std::optional<Visualizer::Frame> WhilePlaying(double hz, Seen seen) {
    std::thread player([&] { server_.PlayTone(hz, 0.1f, 1500); });
    std::optional<Visualizer::Frame> found;
    Visualizer::Frame frame;
    for (const auto end = Clock::now() + std::chrono::seconds(5); Clock::now() < end && !found;) {
      analyser_.CopyFrontFrame(frame);
      if (seen(frame)) found = frame;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    player.join();
    return found;
  }
  // True once the front picture is all background, within 3 s.
  bool ReachesBackground() {
    Visualizer::Frame now;
    for (const auto end = Clock::now() + std::chrono::seconds(3); Clock::now() < end;) {
      analyser_.CopyFrontFrame(now);
      if (AllBackground(now)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  static bool ToneAtBand32(const Visualizer::Frame& frame) {
    const std::array<int, kBands> h = BarHeights(frame);
    const int highest = static_cast<int>(std::max_element(h.begin(), h.end()) - h.begin());
    return h[highest] > 10 && std::abs(highest - 32) <= 2;
  }

  PulseServer server_;
  std::optional<testing_support::ScopedEnv> env_;
  Visualizer analyser_;
  platform::audio::PulseAudioBackend* backend_ = nullptr;  // the analyser's
};

TEST_F(VisualizerPulseTest, AToneLightsItsOwnBandsAndSilenceReturnsToTheBackground) {
  ASSERT_EQ(analyser_.DeviceNames().size(), 1u);
  const std::optional<Visualizer::Frame> frame = WhilePlaying(3000, ToneAtBand32);
  ASSERT_TRUE(frame) << "no picture with the highest bar near band 32";
  const std::array<int, kBands> h = BarHeights(*frame);
  for (int band = 0; band < 16; ++band) EXPECT_EQ(h[band], 0) << band;
  for (int band = 57; band < kBands; ++band) EXPECT_EQ(h[band], 0) << band;

  // The sink goes idle: the bars fade to the background.
  EXPECT_TRUE(ReachesBackground());
}

TEST_F(VisualizerPulseTest, ANewDefaultSinkIsFollowedAndALostServerLeavesTheBackground) {
  ASSERT_TRUE(server_.SetDefaultSink(PulseServer::kSecondSink));
  EXPECT_TRUE(WhilePlaying(3000, ToneAtBand32)) << "the tone on the new default sink was not seen";

  ASSERT_TRUE(server_.Kill());
  EXPECT_TRUE(ReachesBackground());
  EXPECT_FALSE(analyser_.Capturing());
  EXPECT_EQ(backend_->ExpiredWaits(), 0) << "the tries to reach the gone server waited for an answer";
  analyser_.Stop();
}

}  // namespace
