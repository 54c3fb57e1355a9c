#include "device/MacroImage.h"

#include <algorithm>

#include "device/KeyCodes.h"
#include "device/TransferSteps.h"
#include "platform/hid/debug_log.h"

namespace {

constexpr uint8_t kEventDelay = 0x50;
constexpr uint8_t kEventKeyDown = 0xB0;
constexpr uint8_t kEventKeyUp = 0x30;
constexpr uint8_t kEventMouseDown = 0x90;
constexpr uint8_t kEventMouseUp = 0x10;
constexpr uint8_t kDirectoryEmptyMacro = 0xFF;

// The stored mouse values (1 left, 2 middle, 3 right) are not the keyboard's button bits.
uint8_t MouseButtonBit(int value) {
  switch (value) {
    case 1:
      return 0x01;
    case 2:
      return 0x04;
    case 3:
      return 0x02;
    default:
      return 0;
  }
}

bool IsDelay(const MacroRecordRow& r) { return r.type == MACRO_EVENT_DELAY; }

// Events one macro's records give, the inserted delays included: one is inserted before every
// non-delay record that follows a non-delay record.
size_t EventCount(const std::vector<MacroRecordRow>& records) {
  size_t count = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    if (i > 0 && !IsDelay(records[i]) && !IsDelay(records[i - 1])) ++count;
    ++count;
  }
  return count;
}

std::array<uint8_t, kMacroEventSize> DelayEvent(int ms) {
  int clamped = std::clamp(ms, 0, 0xFFFF);
  return {static_cast<uint8_t>(clamped & 0xFF), static_cast<uint8_t>(clamped >> 8), 0, kEventDelay};
}

// Writes into the image only inside its bounds; the size check before writing makes every write
// fit, this keeps a mistake from ever reaching past the buffer.
class ImageWriter {
 public:
  explicit ImageWriter(std::array<uint8_t, kMacroImageSize>& bytes) : bytes_(bytes) {}
  void put(size_t offset, std::span<const uint8_t> data) {
    if (offset > bytes_.size() || data.size() > bytes_.size() - offset) return;
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  }
  void put16(size_t offset, size_t value) {
    const uint8_t le[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF)};
    put(offset, le);
  }

 private:
  std::array<uint8_t, kMacroImageSize>& bytes_;
};

}  // namespace

std::span<const uint8_t> MacroImage::wire() const {
  if (status != MacroImageStatus::kBuilt || packetCount <= 0) return {};
  return std::span<const uint8_t>(bytes).first(static_cast<size_t>(packetCount + 1) * kPacketSize);
}

std::array<uint8_t, kMacroEventSize> MacroEventBytes(const MacroRecordRow& record) {
  auto key = [&](uint8_t kind) -> std::array<uint8_t, kMacroEventSize> {
    return {0, 0, static_cast<uint8_t>(VirtualKeyToHidUsage(record.value)), kind};
  };
  auto mouse = [&](uint8_t kind) -> std::array<uint8_t, kMacroEventSize> {
    uint8_t bit = MouseButtonBit(record.value);
    if (bit == 0) return {};
    return {0, 0, bit, kind};
  };
  switch (record.type) {
    case MACRO_EVENT_DELAY:
      return DelayEvent(record.value);
    case MACRO_EVENT_KEY_DOWN:
      return key(kEventKeyDown);
    case MACRO_EVENT_KEY_UP:
      return key(kEventKeyUp);
    case MACRO_EVENT_MOUSE_DOWN:
      return mouse(kEventMouseDown);
    case MACRO_EVENT_MOUSE_UP:
      return mouse(kEventMouseUp);
    default:
      return {};
  }
}

