// The key assignment page (tab 1): the keyboard view of the current key profile in the chosen Fn
// layer, the function chooser, the key menu, the layer buttons and the Fn switch. Every change is
// stored at once and both layers are queued for the keyboard (task 4).
#include "keyboard/KeyAssignPage.h"

#include <set>

#include "common/process_control.h"
#include "device/KeyCodes.h"
#include "device/KeyMap.h"
#include "keyboard/CustomKeyDlg.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "zuvi/key_func_control.h"
#include "zuvi/keyboard_ctrl.h"
#include "zuvi/list_box.h"
#include "zuvi/menu.h"

using page_controls::Box;
using page_controls::Check;
using page_controls::Enable;
using page_controls::Place;

namespace {

constexpr int kFnBarredMessage = 155;
constexpr int kCustomKeyText = 162;
constexpr int kFnKeyUsage = 175;  // the Fn key: its function holds in both layers

// clang-format off
constexpr page_controls::ControlSpec kControls[] = {
    {.id = 59, .className = L"CArea", .area = true},
    {.id = 60, .className = L"CImageButton", .image = L"imgbtn_add.png", .imageStates = 4, .tooltip = 100, .label = L"+", .centred = true},
    {.id = 61, .className = L"CImageButton", .image = L"imgbtn_del.png", .imageStates = 4, .tooltip = 101, .label = L"\u2212", .centred = true},
    {.id = 62, .className = L"CImageButton", .image = L"imgbtn_edit.png", .imageStates = 4, .tooltip = 102, .label = L"\u270E", .centred = true},
    {.id = 63, .className = L"CImageButton", .image = L"imgbtn_import.png", .imageStates = 4, .tooltip = 103, .label = L"\u2193", .centred = true},
    {.id = 64, .className = L"CImageButton", .image = L"imgbtn_export.png", .imageStates = 4, .tooltip = 104, .label = L"\u2191", .centred = true},
    {.id = 65, .className = L"CArea", .area = true},
    {.id = 66, .className = L"QelListBox", .image = L"img_edit.png"},
    {.id = 67, .className = L"MText", .area = true, .text = 105},
    {.id = 68, .className = L"CArea", .area = true},
    {.id = 69, .className = L"QelListBox"},
};
// clang-format on

// After the keyboard view 70, which the page makes in between.
// clang-format off
constexpr page_controls::ControlSpec kControlsAfterView[] = {
    {.id = 71, .className = L"KeyFuncControl", .image = L"icon//icon_menu.png"},
    {.id = 72, .className = L"MButton", .image = L"img_btn_layer_p.png", .imageStates = 4, .text = 95},
    {.id = 73, .className = L"MButton", .image = L"img_btn_layer_n.png", .imageStates = 4, .text = 96},
    {.id = 74, .className = L"KeyLayerButton", .text = 98, .group = L"FN_SWITCH"},
    {.id = 75, .className = L"KeyLayerButton", .text = 99, .group = L"FN_SWITCH"},
};
// clang-format on

// The layer button pairs of every page that has one; the pressed one of each pair shows it.
constexpr std::pair<int, int> kLayerButtonPairs[] = {
    {72, 73}, {119, 120}, {185, 186}, {229, 230}, {310, 311}};

KeyboardCtrl* View(const KeyboardDlg& dlg) { return dlg.GetKeyView(kb_ids::kKeyAssignView); }
KeyFuncControl* Chooser(const KeyboardDlg& dlg) {
  return dlg.GetControlAs<KeyFuncControl>(kb_ids::kKeyFuncControl);
}

void ClearChooserCheck(const KeyboardDlg& dlg) {
  if (KeyFuncControl* chooser = Chooser(dlg)) chooser->SetItemCheckByItemData(0, 0, 0);
}

}  // namespace

int KeyTipHeadingText(int type) {
  switch (type) {
    case KeyFuncDisabled:
      return 120;
    case KeyFuncKey:
    case KeyFuncSpecial:
    case KeyFuncKeySequence:
      return 121;
    case KeyFuncMacro:
      return 122;
    case KeyFuncMouse:
    case KeyFuncMedia:
    case KeyFuncShortcut:
      return 124 + (type - KeyFuncMouse);
    case KeyFuncProgram:
    case KeyFuncWebAddress:
    case KeyFuncText:
    case KeyFuncProfileSwitch:
      return 127 + (type - KeyFuncProgram);
    default:
      return 0;
  }
}

