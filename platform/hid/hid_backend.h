// The one interface through which all HID traffic passes. The Linux back end sits on hidapi and
// hidraw; the simulated keyboard implements the same interface for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::hid {

// One top-level collection of a node with its report lengths, counted Windows-style: the largest
// report of that type plus one byte for the report id, 0 when the collection has none.
struct HidCollection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  uint32_t inputLength = 0;
  uint32_t outputLength = 0;
  uint32_t featureLength = 0;
};

// One HID node (one hidraw device = one USB interface with all its collections).
struct HidNodeInfo {
  std::string path;  // opaque; handed back to the open calls
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t releaseNumber = 0;  // bcdDevice
  int interfaceNumber = -1;
  // Identifies the physical USB device the node belongs to; empty when unknown.
  std::string physicalKey;
  // Empty when the report descriptor could not be read or was malformed: such a node is unusable.
  std::vector<HidCollection> collections;
};

enum class OpenError { kNone, kFailed, kPermissionDenied };

// An open node for packet transfers. Not safe for concurrent use: callers serialise per handle.
// Closing happens in the destructor.
class HidTransferHandle {
 public:
  virtual ~HidTransferHandle() = default;
  // Sends `length` bytes as a feature report; data[0] is the report id. Returns the bytes
  // delivered (the id byte included) or -1.
  virtual int sendFeatureReport(const uint8_t* data, size_t length) = 0;
  // Reads a feature report into `data` (data[0] holds the report id on entry). Returns the bytes
  // delivered, the id byte included, or -1.
  virtual int getFeatureReport(uint8_t* data, size_t length) = 0;
  // Writes an output report; data[0] is the report id. Returns the bytes written or -1.
  virtual int write(const uint8_t* data, size_t length) = 0;
  // Reads one input report, waiting up to `timeoutMs` (0: only what is queued). Returns the bytes
  // read, 0 on time-out, -1 on error.
  virtual int readTimeout(uint8_t* data, size_t length, int timeoutMs) = 0;
  // The device's product string, independent of the locale; nullopt when it cannot be read.
  virtual std::optional<std::wstring> productString() = 0;
  // Text of the last error on this handle, for the debug log.
  virtual std::string lastError() = 0;
};

// Outcome of one input read.
struct InputRead {
  enum class Status { kData, kTimeout, kWoken, kError, kGone };
  Status status = Status::kError;
  int bytes = 0;  // with kData: how many bytes were read
};

// An open node read for its input reports, outside hidapi. read() may block; wake() may be called
// from any other thread and makes a blocked or the next read return kWoken. Closing happens in the
// destructor, which must not run while a read is in progress.
class HidInputReader {
 public:
  virtual ~HidInputReader() = default;
  virtual InputRead read(uint8_t* buffer, size_t size, int timeoutMs) = 0;
  virtual void wake() = 0;
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // Starts the HID library; false when it cannot (then nothing is found). May be called again.
  virtual bool init() = 0;
  // Every present node once, in enumeration order.
  virtual std::vector<HidNodeInfo> listNodes() = 0;
  // Opens `node` for transfers; null on failure, with the reason in *error when given.
  virtual std::unique_ptr<HidTransferHandle> openTransfer(const HidNodeInfo& node, OpenError* error) = 0;
  // Opens `node` as an input reader; null on failure, with the reason in *error when given.
  virtual std::unique_ptr<HidInputReader> openInput(const HidNodeInfo& node, OpenError* error) = 0;
};

// The Linux back end (hidapi on hidraw, sysfs under /sys). Owned by the caller.
std::unique_ptr<HidBackend> CreateSystemHidBackend();

}  // namespace platform::hid
