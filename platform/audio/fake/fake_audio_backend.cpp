#include "platform/audio/fake/fake_audio_backend.h"

#include <utility>

namespace platform::audio {

class FakeAudioBackend::Stream final : public CaptureStream {
 public:
  explicit Stream(FakeAudioBackend& owner) : owner_(owner) {}

  Packet Next() override {
    std::lock_guard guard(owner_.mutex_);
    if (stopped_) return {};
    if (!holding_) {
      if (owner_.queue_.empty()) return {};
      current_ = std::move(owner_.queue_.front());
      owner_.queue_.erase(owner_.queue_.begin());
      holding_ = true;
    }
    if (current_.lost) return Packet{nullptr, current_.frames, current_.channels};
    return Packet{current_.samples.data(), current_.frames, current_.channels};
  }

  void Release() override {
    std::lock_guard guard(owner_.mutex_);
    ++owner_.counts_.releases;
    holding_ = false;
    current_ = {};
  }

  void Stop() override {
    std::lock_guard guard(owner_.mutex_);
    ++owner_.counts_.stops;
    stopped_ = true;
  }

 private:
  FakeAudioBackend& owner_;
  ScriptedPacket current_;
  bool holding_ = false;
  bool stopped_ = false;
};

FakeAudioBackend::FakeAudioBackend() : endpoint_(Endpoint{"fake.monitor"}) {}

FakeAudioBackend::~FakeAudioBackend() = default;

void FakeAudioBackend::SetEndpoint(std::optional<Endpoint> endpoint) {
  std::lock_guard guard(mutex_);
  endpoint_ = std::move(endpoint);
}

void FakeAudioBackend::QueuePacket(ScriptedPacket packet) {
  std::lock_guard guard(mutex_);
  queue_.push_back(std::move(packet));
}

void FakeAudioBackend::QueueStereo(int frames, float value) {
  QueuePacket(ScriptedPacket{std::vector<float>(static_cast<size_t>(frames) * 2, value), frames, 2, false});
}

void FakeAudioBackend::Notify(Flow flow, Role role) {
  std::lock_guard guard(listenerMutex_);
  if (listener_) listener_(flow, role);
}

FakeAudioBackend::Counts FakeAudioBackend::counts() const {
  std::lock_guard guard(mutex_);
  return counts_;
}

int FakeAudioBackend::queuedPackets() const {
  std::lock_guard guard(mutex_);
  return static_cast<int>(queue_.size());
}

std::vector<std::string> FakeAudioBackend::openedIds() const {
  std::lock_guard guard(mutex_);
  return openedIds_;
}

std::optional<Endpoint> FakeAudioBackend::DefaultEndpoint() {
  std::lock_guard guard(mutex_);
  return endpoint_;
}

std::unique_ptr<CaptureStream> FakeAudioBackend::OpenLoopback(const Endpoint& endpoint) {
  std::lock_guard guard(mutex_);
  if (!endpoint_) return nullptr;
  ++counts_.opens;
  openedIds_.push_back(endpoint.id);
  return std::make_unique<Stream>(*this);
}

void FakeAudioBackend::SetDefaultChangedListener(DefaultChangedListener listener) {
  std::lock_guard guard(listenerMutex_);
  listener_ = std::move(listener);
}

}  // namespace platform::audio
