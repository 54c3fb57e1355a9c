// A scripted audio back end: tests choose the default endpoint, queue packets for the next capture
// and fire default-endpoint changes, and read back what the analyser opened, stopped and released.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/audio_capture.h"

namespace platform::audio {

class FakeAudioBackend final : public AudioBackend {
 public:
  // One scripted packet: interleaved samples, or none with `lost` for the "capture lost" packet.
  struct ScriptedPacket {
    std::vector<float> samples;
    int frames = 0;
    int channels = 2;
    bool lost = false;
  };
  struct Counts {
    int opens = 0;     // successful OpenLoopback calls
    int stops = 0;     // Stop calls on any stream
    int releases = 0;  // Release calls on any stream
  };

  FakeAudioBackend();
  ~FakeAudioBackend() override;

  // ---- scripting, any thread ----
  void SetEndpoint(std::optional<Endpoint> endpoint);
  // Queues a packet for the stream open now (or for the next one opened).
  void QueuePacket(ScriptedPacket packet);
  // A packet of `frames` stereo frames whose every sample is `value`.
  void QueueStereo(int frames, float value);
  // Fires the registered listener on the calling thread (nothing when none).
  void Notify(Flow flow, Role role);
  Counts counts() const;
  int queuedPackets() const;
  // The endpoint ids passed to OpenLoopback, in order.
  std::vector<std::string> openedIds() const;

  // ---- AudioBackend ----
  std::optional<Endpoint> DefaultEndpoint() override;
  std::unique_ptr<CaptureStream> OpenLoopback(const Endpoint& endpoint) override;
  void SetDefaultChangedListener(DefaultChangedListener listener) override;

 private:
  class Stream;
  friend class Stream;

  mutable std::mutex mutex_;
  std::optional<Endpoint> endpoint_;
  std::vector<ScriptedPacket> queue_;
  Counts counts_;
  std::vector<std::string> openedIds_;
  std::mutex listenerMutex_;  // held while the listener runs
  DefaultChangedListener listener_;
};

}  // namespace platform::audio
