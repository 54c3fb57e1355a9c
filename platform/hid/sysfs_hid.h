// What the kernel tells about hidraw nodes in sysfs, read without opening the node. The root folder
// is a parameter so that tests can lay out a tree of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/hid/hid_backend.h"

namespace platform::hid {

class SysfsHidReader {
 public:
  // `root` is the sysfs mount point ("/sys" on a real system), with or without a trailing '/'.
  explicit SysfsHidReader(std::string root = "/sys");

  // Bytes of <root>/class/hidraw/<node>/device/report_descriptor, where <node> is the last part of
  // `nodePath` ("/dev/hidraw3" -> "hidraw3"). nullopt when unreadable or larger than a descriptor
  // can be.
  std::optional<std::vector<uint8_t>> reportDescriptor(const std::string& nodePath) const;

  // The sysfs folder of the USB device the node belongs to: the first folder above the node's
  // device folder (symbolic links resolved) that holds idVendor and idProduct. "" when none.
  std::string physicalKey(const std::string& nodePath) const;

  // The USB device's "product" attribute in `physicalKey`, decoded as UTF-8 whatever the locale,
  // without its line end. nullopt when unreadable or not valid UTF-8.
  std::optional<std::wstring> productString(const std::string& physicalKey) const;

 private:
  std::string nodeDeviceFolder(const std::string& nodePath) const;
  std::string root_;
};

// One entry of the HID library's enumeration. hidapi lists one entry per top-level collection, all
// with the same path.
struct RawHidEntry {
  std::string path;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t releaseNumber = 0;
  int interfaceNumber = -1;
};

// One node per distinct path, at the position of its first entry, with the ids of that entry, its
// collections from the report descriptor (empty when unreadable or malformed) and its physical key.
std::vector<HidNodeInfo> BuildNodeList(const std::vector<RawHidEntry>& entries, const SysfsHidReader& sysfs);

}  // namespace platform::hid
