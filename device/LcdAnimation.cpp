#include "device/LcdAnimation.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <thread>

#include "common/strings.h"
#include "device/DevicePacket.h"
#include "device/TransferSteps.h"
#include "platform/hid/debug_log.h"

namespace {

constexpr int kMaxDelayByte = 0xFF;

bool UsableName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find(L'/') == std::wstring::npos &&
         name.find(L'\\') == std::wstring::npos && name.find(L'\0') == std::wstring::npos;
}

}  // namespace

uint8_t LcdFrameDelayByte(int delayMs) {
  const int q = delayMs / 2;
  return static_cast<uint8_t>(std::clamp(q, 1, kMaxDelayByte));
}

uint16_t Rgb565(uint32_t rgb) {
  const uint32_t r = (rgb >> 16) & 0xFF;
  const uint32_t g = (rgb >> 8) & 0xFF;
  const uint32_t b = rgb & 0xFF;
  return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

bool PackRgb565Frame(std::span<const uint32_t> pixels, std::span<uint8_t> out) {
  if (pixels.size() != kLcdPixels || out.size() != kLcdFrameBytes) return false;
  const size_t first = kRgb565ByteOrder == Rgb565ByteOrder::kLowFirst ? 0 : 1;
  for (size_t i = 0; i < kLcdPixels; ++i) {
    const uint16_t v = Rgb565(pixels[i]);
    out[2 * i + first] = static_cast<uint8_t>(v & 0xFF);
    out[2 * i + (1 - first)] = static_cast<uint8_t>(v >> 8);
  }
  return true;
}

std::optional<std::string> LcdFramePath(const std::string& workingFolder, const std::wstring& slotFolder,
                                        const std::wstring& fileName) {
  if (workingFolder.empty() || !UsableName(slotFolder) || !UsableName(fileName)) return std::nullopt;
  std::string folder = workingFolder;
  if (folder.back() != '/') folder += '/';
  return folder + "led/" + WideToUtf8(slotFolder) + "/" + WideToUtf8(fileName);
}

namespace {

// The header and the size of the image of `frames`; every frame is still 0xFF.
LcdAnimationImage LayOutImage(std::span<const LedFrameRow> frames) {
  LcdAnimationImage image;
  // Header, buffer size and block count all come from the rows actually handed in.
  image.frames = static_cast<int>(std::min(frames.size(), static_cast<size_t>(LCD_MAX_FRAMES)));
  if (image.frames == 0) return image;
  const size_t size = kLcdHeaderSize + static_cast<size_t>(image.frames) * kLcdFrameBytes;
  image.blocks = static_cast<int>((size + kBulkBlockSize - 1) / kBulkBlockSize);
  image.bytes.assign(static_cast<size_t>(image.blocks) * kBulkBlockSize, kLcdFill);
  image.bytes[0] = static_cast<uint8_t>(image.frames);
  for (int i = 0; i < image.frames; ++i)
    image.bytes[1 + static_cast<size_t>(i)] = LcdFrameDelayByte(frames[static_cast<size_t>(i)].delay_time);
  return image;
}

// Reads frame `i` into its place in the image; an unreadable frame stays 0xFF.
void ReadFrame(LcdAnimationImage& image, int i, const LedFrameRow& row, const std::string& workingFolder,
               const std::wstring& slotFolder, const LcdFrameReader& read) {
  std::span<uint8_t> out(image.bytes.data() + kLcdHeaderSize + static_cast<size_t>(i) * kLcdFrameBytes,
                         kLcdFrameBytes);
  std::optional<std::string> path = LcdFramePath(workingFolder, slotFolder, row.file_name);
  if (!path) {
    platform::hid::HidDebugLog("screen frame %d: unusable file name; left blank", i);
    return;
  }
  std::optional<std::vector<uint32_t>> pixels = read ? read(*path) : std::nullopt;
  if (!pixels || !PackRgb565Frame(*pixels, out)) {
    platform::hid::HidDebugLog("screen frame %d: %s cannot be read; left blank", i, path->c_str());
  }
}

// The frames whose bytes reach into block `k`: every frame that starts before the block ends.
int FramesInBlocksUpTo(const LcdAnimationImage& image, int k) {
  const size_t end = static_cast<size_t>(k + 1) * kBulkBlockSize;
  if (end <= kLcdHeaderSize) return 0;
  const size_t started = (end - kLcdHeaderSize + kLcdFrameBytes - 1) / kLcdFrameBytes;
  return static_cast<int>(std::min(started, static_cast<size_t>(image.frames)));
}

// The frames of an image as a helper thread reads them, so that reading overlaps the waits of the
// transfer: the sender waits before a block only for the frames that block holds.
class FrameFeed {
 public:
  // The reader: the first `count` frames are in the image.
  void Publish(int count) {
    {
      std::lock_guard lock(mutex_);
      ready_.store(count, std::memory_order_release);
    }
    changed_.notify_all();
  }
  // The reader gave up (it threw): no more frames come.
  void Fail() {
    {
      std::lock_guard lock(mutex_);
      failed_ = true;
    }
    changed_.notify_all();
  }
  // The sender: true once the first `count` frames are there, false when they never will be.
  bool WaitFor(int count) {
    if (ready_.load(std::memory_order_acquire) >= count) return true;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failed_ || ready_.load(std::memory_order_relaxed) >= count; });
    return ready_.load(std::memory_order_relaxed) >= count;
  }
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<int> ready_{0};
  std::atomic<bool> cancelled_{false};
  bool failed_ = false;
};

}  // namespace

