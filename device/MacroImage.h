// The keyboard's macro memory: one image of every stored macro (a directory of 100 offsets, then
// one block of 4-byte events per macro) and the transfer that puts it on the keyboard.
//
// Image layout (zero-filled, kMacroImageSize bytes):
//   0..399      directory, entry i (4 bytes) for the macro at position i of the store's list:
//               block offset (16 bits, low byte first) and two zero bytes; FF FF FF FF for a macro
//               without records; 00 00 00 00 for no macro.
//   400..       the blocks back to back: event count (16 bits, low byte first), six zero bytes,
//               then the events.
//   64n-2, 64n-1  AA 55, where n = ceil(end offset / 64) + 1 (a whole multiple of 64 still gets
//               one more packet). The transfer sends n + 1 packets.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "device/DeviceLink.h"
#include "device/DevicePacket.h"
#include "storage/config_rows.h"

// MacroRecordRow::type values.
enum MacroEventType : int {
  MACRO_EVENT_DELAY = 1,     // value: milliseconds
  MACRO_EVENT_KEY_DOWN = 2,  // value: Windows virtual-key code
  MACRO_EVENT_KEY_UP = 3,
  MACRO_EVENT_MOUSE_DOWN = 4,  // value: 1 left, 2 middle, 3 right
  MACRO_EVENT_MOUSE_UP = 5,
};

inline constexpr size_t kMacroImageSize = 3584;  // 56 packets: the keyboard's buffer
inline constexpr size_t kMacroDirectorySize = 400;
inline constexpr int kMacroDirectoryEntries = 100;
inline constexpr size_t kMacroBlockHeaderSize = 8;
inline constexpr size_t kMacroEventSize = 4;
// The largest end offset whose n + 1 packets still fit the buffer.
inline constexpr size_t kMacroLastEndOffset = kMacroImageSize - 2 * kPacketSize;  // 3456
// The capacity estimate: 4 x (records + 2 x listed macros) may not exceed this.
inline constexpr int kMacroEstimateLimit = 2700;
// Delay inserted between two events that have no stored delay between them.
inline constexpr int kMacroInsertedDelayMs = 10;
// Pause before and after the image's data block.
inline constexpr int kMacroDataPauseMs = 30;
static_assert(kMacroImageSize % kPacketSize == 0);

// What the image is built from.
struct MacroImageInput {
  // The records of every stored macro, in the store's macro order, each in record_index order.
  // Macros after position 99 are left out of the image.
  std::vector<std::vector<MacroRecordRow>> macros;
  // Records in the whole store (CountMacroRecords), for the capacity estimate.
  int storedRecords = 0;
  // Macros the macro page lists (its list box's item count, else the number of stored macros).
  int listedMacros = 0;
};

enum class MacroImageStatus {
  kBuilt,
  kOverEstimate,  // the capacity estimate refuses the store
  kTooLarge,      // the events with their inserted delays do not fit the buffer
};

struct MacroImage {
  MacroImageStatus status = MacroImageStatus::kBuilt;
  std::array<uint8_t, kMacroImageSize> bytes{};
  size_t endOffset = kMacroDirectorySize;  // where the last block ends
  int packetCount = 0;                     // n, the count the command packet carries
  int leftOut = 0;                         // macros after position 99

  // The bytes the data block sends: n + 1 packets. Empty unless built.
  std::span<const uint8_t> wire() const;
};

// One event as the keyboard stores it. Unknown types and mouse buttons give four zero bytes;
// delays outside 0..65535 are clamped.
std::array<uint8_t, kMacroEventSize> MacroEventBytes(const MacroRecordRow& record);

// Builds the image. A refused image (status other than kBuilt) holds no bytes.
MacroImage BuildMacroImage(const MacroImageInput& input);

enum class MacroDownloadStatus {
  kSent,        // the transfer ran and the keyboard accepted every packet
  kFailed,      // the transfer ran, but a packet of it was not accepted (or the keyboard went away)
  kDoesNotFit,  // refused before anything was sent
  kNoKeyboard,  // no open keyboard at the index; nothing sent
  kBusy,        // another transaction held the keyboard for the whole wait; nothing sent
};

// How long the macro download (on the UI thread) waits for a worker's transaction to end.
inline constexpr std::chrono::milliseconds kMacroLockWait{5000};

struct MacroDownloadResult {
  MacroDownloadStatus status = MacroDownloadStatus::kSent;
  int leftOut = 0;  // macros after position 99 that the image does not hold
};

// Builds the image and, when it fits, sends it: CMD_MACRO_BEGIN, CMD_MACRO_DATA with n, a pause,
// the n + 1 packets as one data block, a pause, CMD_END; single packets with read-back, all paced
// by link.packetDelayMs. The keyboard's transfer lock is held from the first packet to the last;
// it is waited for at most `lockWait`.
MacroDownloadResult DownloadMacros(const DeviceLink& link, const MacroImageInput& input,
                                   std::chrono::milliseconds lockWait = kMacroLockWait);
