#include "device/HidDeviceManager.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <shared_mutex>

#include "device/DevicePacket.h"
#include "platform/hid/debug_log.h"

using platform::hid::HidDebugLog;
using platform::hid::HidNodeInfo;
using platform::hid::OpenError;

HidDeviceManager* g_hidDeviceManager = nullptr;

namespace {

constexpr int kBlockAttempts = 11;       // a data-block packet: first try and 10 more
constexpr int kFastPacketGapMs = 2;      // between the packets of a live-colour frame
constexpr int kFastFrameBudgetMs = 100;  // a live-colour frame is cut after this
constexpr int kAckTimeoutMs = 300;       // the bulk block's ack
constexpr int kDrainLimit = 64;          // stale acks dropped before a block at most
constexpr int kQueryRequestDelayMs = 3;  // before the request and before each data reply
constexpr int kQueryStatusDelayMs = 10;  // before each status read
constexpr int kQueryStatusAttempts = 11;
constexpr int kQueryReplyLimitMs = 360;  // a data reply that takes longer fails the query
constexpr int kRenumberRetries = 3;

// A shared lock that lets a waiting writer in first: once a reopen waits, new operations queue
// behind it, so it waits only for the operations already running.
class WriterFirstSharedMutex {
 public:
  void lock_shared() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !writer_ && writersWaiting_ == 0; });
    ++readers_;
  }
  void unlock_shared() {
    std::lock_guard lock(mutex_);
    if (--readers_ == 0) changed_.notify_all();
  }
  void lock() {
    std::unique_lock lock(mutex_);
    ++writersWaiting_;
    changed_.wait(lock, [&] { return !writer_ && readers_ == 0; });
    --writersWaiting_;
    writer_ = true;
  }
  void unlock() {
    std::lock_guard lock(mutex_);
    writer_ = false;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int readers_ = 0;
  int writersWaiting_ = 0;
  bool writer_ = false;
};

// The transfer guards the current thread holds. One transfer mutex stands for one lock key for the
// manager's whole life, so comparing mutexes compares keys.
struct HeldGuard {
  const HidDeviceManager* manager;
  int index;
  std::string key;
  const std::recursive_timed_mutex* mutex;
};
thread_local std::vector<HeldGuard> t_heldGuards;

const HeldGuard* FindHeldGuard(const HidDeviceManager* manager, int index) {
  for (auto it = t_heldGuards.rbegin(); it != t_heldGuards.rend(); ++it)
    if (it->manager == manager && it->index == index) return &*it;
  return nullptr;
}

enum class NodeKind { kNone, kCommand, kBulk };

// Interfaces are told apart by their report lengths alone; command wins over bulk.
NodeKind Classify(const HidNodeInfo& node) {
  for (const auto& c : node.collections)
    if (c.featureLength == kFeatureReportSize) return NodeKind::kCommand;
  for (const auto& c : node.collections)
    if (c.outputLength == kBulkReportSize) return NodeKind::kBulk;
  return NodeKind::kNone;
}

size_t LongestOutput(const HidNodeInfo& node) {
  uint32_t longest = 0;
  for (const auto& c : node.collections) longest = std::max(longest, c.outputLength);
  return longest;
}

}  // namespace

struct HidDeviceManager::Internals {
  WriterFirstSharedMutex lock;  // the manager lock
  std::mutex transferMapMutex;
  std::map<std::string, std::unique_ptr<std::recursive_timed_mutex>> transferMutexes;
  std::mutex wantedMutex;
  std::mutex listMutex;  // one presence enumeration at a time
  // The busy flag is the union of these.
  std::atomic<int> activeSends{0};
  std::atomic<bool> reopening{false};
  std::atomic<bool> blockPending{false};
};

// ---------------------------------------------------------------------------------------------
// TransferGuard

TransferGuard::TransferGuard(TransferGuard&& other) noexcept { *this = std::move(other); }

TransferGuard& TransferGuard::operator=(TransferGuard&& other) noexcept {
  if (this != &other) {
    release();
    manager_ = other.manager_;
    mutex_ = other.mutex_;
    index_ = other.index_;
    key_ = std::move(other.key_);
    other.manager_ = nullptr;
    other.mutex_ = nullptr;
  }
  return *this;
}

TransferGuard::~TransferGuard() { release(); }