MacroImage BuildMacroImage(const MacroImageInput& input) {
  MacroImage image;
  const size_t used = std::min(input.macros.size(), static_cast<size_t>(kMacroDirectoryEntries));
  image.leftOut = static_cast<int>(input.macros.size() - used);

  // The estimate the macro page keeps its users inside; it counts stored records only.
  const long long estimate =
      4LL * (static_cast<long long>(input.storedRecords) + 2LL * static_cast<long long>(input.listedMacros));
  if (estimate > kMacroEstimateLimit) {
    image.status = MacroImageStatus::kOverEstimate;
    return image;
  }

  // The exact size, inserted delays included, before a single byte is written.
  size_t end = kMacroDirectorySize;
  for (size_t i = 0; i < used; ++i) {
    const auto& records = input.macros[i];
    if (records.empty()) continue;
    end += kMacroBlockHeaderSize + kMacroEventSize * EventCount(records);
    if (end > kMacroLastEndOffset) {
      image.status = MacroImageStatus::kTooLarge;
      return image;
    }
  }

  ImageWriter out(image.bytes);
  size_t offset = kMacroDirectorySize;
  for (size_t i = 0; i < used; ++i) {
    const auto& records = input.macros[i];
    const size_t entry = i * kMacroEventSize;
    if (records.empty()) {
      const uint8_t none[4] = {kDirectoryEmptyMacro, kDirectoryEmptyMacro, kDirectoryEmptyMacro,
                               kDirectoryEmptyMacro};
      out.put(entry, none);
      continue;
    }
    out.put16(entry, offset);
    size_t events = 0;
    auto write = [&](const std::array<uint8_t, kMacroEventSize>& event) {
      out.put(offset + kMacroBlockHeaderSize + kMacroEventSize * events, event);
      ++events;
    };
    for (size_t r = 0; r < records.size(); ++r) {
      if (r > 0 && !IsDelay(records[r]) && !IsDelay(records[r - 1])) write(DelayEvent(kMacroInsertedDelayMs));
      write(MacroEventBytes(records[r]));
    }
    out.put16(offset, events);
    offset += kMacroBlockHeaderSize + kMacroEventSize * events;
  }

  image.endOffset = offset;
  image.packetCount = static_cast<int>((offset + kPacketSize - 1) / kPacketSize + 1);
  out.put(static_cast<size_t>(image.packetCount) * kPacketSize - REPORT_TRAILER.size(), REPORT_TRAILER);
  return image;
}

MacroDownloadResult DownloadMacros(const DeviceLink& link, const MacroImageInput& input,
                                   std::chrono::milliseconds lockWait) {
  MacroDownloadResult result;
  const MacroImage image = BuildMacroImage(input);
  result.leftOut = image.leftOut;
  if (image.status != MacroImageStatus::kBuilt) {
    platform::hid::HidDebugLog(
        "macro image refused (%s); nothing sent",
        image.status == MacroImageStatus::kOverEstimate ? "over the estimate" : "too large");
    result.status = MacroDownloadStatus::kDoesNotFit;
    return result;
  }
  bool timedOut = false;
  TransferGuard guard = link.manager.TryLockTransfer(link.deviceIndex, lockWait, &timedOut);
  if (!guard.valid()) {
    if (timedOut) platform::hid::HidDebugLog("keyboard %d stayed busy; macros not sent", link.deviceIndex);
    result.status = timedOut ? MacroDownloadStatus::kBusy : MacroDownloadStatus::kNoKeyboard;
    return result;
  }
  // A failed packet does not stop the next one, but the whole download then counts as failed.
  bool ok = SendCommand(link, CMD_MACRO_BEGIN);
  ok = SendCommand(link, CMD_MACRO_DATA, 0, static_cast<uint16_t>(image.packetCount)) && ok;
  link.clock.sleep(kMacroDataPauseMs);
  ok = link.manager.Send(image.wire(), link.deviceIndex, link.packetDelayMs, true) && ok;
  link.clock.sleep(kMacroDataPauseMs);
  ok = SendCommand(link, CMD_END) && ok;
  if (!ok) platform::hid::HidDebugLog("keyboard %d: a macro packet was not accepted", link.deviceIndex);
  result.status = ok ? MacroDownloadStatus::kSent : MacroDownloadStatus::kFailed;
  return result;
}
