// The Linux HID back end. This is the only file that calls hidapi.
#include <hidapi/hidapi.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/hid/debug_log.h"
#include "platform/hid/hid_backend.h"
#include "platform/hid/hidraw_input_reader.h"
#include "platform/hid/sysfs_hid.h"

namespace platform::hid {

namespace {

// USB product strings are at most 126 UTF-16 units; this never truncates one.
constexpr size_t kProductStringUnits = 512;

std::string Narrow(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

class HidapiTransferHandle final : public HidTransferHandle {
 public:
  HidapiTransferHandle(hid_device* device, std::string physicalKey, const SysfsHidReader& sysfs)
      : device_(device), physicalKey_(std::move(physicalKey)), sysfs_(sysfs) {}
  ~HidapiTransferHandle() override { hid_close(device_); }

  int sendFeatureReport(const uint8_t* data, size_t length) override {
    return hid_send_feature_report(device_, data, length);
  }
  int getFeatureReport(uint8_t* data, size_t length) override {
    return hid_get_feature_report(device_, data, length);
  }
  int write(const uint8_t* data, size_t length) override { return hid_write(device_, data, length); }
  int readTimeout(uint8_t* data, size_t length, int timeoutMs) override {
    return hid_read_timeout(device_, data, length, timeoutMs);
  }
  std::optional<std::wstring> productString() override {
    // hidapi converts with mbstowcs, which turns a non-ASCII name into "" in the C locale: the
    // sysfs attribute is UTF-8 whatever the locale, so it comes first.
    if (auto fromSysfs = sysfs_.productString(physicalKey_)) return fromSysfs;
    wchar_t buffer[kProductStringUnits] = {};
    if (hid_get_product_string(device_, buffer, kProductStringUnits) != 0) return std::nullopt;
    buffer[kProductStringUnits - 1] = L'\0';
    return std::wstring(buffer);
  }
  std::string lastError() override { return Narrow(hid_error(device_)); }

 private:
  hid_device* device_;
  std::string physicalKey_;
  const SysfsHidReader& sysfs_;
};

class HidapiBackend final : public HidBackend {
 public:
  ~HidapiBackend() override {
    if (initialised_) hid_exit();
  }

  // The manager and every listener may list and open nodes from their own threads; hidapi's start
  // and enumeration are not made for that, so they take turns here.
  bool init() override {
    std::lock_guard lock(mutex_);
    return initLocked();
  }

  bool initLocked() {
    if (!initialised_) {
      initialised_ = hid_init() == 0;
      if (!initialised_) HidDebugLog("hid_init failed: %s", Narrow(hid_error(nullptr)).c_str());
    }
    return initialised_;
  }

  std::vector<HidNodeInfo> listNodes() override {
    std::lock_guard lock(mutex_);
    if (!initLocked()) return {};
    std::vector<RawHidEntry> entries;
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* e = list; e != nullptr; e = e->next) {
      RawHidEntry entry;
      entry.path = e->path ? e->path : "";
      entry.vendorId = e->vendor_id;
      entry.productId = e->product_id;
      entry.releaseNumber = e->release_number;
      entry.interfaceNumber = e->interface_number;
      entries.push_back(std::move(entry));
    }
    hid_free_enumeration(list);
    return BuildNodeList(entries, sysfs_);
  }

  std::unique_ptr<HidTransferHandle> openTransfer(const HidNodeInfo& node, OpenError* error) override {
    if (error) *error = OpenError::kNone;
    std::lock_guard lock(mutex_);
    if (!initLocked()) {
      if (error) *error = OpenError::kFailed;
      return nullptr;
    }
    // hidapi reports no errno of its own; ask the file system first so that a missing udev rule
    // can be told apart from other failures.
    if (access(node.path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
      HidDebugLog("%s: no permission (is the udev rule installed?)", node.path.c_str());
      if (error) *error = OpenError::kPermissionDenied;
      return nullptr;
    }
    hid_device* device = hid_open_path(node.path.c_str());
    if (device == nullptr) {
      int err = errno;
      HidDebugLog("%s: open failed: %s", node.path.c_str(), Narrow(hid_error(nullptr)).c_str());
      if (error) *error = (err == EACCES || err == EPERM) ? OpenError::kPermissionDenied : OpenError::kFailed;
      return nullptr;
    }
    return std::make_unique<HidapiTransferHandle>(device, node.physicalKey, sysfs_);
  }

  std::unique_ptr<HidInputReader> openInput(const HidNodeInfo& node, OpenError* error) override {
    return OpenHidrawInputReader(node.path, error);
  }

 private:
  std::mutex mutex_;
  bool initialised_ = false;
  SysfsHidReader sysfs_;
};

}  // namespace

std::unique_ptr<HidBackend> CreateSystemHidBackend() { return std::make_unique<HidapiBackend>(); }

}  // namespace platform::hid
