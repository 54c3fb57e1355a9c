// The built-in light modes of the lighting page: the items of its mode list (text id and mode id)
// on a per-key RGB and on a single-colour keyboard, and which of the page's control groups each
// mode shows. The two variants name the same effects with different mode ids.
#pragma once

#include <span>

namespace light_mode_table {

// The mode the per-key colours live in; it has a stored row but no list item.
inline constexpr int kPerKeyMode = 20;

struct ModeItem {
  int text;  // "KB.DIALOG" text id
  int mode;  // item data: the mode id
};

// The mode list in order: 20 items on an RGB keyboard, 18 on a single-colour one.
std::span<const ModeItem> ModeItems(bool rgb);

enum class Sliders {
  kNone,        // brightness and speed hidden
  kBrightness,  // brightness shown, speed hidden
  kBoth,        // brightness and speed shown
};

enum class Directions {
  kNone,        // every direction radio hidden
  kVertical,    // up and down
  kHorizontal,  // right and left
};

enum class ColorGroup {
  kFollowSwitch,  // the colourful switch shown and enabled; the colour controls enabled when not colourful
  kNoColor,       // the switch hidden, the colour controls disabled
  kPerKey,        // the switch shown and enabled (its check not set); colour controls enabled
  kUntouched,     // a single-colour keyboard: neither is touched
};

struct ModeGroups {
  bool allHidden = false;  // every control of the colour panel hidden (no mode)
  Sliders sliders = Sliders::kNone;
  Directions directions = Directions::kNone;
  ColorGroup color = ColorGroup::kUntouched;
  bool keySelect = false;  // the key group checks and the clear button
};

// The groups of `mode` in the variant's numbering. A mode the variant does not know shows the
// brightness and speed without a colour.
ModeGroups GroupsOf(int mode, bool rgb);

}  // namespace light_mode_table
