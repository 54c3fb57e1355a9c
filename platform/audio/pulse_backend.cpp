#include "platform/audio/audio_capture.h"

namespace platform::audio {

namespace {

// Until the PulseAudio back end is written: a computer with no sound server.
class NoServerBackend final : public AudioBackend {
 public:
  std::optional<Endpoint> DefaultEndpoint() override { return std::nullopt; }
  std::unique_ptr<CaptureStream> OpenLoopback(const Endpoint&) override { return nullptr; }
  void SetDefaultChangedListener(DefaultChangedListener) override {}
};

}  // namespace

std::unique_ptr<AudioBackend> MakePulseAudioBackend() { return std::make_unique<NoServerBackend>(); }

}  // namespace platform::audio