LcdAnimationImage BuildLcdAnimationImage(std::span<const LedFrameRow> frames,
                                         const std::string& workingFolder, const std::wstring& slotFolder,
                                         const LcdFrameReader& read) {
  LcdAnimationImage image = LayOutImage(frames);
  for (int i = 0; i < image.frames; ++i)
    ReadFrame(image, i, frames[static_cast<size_t>(i)], workingFolder, slotFolder, read);
  return image;
}

void LcdProgressHolder::Set(Target target) {
  std::lock_guard lock(mutex_);
  target_ = std::move(target);
}

void LcdProgressHolder::Clear() {
  std::lock_guard lock(mutex_);
  target_ = nullptr;
}

void LcdProgressHolder::Report(int percent) {
  std::lock_guard lock(mutex_);  // held during the call, so Clear() waits for a report under way
  if (!target_) return;
  char title[32];
  std::snprintf(title, sizeof title, "Loading: %d%%", percent);
  target_(percent, title);
}

uint8_t LcdSlotByte(int selectedSlot) {
  return selectedSlot < 0 ? 0 : static_cast<uint8_t>((selectedSlot + 1) & 0xFF);
}

namespace {

// SendLcdAnimationImage; with a `feed`, each block first waits for the frames it holds, and a feed
// that fails ends the transfer as a stop does.
bool SendImage(const DeviceLink& link, uint8_t slotByte, const LcdAnimationImage& image,
               LcdProgressHolder* progress, const std::function<bool()>& stop, FrameFeed* feed) {
  if (image.frames == 0 || image.blocks <= 0 ||
      image.bytes.size() != static_cast<size_t>(image.blocks) * kBulkBlockSize)
    return false;
  TransferGuard guard = link.manager.LockTransfer(link.deviceIndex);
  if (!guard.valid()) return false;  // no keyboard at this index: nothing to send to
  bool ok = SendCommand(link, CMD_BEGIN);
  ok = SendCommand(link, CMD_LCD_ANIMATION, slotByte, static_cast<uint16_t>(image.blocks)) && ok;
  bool stopped = false;
  int lost = 0;
  for (int k = 0; k < image.blocks; ++k) {
    if ((stop && stop()) || (feed && !feed->WaitFor(FramesInBlocksUpTo(image, k)))) {
      stopped = true;
      break;
    }
    std::span<const uint8_t> block(image.bytes.data() + static_cast<size_t>(k) * kBulkBlockSize,
                                   kBulkBlockSize);
    if (!link.manager.Write(block, link.deviceIndex)) ++lost;  // a failed block is not repeated
    if (progress) progress->Report(k * 100 / image.blocks);
  }
  // Also after a stop: closes the keyboard's transaction and clears the transport's busy flag.
  ok = SendCommand(link, CMD_END) && ok;
  if (stopped) return false;
  if (lost > 0) platform::hid::HidDebugLog("screen: %d of %d blocks were lost", lost, image.blocks);
  if (!ok) platform::hid::HidDebugLog("screen: a command packet was not accepted");
  if (progress) progress->Report(100);
  return ok && lost == 0;
}

}  // namespace

bool SendLcdAnimationImage(const DeviceLink& link, uint8_t slotByte, const LcdAnimationImage& image,
                           LcdProgressHolder* progress, const std::function<bool()>& stop) {
  return SendImage(link, slotByte, image, progress, stop, nullptr);
}

bool DownloadLcdAnimation(const DeviceLink& link, const LcdDownloadInput& input, const LcdFrameReader& read,
                          LcdProgressHolder* progress, const std::function<bool()>& stop) {
  LcdAnimationImage image = LayOutImage(input.frames);
  if (image.frames == 0) return false;
  FrameFeed feed;
  std::exception_ptr readError;
  std::thread reader([&] {
    try {
      for (int i = 0; i < image.frames && !feed.cancelled(); ++i) {
        ReadFrame(image, i, input.frames[static_cast<size_t>(i)], input.workingFolder, input.slotFolder,
                  read);
        feed.Publish(i + 1);
      }
    } catch (...) {
      readError = std::current_exception();
      feed.Fail();
    }
  });
  bool ok = false;
  try {
    ok = SendImage(link, LcdSlotByte(input.selectedSlot), image, progress, stop, &feed);
  } catch (...) {
    feed.Cancel();
    reader.join();
    throw;
  }
  feed.Cancel();
  reader.join();
  if (readError) std::rethrow_exception(readError);
  return ok;
}
