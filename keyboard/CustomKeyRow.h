// What the custom key dialog stores on OK, built from what the dialog shows: the key row, its
// description and, for programs, web addresses, texts and profile switches, the software action
// row that has to be inserted first (its id becomes the key row's macrovalue). Pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "storage/config_rows.h"

// The dialog's state at OK. Key fields are Windows virtual keys, 0 when unset.
struct CustomKeyState {
  int profile = 0;
  int key = 0;  // HID usage of the key being assigned
  int fnLayer = 0;
  int type = 0;  // KeyFunctionType chosen
  int mainKey = 0;      // the captured key; also the first key of a sequence
  int modifierKey = 0;  // a Windows key (0x5B, 0x5C) reported by the blocker
  int sequenceKey2 = 0;
  int sequenceKey3 = 0;
  int captureMode = 0;  // 1 key field, 6-8 the sequence fields, 0 none
  bool shift = false, ctrl = false, win = false, alt = false;  // the modifier boxes
  std::wstring keyText;           // the key / program / address / text field
  std::wstring sequenceTexts[3];  // the three sequence fields
  bool hasListItem = false;       // the value list has a selected entry
  std::intptr_t listData = 0;
  std::wstring listText;
  int playOption = 0;
  std::wstring repeatText;
  std::wstring programPath;
};

// A t_key_otherdata row to insert: InsertKeyOtherData(desc, param, type).
struct KeyActionRow {
  std::wstring desc;
  std::wstring param;
  int type = 0;
};

struct CustomKeyResult {
  // Nothing to store: OK leaves the dialog open and the key's assignment as it was.
  bool stayOpen = true;
  KeyDataRow row;                     // profile, key and layer set; macrovalue 0 while `action` is set
  std::optional<KeyActionRow> action;  // types 8-11
};

// The row OK stores for `state`.
CustomKeyResult BuildCustomKeyRow(const CustomKeyState& state);

// The repeat count of a macro played a set number of times, from its edit's text: the number the
// text starts with, 1 when empty, kept within 1..255.
int RepeatCount(const std::wstring& text);
