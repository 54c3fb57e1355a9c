#include "platform/hid/sim/sim_hid.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "device/DevicePacket.h"

namespace platform::hid::sim {

namespace {

// Every reply byte that is not the status holds this, which is neither 1 nor 0xFF: reading the
// status from the wrong place fails the tests.
constexpr uint8_t kReplyFill = 0x5A;
constexpr int kAckBytes = 64;
// A reader waits at most this long in real time for an event, whatever time-out it asks for.
constexpr int kMaxRealReadWaitMs = 5000;

HidCollection Collection(uint16_t page, uint16_t usage, uint32_t in, uint32_t out, uint32_t feature) {
  return HidCollection{page, usage, in, out, feature};
}

}  // namespace

std::vector<SimNodeConfig> DefaultKeyboardNodes() {
  std::vector<SimNodeConfig> nodes(4);
  nodes[0].role = NodeRole::kBoot;
  nodes[0].interfaceNumber = 0;
  nodes[0].collections = {Collection(0x01, 0x06, 9, 2, 0)};
  nodes[1].role = NodeRole::kCommand;
  nodes[1].interfaceNumber = 1;
  nodes[1].collections = {Collection(0xFF00, 0x01, 0, 0, kFeatureReportSize)};
  nodes[2].role = NodeRole::kVendor;
  nodes[2].interfaceNumber = 2;
  nodes[2].collections = {Collection(0x0C, 0x01, 3, 0, 0), Collection(0xFFFF, 0x01, 4, 0, 0)};
  nodes[3].role = NodeRole::kBulk;
  nodes[3].interfaceNumber = 3;
  nodes[3].collections = {Collection(0xFF01, 0x01, kAckBytes + 1, kBulkReportSize, 0)};
  return nodes;
}

// ---------------------------------------------------------------------------------------------
// Handles

class SimTransferHandle final : public HidTransferHandle {
 public:
  SimTransferHandle(SimHidBackend& backend, SimKeyboard& kb, NodeRole role)
      : backend_(backend), kb_(kb), role_(role), generation_(kb.generation_) {}

  ~SimTransferHandle() override {
    std::lock_guard lock(backend_.mutex_);
    if (inFlight_ > 0) backend_.closedDuringIo_ = true;
    if (SimKeyboard::Node* n = nodeLocked(); n && generation_ == kb_.generation_) --n->openHandles;
  }

  int sendFeatureReport(const uint8_t* data, size_t length) override {
    auto [lock, start] = begin();
    int result = -1;
    if (alive() && role_ == NodeRole::kCommand && length == featureLength()) {
      result = static_cast<int>(length);
      ++kb_.sendCount_;
      if (kb_.failSendNumbers_.erase(kb_.sendCount_) > 0) result = -1;
      if (kb_.failFrom_ > 0 && kb_.sendCount_ >= kb_.failFrom_) result = -1;
      if (kb_.failNextSends_ > 0) {
        --kb_.failNextSends_;
        result = -1;
      }
      for (const auto& prefix : kb_.failPackets_)
        if (length - 1 >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data + 1)) result = -1;
      backend_.advance(kb_.sendLatencyMs_);
      if (result > 0) takePacket(data + 1);
      if (kb_.unplugAfter_ > 0 && kb_.sendCount_ >= kb_.unplugAfter_) {
        kb_.unplugAfter_ = 0;
        kb_.plugged_ = false;
        backend_.changed_.notify_all();
      }
    }
    backend_.record(kb_, role_, SimIo::Kind::kSend, start, data, length, result);
    return end(result);
  }

  int getFeatureReport(uint8_t* data, size_t length) override {
    auto [lock, start] = begin();
    int result = -1;
    if (alive() && role_ == NodeRole::kCommand && length >= kFeatureReportSize) {
      backend_.advance(kb_.readLatencyMs_);
      if (kb_.failNextReads_ > 0) {
        --kb_.failNextReads_;
      } else {
        result = reply(data);
        if (result > 0 && kb_.shortReads_ > 0) {
          --kb_.shortReads_;
          result = std::min(result, kb_.shortReadBytes_);
          std::memset(data + result, 0, length - static_cast<size_t>(result));
        }
      }
    }
    backend_.record(kb_, role_, SimIo::Kind::kGet, start, data, result > 0 ? static_cast<size_t>(result) : 0,
                    result);
    return end(result);
  }

