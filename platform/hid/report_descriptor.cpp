#include "platform/hid/report_descriptor.h"

#include <array>
#include <map>

namespace platform::hid {

namespace {

// Item types and tags of the short items we act on.
constexpr uint8_t kTypeMain = 0, kTypeGlobal = 1, kTypeLocal = 2;
constexpr uint8_t kMainInput = 0x8, kMainOutput = 0x9, kMainFeature = 0xB, kMainCollection = 0xA,
                  kMainEndCollection = 0xC;
constexpr uint8_t kGlobalUsagePage = 0x0, kGlobalReportSize = 0x7, kGlobalReportId = 0x8,
                  kGlobalReportCount = 0x9, kGlobalPush = 0xA, kGlobalPop = 0xB;
constexpr uint8_t kLocalUsage = 0x0;
constexpr uint8_t kLongItemPrefix = 0xFE;

constexpr uint32_t kMaxReportSizeBits = 256;
constexpr uint32_t kMaxReportCount = 12288;
constexpr size_t kMaxPushDepth = 16;
constexpr size_t kMaxNesting = 64;

struct Globals {
  uint32_t usagePage = 0;
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  uint32_t reportId = 0;
};

enum ReportType { kInput = 0, kOutput = 1, kFeature = 2 };

struct Collection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  // Bits per report id, per report type.
  std::array<std::map<uint32_t, uint64_t>, 3> bits;
};

uint32_t Length(const std::map<uint32_t, uint64_t>& perId) {
  uint64_t largest = 0;
  bool any = false;
  for (const auto& [id, bits] : perId) {
    any = true;
    uint64_t bytes = (bits + 7) / 8;
    if (bytes > largest) largest = bytes;
  }
  return any ? static_cast<uint32_t>(largest + 1) : 0;
}

}  // namespace

std::optional<std::vector<HidCollection>> ParseReportDescriptor(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0 || size > kMaxDescriptorSize) return std::nullopt;

  Globals globals;
  std::vector<Globals> pushed;
  // Local usages since the last main item; `extended` ones carry their page in the high half.
  struct Usage {
    uint32_t value;
    bool extended;
  };
  std::vector<Usage> usages;
  std::vector<Collection> collections;
  size_t depth = 0;

  size_t pos = 0;
  while (pos < size) {
    uint8_t prefix = data[pos];
    if (prefix == kLongItemPrefix) {
      // Long item: prefix, data size, tag, data. Nothing in it concerns report lengths.
      if (pos + 3 > size) return std::nullopt;
      size_t itemSize = 3 + size_t{data[pos + 1]};
      if (pos + itemSize > size) return std::nullopt;
      pos += itemSize;
      continue;
    }
    size_t dataSize = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (pos + 1 + dataSize > size) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 0; i < dataSize; ++i) value |= uint32_t{data[pos + 1 + i]} << (8 * i);
    uint8_t type = (prefix >> 2) & 3;
    uint8_t tag = prefix >> 4;
    pos += 1 + dataSize;

    if (type == kTypeMain) {
      if (tag == kMainCollection) {
        if (depth >= kMaxNesting) return std::nullopt;
        if (depth == 0) {
          Collection c;
          // A short usage takes the page in effect at the main item, as USB HID defines it.
          Usage usage = usages.empty() ? Usage{0, false} : usages.front();
          c.usagePage = static_cast<uint16_t>(usage.extended ? usage.value >> 16 : globals.usagePage);
          c.usage = static_cast<uint16_t>(usage.value & 0xFFFF);
          collections.push_back(std::move(c));
        }
        ++depth;
      } else if (tag == kMainEndCollection) {
        if (depth == 0) return std::nullopt;
        --depth;
      } else if (tag == kMainInput || tag == kMainOutput || tag == kMainFeature) {
        // Fields outside every collection belong to no top-level collection: ignored.
        if (depth > 0) {
          ReportType rt = tag == kMainInput ? kInput : tag == kMainOutput ? kOutput : kFeature;
          uint64_t& bits = collections.back().bits[rt][globals.reportId];
          bits += uint64_t{globals.reportSize} * globals.reportCount;
          if ((bits + 7) / 8 > kMaxReportBytes) return std::nullopt;
        }
      }
      usages.clear();  // local items apply to the next main item only
    } else if (type == kTypeGlobal) {
      switch (tag) {
        case kGlobalUsagePage:
          globals.usagePage = value & 0xFFFF;
          break;
        case kGlobalReportSize:
          if (value > kMaxReportSizeBits) return std::nullopt;
          globals.reportSize = value;
          break;
        case kGlobalReportCount:
          if (value > kMaxReportCount) return std::nullopt;
          globals.reportCount = value;
          break;
        case kGlobalReportId:
          if (value == 0 || value > 255) return std::nullopt;
          globals.reportId = value;
          break;
        case kGlobalPush:
          if (pushed.size() >= kMaxPushDepth) return std::nullopt;
          pushed.push_back(globals);
          break;
        case kGlobalPop:
          if (pushed.empty()) return std::nullopt;
          globals = pushed.back();
          pushed.pop_back();
          break;
        default:
          break;
      }
    } else if (type == kTypeLocal) {
      if (tag == kLocalUsage) {
        if (usages.size() < 1024) usages.push_back(Usage{value, dataSize == 4});
      }
    }
  }
  if (depth != 0) return std::nullopt;

  std::vector<HidCollection> result;
  result.reserve(collections.size());
  for (const Collection& c : collections) {
    HidCollection out;
    out.usagePage = c.usagePage;
    out.usage = c.usage;
    out.inputLength = Length(c.bits[kInput]);
    out.outputLength = Length(c.bits[kOutput]);
    out.featureLength = Length(c.bits[kFeature]);
    result.push_back(out);
  }
  return result;
}

}  // namespace platform::hid
