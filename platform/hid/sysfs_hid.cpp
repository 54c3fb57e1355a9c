#include "platform/hid/sysfs_hid.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unordered_set>

#include "platform/hid/debug_log.h"
#include "platform/hid/report_descriptor.h"

namespace platform::hid {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadSmallFile(const fs::path& file, size_t limit) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  bytes.resize(limit + 1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (bytes.size() > limit) return std::nullopt;
  return bytes;
}

// Strict UTF-8 to UTF-32; nullopt on any invalid sequence. (The platform layer sits below common/,
// so it carries its own small decoder for this one attribute.)
std::optional<std::wstring> DecodeUtf8(const std::string& bytes) {
  std::wstring out;
  size_t i = 0;
  while (i < bytes.size()) {
    auto b = static_cast<unsigned char>(bytes[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= bytes.size() + (extra == 0 ? 1 : 0))
      return std::nullopt;
    uint32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      auto c = static_cast<unsigned char>(bytes[i + k]);
      if ((c & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    out.push_back(static_cast<wchar_t>(cp));
    i += 1 + extra;
  }
  return out;
}

}  // namespace

SysfsHidReader::SysfsHidReader(std::string root) : root_(std::move(root)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

std::string SysfsHidReader::nodeDeviceFolder(const std::string& nodePath) const {
  std::string node = fs::path(nodePath).filename().string();
  if (node.empty() || node == "." || node == "..") return {};
  return root_ + "/class/hidraw/" + node + "/device";
}

std::optional<std::vector<uint8_t>> SysfsHidReader::reportDescriptor(const std::string& nodePath) const {
  std::string folder = nodeDeviceFolder(nodePath);
  if (folder.empty()) return std::nullopt;
  auto bytes = ReadSmallFile(folder + "/report_descriptor", kMaxDescriptorSize);
  if (!bytes) return std::nullopt;
  return std::vector<uint8_t>(bytes->begin(), bytes->end());
}

std::string SysfsHidReader::physicalKey(const std::string& nodePath) const {
  std::string folder = nodeDeviceFolder(nodePath);
  if (folder.empty()) return {};
  std::error_code ec;
  fs::path dir = fs::canonical(folder, ec);
  if (ec) return {};
  fs::path root = fs::canonical(root_, ec);
  if (ec) return {};
  // Walk up, staying inside the sysfs root.
  for (fs::path p = dir; !p.empty() && p != root && p != p.root_path(); p = p.parent_path()) {
    if (fs::exists(p / "idVendor", ec) && fs::exists(p / "idProduct", ec)) return p.string();
  }
  return {};
}

std::optional<std::wstring> SysfsHidReader::productString(const std::string& physicalKey) const {
  if (physicalKey.empty()) return std::nullopt;
  auto bytes = ReadSmallFile(fs::path(physicalKey) / "product", 1024);
  if (!bytes) return std::nullopt;
  while (!bytes->empty() && (bytes->back() == '\n' || bytes->back() == '\r')) bytes->pop_back();
  if (bytes->empty()) return std::wstring();
  return DecodeUtf8(*bytes);  // nullopt when not UTF-8: the caller falls back
}

std::vector<HidNodeInfo> BuildNodeList(const std::vector<RawHidEntry>& entries, const SysfsHidReader& sysfs) {
  std::vector<HidNodeInfo> nodes;
  std::unordered_set<std::string> seen;
  for (const RawHidEntry& entry : entries) {
    if (entry.path.empty() || !seen.insert(entry.path).second) continue;
    HidNodeInfo node;
    node.path = entry.path;
    node.vendorId = entry.vendorId;
    node.productId = entry.productId;
    node.releaseNumber = entry.releaseNumber;
    node.interfaceNumber = entry.interfaceNumber;
    node.physicalKey = sysfs.physicalKey(entry.path);
    if (auto descriptor = sysfs.reportDescriptor(entry.path)) {
      if (auto collections = ParseReportDescriptor(descriptor->data(), descriptor->size()))
        node.collections = std::move(*collections);
      else
        HidDebugLog("%s: malformed report descriptor, node unusable", entry.path.c_str());
    } else {
      HidDebugLog("%s: report descriptor unreadable, node unusable", entry.path.c_str());
    }
    nodes.push_back(std::move(node));
  }
  return nodes;
}

}  // namespace platform::hid