  int write(const uint8_t* data, size_t length) override {
    auto [lock, start] = begin();
    int result = -1;
    if (alive() && role_ == NodeRole::kBulk) {
      BulkWriteResult scripted = BulkWriteResult::kFull;
      if (!kb_.bulkWrites_.empty()) {
        scripted = kb_.bulkWrites_.front();
        kb_.bulkWrites_.pop_front();
      }
      result = scripted == BulkWriteResult::kFull   ? static_cast<int>(length)
               : scripted == BulkWriteResult::kZero ? 0
                                                    : -1;
      if (result > 0) {
        kb_.image_.insert(kb_.image_.end(), data + 1, data + length);
        ++kb_.blocks_;
        if (kb_.ackMode_ == AckMode::kImmediate) ++kb_.pendingAcks_;
        if (kb_.ackMode_ == AckMode::kLate) ++kb_.lateAcks_;
      }
    }
    backend_.record(kb_, role_, SimIo::Kind::kWrite, start, data, length, result);
    return end(result);
  }

  int readTimeout(uint8_t* data, size_t length, int timeoutMs) override {
    auto [lock, start] = begin();
    int result = -1;
    if (alive()) {
      if (role_ == NodeRole::kBulk && kb_.pendingAcks_ > 0) {
        --kb_.pendingAcks_;
        backend_.wait(kb_.ackLatencyMs_);
        result = static_cast<int>(std::min<size_t>(length, kAckBytes));
        std::memset(data, 0xAC, static_cast<size_t>(result));
      } else {
        // Nothing queued: the wait runs out. A late ack arrives just after that.
        backend_.advance(timeoutMs);
        result = 0;
        if (role_ == NodeRole::kBulk && timeoutMs > 0 && kb_.lateAcks_ > 0) {
          kb_.pendingAcks_ += kb_.lateAcks_;
          kb_.lateAcks_ = 0;
        }
      }
    }
    backend_.record(kb_, role_, SimIo::Kind::kRead, start, data, result > 0 ? static_cast<size_t>(result) : 0,
                    result);
    return end(result);
  }

  std::optional<std::wstring> productString() override {
    std::lock_guard lock(backend_.mutex_);
    if (!alive()) return std::nullopt;
    return kb_.config_.productString;
  }

  std::string lastError() override { return "simulated failure"; }

 private:
  struct Begun {
    std::unique_lock<std::mutex> lock;
    int64_t start;
  };

  Begun begin() {
    std::unique_lock lock(backend_.mutex_);
    ++inFlight_;
    backend_.passGate(lock, kb_, role_);
    int64_t start = std::chrono::duration_cast<std::chrono::milliseconds>(backend_.clock_.now()).count();
    return {std::move(lock), start};
  }
  int end(int result) {
    --inFlight_;
    return result;
  }
  bool alive() const { return kb_.plugged_ && generation_ == kb_.generation_; }
  SimKeyboard::Node* nodeLocked() { return kb_.node(role_); }
  size_t featureLength() {
    const SimKeyboard::Node* n = nodeLocked();
    uint32_t len = 0;
    for (const auto& c : n->config.collections) len = std::max(len, c.featureLength);
    return len;
  }

