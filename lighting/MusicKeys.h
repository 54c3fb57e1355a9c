// Where the keys of the music page sit on the analyser's picture: six sample rows, 23 sample
// columns and the key (HID usage) at each of those points, and the sampling of a finished picture
// into the colours of those keys.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "device/LightingPackets.h"

namespace music_keys {

inline constexpr int kRows = 6;      // MUSIC_KEY_ROWS entries
inline constexpr int kColumns = 23;  // MUSIC_KEY_COLS entries
inline constexpr int kNoKey = 0xFF;
// The analyser picture the keys are sampled from: 64 rows of 256 pixels, red in the low byte.
inline constexpr int kPictureRows = 64;
inline constexpr int kPictureColumns = 256;

struct BandTables {
  std::array<int, kRows> rows{};        // picture row of each key row
  std::array<int, kColumns> columns{};  // picture column of each key column
};

// Rows 2 + 10 r + 5 (7 ... 57) and columns 11 c (0 ... 242).
BandTables MakeBandTables();

// The HID usage of the key at (row, column), kNoKey where there is none.
extern const std::array<std::array<std::uint8_t, kColumns>, kRows> kKeyPositions;

struct Sample {
  std::vector<MusicKeyColor> keys;  // one per key point, in table order
  bool lit = false;                 // some sampled pixel, read as a number, is 2 or more
};

// The colours of the key points of `picture` (kPictureRows x kPictureColumns, row-major). A band
// table entry outside the picture samples nothing.
Sample SamplePicture(std::span<const std::uint32_t> picture, const BandTables& tables);

}  // namespace music_keys
