// The fixed frame of the keyboard window and the items of its tab column, as constant data: the
// frame builder creates from it and the language switch re-texts from it.
#pragma once

#include <span>
#include <vector>

#include "keyboard/KeyboardDlg.h"

namespace kb_frame {

// One control of the frame, created in table order.
struct FrameControl {
  int id;
  const wchar_t* className;
  bool area;             // made with CreateArea (never notifies)
  const wchar_t* image;  // skin file, or null
  int imageStates;
  int tooltip;  // text id, 0 for none
  int text;     // text id of the caption, 0 for none
  bool visible;
  const wchar_t* glyph = nullptr;  // title of an image button, shown while no skin picture is there
};

// One item of the tab column, inserted in table order when its capability is present.
struct TabItem {
  KeyboardTab id;
  int text;
  const wchar_t* icon;
  int container;
  std::uint8_t KeyboardDlg::*gate;  // null: always present
};

inline constexpr ARGB kCaptionColor = 0xFEFFFFFF;
inline constexpr ARGB kTabTextColor = 0xFEADADAD;

std::span<const FrameControl> FrameControls();
std::span<const TabItem> TabItems();
// The page containers in their creation order.
std::span<const int> PageContainers();
// Every text id the language switch gives a control (the relabelling names included).
std::vector<int> LanguageTextIds();

}  // namespace kb_frame