  void takePacket(const uint8_t* packet) {
    // While a block is due, only a packet shaped like a command (nothing but its parameter and
    // count bytes set) ends it early; anything else is block data.
    if (kb_.intake_ != SimKeyboard::Intake::kNone && !LooksLikeCommand(packet)) {
      takeData(packet);
      return;
    }
    if (!IsCommandPacket(packet)) return;
    finishIntake();
    kb_.colorReply_ = -1;  // any other command ends a colour query
    uint8_t command = packet[kPacketCommandOffset];
    int count = packet[kPacketCountOffset];
    auto expect = [&](SimKeyboard::Intake intake, int packets) {
      kb_.intake_ = packets > 0 ? intake : SimKeyboard::Intake::kNone;
      kb_.intakeDue_ = packets;
      kb_.intakeBytes_.clear();
    };
    switch (command) {
      case CMD_READ_COLORS:
        kb_.colorReply_ = 0;
        break;
      case CMD_LCD_ANIMATION:
        kb_.image_.clear();
        kb_.blocks_ = 0;
        kb_.received_.lcdSlot = packet[kPacketParamOffset];
        kb_.received_.lcdBlocksAnnounced = count | packet[kPacketCountOffset + 1] << 8;
        break;
      case CMD_MACRO_DATA:
        kb_.received_.macroPacketCount = count;
        expect(SimKeyboard::Intake::kMacro, count + 1);
        break;
      case CMD_LIGHT_MODE:
        expect(SimKeyboard::Intake::kLightRecord, count);
        break;
      case CMD_CUSTOM_COLORS:
        kb_.received_.customColorPackets = count;
        expect(SimKeyboard::Intake::kCustomColors, count);
        break;
      case CMD_LIVE_COLORS:
        expect(SimKeyboard::Intake::kLiveColors, count);
        break;
      case CMD_SAVE:
        ++kb_.received_.saves;
        break;
      case CMD_SYSTEM_SETTINGS:
        kb_.received_.systemProfile = packet[kPacketParamOffset];
        expect(SimKeyboard::Intake::kSystemRecord, count);
        break;
      case CMD_CLOCK:
        expect(SimKeyboard::Intake::kClockRecord, count);
        break;
      case CMD_KEYMAP:
        expect(SimKeyboard::Intake::kKeyMap, count + 1);
        break;
      case CMD_KEYMAP_FN:
        expect(SimKeyboard::Intake::kKeyMapFn, count + 1);
        break;
      default:
        break;
    }
  }

  static bool LooksLikeCommand(const uint8_t* packet) {
    if (!IsCommandPacket(packet)) return false;
    for (size_t i = kPacketParamOffset + 1; i < kPacketSize; ++i)
      if (i != kPacketCountOffset && i != kPacketCountOffset + 1 && packet[i] != 0) return false;
    return true;
  }

  void takeData(const uint8_t* packet) {
    kb_.intakeBytes_.insert(kb_.intakeBytes_.end(), packet, packet + kPacketSize);
    if (--kb_.intakeDue_ == 0) finishIntake();
  }

  std::vector<uint8_t> FirstRecord() const {
    return std::vector<uint8_t>(kb_.intakeBytes_.begin(), kb_.intakeBytes_.begin() + kPacketSize);
  }

  void finishIntake() {
    auto& r = kb_.received_;
    const bool whole = kb_.intakeDue_ == 0;
    switch (kb_.intake_) {
      case SimKeyboard::Intake::kNone:
        break;
      case SimKeyboard::Intake::kMacro:
        r.macroMemory = kb_.intakeBytes_;
        break;
      case SimKeyboard::Intake::kLightRecord:
        if (kb_.intakeBytes_.size() >= kPacketSize) {
          std::vector<uint8_t> record = FirstRecord();
          (record[0] == 0x80 ? r.customSettings : r.lightMode) = std::move(record);
        }
        break;
      case SimKeyboard::Intake::kSystemRecord:
        if (kb_.intakeBytes_.size() >= kPacketSize) r.systemSettings = FirstRecord();
        break;
      case SimKeyboard::Intake::kClockRecord:
        if (kb_.intakeBytes_.size() >= kPacketSize) r.clock = FirstRecord();
        break;
      case SimKeyboard::Intake::kCustomColors:
        r.customColors = kb_.intakeBytes_;
        break;
      case SimKeyboard::Intake::kLiveColors:
        r.liveColors = kb_.intakeBytes_;
        if (whole) ++r.liveFrames;
        break;
      case SimKeyboard::Intake::kKeyMap:
      case SimKeyboard::Intake::kKeyMapFn:
        if (whole) {
          const int layer = kb_.intake_ == SimKeyboard::Intake::kKeyMap ? 0 : 1;
          r.keyMap[layer] = kb_.intakeBytes_;
          ++r.keyMapCount[layer];
        }
        break;
    }
    kb_.intake_ = SimKeyboard::Intake::kNone;
    kb_.intakeDue_ = 0;
    kb_.intakeBytes_.clear();
  }