std::pair<RECT, RECT> FnSwitchRects(int right, int languageId) {
  constexpr int kChineseSimplified = 0x804;
  constexpr int kChineseTraditional = 0x404;
  const int split =
      languageId == kChineseSimplified || languageId == kChineseTraditional ? right - 150 : right - 130;
  return {RECT{right - 240, 80, split, 110}, RECT{split, 80, right - 60, 110}};
}

std::vector<KeyFuncGroup> KeyChooserGroups() {
  KeyFuncGroup keys{KbText(kKeyChooserHeadings[0]), {}};
  for (int usage = 4; usage <= 230; ++usage) {
    std::wstring name;
    HidUsageToKeyName(name, usage);
    if (!name.empty()) keys.items.push_back(KeyFuncItem{1, usage, 0, 0, name});
  }
  KeyFuncGroup functions{KbText(kKeyChooserHeadings[1]), {}};
  for (int code = 500; code <= 517; ++code)
    functions.items.push_back(KeyFuncItem{2, code, 0, 0, KbText(code + 70)});
  return {std::move(keys), std::move(functions)};
}

void KeyboardDlg::CreateKeyAssignPage() {
  MControl* page = GetControl(kb_ids::kPageKeyAssign);
  page_controls::CreatePageControls(*this, page, kControls);
  AddKeyView(kb_ids::kKeyAssignView, page);
  page_controls::CreatePageControls(*this, page, kControlsAfterView);
  if (auto* profiles = GetControlAs<QelListBox>(kb_ids::kProfileList)) profiles->SetCurSel(0);
  for (int id : {kb_ids::kFnSwitch, kb_ids::kFnSwitch2}) {
    if (auto* fn = GetControlAs<KeyLayerButton>(id)) {
      fn->SetFont(L"", 10, true);  // fits the narrower of the two in either language
      fn->SetAlignment(1);
    }
  }
  Check(*this, kb_ids::kFnSwitch);
  if (KeyboardCtrl* view = View(*this)) {
    view->SetKeyboardType(2);
    view->SetKeyboardCtrlMode(101);
    view->SetTipInfo(KbText(111));
    view->SetKeyBackgroundColor(0);
  }
  if (KeyFuncControl* chooser = Chooser(*this)) chooser->InitItemInfo(KeyChooserGroups());
}

void KeyboardDlg::LayoutKeyAssignPage(const RECT& client) {
  // Window client coordinates; R and B are the right and bottom of the client area.
  const int top = 50;
  const int r = client.right;
  const int b = client.bottom;
  auto at = [&](int id, int left, int t, int right, int bottom) {
    Place(*this, id, Box(left, t, right, bottom));
  };
  at(59, 71, 60, 290, b - 1);
  for (int i = 0; i < 5; ++i) at(60 + i, 101 + 35 * i, 70, 131 + 35 * i, 90);
  if (m_keyAssignOption == 0) {
    at(65, 71, 100, 290, b - 1);
    at(66, 71, 100, 290, b - 1);
  } else {
    const int m = (b - top) / 2;
    at(65, 81, 100, 280, m);
    at(66, 81, 105, 280, m - 5);
    at(67, 71, m, 290, m + 30);
    at(68, 81, m + 30, 280, b - 1);
    at(69, 81, m + 35, 280, b - 5);
  }
  if (m_keyLayoutOption) {
    const int c = (r - 65 - 560) / 2;
    at(72, c + 300, 80, c + 400, 110);
    at(73, c + 430, 80, c + 530, 110);
    const auto [fn, fn2] = FnSwitchRects(r, g_languageId.load());
    Place(*this, kb_ids::kFnSwitch, fn);
    Place(*this, kb_ids::kFnSwitch2, fn2);
  }
  at(kb_ids::kKeyAssignView, 310, 110, r - 20, b - 300);
  at(kb_ids::kKeyFuncControl, 348, b - 290, r - 1, b - 1);
}

