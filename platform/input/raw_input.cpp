#include "platform/input/raw_input.h"

#include <atomic>

namespace platform::input {

namespace {

// The key message as two bits: 0 none, then the four messages in order.
int MessageIndex(int message) {
  switch (message) {
    case kKeyDownMessage:
      return 1;
    case kKeyUpMessage:
      return 2;
    case kSysKeyDownMessage:
      return 3;
    case kSysKeyUpMessage:
      return 4;
    default:
      return 0;
  }
}

constexpr int kMessages[] = {0, kKeyDownMessage, kKeyUpMessage, kSysKeyDownMessage, kSysKeyUpMessage};

class NoRawInput final : public RawInputService {
 public:
  std::unique_ptr<Subscription> Subscribe(RawInputCallback) override { return nullptr; }
};

std::atomic<RawInputService*> g_override{nullptr};

}  // namespace

// Bits 0-3 kind, 4-7 key message, 8-15 virtual key, 16-31 button flags.
std::intptr_t PackRecord(const RawInputRecord& r) {
  const std::uint32_t packed = (static_cast<std::uint32_t>(r.kind) & 0xF) |
                               (static_cast<std::uint32_t>(MessageIndex(r.keyMessage)) << 4) |
                               ((static_cast<std::uint32_t>(r.virtualKey) & 0xFF) << 8) |
                               ((static_cast<std::uint32_t>(r.buttonFlags) & 0xFFFF) << 16);
  return static_cast<std::intptr_t>(packed);
}

bool UnpackRecord(std::intptr_t packed, RawInputRecord* out) {
  if (packed <= 0 || packed > 0xFFFFFFFF) return false;
  const auto bits = static_cast<std::uint32_t>(packed);
  const int kind = static_cast<int>(bits & 0xF);
  const int message = static_cast<int>((bits >> 4) & 0xF);
  if (kind == 0 || message > 4) return false;
  out->kind = kind;
  out->keyMessage = kMessages[message];
  out->virtualKey = static_cast<int>((bits >> 8) & 0xFF);
  out->buttonFlags = static_cast<int>(bits >> 16);
  return true;
}

// Defined by the X11 back end when it is built (raw_input_x11.cpp).
RawInputService* SystemRawInput();

RawInputService& UserRawInput() {
  if (RawInputService* service = g_override.load()) return *service;
  if (RawInputService* service = SystemRawInput()) return *service;
  static NoRawInput none;
  return none;
}

void SetRawInputOverride(RawInputService* service) { g_override.store(service); }

class FakeRawInputService::FakeSubscription final : public Subscription {
 public:
  FakeSubscription(FakeRawInputService& owner, int id) : owner_(owner), id_(id) {}
  ~FakeSubscription() override { owner_.Remove(id_); }

 private:
  FakeRawInputService& owner_;
  int id_;
};

std::unique_ptr<Subscription> FakeRawInputService::Subscribe(RawInputCallback callback) {
  std::lock_guard guard(lock_);
  ++subscribeCalls;
  if (failSubscribe) return nullptr;
  const int id = nextId_++;
  entries_.push_back({id, std::move(callback)});
  return std::make_unique<FakeSubscription>(*this, id);
}

void FakeRawInputService::Inject(const RawInputRecord& record) {
  std::lock_guard guard(lock_);
  const std::vector<Entry> entries = entries_;
  for (const Entry& entry : entries) entry.callback(record);
}

int FakeRawInputService::Subscribers() {
  std::lock_guard guard(lock_);
  return static_cast<int>(entries_.size());
}

void FakeRawInputService::Remove(int id) {
  std::lock_guard guard(lock_);
  std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

}  // namespace platform::input