  uint8_t nextStatus() {
    if (kb_.statuses_.empty()) return STATUS_OK;
    uint8_t s = kb_.statuses_.front();
    kb_.statuses_.pop_front();
    return s;
  }

  // Fills a 65-byte reply; returns its length or -1.
  int reply(uint8_t* data) {
    std::memset(data, 0, kFeatureReportSize);
    uint8_t* packet = data + 1;
    if (kb_.colorReply_ >= 1) {
      int n = kb_.colorReply_ - 1;  // data reply number
      kb_.colorReply_ = kb_.colorReply_ == kColorReplyCount ? -1 : kb_.colorReply_ + 1;
      if (kb_.rgb_) {
        for (size_t j = 0; j < kPacketSize / 4; ++j) {
          size_t entry = static_cast<size_t>(n) * (kPacketSize / 4) + j;
          if (entry >= kb_.colors_.size()) break;
          packet[4 * j + 1] = kb_.colors_[entry][0];
          packet[4 * j + 2] = kb_.colors_[entry][1];
          packet[4 * j + 3] = kb_.colors_[entry][2];
        }
      } else if (n < 3) {
        for (size_t j = 0; j < kPacketSize; ++j) {
          size_t entry = static_cast<size_t>(n) * kPacketSize + j;
          if (entry < kb_.levels_.size()) packet[j] = kb_.levels_[entry];
        }
      } else if (kb_.tailFails_) {
        return -1;
      }
      return static_cast<int>(kFeatureReportSize);
    }
    if (kb_.colorReply_ == 0) kb_.colorReply_ = 1;
    std::memset(packet, kReplyFill, kPacketSize);
    packet[kReplyStatusOffset] = nextStatus();
    return static_cast<int>(kFeatureReportSize);
  }

  SimHidBackend& backend_;
  SimKeyboard& kb_;
  NodeRole role_;
  int generation_;
  int inFlight_ = 0;
};

class SimInputReader final : public HidInputReader {
 public:
  SimInputReader(SimHidBackend& backend, SimKeyboard& kb, NodeRole role)
      : backend_(backend), kb_(kb), role_(role), generation_(kb.generation_) {}
  ~SimInputReader() override {
    std::lock_guard lock(backend_.mutex_);
    if (reading_) backend_.closedDuringIo_ = true;
    if (SimKeyboard::Node* n = kb_.node(role_); n && generation_ == kb_.generation_) --n->openHandles;
  }

  InputRead read(uint8_t* buffer, size_t size, int timeoutMs) override {
    std::unique_lock lock(backend_.mutex_);
    reading_ = true;
    backend_.passGate(lock, kb_, role_);
    int64_t start = std::chrono::duration_cast<std::chrono::milliseconds>(backend_.clock_.now()).count();
    ++kb_.activeReaders_;
    kb_.maxReaders_ = std::max(kb_.maxReaders_, kb_.activeReaders_);
    int waitMs = timeoutMs < 0 || timeoutMs > kMaxRealReadWaitMs ? kMaxRealReadWaitMs : timeoutMs;
    SimKeyboard::Node* n = kb_.node(role_);
    auto gone = [&] { return !kb_.plugged_ || generation_ != kb_.generation_ || n->hungUp; };
    backend_.changed_.wait_for(lock, std::chrono::milliseconds(waitMs),
                               [&] { return woken_ || gone() || !n->inputQueue.empty(); });
    InputRead result{InputRead::Status::kTimeout, 0};
    if (woken_) {
      woken_ = false;
      result = {InputRead::Status::kWoken, 0};
    } else if (gone()) {
      result = {InputRead::Status::kGone, 0};
    } else if (!n->inputQueue.empty()) {
      auto event = std::move(n->inputQueue.front());
      n->inputQueue.pop_front();
      result.status = event.status;
      if (event.status == InputRead::Status::kData) {
        // An empty report is a zero-length read; its vector may hold no storage at all.
        result.bytes = static_cast<int>(std::min(size, event.bytes.size()));
        if (result.bytes > 0) std::memcpy(buffer, event.bytes.data(), static_cast<size_t>(result.bytes));
      } else if (event.status == InputRead::Status::kGone) {
        n->hungUp = true;
      } else if (event.status == InputRead::Status::kTimeout) {
        backend_.advance(timeoutMs);
      }
    }
    --kb_.activeReaders_;
    backend_.record(
        kb_, role_, SimIo::Kind::kInput, start, buffer, static_cast<size_t>(result.bytes),
        result.status == InputRead::Status::kData ? result.bytes : -static_cast<int>(result.status));
    reading_ = false;
    return result;
  }

