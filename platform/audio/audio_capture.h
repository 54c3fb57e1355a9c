// Loopback capture of what the computer plays, without exposing the sound server to the caller.
// The analyser of the music page reads packets from here on its render thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform::audio {

// Which way a default endpoint that changed carries sound, and what it is default for.
enum class Flow { kRender, kCapture };
enum class Role { kConsole, kMultimedia, kCommunications };

// A playback endpoint whose sound can be captured.
struct Endpoint {
  std::string id;  // the server's name for it
};

// One packet of captured sound. `data` holds frames x channels interleaved floats and stays valid
// until Release. Null data with frames above 0 means the capture was lost (the stream failed or the
// server went away); frames 0 means nothing is waiting.
struct Packet {
  const float* data = nullptr;
  int frames = 0;
  int channels = 0;
};

class CaptureStream {
 public:
  virtual ~CaptureStream() = default;
  // The oldest waiting packet, or one of 0 frames. Never blocks. The packet stays the current one
  // until Release; calling Next again without a Release returns the same packet.
  virtual Packet Next() = 0;
  // Frees the current packet.
  virtual void Release() = 0;
  // Ends the capture; later calls to Next give 0 frames. Safe to call twice.
  virtual void Stop() = 0;
};

class AudioBackend {
 public:
  // Called with the flow and role whose default endpoint changed, from a thread of the back end.
  using DefaultChangedListener = std::function<void(Flow, Role)>;

  virtual ~AudioBackend() = default;
  // The default playback endpoint now, or none (no server, no default sink).
  virtual std::optional<Endpoint> DefaultEndpoint() = 0;
  // Opens loopback capture of `endpoint`; null when it cannot be opened.
  virtual std::unique_ptr<CaptureStream> OpenLoopback(const Endpoint& endpoint) = 0;
  // Replaces the listener of default-endpoint changes. An empty function unregisters; it returns
  // only after a call in progress has ended, and no call starts after it.
  virtual void SetDefaultChangedListener(DefaultChangedListener listener) = 0;
};

// The back end of the desktop's sound server (PulseAudio, or PipeWire's Pulse service). It never
// starts a server; without one it reports no endpoint.
std::unique_ptr<AudioBackend> MakePulseAudioBackend();

}  // namespace platform::audio
