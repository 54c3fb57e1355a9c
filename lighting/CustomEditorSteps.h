// The steps the two custom light editors share: the custom light effects (tab 4) and the custom
// light modes (tab 7) each keep named schemes of per-key rows with one value (the effect speed or
// the mode brightness), edited on a key view with a colour panel, key-group boxes and scheme files.
// An editor hands its control ids and the store calls of its own tables; the rest is the same.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "keyboard/KeyboardDlg.h"
#include "keyboard/PageControls.h"
#include "lighting/SchemeFile.h"
#include "platform/clock/clock.h"
#include "storage/config_db.h"

class CustomLightMode;
class QelListBox;

namespace custom_editor {

struct SchemeName {
  int id = 0;
  std::wstring name;
};

// One editor: its controls, the store calls of its tables and its scheme file.
struct Editor {
  int list = 0;  // the scheme list
  int view = 0;  // the key view
  int palette = 0;
  int red = 0, green = 0, blue = 0;  // the colour edits
  int firstPreset = 0, lastPreset = 0;
  int allKeys = 0, digitKeys = 0, wasdKeys = 0;
  int valueSlider = 0;       // speed or brightness
  int firstListButton = 0;   // add, delete, rename, import and export side by side
  int firstMenuCommand = 0;  // the list menu: new, delete, import, export

  std::vector<SchemeName> (*names)(ConfigDB& store, int profile) = nullptr;
  int (ConfigDB::*create)(int profile, const std::wstring& name) = nullptr;
  bool (ConfigDB::*rename)(int id, const std::wstring& name) = nullptr;
  bool (ConfigDB::*remove)(int id) = nullptr;
  bool (ConfigDB::*getValue)(int id, int* out) = nullptr;
  bool (ConfigDB::*setValue)(int id, int value) = nullptr;
  int (ConfigDB::*getKeys)(int id, std::vector<CustomRgbRow*>& out) = nullptr;
  bool (ConfigDB::*setKeys)(std::vector<CustomRgbRow> rows) = nullptr;
  void (CustomLightMode::*showValue)(int value) = nullptr;