void KeyboardDlg::RefreshKeyAssign(int keyProfileId) {
  KeyboardCtrl* view = View(*this);
  if (!view) return;
  std::lock_guard guard(m_keyAssignLock);
  if (m_presetShown) {
    LoadKeyboardLayoutKeys();
    m_presetShown = false;
  }
  ClearChooserCheck(*this);
  const int layer = m_fnLayer.load();
  std::map<int, KeyboardCtrl::KeyMark> marks;
  std::vector<KeyDataRow*> rows;
  m_configDB.GetLayerKeyData(keyProfileId, layer, rows);
  for (const KeyDataRow* row : rows) {
    if (row->macrotype == KeyFuncNone) continue;  // the key keeps its default function
    KeyboardCtrl::KeyMark& mark = marks[row->keyvalue];
    mark.checked = true;
    if (const int heading = KeyTipHeadingText(row->macrotype)) {
      mark.tipHeading = KbText(heading);
      if (row->macrotype != KeyFuncDisabled) mark.tipText = row->macrodesc;
    }
  }
  FreeRows(rows);
  if (layer == 1) {
    const std::shared_ptr<const KeyLayoutMaps> maps = GetLayoutMaps();
    for (const KeyItem& item : view->GetKeyItems())
      if (maps->fnLayerDisabled.count(item.code)) marks[item.code].disabled = true;
  }
  view->SetKeyMarks(marks);
  view->UpdateControl();
}

void KeyboardDlg::RefreshKeyAssignPreset(int keyProfileId) {
  KeyboardCtrl* view = View(*this);
  if (!view) return;
  std::lock_guard guard(m_keyAssignLock);
  Enable(*this, kb_ids::kKeyFuncControl, false);
  m_presetShown = true;
  ClearChooserCheck(*this);
  LoadKeyboardLayoutKeys();
  std::vector<KeyDataRow*> rows;
  m_configDB.GetLayerKeyData(keyProfileId, m_fnLayer.load(), rows);
  for (const KeyDataRow* row : rows) {
    view->SetKeyDesc(row->keyvalue, row->macrodesc);
    view->SetTipKey(row->keyvalue, L"Keyboard", row->macrodesc);
  }
  FreeRows(rows);
  view->UpdateControl();
}

bool KeyboardDlg::RefuseFnLayerKey() {
  const int key = m_selectedKey;
  if (m_fnLayer.load() != 1 || key <= 0 || GetLayoutMaps()->fnLayerDisabled.count(key) == 0) return false;
  m_selectedKey = 0;
  ShowMessageBox(m_hwndMain, KbText(kFnBarredMessage), KbText(kCustomKeyText), 0);
  return true;
}

int KeyboardDlg::OnKeyboardCtrlNotify(int code) {
  ClearChooserCheck(*this);
  KeyboardCtrl* view = View(*this);
  if (!view || (code != NOTIFY_CLICK && code != 5)) return 0;
  m_selectedKey = view->GetCurrentKey();
  if (RefuseFnLayerKey()) return 0;
  const int key = m_selectedKey;
  KeyDataRow row;
  if (key > 0 && m_configDB.GetKeyData(m_keyProfileId.load(), m_fnLayer.load(), key, &row) &&
      (row.macrotype == KeyFuncKey || row.macrotype == KeyFuncSpecial)) {
    if (KeyFuncControl* chooser = Chooser(*this))
      chooser->SetItemCheckByItemData(row.macrovalue, row.macro2value, row.macro3value);
  }
  // The menu's entries act on the key picked; without one the custom key dialog would store a
  // row for no key.
  if (code == 5 && key > 0) {
    MenuWnd menu(GetSafeHwnd(), WM_KEYFUNC_MENU_COMMAND);
    menu.AddMenu(606, KbText(160));
    menu.AddMenu(607, KbText(161));
    menu.AddMenu(608, KbText(kCustomKeyText));
    menu.TrackPopup();
  }
  return 1;
}

int KeyboardDlg::OnKeyFuncControlNotify() {
  if (RefuseFnLayerKey()) return 0;
  KeyFuncControl* chooser = Chooser(*this);
  int kind = 0;
  KeyDataRow row;
  if (!chooser ||
      !chooser->GetCurItemData(&kind, &row.macrovalue, &row.macro2value, &row.macro3value, &row.macrodesc))
    return 0;
  row.macrotype = row.macrovalue < 500 ? KeyFuncKey : KeyFuncSpecial;
  SetKeyValue(row);
  return 1;
}

int KeyboardDlg::OnKeyFunctionCommand(WPARAM, int menuId) {
  switch (menuId) {
    case 606: {
      KeyDataRow row;
      row.macrotype = KeyFuncNone;
      SetKeyValue(row);
      break;
    }
    case 607: {
      KeyDataRow row;
      row.macrotype = KeyFuncDisabled;
      row.macrovalue = 1;
      row.macrodesc = L"disable";
      SetKeyValue(row);
      break;
    }
    case 608:
      RunCustomKeyDialog();
      break;
    default:
      break;
  }
  return 1;
}