  void wake() override {
    std::lock_guard lock(backend_.mutex_);
    woken_ = true;
    backend_.changed_.notify_all();
  }

 private:
  SimHidBackend& backend_;
  SimKeyboard& kb_;
  NodeRole role_;
  int generation_;
  bool woken_ = false;
  bool reading_ = false;
};

// ---------------------------------------------------------------------------------------------
// SimKeyboard

SimKeyboard::SimKeyboard(SimHidBackend& backend, int id, SimKeyboardConfig config)
    : backend_(backend), id_(id), config_(std::move(config)) {
  physicalKey_ =
      config_.physicalKey ? *config_.physicalKey : "/sys/devices/sim/usb1/1-" + std::to_string(id + 1);
  for (const SimNodeConfig& nc : config_.nodes) {
    Node n;
    n.config = nc;
    if (n.config.position < 0) n.config.position = backend_.nextPosition_++;
    n.path = backend_.newPath();
    nodes_.push_back(std::move(n));
  }
}

SimKeyboard::Node* SimKeyboard::node(NodeRole role) {
  for (Node& n : nodes_)
    if (n.config.role == role) return &n;
  return nullptr;
}
const SimKeyboard::Node* SimKeyboard::node(NodeRole role) const {
  for (const Node& n : nodes_)
    if (n.config.role == role) return &n;
  return nullptr;
}

std::string SimKeyboard::nodePath(NodeRole role) const {
  std::lock_guard lock(backend_.mutex_);
  const Node* n = node(role);
  return n ? n->path : std::string();
}

void SimKeyboard::queueStatus(uint8_t status) {
  std::lock_guard lock(backend_.mutex_);
  statuses_.push_back(status);
}
void SimKeyboard::failSendNumber(int n) {
  std::lock_guard lock(backend_.mutex_);
  failSendNumbers_.insert(sendCount_ + n);
}
void SimKeyboard::failNextSends(int k) {
  std::lock_guard lock(backend_.mutex_);
  failNextSends_ = k;
}
void SimKeyboard::failSendsOfPacket(std::vector<uint8_t> packetPrefix) {
  std::lock_guard lock(backend_.mutex_);
  failPackets_.push_back(std::move(packetPrefix));
}
void SimKeyboard::failSendsFrom(int n) {
  std::lock_guard lock(backend_.mutex_);
  failFrom_ = n > 0 ? sendCount_ + n : 0;
}
void SimKeyboard::unplugAfterSends(int n) {
  std::lock_guard lock(backend_.mutex_);
  unplugAfter_ = sendCount_ + n;
}
void SimKeyboard::failNextReads(int k) {
  std::lock_guard lock(backend_.mutex_);
  failNextReads_ = k;
}
void SimKeyboard::shortNextReads(int k, int bytes) {
  std::lock_guard lock(backend_.mutex_);
  shortReads_ = k;
  shortReadBytes_ = std::max(0, bytes);
}
void SimKeyboard::setSendLatencyMs(int ms) {
  std::lock_guard lock(backend_.mutex_);
  sendLatencyMs_ = ms;
}
void SimKeyboard::setReadLatencyMs(int ms) {
  std::lock_guard lock(backend_.mutex_);
  readLatencyMs_ = ms;
}
void SimKeyboard::setRgbColors(std::vector<std::array<uint8_t, 3>> colors) {
  std::lock_guard lock(backend_.mutex_);
  rgb_ = true;
  colors_ = std::move(colors);
}
void SimKeyboard::setSingleColorLevels(std::vector<uint8_t> levels, bool tailFails) {
  std::lock_guard lock(backend_.mutex_);
  rgb_ = false;
  levels_ = std::move(levels);
  tailFails_ = tailFails;
}
void SimKeyboard::queueBulkWrites(std::vector<BulkWriteResult> results) {
  std::lock_guard lock(backend_.mutex_);
  bulkWrites_.insert(bulkWrites_.end(), results.begin(), results.end());
}
void SimKeyboard::setAckMode(AckMode mode) {
  std::lock_guard lock(backend_.mutex_);
  ackMode_ = mode;
}
std::vector<uint8_t> SimKeyboard::animationImage() const {
  std::lock_guard lock(backend_.mutex_);
  return image_;
}
int SimKeyboard::bulkBlocks() const {
  std::lock_guard lock(backend_.mutex_);
  return blocks_;
}
void SimKeyboard::setAckLatencyMs(int ms) {
  std::lock_guard lock(backend_.mutex_);
  ackLatencyMs_ = ms;
}
SimKeyboard::ReceivedState SimKeyboard::received() const {
  std::lock_guard lock(backend_.mutex_);
  return received_;
}

