#include "platform/audio/pulse_backend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "support/pulse_server.h"
#include "support/temp_dir.h"

namespace platform::audio {
namespace {

using testing_support::PulseServer;
using testing_support::ScopedEnv;
using testing_support::WaitFor;
using Clock = std::chrono::steady_clock;

struct PacketStats {
  int frames = 0;
  int channels = 0;
  float peak = 0;
  int crossings = 0;  // sign changes of the left channel
  bool sameChannels = true;
};

PacketStats Measure(const Packet& packet) {
  PacketStats stats{packet.frames, packet.channels};
  for (int i = 0; i < packet.frames; ++i) {
    const float left = packet.data[i * packet.channels];
    stats.peak = std::max(stats.peak, std::fabs(left));
    if (packet.channels > 1 && packet.data[i * packet.channels + 1] != left) stats.sameChannels = false;
    if (i > 0 && (left >= 0) != (packet.data[(i - 1) * packet.channels] >= 0)) ++stats.crossings;
  }
  return stats;
}

// Every packet waiting now, measured and released.
std::vector<PacketStats> Drain(CaptureStream& stream) {
  std::vector<PacketStats> all;
  for (Packet p = stream.Next(); p.frames > 0; p = stream.Next()) {
    if (p.data) all.push_back(Measure(p));
    stream.Release();
  }
  return all;
}

// Packets carrying the tone, without the first and the last (the tone may start or end inside them).
std::vector<PacketStats> ToneCore(const std::vector<PacketStats>& all) {
  std::vector<PacketStats> tone;
  for (const PacketStats& s : all)
    if (s.peak > 0.01f) tone.push_back(s);
  if (tone.size() < 3) return {};
  return {tone.begin() + 1, tone.end() - 1};
}

void ExpectTone(const std::vector<PacketStats>& tone) {
  for (const PacketStats& s : tone) {
    EXPECT_EQ(s.frames, 480);
    EXPECT_EQ(s.channels, 2);
    EXPECT_NEAR(s.peak, 0.1f, 0.005f);
    EXPECT_NEAR(s.crossings, 60, 3);  // 3000 Hz over 10 ms
    EXPECT_TRUE(s.sameChannels);
  }
}

// Samples counting up from `first`.
std::vector<float> Ramp(float first, size_t count) {
  std::vector<float> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = first + static_cast<float>(i);
  return samples;
}

TEST(CaptureQueueTest, CutsWholePacketsKeepsTheNewestAndEndsWithOneLostPacket) {
  constexpr size_t kFloats = 960;
  CaptureQueue queue;
  // Chunks that split samples and packets anywhere still give whole, ordered packets.
  const std::vector<float> ramp = Ramp(0, 2 * kFloats);
  const auto* bytes = reinterpret_cast<const uint8_t*>(ramp.data());
  queue.Append(bytes, 3);
  EXPECT_EQ(queue.Next().frames, 0);
  queue.Append(bytes + 3, 5000);
  queue.Append(bytes + 5003, ramp.size() * sizeof(float) - 5003);
  for (float first : {0.0f, 960.0f}) {
    const Packet p = queue.Next();
    ASSERT_EQ(p.frames, 480);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(queue.Next().data, p.data);  // the same until released
    EXPECT_EQ(p.data[0], first);
    EXPECT_EQ(p.data[kFloats - 1], first + 959);
    queue.Release();
  }
  EXPECT_EQ(queue.Next().frames, 0);

  // A hole is silence of its length, and capture goes on after it.
  const std::vector<float> half(kFloats / 2, 0.5f);
  queue.Append(half.data(), half.size() * sizeof(float));
  queue.Append(nullptr, kFloats * sizeof(float));
  Packet p = queue.Next();
  ASSERT_NE(p.data, nullptr);
  EXPECT_EQ(p.data[kFloats / 2 - 1], 0.5f);
  EXPECT_EQ(p.data[kFloats / 2], 0.0f);
  queue.Release();
  queue.Append(half.data(), half.size() * sizeof(float));
  p = queue.Next();
  ASSERT_NE(p.data, nullptr);
  EXPECT_EQ(p.data[0], 0.0f);
  EXPECT_EQ(p.data[kFloats - 1], 0.5f);
  queue.Release();

  // Unread, only the newest 200 ms wait.
  for (int i = 0; i < 25; ++i) {
    const std::vector<float> packet(kFloats, static_cast<float>(i));
    queue.Append(packet.data(), packet.size() * sizeof(float));
  }
  // Loss comes after what waits, once; later data is not taken.
  queue.MarkLost();
  queue.Append(ramp.data(), kFloats * sizeof(float));
  std::vector<float> firsts;
  for (p = queue.Next(); p.data; p = queue.Next()) {
    firsts.push_back(p.data[0]);
    queue.Release();
  }
  ASSERT_EQ(firsts.size(), CaptureQueue::kMaxWaiting);
  EXPECT_EQ(firsts.front(), 5.0f);
  EXPECT_EQ(firsts.back(), 24.0f);
  EXPECT_EQ(p.frames, 480);
  queue.Release();
  EXPECT_EQ(queue.Next().frames, 0);

  // A stopped queue gives nothing, not even a loss.
  CaptureQueue stopped;
  stopped.Append(ramp.data(), kFloats * sizeof(float));
  stopped.Stop();
  stopped.MarkLost();
  EXPECT_EQ(stopped.Next().frames, 0);
}

class PulseBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server_.Running()) GTEST_SKIP() << "no private PulseAudio server: " << server_.Error();
    env_.emplace("PULSE_SERVER", server_.Address());
  }

  PulseServer server_;
  std::optional<ScopedEnv> env_;
};

