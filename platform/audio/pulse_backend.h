// Loopback capture through the PulseAudio client library (also served by PipeWire's Pulse service).
//
// A threaded main loop runs the connection. The public calls take its lock only for short,
// bounded waits (2 s for the connection and server queries, 1 s for a stream to start); packets
// are handed out from a queue of their own, so Next and Release never wait for the server.
// Default-device changes reach the listener from a notification thread of this back end, never
// from the main loop's thread and never under its lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/audio/audio_capture.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_operation;

namespace platform::audio {

// What a record stream has delivered, cut into packets of 480 stereo float frames (10 ms at
// 48 kHz) for the consumer. At most 200 ms wait; the oldest go first. Thread-safe: the main loop
// appends, the consumer takes packets without waiting for the server.
class CaptureQueue {
 public:
  static constexpr int kFrames = 480;
  static constexpr int kChannels = 2;
  static constexpr size_t kMaxWaiting = 20;

  // Adds `bytes` of interleaved float samples; null `data` is a hole in the stream, taken as
  // silence of that length. Nothing is added once lost or stopped.
  void Append(const void* data, size_t bytes);
  // The capture broke: after the packets already waiting, one packet of null data and kFrames.
  void MarkLost();
  // Drops what waits; Next gives 0 frames from now on.
  void Stop();
  bool stopped() const;
  // As CaptureStream::Next and Release.
  Packet Next();
  void Release();

 private:
  mutable std::mutex mutex_;
  std::deque<std::vector<float>> waiting_;
  std::vector<uint8_t> partial_;  // bytes short of a whole packet
  std::vector<float> current_;    // the packet handed out by Next
  bool holding_ = false;
  bool holdingLost_ = false;
  bool lost_ = false;
  bool lostGiven_ = false;
  bool stopped_ = false;
};

class PulseAudioBackend final : public AudioBackend {
 public:
  PulseAudioBackend();
  // Stops the open streams (they then give 0 frames), disconnects and stops the main loop.
  ~PulseAudioBackend() override;
  PulseAudioBackend(const PulseAudioBackend&) = delete;
  PulseAudioBackend& operator=(const PulseAudioBackend&) = delete;

  // The server's default sink, connecting first when there is no connection.
  std::optional<Endpoint> DefaultEndpoint() override;
  // Records the monitor of the sink that is default now; `endpoint` only names what the caller
  // saw, the default may have changed since.
  std::unique_ptr<CaptureStream> OpenLoopback(const Endpoint& endpoint) override;
  void SetDefaultChangedListener(DefaultChangedListener listener) override;

  // How many of the bounded waits on the server ran out (a server that did not answer in time).
  int ExpiredWaits() const { return expiredWaits_.load(); }

 private:
  friend class PulseCaptureStream;
  // Shared between a capture stream, its main-loop callbacks and this back end.
  struct StreamState;
  // Lets a stream that outlives the back end find out that it is gone.
  struct Link;
  struct ServerInfo {
    std::string defaultSink;
    std::string defaultSource;
  };

  // All of these run with the main-loop lock held.
  bool ConnectLocked();
  void DropContextLocked();
  // Waits on the main loop until `done` holds or `timeoutUs` passed; whether it holds.
  bool WaitLocked(const std::function<bool()>& done, uint64_t timeoutUs);
  std::optional<ServerInfo> QueryServerLocked();
  std::optional<std::string> MonitorOfLocked(const std::string& sink);
  // Waits within the query bound for `done`, which the callback of `op` sets; cancels `op` when it
  // did not finish. False for no operation or one that did not finish.
  bool FinishQueryLocked(pa_operation* op, const bool& done);
  void MarkStreamsLostLocked();
  void ReleaseStreamLocked(StreamState& state);
  void OnDefaultsLocked(const char* sink, const char* source);

  void Notify(Flow flow, Role role);
  void NotifierLoop();

  std::mutex callMutex_;  // one public call at a time talks to the server
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;                      // main-loop lock
  bool connected_ = false;                             // main-loop lock: context ready and not failed since
  bool loggedNoServer_ = false;                        // one log line per run of failed connections
  ServerInfo known_;                                   // main-loop lock: the defaults last seen
  std::vector<std::shared_ptr<StreamState>> streams_;  // main-loop lock: the open streams
  std::shared_ptr<Link> link_;
  std::atomic<int> expiredWaits_{0};

  std::mutex notifyMutex_;
  std::condition_variable notifyWake_;
  std::deque<std::pair<Flow, Role>> pending_;  // notifyMutex_
  bool stopping_ = false;                      // notifyMutex_
  std::mutex listenerMutex_;                   // guards listener_
  std::mutex callingMutex_;                    // held while the listener runs
  DefaultChangedListener listener_;
  std::thread notifier_;
};

}  // namespace platform::audio
