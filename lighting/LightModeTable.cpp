#include "lighting/LightModeTable.h"

#include <algorithm>
#include <iterator>

namespace light_mode_table {

namespace {

constexpr ModeItem kRgbItems[] = {
    {200, 1},  {201, 2},  {202, 3},  {203, 4},  {204, 5},  {205, 6},  {206, 7},
    {207, 8},  {208, 9},  {209, 10}, {210, 11}, {211, 12}, {212, 13}, {213, 14},
    {214, 15}, {215, 16}, {216, 17}, {217, 18}, {218, 19}, {219, 0},
};

// The single-colour keyboard lacks the two effects without a colour (texts 205 and 207).
constexpr ModeItem kSingleColorItems[] = {
    {200, 1},  {201, 2},  {202, 3},  {203, 4},  {204, 5},  {206, 6},  {208, 7},  {209, 8},  {210, 9},
    {211, 10}, {212, 11}, {213, 12}, {214, 13}, {215, 14}, {216, 15}, {217, 16}, {218, 17}, {219, 0},
};

template <size_t N>
bool In(int mode, const int (&modes)[N]) {
  return std::find(std::begin(modes), std::end(modes), mode) != std::end(modes);
}

ModeGroups RgbGroups(int mode) {
  constexpr int kHorizontal[] = {11, 16, 18};
  if (mode == 0) return {true, Sliders::kNone, Directions::kNone, ColorGroup::kFollowSwitch, false};
  if (mode == 1) return {false, Sliders::kBrightness, Directions::kNone, ColorGroup::kFollowSwitch, false};
  if (mode == 6 || mode == 8) return {false, Sliders::kBoth, Directions::kNone, ColorGroup::kNoColor, false};
  if (mode == 10) return {false, Sliders::kBoth, Directions::kVertical, ColorGroup::kFollowSwitch, false};
  if (In(mode, kHorizontal))
    return {false, Sliders::kBoth, Directions::kHorizontal, ColorGroup::kFollowSwitch, false};
  if (mode == kPerKeyMode) return {false, Sliders::kBrightness, Directions::kNone, ColorGroup::kPerKey, true};
  if (mode >= 2 && mode <= 19) return {false, Sliders::kBoth, Directions::kNone, ColorGroup::kFollowSwitch, false};
  return {false, Sliders::kBoth, Directions::kNone, ColorGroup::kNoColor, false};
}

ModeGroups SingleColorGroups(int mode) {
  constexpr int kHorizontal[] = {9, 14, 16};
  ModeGroups groups;
  groups.color = ColorGroup::kUntouched;
  if (mode == 0) {
    groups.allHidden = true;
  } else if (mode == 1) {
    groups.sliders = Sliders::kBrightness;
  } else if (mode == 8) {
    groups.sliders = Sliders::kBoth;
    groups.directions = Directions::kVertical;
  } else if (In(mode, kHorizontal)) {
    groups.sliders = Sliders::kBoth;
    groups.directions = Directions::kHorizontal;
  } else {
    groups.sliders = Sliders::kBoth;
  }
  return groups;
}

}  // namespace

std::span<const ModeItem> ModeItems(bool rgb) {
  if (rgb) return kRgbItems;
  return kSingleColorItems;
}

ModeGroups GroupsOf(int mode, bool rgb) { return rgb ? RgbGroups(mode) : SingleColorGroups(mode); }

}  // namespace light_mode_table