void SimKeyboard::pushEvent(InputRead::Status status, std::vector<uint8_t> bytes) {
  std::lock_guard lock(backend_.mutex_);
  if (Node* n = node(NodeRole::kVendor)) n->inputQueue.push_back({status, std::move(bytes)});
  backend_.changed_.notify_all();
}
void SimKeyboard::pushInput(std::vector<uint8_t> report) {
  pushEvent(InputRead::Status::kData, std::move(report));
}
void SimKeyboard::pushInputTimeout() { pushEvent(InputRead::Status::kTimeout, {}); }
void SimKeyboard::pushInputError() { pushEvent(InputRead::Status::kError, {}); }
void SimKeyboard::pushHangUp() { pushEvent(InputRead::Status::kGone, {}); }

int SimKeyboard::activeReaders() const {
  std::lock_guard lock(backend_.mutex_);
  return activeReaders_;
}
int SimKeyboard::maxConcurrentReaders() const {
  std::lock_guard lock(backend_.mutex_);
  return maxReaders_;
}

void SimKeyboard::unplug() {
  {
    std::lock_guard lock(backend_.mutex_);
    if (!plugged_) return;
    plugged_ = false;
    backend_.changed_.notify_all();
  }
  backend_.notifyHotplug(id_, false);
}

void SimKeyboard::replug() {
  {
    std::lock_guard lock(backend_.mutex_);
    if (plugged_) return;
    plugged_ = true;
    ++generation_;
    for (Node& n : nodes_) {
      n.path = backend_.newPath();
      n.openHandles = 0;  // handles of the old generation no longer count
      n.inputQueue.clear();
      n.hungUp = false;
    }
  }
  backend_.notifyHotplug(id_, true);
}

bool SimKeyboard::plugged() const {
  std::lock_guard lock(backend_.mutex_);
  return plugged_;
}

int SimKeyboard::openHandles(NodeRole role) const {
  std::lock_guard lock(backend_.mutex_);
  const Node* n = node(role);
  return n ? n->openHandles : 0;
}

void SimKeyboard::gateNextIo(NodeRole role) { gateIo(role, 1); }

void SimKeyboard::gateIo(NodeRole role, int n) {
  std::lock_guard lock(backend_.mutex_);
  gateArmed_ = role;
  gateCountdown_ = std::max(n, 1);
  gateHeld_ = false;
  gateOpen_ = false;
}

bool SimKeyboard::waitUntilGated(int timeoutMs) {
  std::unique_lock lock(backend_.mutex_);
  return backend_.changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return gateHeld_; });
}

void SimKeyboard::releaseGate() {
  std::lock_guard lock(backend_.mutex_);
  gateOpen_ = true;
  gateArmed_.reset();
  backend_.changed_.notify_all();
}

// ---------------------------------------------------------------------------------------------
// SimHidBackend

SimHidBackend::SimHidBackend(Clock& clock)
    : clock_(clock), virtualClock_(dynamic_cast<VirtualClock*>(&clock)) {}