void TransferGuard::release() {
  if (!mutex_) return;
  for (auto it = t_heldGuards.rbegin(); it != t_heldGuards.rend(); ++it) {
    if (it->manager == manager_ && it->index == index_ && it->key == key_) {
      t_heldGuards.erase(std::next(it).base());
      break;
    }
  }
  mutex_->unlock();
  mutex_ = nullptr;
  manager_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Construction

HidDeviceManager::HidDeviceManager(platform::hid::HidBackend& backend, platform::Clock& clock)
    : backend_(backend), clock_(clock), internals_(std::make_unique<Internals>()) {
  // A failed start is not fatal: the manager finds nothing and the next open tries again.
  if (!backend_.init()) HidDebugLog("HID library did not start; will retry at the next rescan");
  if (g_hidDeviceManager == nullptr) g_hidDeviceManager = this;
}

HidDeviceManager::HidDeviceManager(std::unique_ptr<platform::hid::HidBackend> backend,
                                   std::unique_ptr<platform::Clock> clock)
    : ownedBackend_(std::move(backend)),
      ownedClock_(std::move(clock)),
      backend_(*ownedBackend_),
      clock_(*ownedClock_),
      internals_(std::make_unique<Internals>()) {
  if (!backend_.init()) HidDebugLog("HID library did not start; will retry at the next rescan");
  if (g_hidDeviceManager == nullptr) g_hidDeviceManager = this;
}

HidDeviceManager::HidDeviceManager()
    : HidDeviceManager(platform::hid::CreateSystemHidBackend(), std::make_unique<platform::SteadyClock>()) {}

HidDeviceManager::~HidDeviceManager() {
  {
    std::unique_lock lock(internals_->lock);
    m_opened = 0;
    m_devices.clear();
  }
  if (g_hidDeviceManager == this) g_hidDeviceManager = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Static entry points

void HidDeviceManager::AddWantedDevice(int vid, int pid, const std::wstring& productName) {
  if (g_hidDeviceManager) g_hidDeviceManager->AddWanted(vid, pid, productName);
}
int HidDeviceManager::FindDevice(int vid, int pid, const std::wstring& productName) {
  return g_hidDeviceManager ? g_hidDeviceManager->Find(vid, pid, productName) : -1;
}
bool HidDeviceManager::GetDeviceRelease(int& release, int index) {
  if (!g_hidDeviceManager) return false;
  std::optional<int> value = g_hidDeviceManager->DeviceRelease(index);
  if (!value) return false;
  release = *value;
  return true;
}
bool HidDeviceManager::SendReports(std::span<const uint8_t> data, int deviceIndex, int delayMs,
                                   bool readBack) {
  return g_hidDeviceManager && g_hidDeviceManager->Send(data, deviceIndex, delayMs, readBack);
}
bool HidDeviceManager::SendReportsFast(std::span<const uint8_t> data, int deviceIndex) {
  return g_hidDeviceManager && g_hidDeviceManager->SendFast(data, deviceIndex);
}
bool HidDeviceManager::WriteBlock(std::span<const uint8_t> block, int deviceIndex) {
  return g_hidDeviceManager && g_hidDeviceManager->Write(block, deviceIndex);
}
bool HidDeviceManager::QueryReports(std::span<uint8_t> buffer, int count, int deviceIndex) {
  return g_hidDeviceManager && g_hidDeviceManager->Query(buffer, count, deviceIndex);
}

// ---------------------------------------------------------------------------------------------
// Wanted devices

void HidDeviceManager::AddWanted(int vid, int pid, const std::wstring& productName) {
  std::lock_guard lock(internals_->wantedMutex);
  m_wanted.push_back(WantedDevice{vid, pid, productName});
}

bool HidDeviceManager::IsWantedVidPid(int vid, int pid) const {
  std::lock_guard lock(internals_->wantedMutex);
  return std::any_of(m_wanted.begin(), m_wanted.end(),
                     [&](const WantedDevice& w) { return w.vid == vid && w.pid == pid; });
}

bool HidDeviceManager::IsWanted(int vid, int pid, const std::wstring& productString) const {
  std::lock_guard lock(internals_->wantedMutex);
  return std::any_of(m_wanted.begin(), m_wanted.end(), [&](const WantedDevice& w) {
    return w.vid == vid && w.pid == pid && (w.productName.empty() || w.productName == productString);
  });
}

// ---------------------------------------------------------------------------------------------
// Enumeration

void HidDeviceManager::OpenAll() {
  std::unique_lock lock(internals_->lock);
  OpenAllLocked();
}

void HidDeviceManager::CloseAll() {
  std::unique_lock lock(internals_->lock);
  CloseAllLocked();
}

void HidDeviceManager::Reopen() {
  internals_->reopening = true;
  {
    std::unique_lock lock(internals_->lock);
    CloseAllLocked();
    OpenAllLocked();
    m_opened = 1;
    // The closing packet that a pending block write waited for can no longer come on the handles
    // just closed, so the reopen clears that part of the busy flag too.
    internals_->blockPending = false;
  }
  internals_->reopening = false;
}

void HidDeviceManager::CloseAllLocked() {
  if (!m_opened) return;
  m_opened = 0;
  m_devices.clear();  // closes every command and bulk handle
}

void HidDeviceManager::OpenAllLocked() {
  m_permissionDenied = 0;
  if (!backend_.init()) {
    HidDebugLog("HID library did not start; no devices");
    return;
  }
  struct PendingBulk {
    std::unique_ptr<platform::hid::HidTransferHandle> handle;
    std::string physicalKey;
    std::string path;
    size_t reportLength;
  };
  std::vector<PendingBulk> bulks;

  for (const HidNodeInfo& node : backend_.listNodes()) {
    if (!IsWantedVidPid(node.vendorId, node.productId)) continue;
    NodeKind kind = Classify(node);
    if (kind == NodeKind::kNone) continue;  // never opened: no other node stays open
    OpenError error = OpenError::kNone;
    auto handle = backend_.openTransfer(node, &error);
    if (!handle) {
      if (error == OpenError::kPermissionDenied) ++m_permissionDenied;
      HidDebugLog("%s: cannot open (%s)", node.path.c_str(),
                  error == OpenError::kPermissionDenied ? "permission denied" : "open failed");
      continue;
    }
    std::wstring product = handle->productString().value_or(L"");
    if (!IsWanted(node.vendorId, node.productId, product)) {
      HidDebugLog("%s: product string not wanted", node.path.c_str());
      continue;
    }
    if (kind == NodeKind::kCommand) {
      auto record = std::make_unique<HidDeviceRecord>();
      record->index = static_cast<int>(m_devices.size());
      record->vendorId = node.vendorId;
      record->productId = node.productId;
      record->productString = product;
      record->device = std::move(handle);
      record->releaseNumber = node.releaseNumber;
      record->physicalKey = node.physicalKey;
      record->lockKey = node.physicalKey.empty() ? node.path : node.physicalKey;
      record->transferMutex = &TransferMutex(record->lockKey);
      m_devices.push_back(std::move(record));
    } else {
      bulks.push_back({std::move(handle), node.physicalKey, node.path, LongestOutput(node)});
    }
  }

  // Each keyboard gets the bulk interface of its own physical device. Without a key the
  // pairing is only certain when there is a single keyboard.
  for (PendingBulk& bulk : bulks) {
    HidDeviceRecord* target = nullptr;
    if (!bulk.physicalKey.empty()) {
      for (auto& record : m_devices)
        if (record->physicalKey == bulk.physicalKey) {
          target = record.get();
          break;
        }
    } else if (m_devices.size() == 1) {
      target = m_devices.front().get();
    }
    if (!target) {
      HidDebugLog("%s: bulk interface belongs to no open keyboard; closed", bulk.path.c_str());
      continue;
    }
    target->bulk = std::move(bulk.handle);  // a replaced one is closed here
    target->bulkReportLength = bulk.reportLength;
    target->bulkReport.assign(std::max(kBulkReportSize, bulk.reportLength), 0);
  }
}

// ---------------------------------------------------------------------------------------------
// Lookups

int HidDeviceManager::Find(int vid, int pid, const std::wstring& productName) const {
  std::shared_lock lock(internals_->lock);
  for (const auto& record : m_devices)
    if (record->vendorId == vid && record->productId == pid &&
        (productName.empty() || record->productString == productName))
      return record->index;
  return -1;
}

std::optional<int> HidDeviceManager::DeviceRelease(int index) const {
  std::shared_lock lock(internals_->lock);
  if (!m_opened || index < 0 || index >= static_cast<int>(m_devices.size())) return std::nullopt;
  return m_devices[static_cast<size_t>(index)]->releaseNumber;
}

std::optional<HidDeviceInfo> HidDeviceManager::GetDeviceInfo(int index) const {
  std::shared_lock lock(internals_->lock);
  if (!m_opened || index < 0 || index >= static_cast<int>(m_devices.size())) return std::nullopt;
  const HidDeviceRecord& r = *m_devices[static_cast<size_t>(index)];
  return HidDeviceInfo{r.vendorId,      r.productId,   r.releaseNumber,
                       r.productString, r.physicalKey, r.bulk != nullptr};
}

int HidDeviceManager::DeviceCount() const {
  std::shared_lock lock(internals_->lock);
  return static_cast<int>(m_devices.size());
}

bool HidDeviceManager::IsConnected(int index) const {
  std::shared_lock lock(internals_->lock);  // no reopen enumerates meanwhile
  if (!m_opened || index < 0 || index >= static_cast<int>(m_devices.size())) return false;
  const HidDeviceRecord& record = *m_devices[static_cast<size_t>(index)];
  std::lock_guard listing(internals_->listMutex);
  for (const HidNodeInfo& node : backend_.listNodes()) {
    if (node.vendorId != record.vendorId || node.productId != record.productId) continue;
    if (record.physicalKey.empty() ? node.path == record.lockKey : node.physicalKey == record.physicalKey)
      return true;
  }
  return false;
}

bool HidDeviceManager::IsOpened() const { return m_opened != 0; }

bool HidDeviceManager::IsBusy() const {
  return internals_->activeSends > 0 || internals_->reopening || internals_->blockPending;
}

int HidDeviceManager::PermissionDeniedCount() const {
  std::shared_lock lock(internals_->lock);
  return m_permissionDenied;
}

// ---------------------------------------------------------------------------------------------
// Locking

std::optional<std::string> HidDeviceManager::LockKeyOf(int index) const {
  std::shared_lock lock(internals_->lock);
  if (!m_opened || index < 0 || index >= static_cast<int>(m_devices.size())) return std::nullopt;
  return m_devices[static_cast<size_t>(index)]->lockKey;
}

std::recursive_timed_mutex* HidDeviceManager::TransferMutexOf(int index) const {
  std::shared_lock lock(internals_->lock);
  if (!m_opened || index < 0 || index >= static_cast<int>(m_devices.size())) return nullptr;
  return m_devices[static_cast<size_t>(index)]->transferMutex;
}

std::recursive_timed_mutex& HidDeviceManager::TransferMutex(const std::string& key) {
  std::lock_guard lock(internals_->transferMapMutex);
  auto& slot = internals_->transferMutexes[key];
  if (!slot) slot = std::make_unique<std::recursive_timed_mutex>();
  return *slot;
}

TransferGuard HidDeviceManager::LockTransfer(int index) {
  return AcquireTransfer(index, std::nullopt, nullptr);
}

TransferGuard HidDeviceManager::TryLockTransfer(int index, std::chrono::milliseconds wait, bool* timedOut) {
  return AcquireTransfer(index, wait, timedOut);
}

TransferGuard HidDeviceManager::AcquireTransfer(int index, std::optional<std::chrono::milliseconds> wait,
                                                bool* timedOut) {
  if (timedOut) *timedOut = false;
  for (int attempt = 0; attempt < kRenumberRetries; ++attempt) {
    std::optional<std::string> key = LockKeyOf(index);
    if (!key) return {};
    std::recursive_timed_mutex& mutex = TransferMutex(*key);
    if (!wait) {
      mutex.lock();
    } else if (!mutex.try_lock_for(*wait)) {
      if (timedOut) *timedOut = true;
      return {};
    }
    if (LockKeyOf(index) != key) {  // renumbered while we waited
      mutex.unlock();
      continue;
    }
    TransferGuard guard;
    guard.manager_ = this;
    guard.mutex_ = &mutex;
    guard.index_ = index;
    guard.key_ = *key;
    t_heldGuards.push_back(HeldGuard{this, index, *key, &mutex});
    return guard;
  }
  return {};
}

template <typename Op>
bool HidDeviceManager::WithDevice(int index, Op&& op) {
  // The record is the one looked up when it carries the same transfer mutex, that is the same
  // lock key; a record of another keyboard at the index carries another.
  const auto usable = [&](const std::recursive_timed_mutex* mutex) -> HidDeviceRecord* {
    if (!m_opened || index < 0 || index >= static_cast<int>(m_devices.size())) return nullptr;
    HidDeviceRecord& record = *m_devices[static_cast<size_t>(index)];
    return record.transferMutex == mutex ? &record : nullptr;
  };
  if (const HeldGuard* held = FindHeldGuard(this, index)) {
    // The guard holds this keyboard's transfer lock: one shared manager lock is all a transfer
    // (each block of a screen download) takes.
    std::shared_lock lock(internals_->lock);
    HidDeviceRecord* record = usable(held->mutex);
    if (!record) {
      if (m_opened && index >= 0 && index < static_cast<int>(m_devices.size()))
        HidDebugLog("device %d now names another keyboard; transfer refused", index);
      return false;
    }
    return op(*record);
  }
  for (int attempt = 0; attempt < kRenumberRetries; ++attempt) {
    std::recursive_timed_mutex* mutex = TransferMutexOf(index);
    if (!mutex) return false;
    std::lock_guard transfer(*mutex);
    std::shared_lock lock(internals_->lock);
    if (!m_opened || index < 0 || index >= static_cast<int>(m_devices.size())) return false;
    if (HidDeviceRecord* record = usable(mutex)) return op(*record);
    // renumbered between the look-up and the lock: look again
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Transfers

bool HidDeviceManager::SendPacket(HidDeviceRecord& record, const uint8_t* packet) {
  std::array<uint8_t, kFeatureReportSize> report{};
  std::memcpy(report.data() + 1, packet, kPacketSize);
  int sent = record.device->sendFeatureReport(report.data(), report.size());
  if (sent != static_cast<int>(report.size())) {
    HidDebugLog("device %d: feature report send gave %d: %s", record.index, sent,
                record.device->lastError().c_str());
    return false;
  }
  return true;
}

bool HidDeviceManager::ReadReply(HidDeviceRecord& record, uint8_t* report) {
  // Zeroed first, so that a short read can never show a stale status.
  std::memset(report, 0, kFeatureReportSize);
  int got = record.device->getFeatureReport(report, kFeatureReportSize);
  if (got < static_cast<int>(kReplyStatusReportOffset + 1)) {
    HidDebugLog("device %d: reply read gave %d: %s", record.index, got, record.device->lastError().c_str());
    return false;
  }
  return true;
}

bool HidDeviceManager::SendSingle(HidDeviceRecord& record, const uint8_t* data, size_t size, int delayMs,
                                  bool readBack) {
  std::array<uint8_t, kPacketSize> packet{};
  std::memcpy(packet.data(), data, std::min(size, kPacketSize));
  clock_.sleep(delayMs);
  if (!SendPacket(record, packet.data())) return false;
  if (!readBack) return true;
  std::array<uint8_t, kFeatureReportSize> reply{};
  clock_.sleep(delayMs);
  if (!ReadReply(record, reply.data())) return false;
  if (reply[kReplyStatusReportOffset] == STATUS_RETRY) {
    if (!SendPacket(record, packet.data())) return false;
    clock_.sleep(delayMs);
    if (!ReadReply(record, reply.data())) return false;
  }
  return reply[kReplyStatusReportOffset] == STATUS_OK;
}

bool HidDeviceManager::SendBlock(HidDeviceRecord& record, const uint8_t* data, size_t size, int delayMs) {
  // A remainder shorter than a packet is not sent.
  for (size_t offset = 0; offset + kPacketSize <= size; offset += kPacketSize) {
    bool sent = false;
    for (int attempt = 0; attempt < kBlockAttempts && !sent; ++attempt) {
      sent = SendPacket(record, data + offset);
      clock_.sleep(delayMs);
    }
    if (!sent) {
      HidDebugLog("device %d: block packet %zu failed %d times; block abandoned", record.index,
                  offset / kPacketSize, kBlockAttempts);
      return false;
    }
  }
  return true;
}

bool HidDeviceManager::Send(std::span<const uint8_t> data, int deviceIndex, int delayMs, bool readBack) {
  if (data.data() == nullptr || data.empty() || !m_opened) return false;
  Internals& in = *internals_;
  ++in.activeSends;
  bool ok = WithDevice(deviceIndex, [&](HidDeviceRecord& record) {
    if (data.size() <= kFeatureReportSize)
      return SendSingle(record, data.data(), data.size(), delayMs, readBack);
    return SendBlock(record, data.data(), data.size(), delayMs);
  });
  in.blockPending = false;  // the transfer that followed the bulk blocks has ended
  --in.activeSends;
  return ok;
}

bool HidDeviceManager::SendFast(std::span<const uint8_t> data, int deviceIndex) {
  if (data.data() == nullptr || data.empty()) return false;
  return WithDevice(deviceIndex, [&](HidDeviceRecord& record) {
    if (data.size() < kPacketSize) return true;
    auto start = clock_.now();
    for (size_t offset = 0; offset + kPacketSize <= data.size(); offset += kPacketSize) {
      if (!SendPacket(record, data.data() + offset)) return false;
      clock_.sleep(kFastPacketGapMs);
      if (clock_.now() - start > std::chrono::milliseconds(kFastFrameBudgetMs))
        return false;  // frame dropped
    }
    return true;
  });
}

bool HidDeviceManager::Write(std::span<const uint8_t> block, int deviceIndex) {
  if (block.data() == nullptr || block.size() != kBulkBlockSize || !m_opened) return false;
  // Busy from here until the transfer's closing packet, also when this block fails.
  internals_->blockPending = true;
  return WithDevice(deviceIndex, [&](HidDeviceRecord& record) {
    if (!record.bulk) {
      HidDebugLog("device %d: no bulk interface", record.index);
      return false;
    }
    std::vector<uint8_t>& report = record.bulkReport;  // sized when the interface was bound
    // Drop acks that came late for earlier blocks, so that the wait below is for this block's.
    for (int i = 0; i < kDrainLimit && record.bulk->readTimeout(report.data(), report.size(), 0) > 0; ++i) {
    }
    report[0] = 0;
    std::memcpy(report.data() + 1, block.data(), kBulkBlockSize);
    std::fill(report.begin() + 1 + kBulkBlockSize, report.end(), 0);
    int written = record.bulk->write(report.data(), report.size());
    if (written != static_cast<int>(report.size())) {
      HidDebugLog("device %d: bulk write gave %d: %s", record.index, written,
                  record.bulk->lastError().c_str());
      return false;
    }
    // The ack's content means nothing to us, and its time-out is not a failure.
    int acked = record.bulk->readTimeout(report.data(), report.size(), kAckTimeoutMs);
    if (acked < 0)
      HidDebugLog("device %d: ack read failed: %s", record.index, record.bulk->lastError().c_str());
    return true;
  });
}

bool HidDeviceManager::Query(std::span<uint8_t> buffer, int /*count*/, int deviceIndex) {
  // The keyboard always answers with nine replies, whatever the request's count says.
  if (buffer.data() == nullptr || buffer.size() < kColorReplyBytes) return false;
  if (IsBusy()) return false;  // at once, without waiting for any lock
  return WithDevice(deviceIndex, [&](HidDeviceRecord& record) {
    clock_.sleep(kQueryRequestDelayMs);
    if (!SendPacket(record, buffer.data())) return false;
    std::array<uint8_t, kFeatureReportSize> reply{};
    bool gotStatus = false;
    for (int attempt = 0; attempt < kQueryStatusAttempts && !gotStatus; ++attempt) {
      clock_.sleep(kQueryStatusDelayMs);
      gotStatus = ReadReply(record, reply.data());
    }
    if (!gotStatus || reply[kReplyStatusReportOffset] != STATUS_OK) return false;
    for (int n = 0; n < kColorReplyCount; ++n) {
      clock_.sleep(kQueryRequestDelayMs);
      reply.fill(0);
      auto start = clock_.now();
      int got = record.device->getFeatureReport(reply.data(), reply.size());
      if (clock_.now() - start > std::chrono::milliseconds(kQueryReplyLimitMs)) {
        HidDebugLog("device %d: colour reply %d too slow", record.index, n);
        return false;
      }
      if (got != static_cast<int>(kFeatureReportSize)) {
        HidDebugLog("device %d: colour reply %d gave %d", record.index, n, got);
        return false;
      }
      std::memcpy(buffer.data() + static_cast<size_t>(n) * kPacketSize, reply.data() + 1, kPacketSize);
    }
    return true;
  });
}
