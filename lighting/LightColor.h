// The colour formats of the lighting pages. The store, the key views and the keyboard take colours
// as 0x00BBGGRR (red in the low byte); the palettes and colour buttons hold ARGB 0xFFRRGGBB; the
// lighting page's static colour goes to the key view as ARGB with alpha 0xFE.
#pragma once

#include <cstdint>
#include <string>

#include "zuvi/types.h"

namespace light_color {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool operator==(const Rgb&) const = default;
};

// 0x00BBGGRR from three channels (each cut to its low 8 bits) and back (only the low 24 bits count).
std::uint32_t Pack(const Rgb& rgb);
Rgb Unpack(std::uint32_t bbggrr);
// A palette's or colour button's ARGB colour as 0x00BBGGRR (alpha dropped), and back with alpha 0xFF.
std::uint32_t FromArgb(ARGB argb);
ARGB ToPaletteArgb(std::uint32_t bbggrr);
// The static colour handed to KeyboardCtrl::SetStaticModeColor: 0xFE RR GG BB.
ARGB ToStaticModeArgb(std::uint32_t bbggrr);
// A channel typed into a colour edit: its number as _wtoi reads it, clamped to 0..255.
int EditChannel(const std::wstring& text);
// Whether the edit's text must be rewritten: its number lies outside 0..255.
bool EditOutOfRange(const std::wstring& text);

}  // namespace light_color
