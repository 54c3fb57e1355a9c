#include "device/HidReportListener.h"

#include <array>
#include <cstring>

#include "device/DevicePacket.h"
#include "platform/hid/debug_log.h"

using platform::hid::HidDebugLog;
using platform::hid::InputRead;

namespace {

constexpr int kReadTimeoutMs = 3000;
constexpr int kPauseBetweenReadsMs = 10;
constexpr size_t kReadBufferSize = 64;  // of which the first 4 bytes count
constexpr uint16_t kVendorUsagePage = 0xFFFF;
constexpr uint16_t kVendorUsage = 0x0001;

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Reads the `n` characters at `pos` as wcstol(group, nullptr, 16) would: an optional "0x", then
// hexadecimal digits up to the first other character; 0 when there are none.
int HexGroup(std::wstring_view text, size_t pos, size_t n) {
  std::wstring_view group = text.substr(pos, n);
  if (group.size() > 2 && group[0] == L'0' && (group[1] == L'x' || group[1] == L'X') &&
      HexDigit(group[2]) >= 0)
    group.remove_prefix(2);
  int value = 0;
  for (wchar_t c : group) {
    int digit = HexDigit(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

bool IsAlnum(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool AlnumRun(std::wstring_view text, size_t pos, size_t n) {
  if (pos + n > text.size()) return false;
  for (size_t i = 0; i < n; ++i)
    if (!IsAlnum(text[pos + i])) return false;
  return true;
}

}  // namespace

bool MapInputReport(const uint8_t* report, int bytesRead, unsigned int messageId, ListenerMessage& out) {
  if (bytesRead <= 0 || report[0] != kRequestReportId) return false;
  if (report[1] == kSlotKeyMarker)
    out = ListenerMessage{WM_DEVICE_SLOT_KEY, report[2], report[3]};
  else
    out = ListenerMessage{messageId, 0, report[2]};
  return true;
}

bool ParseHidDevicePath(std::wstring_view path, int& vid, int& pid) {
  // The optional rev/mi/col parts do not change the ids, so only the fixed head is matched.
  static constexpr std::wstring_view kHead = L"hid#vid_";
  static constexpr std::wstring_view kPid = L"&pid_";
  for (size_t at = path.find(kHead); at != std::wstring_view::npos; at = path.find(kHead, at + 1)) {
    size_t vidPos = at + kHead.size();
    size_t pidTag = vidPos + 4;
    size_t pidPos = pidTag + kPid.size();
    if (!AlnumRun(path, vidPos, 4) || path.substr(pidTag, kPid.size()) != kPid || !AlnumRun(path, pidPos, 4))
      continue;
    vid = HexGroup(path, vidPos, 4);
    pid = HexGroup(path, pidPos, 4);
    return true;
  }
  return false;
}

std::unique_ptr<platform::hid::HidInputReader> OpenHidInterface(platform::hid::HidBackend& backend, int vid,
                                                                int pid, const std::string& physicalKey) {
  for (const auto& node : backend.listNodes()) {
    if (node.vendorId != vid || node.productId != pid) continue;
    if (!physicalKey.empty() && node.physicalKey != physicalKey) continue;
    bool vendor = false;
    for (const auto& c : node.collections)
      if (c.usagePage == kVendorUsagePage && c.usage == kVendorUsage) vendor = true;
    if (!vendor) continue;
    platform::hid::OpenError error = platform::hid::OpenError::kNone;
    if (auto reader = backend.openInput(node, &error)) return reader;
    HidDebugLog("%s: vendor collection did not open (%s)", node.path.c_str(),
                error == platform::hid::OpenError::kPermissionDenied ? "permission denied" : "open failed");
  }
  return nullptr;
}

HidReportListener::HidReportListener(platform::hid::HidBackend& backend, platform::Clock& clock,
                                     PostMessageFn post)
    : backend_(backend), clock_(clock), post_(std::move(post)) {}

HidReportListener::~HidReportListener() { Stop(); }

void HidReportListener::SetDevice(int vid, int pid, const std::string& physicalKey) {
  std::lock_guard lock(settingsMutex_);
  vid_ = vid;
  pid_ = pid;
  physicalKey_ = physicalKey;
}

void HidReportListener::SetMessageId(unsigned int messageId) {
  std::lock_guard lock(settingsMutex_);
  messageId_ = messageId;
}

void HidReportListener::Start() {
  if (restartGuard_.exchange(true)) return;  // a restart is already running
  {
    std::lock_guard control(controlMutex_);
    StopLocked();
    int vid, pid;
    std::string key;
    {
      std::lock_guard lock(settingsMutex_);
      vid = vid_;
      pid = pid_;
      key = physicalKey_;
    }
    reader_ = OpenHidInterface(backend_, vid, pid, key);
    if (reader_) {
      run_ = true;
      thread_ = std::thread(&HidReportListener::ReadLoop, this);
    } else {
      HidDebugLog("listener %04x:%04x: no vendor collection; stopped", static_cast<unsigned>(vid),
                  static_cast<unsigned>(pid));
    }
  }
  restartGuard_ = false;
}

void HidReportListener::Stop() {
  std::lock_guard control(controlMutex_);
  StopLocked();
}

bool HidReportListener::IsRunning() const { return run_; }

void HidReportListener::StopLocked() {
  {
    std::lock_guard idle(idleMutex_);
    run_ = false;
  }
  idleWake_.notify_all();
  if (reader_) reader_->wake();
  if (thread_.joinable()) thread_.join();
  reader_.reset();  // closed only once no thread reads it
}

void HidReportListener::ReadLoop() {
  unsigned int messageId;
  {
    std::lock_guard lock(settingsMutex_);
    messageId = messageId_;
  }
  std::array<uint8_t, kReadBufferSize> buffer{};
  while (run_) {
    buffer.fill(0);
    InputRead result = reader_->read(buffer.data(), buffer.size(), kReadTimeoutMs);
    if (result.status == InputRead::Status::kGone) {
      // The keyboard is gone: no more reads on this node, and no spinning, until Stop or Start.
      HidDebugLog("listener: keyboard gone; waiting for a restart");
      std::unique_lock idle(idleMutex_);
      idleWake_.wait(idle, [&] { return !run_; });
      break;
    }
    if (result.status == InputRead::Status::kData && run_) {
      ListenerMessage message;
      if (MapInputReport(buffer.data(), result.bytes, messageId, message))
        post_(message.message, message.wParam, message.lParam);
    }
    if (result.status == InputRead::Status::kError) HidDebugLog("listener: read failed");
    if (!run_) break;
    clock_.sleep(kPauseBetweenReadsMs);
  }
}