SimHidBackend::~SimHidBackend() = default;

SimKeyboard& SimHidBackend::addKeyboard(SimKeyboardConfig config) {
  SimKeyboard* kb;
  {
    std::lock_guard lock(mutex_);
    int id = static_cast<int>(keyboards_.size());
    keyboards_.push_back(std::unique_ptr<SimKeyboard>(new SimKeyboard(*this, id, std::move(config))));
    kb = keyboards_.back().get();
  }
  notifyHotplug(kb->id(), true);
  return *kb;
}

SimKeyboard& SimHidBackend::keyboard(int id) {
  std::lock_guard lock(mutex_);
  return *keyboards_.at(static_cast<size_t>(id));
}

void SimHidBackend::setInitFails(bool fails) {
  std::lock_guard lock(mutex_);
  initFails_ = fails;
}

void SimHidBackend::setHotplugHook(std::function<void(int, bool)> hook) {
  std::lock_guard lock(mutex_);
  hotplugHook_ = std::move(hook);
}

std::vector<SimIo> SimHidBackend::log() const {
  std::lock_guard lock(mutex_);
  return log_;
}
void SimHidBackend::clearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}
bool SimHidBackend::closedDuringIo() const {
  std::lock_guard lock(mutex_);
  return closedDuringIo_;
}
int SimHidBackend::totalOpenHandles() const {
  std::lock_guard lock(mutex_);
  int total = 0;
  for (const auto& kb : keyboards_)
    for (const auto& n : kb->nodes_) total += n.openHandles;
  return total;
}

bool SimHidBackend::init() {
  std::lock_guard lock(mutex_);
  return !initFails_;
}