TEST(PulseBackendNoServerTest, MissingSocketGivesNoEndpointWithinTheBound) {
  testing_support::TempDir dir;
  ScopedEnv server("PULSE_SERVER", "unix:" + dir.path() + "missing");
  PulseAudioBackend backend;
  EXPECT_FALSE(backend.DefaultEndpoint());
  EXPECT_EQ(backend.OpenLoopback(Endpoint{"anything"}), nullptr);
  EXPECT_FALSE(backend.DefaultEndpoint());  // tries again, still nothing
  EXPECT_EQ(backend.ExpiredWaits(), 0) << "a refused connection is known at once";
}

TEST_F(PulseBackendTest, RecordsTheToneOfTheDefaultSinkInWholePackets) {
  auto backend = MakePulseAudioBackend();
  const std::optional<Endpoint> endpoint = backend->DefaultEndpoint();
  ASSERT_TRUE(endpoint);
  EXPECT_EQ(endpoint->id, PulseServer::kFirstSink);
  std::unique_ptr<CaptureStream> stream = backend->OpenLoopback(*endpoint);
  ASSERT_NE(stream, nullptr);

  // Read while it plays.
  std::vector<PacketStats> seen;
  std::atomic<bool> played{false}, finished{false};
  std::thread player([&] {
    played = server_.PlayTone(3000, 0.1f, 600);
    finished = true;
  });
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!finished && Clock::now() < deadline) {
    std::vector<PacketStats> now = Drain(*stream);
    seen.insert(seen.end(), now.begin(), now.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  player.join();
  ASSERT_TRUE(played);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::vector<PacketStats> rest = Drain(*stream);
  seen.insert(seen.end(), rest.begin(), rest.end());
  const std::vector<PacketStats> tone = ToneCore(seen);
  EXPECT_GE(tone.size(), 40u);
  ExpectTone(tone);

  // Unread, the queue keeps the newest 200 ms only.
  ASSERT_TRUE(server_.PlayTone(3000, 0.1f, 600));
  const std::vector<PacketStats> kept = Drain(*stream);
  // Silence that arrives while a slow drain runs may follow; of the 600 ms tone, 200 ms at most.
  EXPECT_LE(std::count_if(kept.begin(), kept.end(), [](const PacketStats& s) { return s.peak > 0.01f; }), 20);
  EXPECT_GE(ToneCore(kept).size(), 10u);
  ExpectTone(ToneCore(kept));

  // Next without Release hands out the same packet; after Stop nothing comes.
  ASSERT_TRUE(server_.PlayTone(3000, 0.1f, 50));
  const Packet held = stream->Next();
  ASSERT_GT(held.frames, 0);
  EXPECT_EQ(stream->Next().data, held.data);
  stream->Stop();
  EXPECT_EQ(stream->Next().frames, 0);
  stream->Stop();
}

TEST_F(PulseBackendTest, ReportsANewDefaultSinkOnceAndCaptureFollowsIt) {
  auto backend = MakePulseAudioBackend();
  ASSERT_TRUE(backend->DefaultEndpoint());
  std::unique_ptr<CaptureStream> first = backend->OpenLoopback(Endpoint{PulseServer::kFirstSink});
  ASSERT_NE(first, nullptr);

  std::mutex mutex;
  int renderConsole = 0, others = 0;
  std::string seenDefault;
  backend->SetDefaultChangedListener([&](Flow flow, Role role) {
    // Calling back into the back end from the listener must not deadlock.
    const std::optional<Endpoint> now = backend->DefaultEndpoint();
    std::lock_guard guard(mutex);
    if (flow == Flow::kRender && role == Role::kConsole) {
      ++renderConsole;
      seenDefault = now ? now->id : "";
    } else if (flow != Flow::kCapture || role != Role::kConsole) {
      ++others;
    }
  });
  ASSERT_TRUE(server_.SetDefaultSink(PulseServer::kSecondSink));
  EXPECT_TRUE(WaitFor([&] {
    std::lock_guard guard(mutex);
    return renderConsole > 0;
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  {
    std::lock_guard guard(mutex);
    EXPECT_EQ(renderConsole, 1);
    EXPECT_EQ(others, 0);
    EXPECT_EQ(seenDefault, PulseServer::kSecondSink);
  }

  // A new capture records the new default; the old one stays on its sink.
  const std::optional<Endpoint> endpoint = backend->DefaultEndpoint();
  ASSERT_TRUE(endpoint);
  EXPECT_EQ(endpoint->id, PulseServer::kSecondSink);
  std::unique_ptr<CaptureStream> second = backend->OpenLoopback(*endpoint);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(server_.PlayTone(3000, 0.1f, 150));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_GE(ToneCore(Drain(*second)).size(), 5u);
  for (const PacketStats& s : Drain(*first)) EXPECT_LT(s.peak, 0.01f);

  // Unregistering waits for a call in progress, and none starts after it.
  std::atomic<bool> entered{false}, left{false};
  std::atomic<int> calls{0};
  backend->SetDefaultChangedListener([&](Flow, Role) {
    ++calls;
    entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    left = true;
  });
  ASSERT_TRUE(server_.SetDefaultSink(PulseServer::kFirstSink));
  ASSERT_TRUE(WaitFor([&] { return entered.load(); }));
  backend->SetDefaultChangedListener({});
  EXPECT_TRUE(left);
  const int before = calls;
  ASSERT_TRUE(server_.SetDefaultSink(PulseServer::kSecondSink));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(calls, before);
}

TEST_F(PulseBackendTest, KilledServerEndsCaptureWithOneLostPacketAndTeardownDoesNotHang) {
  auto backend = std::make_unique<PulseAudioBackend>();
  const std::optional<Endpoint> endpoint = backend->DefaultEndpoint();
  ASSERT_TRUE(endpoint);
  std::unique_ptr<CaptureStream> stream = backend->OpenLoopback(*endpoint);
  ASSERT_NE(stream, nullptr);
  std::atomic<int> changes{0};
  backend->SetDefaultChangedListener([&](Flow, Role) { ++changes; });

  ASSERT_TRUE(server_.Kill());
  int lost = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (lost == 0 && Clock::now() < deadline) {
    const Packet p = stream->Next();
    if (p.frames > 0 && !p.data) ++lost;
    if (p.frames > 0)
      stream->Release();
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(stream->Next().frames, 0);  // only one

  EXPECT_FALSE(backend->DefaultEndpoint());
  EXPECT_EQ(backend->OpenLoopback(*endpoint), nullptr);
  EXPECT_EQ(backend->ExpiredWaits(), 0) << "a gone server is known at once";
  // The stream may outlive its back end.
  backend.reset();
  EXPECT_EQ(stream->Next().frames, 0);
  stream.reset();
  EXPECT_EQ(changes, 0);
}

}  // namespace
}  // namespace platform::audio
