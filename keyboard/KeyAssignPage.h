// Pieces of the key assignment page that other parts of the window share: the tip heading of each
// function type, the chooser's items and the place of the Fn switch buttons.
#pragma once

#include <utility>
#include <vector>

#include "zuvi/key_func_control.h"
#include "zuvi/types.h"

// The "KB.DIALOG" text that heads the tip of a key of function type `type`; 0 for a type whose key
// shows no tip.
int KeyTipHeadingText(int type);

// The "KB.DIALOG" texts that head the chooser's two groups: keys, then special functions.
inline constexpr int kKeyChooserHeadings[] = {121, 125};

// The chooser's items in the UI language: every key that has a name (kind 1, its usage), then the
// special functions 500-517 (kind 2).
std::vector<KeyFuncGroup> KeyChooserGroups();

// The rectangles of the Fn switch buttons 74 and 75 for a page whose right edge is `right`: the
// split follows the width of the texts in language `languageId`.
std::pair<RECT, RECT> FnSwitchRects(int right, int languageId);