std::vector<HidNodeInfo> SimHidBackend::listNodes() {
  std::lock_guard lock(mutex_);
  if (initFails_) return {};
  std::vector<std::pair<int, HidNodeInfo>> found;
  for (const auto& kb : keyboards_) {
    if (!kb->plugged_) continue;
    for (const auto& n : kb->nodes_) {
      HidNodeInfo info;
      info.path = n.path;
      info.vendorId = kb->config_.vendorId;
      info.productId = kb->config_.productId;
      info.releaseNumber = kb->config_.releaseNumber;
      info.interfaceNumber = n.config.interfaceNumber;
      info.physicalKey = kb->physicalKey_;
      info.collections = n.config.collections;
      found.emplace_back(n.config.position, std::move(info));
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<HidNodeInfo> nodes;
  for (auto& f : found) nodes.push_back(std::move(f.second));
  return nodes;
}

SimKeyboard::Node* SimHidBackend::findNode(const std::string& path, SimKeyboard** keyboard) {
  for (const auto& kb : keyboards_) {
    if (!kb->plugged_) continue;
    for (auto& n : kb->nodes_) {
      if (n.path == path) {
        *keyboard = kb.get();
        return &n;
      }
    }
  }
  return nullptr;
}

SimKeyboard::Node* SimHidBackend::admitOpen(const std::string& path, OpenError* error,
                                            SimKeyboard** keyboard) {
  SimKeyboard::Node* n = initFails_ ? nullptr : findNode(path, keyboard);
  OpenError reason = !n                           ? OpenError::kFailed
                     : n->config.permissionDenied ? OpenError::kPermissionDenied
                     : n->config.openFails        ? OpenError::kFailed
                                                  : OpenError::kNone;
  if (error) *error = reason;
  if (reason != OpenError::kNone) return nullptr;
  ++n->openHandles;
  return n;
}

std::unique_ptr<HidTransferHandle> SimHidBackend::openTransfer(const HidNodeInfo& info, OpenError* error) {
  std::lock_guard lock(mutex_);
  SimKeyboard* kb = nullptr;
  SimKeyboard::Node* n = admitOpen(info.path, error, &kb);
  return n ? std::make_unique<SimTransferHandle>(*this, *kb, n->config.role) : nullptr;
}

std::unique_ptr<HidInputReader> SimHidBackend::openInput(const HidNodeInfo& info, OpenError* error) {
  std::lock_guard lock(mutex_);
  SimKeyboard* kb = nullptr;
  SimKeyboard::Node* n = admitOpen(info.path, error, &kb);
  return n ? std::make_unique<SimInputReader>(*this, *kb, n->config.role) : nullptr;
}

void SimHidBackend::advance(int ms) {
  if (virtualClock_ && ms > 0) virtualClock_->advance(ms);
}

void SimHidBackend::wait(int ms) {
  if (ms <= 0) return;
  if (virtualClock_) {
    virtualClock_->advance(ms);
  } else {
    // The real keyboard's latency, kept as exact as the protocol's own waits.
    platform::SteadyClock real;
    real.sleep(ms);
  }
}

std::string SimHidBackend::newPath() { return "/dev/sim-hidraw" + std::to_string(nextPath_++); }

void SimHidBackend::record(const SimKeyboard& kb, NodeRole role, SimIo::Kind kind, int64_t startMs,
                           const uint8_t* bytes, size_t size, int result) {
  SimIo io;
  io.timeMs = startMs;
  io.keyboard = kb.id_;
  io.node = role;
  io.kind = kind;
  if (bytes && size > 0) io.bytes.assign(bytes, bytes + size);
  io.result = result;
  log_.push_back(std::move(io));
}

void SimHidBackend::passGate(std::unique_lock<std::mutex>& lock, SimKeyboard& kb, NodeRole role) {
  if (!kb.gateArmed_ || *kb.gateArmed_ != role || kb.gateHeld_) return;
  if (--kb.gateCountdown_ > 0) return;
  kb.gateHeld_ = true;
  changed_.notify_all();
  // Bounded so that a test that forgets to release cannot hang the run.
  changed_.wait_for(lock, std::chrono::seconds(10), [&] { return kb.gateOpen_; });
  kb.gateHeld_ = false;
}

void SimHidBackend::notifyHotplug(int id, bool arrived) {
  std::function<void(int, bool)> hook;
  {
    std::lock_guard lock(mutex_);
    hook = hotplugHook_;
  }
  if (hook) hook(id, arrived);
}

// ---------------------------------------------------------------------------------------------
// Transcripts

std::vector<Packet> SentPackets(const std::vector<SimIo>& log, int keyboard) {
  std::vector<Packet> packets;
  for (const SimIo& io : log) {
    if (io.keyboard != keyboard || io.node != NodeRole::kCommand || io.kind != SimIo::Kind::kSend) continue;
    if (io.result != static_cast<int>(kFeatureReportSize) || io.bytes.size() != kFeatureReportSize) continue;
    packets.emplace_back(io.bytes.begin() + 1, io.bytes.end());
  }
  return packets;
}

std::vector<std::vector<Packet>> SplitTransactions(const std::vector<Packet>& packets) {
  std::vector<std::vector<Packet>> transactions;
  bool open = false;
  bool afterEnd = false;
  for (const Packet& p : packets) {
    bool command = p.size() >= 2 && IsCommandPacket(p.data());
    uint8_t cmd = command ? p[kPacketCommandOffset] : 0;
    if (command && (cmd == CMD_BEGIN || cmd == CMD_MACRO_BEGIN)) {
      transactions.push_back({p});
      open = true;
      afterEnd = false;
    } else if (open) {
      transactions.back().push_back(p);
      if (command && cmd == CMD_END) {
        open = false;
        afterEnd = true;
      }
    } else if (afterEnd && command && cmd == CMD_SAVE) {
      transactions.back().push_back(p);
      afterEnd = false;
    } else {
      transactions.push_back({p});
      afterEnd = command && cmd == CMD_END;
    }
  }
  return transactions;
}

std::vector<std::vector<Packet>> PacketsAfterCommand(const std::vector<Packet>& packets, uint8_t command) {
  std::vector<std::vector<Packet>> groups;
  bool collecting = false;
  for (const Packet& p : packets) {
    bool isCommand = p.size() >= 2 && IsCommandPacket(p.data());
    if (isCommand) {
      collecting = p[kPacketCommandOffset] == command;
      if (collecting) groups.emplace_back();
    } else if (collecting) {
      groups.back().push_back(p);
    }
  }
  return groups;
}

}  // namespace platform::hid::sim