void KeyboardDlg::RunCustomKeyDialog() {
  // The blocker holds the Windows keys while it runs; the dialog captures them itself.
  KillBlocker();
  const CustomKeyDialogArgs args{m_selectedKey, m_keyProfileId.load(), m_fnLayer.load(), m_deviceIndex.load(),
                                 m_identify};
  std::unique_ptr<MDialog> dialog =
      m_services.makeCustomKeyDialog ? m_services.makeCustomKeyDialog(args) : std::make_unique<CustomKeyDlg>(args);
  constexpr std::uint32_t kStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (dialog && dialog->Create(GetSafeHwnd(), L"CustomKeyDlg", kStyle, 0, RECT{0, 0, 720, 360})) {
    dialog->CenterWindow();
    dialog->ShowModal(SW_SHOW);
  } else {
    KeyboardLog("key assignment: the custom key dialog could not be opened");
  }
  RefreshKeyAssign(m_keyProfileId.load());
  PostTask(TaskSendKeyMap);
  KillBlocker();
  if (dialog) dialog->DestroyWindow();
}

void KeyboardDlg::KillBlocker() {
  if (m_services.killProcess)
    m_services.killProcess(kBlockerProcessName);
  else
    KillProcessByName(kBlockerProcessName);
}

void KeyboardDlg::SetKeyValue(KeyDataRow row) {
  const int key = m_selectedKey;
  if (key < 0) return;
  row.profile = m_keyProfileId.load();
  row.keyvalue = key;
  row.fnlayer = m_fnLayer.load();
  const int stored = m_configDB.SetKeyData(row);
  KeyboardCtrl* view = View(*this);
  KeyFuncControl* chooser = Chooser(*this);
  if (stored > 0) {
    if (view) {
      view->SetKeyCheck(key, true);
      const int heading = KeyTipHeadingText(row.macrotype);
      view->SetTipKey(key, heading ? KbText(heading) : std::wstring(),
                      heading && row.macrotype != KeyFuncDisabled ? row.macrodesc : std::wstring());
      view->UpdateControl();
    }
    if (chooser && (row.macrotype == KeyFuncKey || row.macrotype == KeyFuncSpecial))
      chooser->SetItemCheckByItemData(row.macrovalue, row.macro2value, row.macro3value);
    if (row.macrotype == KeyFuncKey && row.macrovalue == kFnKeyUsage) {
      row.key_id = 0;
      row.fnlayer = row.fnlayer == 0 ? 1 : 0;
      m_configDB.SetKeyData(row);
    }
  } else {
    // Nothing is stored for the key (also a cleared key): it shows its default function again.
    m_selectedKey = -1;
    if (view) {
      view->SetCurrentKey(-1);
      view->SetTipKey(key, L"", L"");
      view->SetKeyCheck(key, false);
      view->UpdateControl();
    }
    if (chooser) chooser->SetItemCheckByItemData(0, 0, 0);
  }
  PostTask(TaskSendKeyMap);
}

int KeyboardDlg::OnLayerButtonP() { return SelectFnLayer(0); }
int KeyboardDlg::OnLayerButtonN() { return SelectFnLayer(1); }

int KeyboardDlg::SelectFnLayer(int layer) {
  m_fnLayer.store(layer);
  for (const auto& [first, second] : kLayerButtonPairs) {
    MControl* base = GetControl(first);
    MControl* fn = GetControl(second);
    if (!base || !fn) continue;
    base->SetImage(layer == 0 ? L"img_btn_layer_p.png" : L"img_btn_layer_n.png", 4);
    fn->SetImage(layer == 1 ? L"img_btn_layer_p.png" : L"img_btn_layer_n.png", 4);
  }
  RefreshKeyAssign(m_keyProfileId.load());
  PostTask(TaskSendKeyMap);
  return 1;
}

int KeyboardDlg::OnFnSwitch() { return StoreFnSwitch(0); }
int KeyboardDlg::OnFnSwitch2() { return StoreFnSwitch(1); }

int KeyboardDlg::StoreFnSwitch(int value) {
  Check(*this, value == 0 ? kb_ids::kFnSwitch2 : kb_ids::kFnSwitch, false);
  Check(*this, value == 0 ? kb_ids::kFnSwitch : kb_ids::kFnSwitch2, true);
  m_configDB.SetConfigValue(m_profile, L"fn_switchfunction", std::to_wstring(value));
  PostTask(TaskSendSystemSettings);
  return 1;
}
