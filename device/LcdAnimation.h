// The screen animation download: the image (a 256-byte header, then 240 x 135 RGB565 frames) and
// its transfer as 4096-byte blocks on the keyboard's bulk interface.
//
// Image layout (filled with 0xFF first; B x 4096 bytes, B = ceil((256 + F x 64800) / 4096)):
//   0          F, the number of frames (at most 141)
//   1 + i      delay byte of frame i: delay_time / 2, at least 1, at most 255
//   256 + 64800 x i   frame i: pixel (x, y) at 2 x (240y + x), RGB565 low byte first
// Header bytes after the delays, frames that cannot be read and the rest of the last block stay
// 0xFF.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/DeviceLink.h"
#include "storage/config_rows.h"

inline constexpr int LCD_WIDTH = 240;
inline constexpr int LCD_HEIGHT = 135;
inline constexpr int LCD_MAX_FRAMES = 141;
inline constexpr size_t kLcdPixels = static_cast<size_t>(LCD_WIDTH) * LCD_HEIGHT;
inline constexpr size_t kLcdFrameBytes = kLcdPixels * 2;  // 64,800
inline constexpr size_t kLcdHeaderSize = 256;
inline constexpr uint8_t kLcdFill = 0xFF;

// Order of the two bytes of an RGB565 pixel in a frame. Low byte first is our choice: a real
// keyboard must confirm it before anyone relies on it.
enum class Rgb565ByteOrder { kLowFirst, kHighFirst };
inline constexpr Rgb565ByteOrder kRgb565ByteOrder = Rgb565ByteOrder::kLowFirst;

// The delay byte of a frame of `delayMs` milliseconds: delayMs / 2, raised to 1, capped at 255
// (a long delay must not wrap into a short one).
uint8_t LcdFrameDelayByte(int delayMs);

// (R >> 3) << 11 | (G >> 2) << 5 | (B >> 3) of a 0x00RRGGBB pixel (higher bits ignored).
uint16_t Rgb565(uint32_t rgb);

// Packs kLcdPixels 0x00RRGGBB pixels, row-major from the top-left, into kLcdFrameBytes bytes.
// False, writing nothing, when the sizes are not those.
bool PackRgb565Frame(std::span<const uint32_t> pixels, std::span<uint8_t> out);

// Reads one frame file as exactly kLcdPixels opaque 0x00RRGGBB pixels; nullopt when it cannot.
using LcdFrameReader = std::function<std::optional<std::vector<uint32_t>>(const std::string& path)>;

// The path of a frame file: working folder + "led/" + slot folder + "/" + file name. Nullopt when
// the folder or the name is empty, holds a separator, or is "." or "..": nothing outside the slot
// folder is ever read.
std::optional<std::string> LcdFramePath(const std::string& workingFolder, const std::wstring& slotFolder,
                                        const std::wstring& fileName);

struct LcdAnimationImage {
  int frames = 0;              // frames the header announces
  int blocks = 0;              // B
  std::vector<uint8_t> bytes;  // B x 4096 bytes; empty without frames
};

// Builds the image from the slot's frame rows (in frame_index order; the first 141 are used).
// Unreadable frames keep their bytes 0xFF and the next frame keeps its place.
LcdAnimationImage BuildLcdAnimationImage(std::span<const LedFrameRow> frames,
                                         const std::string& workingFolder, const std::wstring& slotFolder,
                                         const LcdFrameReader& read);

// Where a download reports its progress: the page fills it before it queues the download and
// empties it when its dialog ends; an empty holder takes no reports. Thread-safe; a report never
// reaches a target after Clear() has returned (the target runs under the holder's lock, so it
// must neither use the holder nor wait for the thread that clears it).
class LcdProgressHolder {
 public:
  // percent 0..100 and the title text "Loading: N%".
  using Target = std::function<void(int percent, const std::string& title)>;
  void Set(Target target);
  void Clear();
  void Report(int percent);

 private:
  std::mutex mutex_;
  Target target_;
};

// The slot byte of the command packet: the selected entry of the slot list + 1 (as one byte), 0
// without a selection (-1).
uint8_t LcdSlotByte(int selectedSlot);

// Sends `image` to screen slot `slotByte`: CMD_BEGIN, CMD_LCD_ANIMATION (slot, B), the B blocks on
// the bulk interface with progress k x 100 / B after block k (k from 0), CMD_END, progress 100.
// `stop` (may be empty) is asked before every block; when it answers true no further block is
// sent, CMD_END still closes the transaction and the result is false. A block or command packet
// that was not accepted does not stop the others, but the result is false. An image without
// frames, or no keyboard at the index, sends nothing and gives false. The keyboard's transfer lock
// is held throughout.
bool SendLcdAnimationImage(const DeviceLink& link, uint8_t slotByte, const LcdAnimationImage& image,
                           LcdProgressHolder* progress, const std::function<bool()>& stop);

// What the download of one slot is made of.
struct LcdDownloadInput {
  std::vector<LedFrameRow> frames;  // GetLedFrames of the slot, in frame_index order
  std::string workingFolder;        // ends in '/'
  std::wstring slotFolder;          // the slot's file_dir
  int selectedSlot = -1;            // selected entry of the slot list, -1 for none
};

// The whole download: the image of BuildLcdAnimationImage sent as SendLcdAnimationImage does. The
// frames are read on a helper thread meanwhile, in order; each block waits only for the frames it
// holds, so reading overlaps the transfer's waits. The reader must allow calls from that thread.
// False when nothing was sent (no frames), when it was stopped, or when a packet of it was not
// accepted. An exception of the reader ends the transfer (CMD_END is still sent) and is rethrown.
bool DownloadLcdAnimation(const DeviceLink& link, const LcdDownloadInput& input, const LcdFrameReader& read,
                          LcdProgressHolder* progress, const std::function<bool()>& stop);