  scheme_file::Kind kind = scheme_file::Kind::kEffects;
  const wchar_t* fileFilter = nullptr;  // the open dialog's filter
  const char* logName = nullptr;        // how the log names the editor
  const char* fileTag = nullptr;        // the file's own name of its kind, for a refused import
};

// The ids and names of the schemes of `profile` in the store's order.
template <typename Row, int (ConfigDB::*List)(int profile, std::vector<Row*>& out)>
std::vector<SchemeName> StoredNames(ConfigDB& store, int profile) {
  std::vector<Row*> rows;
  (store.*List)(profile, rows);
  std::vector<SchemeName> names;
  for (const Row* row : rows) names.push_back({row->customlight_id, row->name});
  FreeRows(rows);
  return names;
}

// ---- the controls both editors have ----
// Image-only buttons show a glyph: no skin pictures ship.
using page_controls::ControlSpec;

// clang-format off

// Add, delete, rename, import and export.
constexpr std::array<ControlSpec, 5> ListButtons(const Editor& editor) {
  const int id = editor.firstListButton;
  return {{
      {.id = id, .className = L"CImageButton", .image = L"imgbtn_add.png", .tooltip = 300, .label = L"+"},
      {.id = id + 1, .className = L"CImageButton", .image = L"imgbtn_del.png", .tooltip = 301, .label = L"\u2212"},
      {.id = id + 2, .className = L"CImageButton", .image = L"imgbtn_edit.png", .tooltip = 52, .label = L"\u270E"},
      {.id = id + 3, .className = L"CImageButton", .image = L"imgbtn_import.png", .tooltip = 303, .label = L"\u2193"},
      {.id = id + 4, .className = L"CImageButton", .image = L"imgbtn_export.png", .tooltip = 304, .label = L"\u2191"},
  }};
}

// The palette, then the channel labels from `firstLabel` and the channel edits.
constexpr std::array<ControlSpec, 7> ColorEdits(const Editor& editor, int firstLabel) {
  return {{
      {.id = editor.palette, .className = L"CirclePalette", .image = L"img_circlepalette.png"},
      {.id = firstLabel, .className = L"MText", .label = L"R:"},
      {.id = firstLabel + 1, .className = L"MText", .label = L"G:"},
      {.id = firstLabel + 2, .className = L"MText", .label = L"B:"},
      {.id = editor.red, .className = L"MEdit", .image = L"img_edit.png"},
      {.id = editor.green, .className = L"MEdit", .image = L"img_edit.png"},
      {.id = editor.blue, .className = L"MEdit", .image = L"img_edit.png"},
  }};
}

constexpr std::array<ControlSpec, 3> KeyGroupBoxes(const Editor& editor) {
  return {{
      {.id = editor.allKeys, .className = L"CCheckButton", .image = L"btn_checkbox.png", .text = 285},
      {.id = editor.digitKeys, .className = L"CCheckButton", .image = L"btn_checkbox.png", .text = 286},
      {.id = editor.wasdKeys, .className = L"CCheckButton", .image = L"btn_checkbox.png", .label = L"WASD"},
  }};
}

// The two store buttons from `first`.
constexpr std::array<ControlSpec, 2> StoreButtons(int first) {
  return {{
      {.id = first, .className = L"MButton", .image = L"btn_apply.png", .text = 360},
      {.id = first + 1, .className = L"MButton", .image = L"btn_apply.png", .text = 60},
  }};
}

// clang-format on

// One table of `parts` in their order.
template <std::size_t... N>
constexpr std::array<ControlSpec, (N + ...)> JoinControls(const std::array<ControlSpec, N>&... parts) {
  std::array<ControlSpec, (N + ...)> all{};
  std::size_t at = 0;
  ((std::copy(parts.begin(), parts.end(), all.begin() + at), at += N), ...);
  return all;
}

QelListBox* Schemes(const KeyboardDlg& dlg, const Editor& editor);
CustomLightMode* View(const KeyboardDlg& dlg, const Editor& editor);
// The data of a list's current item, 0 when there is none.
int CurrentData(QelListBox* list);
// A stored scheme name as the list shows it (the default name in the UI language).
std::wstring ShownName(const std::wstring& stored);

// ---- building and layout ----
// The 16 preset colour buttons from `firstId` on, colours 0x00BBGGRR (the lighting page's too).
void CreatePresetButtons(KeyboardDlg& dlg, MControl* page, int firstId,
                         std::span<const std::uint32_t, 16> colors);
void PlaceListButtons(const KeyboardDlg& dlg, const Editor& editor);
void PlaceKeyGroups(const KeyboardDlg& dlg, const Editor& editor);
// The palette and the three channel edits with their labels from `firstLabel`, in the colour panel
// whose top is `y`.
void PlaceColorEdits(const KeyboardDlg& dlg, const Editor& editor, int firstLabel, int y);
// The presets in two rows of seven from `left`.
void PlacePresets(const KeyboardDlg& dlg, const Editor& editor, int left, int firstTop, int secondTop);
// The palette, the channel edits and the presets.
void EnableColorControls(const KeyboardDlg& dlg, const Editor& editor, bool enable);

// ---- the scheme list ----
void FillSchemes(KeyboardDlg& dlg, const Editor& editor, int profile);
void ShowListMenu(KeyboardDlg& dlg, const Editor& editor);
// Stores the name typed into the current item; an empty name stores nothing and the stored name
// comes back. 1 when a name was stored.
int EndRename(KeyboardDlg& dlg, const Editor& editor);
// Stores a scheme of the default name and selects it; its id, 0 when the store refused it.
int AddNewScheme(KeyboardDlg& dlg, const Editor& editor);
// Deletes the selected scheme and selects the one before it; false when none is selected or the
// store refused.
bool DeleteSelected(KeyboardDlg& dlg, const Editor& editor);

// ---- the keys of a scheme ----
// Clears the view's keys and checks and the key-group boxes.
void ClearKeys(const KeyboardDlg& dlg, const Editor& editor, CustomLightMode& view);
// Shows the stored value and key rows of scheme `id` (none when 0) on the slider and the view.
void ShowStoredScheme(KeyboardDlg& dlg, const Editor& editor, CustomLightMode& view, int id);
// The value slider moved: the view follows and the selected scheme stores it.
int OnValueSlider(KeyboardDlg& dlg, const Editor& editor);
int CheckAllKeys(const KeyboardDlg& dlg, const Editor& editor);
int CheckDigitKeys(const KeyboardDlg& dlg, const Editor& editor);
int CheckWasdKeys(const KeyboardDlg& dlg, const Editor& editor);

// ---- colours ----
void ShowColorInEdits(const KeyboardDlg& dlg, const Editor& editor, std::uint32_t color);
std::uint32_t EditedColor(const KeyboardDlg& dlg, const Editor& editor);
// On an edit's change: clamps each of `edits` to 0..255; false for any other notification.
bool ClampEdits(const KeyboardDlg& dlg, int code, std::initializer_list<int> edits);
std::optional<std::uint32_t> PaletteColor(const KeyboardDlg& dlg, const Editor& editor);
std::optional<std::uint32_t> ButtonColor(const KeyboardDlg& dlg, int id);

// ---- scheme files ----
// Reads a scheme file the user picks into a new scheme at the end of the list.
int ImportScheme(KeyboardDlg& dlg, const Editor& editor);
// Writes the selected scheme into a folder the user picks, named after it and `clock`'s time.
int ExportScheme(KeyboardDlg& dlg, const Editor& editor, platform::Clock& clock);

}  // namespace custom_editor
