#include "keyboard/CustomKeyDlg.h"

#include <filesystem>

#include "common/folders.h"
#include "common/lang_text.h"
#include "common/process_control.h"
#include "common/strings.h"
#include "device/KeyMap.h"
#include "keyboard/DefaultNames.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/RawInput.h"
#include "platform/qt/dialogs.h"
#include "shell/window_messages.h"
#include "zuvi/buttons.h"
#include "zuvi/combo.h"
#include "zuvi/edit.h"
#include "zuvi/static_controls.h"

namespace {

constexpr ARGB kWhite = 0xFFFFFFFF;
constexpr int kWindowsLeft = 0x5B;
constexpr int kWindowsRight = 0x5C;
constexpr int kPressKeyText = 165;  // the key field's hint while it is empty

struct ListItem {
  int textId;
  int data;
};

constexpr ListItem kTypes[] = {{121, KeyFuncKey},      {131, KeyFuncKeySequence}, {122, KeyFuncMacro},
                               {124, KeyFuncMouse},    {125, KeyFuncMedia},       {126, KeyFuncShortcut},
                               {127, KeyFuncProgram},  {128, KeyFuncWebAddress},  {129, KeyFuncText}};
constexpr ListItem kMouse[] = {{170, 1}, {172, 2}, {173, 3}, {174, 4}, {175, 5}, {176, 6}, {177, 7}, {178, 8}};
constexpr ListItem kMedia[] = {{179, 1}, {180, 2}, {181, 3}, {182, 4}, {183, 5}, {184, 6}, {185, 7}};
constexpr ListItem kShortcuts[] = {{186, 1}, {187, 2}, {188, 3}, {189, 4}, {190, 5}, {54, 6}, {55, 7}, {56, 8}};
constexpr ListItem kPlayOptions[] = {{196, 0}, {197, 1}, {198, 2}};

// Every control that one function type or another shows.
constexpr int kValueControls[] = {37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 48, 49, 50, 51, 52, 53};

std::optional<platform::StartedProcess> StartBlockerProgram(const std::string& path) {
  std::string error;
  std::optional<platform::StartedProcess> child = platform::StartProgram({path}, &error);
  if (!child) KeyboardLog("custom key: the blocker %s could not be started: %s", path.c_str(), error.c_str());
  return child;
}

}  // namespace

CustomKeyDlg::CustomKeyDlg(CustomKeyDialogArgs args) : m_args(std::move(args)), m_startBlocker(StartBlockerProgram) {}

CustomKeyDlg::~CustomKeyDlg() {
  UnregisterRawInput(GetSafeHwnd());
  if (GetSafeHwnd()) MWindow::DestroyWindow();
  if (m_configDB.opened) m_configDB.db.Close();
  m_configDB.opened = false;
}

bool CustomKeyDlg::DestroyWindow() {
  UnregisterRawInput(GetSafeHwnd());
  const bool destroyed = MDialog::DestroyWindow();
  if (m_configDB.opened) m_configDB.db.Close();
  m_configDB.opened = false;
  m_captureActive = false;
  return destroyed;
}

int CustomKeyDlg::OnInitDialog() {
  MDialog::OnInitDialog();
  const std::wstring folder = GetUserDataFolder();
  if (folder.empty() || !m_configDB.Open(folder, L"", m_args.identify))
    KeyboardLog("custom key: the store of \"%s\" could not be opened; nothing can be saved",
                WideToUtf8(m_args.identify).c_str());
  const std::string blocker = WideToUtf8(GetAppDir() + kBlockerProcessName);
  if (m_startBlocker) m_blocker = m_startBlocker(blocker);
  if (auto* types = GetControlAs<MComboBox>(IdType)) {
    types->SetCurSel(0);
    SelectFunctionType(static_cast<int>(types->GetCurData()));
  }
  return 1;
}

void CustomKeyDlg::Layout(const RECT& c, bool create) {
  const int r = c.right;
  const int b = c.bottom;
  struct Place {
    int id;
    const wchar_t* cls;
    RECT rect;
  };
  const Place places[] = {
      {IdBackground, L"CArea", {1, 1, r - 1, 51}},
      {IdTitle, L"MText", {(r - 200) / 2, 1, (r + 200) / 2, 51}},
      {IdClose, L"CImageButton", {r - 40, 15, r - 20, 35}},
      {IdFrame, L"CArea", {1, 52, r - 1, b - 1}},
      {IdEmptyCaption, L"MText", {}},
      {IdTypeCaption, L"MText", {200, 120, 320, 150}},
      {IdType, L"MComboBox", {200, 150, 400, 180}},
      {IdValueList, L"MComboBox", {410, 150, 610, 180}},
      {IdKeyEdit, L"MEdit", {410, 150, 610, 180}},
      {IdShift, L"CCheckButton", {410, 190, 510, 220}},
      {IdCtrl, L"CCheckButton", {510, 190, 610, 220}},
      {IdWin, L"CCheckButton", {410, 220, 510, 250}},
      {IdAlt, L"CCheckButton", {510, 220, 610, 250}},
      {IdSequence1, L"MEdit", {410, 150, 480, 180}},
      {IdPlus1, L"MText", {480, 150, 510, 180}},
      {IdSequence2, L"MEdit", {510, 150, 580, 180}},
      {IdPlus2, L"MText", {580, 150, 610, 180}},
      {IdSequence3, L"MEdit", {610, 150, 680, 180}},
      {IdBrowse, L"CImageButton", {615, 155, 635, 175}},
      {IdPlayCaption, L"MText", {410, 185, 610, 216}},
      {IdPlayOption, L"MComboBox", {410, 216, 610, 247}},
      {IdRepeatCaption, L"MText", {410, 247, 610, 278}},
      {IdRepeat, L"MEdit", {410, 278, 610, 309}},
      {IdOk, L"MButton", {r - 150, b - 40, r - 30, b - 10}},
  };
  for (const Place& p : places) {
    if (!create) {
      if (MControl* control = GetControl(p.id)) control->SetRect(p.rect);
      continue;
    }
    const bool area = p.id == IdBackground || p.id == IdFrame || std::wstring(p.cls) == L"MText";
    if (area)
      CreateArea(p.cls, p.id, p.rect, nullptr, 1, 1);
    else
      CreateControl(p.cls, p.id, p.rect, nullptr, 1, 1);
  }
}

void CustomKeyDlg::InitUI(const RECT& client) {
  // Return is a key the dialog captures; only Escape closes it.
  SetDefaultButtons(0, IdClose);
  Layout(client, true);
  if (auto* back = GetControlAs<CArea>(IdBackground)) back->SetTransparent(255, 0, 0x3F4447);
  if (auto* frame = GetControlAs<CArea>(IdFrame)) frame->SetTransparent(0, 255, 0x3F4447);
  auto text = [this](int id, const std::wstring& title) {
    if (auto* control = GetControlAs<MControlFont>(id)) {
      control->SetTitle(title);
      control->SetTextColor(kWhite);
    }
  };
  text(IdTitle, KbText(162));
  if (auto* title = GetControlAs<MText>(IdTitle)) title->SetAlignment(1);
  text(IdTypeCaption, KbText(163));
  text(IdPlayCaption, KbText(195));
  text(IdRepeatCaption, KbText(199));
  text(IdPlus1, L"+");
  text(IdPlus2, L"+");
  text(IdShift, L"Shift");
  text(IdCtrl, L"Ctrl");
  text(IdWin, L"Win");
  text(IdAlt, L"Alt");
  text(IdOk, KbText(60));
  auto image = [this](int id, const wchar_t* file, int states) {
    if (MControl* control = GetControl(id)) control->SetImage(file, states);
  };
  image(IdClose, L"sysbtn_close.png", 4);
  if (auto* close = GetControlAs<MControlFont>(IdClose)) {
    close->SetTooltip(KbText(2));
    close->SetTitle(L"\u00D7");  // shown while no skin picture is there
    close->SetAlignment(1);
  }
  for (int id : {IdType, IdValueList, IdPlayOption}) image(id, L"img_combobox.png", 1);
  image(IdKeyEdit, L"img_edit.png", 1);
  for (int id : {IdShift, IdCtrl, IdWin, IdAlt}) image(id, L"btn_checkbox.png", 4);
  for (int id : {IdSequence1, IdSequence2, IdSequence3, IdRepeat}) image(id, L"img_key_edit.png", 1);
  image(IdBrowse, L"btn_openfile.png", 4);
  image(IdOk, L"btn_apply.png", 4);
  for (int id : {IdSequence1, IdSequence2, IdSequence3})
    if (auto* edit = GetControlAs<MEdit>(id)) edit->SetCaptureMode(true);
  if (auto* repeat = GetControlAs<MEdit>(IdRepeat)) repeat->SetTitle(L"1");
  if (auto* types = GetControlAs<MComboBox>(IdType))
    for (const ListItem& item : kTypes) types->AddString(KbText(item.textId), item.data);
  if (auto* options = GetControlAs<MComboBox>(IdPlayOption)) {
    for (const ListItem& item : kPlayOptions) options->AddString(KbText(item.textId), item.data);
    options->SetCurSel(0);
  }
}

void CustomKeyDlg::UISize(const RECT& client) { Layout(client, false); }

LRESULT CustomKeyDlg::OnMessage(int id, int code, LPARAM, LPARAM) {
  if (id == IdKeyEdit) {
    OnKeyEditFocus(code);
    return 1;
  }
  if (id >= IdSequence1 && id <= IdSequence3) {
    OnKeyCaptureEditFocus(id, code);
    return 1;
  }
  if (code != NOTIFY_CLICK) return 0;
  switch (id) {
    case IdClose:
      DoCancel();
      break;
    case IdType:
      OnFunctionTypeChanged();
      break;
    case IdPlayOption:
      OnOptionCombo();
      break;
    case IdBrowse:
      OnBrowseApplication();
      break;
    case IdOk:
      OnOK();
      break;
    default:
      return 0;
  }
  return 1;
}

LRESULT CustomKeyDlg::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (message == WM_INPUT) ShowKeyDescription(lParam);
  if (message == WM_WIN_KEY) OnWinKey(wParam);
  if (message == kMsgCaptureKey) result = OnCaptureKey(wParam, lParam);
  const LRESULT base = MDialog::OnWindowMessage(message, wParam, lParam);
  return message == kMsgCaptureKey ? result : base;
}

void CustomKeyDlg::ClearCapture() {
  m_mainKey = 0;
  m_mainKeyName.clear();
  m_modifierKey = 0;
  m_modifierKeyName.clear();
  for (int i = 0; i < 3; ++i) {
    m_sequenceKeys[i] = 0;
    m_sequenceNames[i].clear();
  }
  m_heldKeys.clear();
  m_freshCapture = false;
  m_captureMode = 0;
  m_programPath.clear();
}

void CustomKeyDlg::FillValueList(int type) {
  auto* list = GetControlAs<MComboBox>(IdValueList);
  if (!list) return;
  list->ResetContent();
  auto add = [list](const auto& items) {
    for (const ListItem& item : items) list->AddString(KbText(item.textId), item.data);
  };
  if (type == KeyFuncMouse) add(kMouse);
  if (type == KeyFuncMedia) add(kMedia);
  if (type == KeyFuncShortcut) add(kShortcuts);
  if (type == KeyFuncMacro && m_configDB.opened) {
    std::vector<MacroDataRow*> macros;
    m_configDB.GetAllMacros(macros);
    for (MacroDataRow* macro : macros) {
      list->AddString(DefaultNameRuleC(macro->name, g_languageId.load(), KbText(531)), macro->macro_id);
      delete macro;
    }
  }
  if (type == KeyFuncProfileSwitch && m_configDB.opened) {
    std::vector<KeyProfileRow*> profiles;
    m_configDB.GetKeyProfiles(2, profiles);
    for (KeyProfileRow* profile : profiles) {
      list->AddString(profile->name, profile->profile_id);
      delete profile;
    }
  }
  if (list->GetCount() > 0) list->SetCurSel(0);
}

void CustomKeyDlg::SelectFunctionType(int type) {
  m_functionType = type;
  ClearCapture();
  for (int id : kValueControls)
    if (MControl* control = GetControl(id)) control->SetVisible(false);
  if (auto* options = GetControlAs<MComboBox>(IdPlayOption)) options->SetCurSel(0);
  if (auto* repeat = GetControlAs<MEdit>(IdRepeat)) repeat->SetTitle(L"1");
  auto show = [this](std::initializer_list<int> ids) {
    for (int id : ids)
      if (MControl* control = GetControl(id)) control->SetVisible(true);
  };
  auto* keyEdit = GetControlAs<MEdit>(IdKeyEdit);
  switch (type) {
    case KeyFuncKey:
    case KeyFuncProgram:
    case KeyFuncWebAddress:
    case KeyFuncText:
      if (keyEdit) {
        keyEdit->SetTitle(L"");
        // Keys are captured for a key and a program (named by the browse); addresses and texts are typed.
        keyEdit->SetCaptureMode(type == KeyFuncKey || type == KeyFuncProgram);
        keyEdit->SetTipInfo(type == KeyFuncKey ? KbText(kPressKeyText) : std::wstring());
      }
      show({IdKeyEdit});
      if (type == KeyFuncKey) show({IdShift, IdCtrl, IdWin, IdAlt});
      if (type == KeyFuncProgram) show({IdBrowse});
      break;
    case KeyFuncMacro:
      FillValueList(type);
      show({IdValueList, IdPlayCaption, IdPlayOption});
      break;
    case KeyFuncMouse:
    case KeyFuncMedia:
    case KeyFuncShortcut:
    case KeyFuncProfileSwitch:
      FillValueList(type);
      show({IdValueList});
      break;
    case KeyFuncKeySequence:
      for (int id : {IdSequence1, IdSequence2, IdSequence3})
        if (auto* edit = GetControlAs<MEdit>(id)) edit->SetTitle(L"");
      show({IdSequence1, IdPlus1, IdSequence2, IdPlus2, IdSequence3});
      break;
    default:
      break;
  }
}

void CustomKeyDlg::OnFunctionTypeChanged() {
  if (auto* types = GetControlAs<MComboBox>(IdType)) SelectFunctionType(static_cast<int>(types->GetCurData()));
}

void CustomKeyDlg::OnKeyEditFocus(int code) {
  if (code == NOTIFY_FOCUS && m_functionType == KeyFuncKey) {
    m_mainKey = 0;
    m_mainKeyName.clear();
    m_modifierKey = 0;
    m_modifierKeyName.clear();
    m_captureMode = 1;
    if (auto* edit = GetControlAs<MEdit>(IdKeyEdit)) edit->SetTitle(L"");
    m_captureActive = true;
    RegisterRawInput(GetSafeHwnd());
    m_freshCapture = true;
  } else if (code == NOTIFY_EDIT_END) {
    m_captureActive = false;
  }
}

void CustomKeyDlg::OnKeyCaptureEditFocus(int id, int code) {
  if (code == NOTIFY_EDIT_END) {
    m_captureActive = false;
    return;
  }
  if (code != NOTIFY_FOCUS) return;
  for (int edit : {IdSequence1, IdSequence2, IdSequence3})
    if (MControl* control = GetControl(edit)) control->SetImage(L"img_key_edit_check.png", 1);
  m_modifierKey = 0;
  m_modifierKeyName.clear();
  const int index = id - IdSequence1;
  m_captureMode = 6 + index;
  if (index == 0) {
    m_mainKey = 0;
    m_mainKeyName.clear();
  } else {
    m_sequenceKeys[index] = 0;
  }
  m_sequenceNames[index].clear();
  if (auto* edit = GetControlAs<MEdit>(id)) edit->SetTitle(L"");
  m_captureActive = true;
  RegisterRawInput(GetSafeHwnd());
}

void CustomKeyDlg::ShowKeyDescription(LPARAM rawInput) {
  if (!m_captureActive) return;
  RawInputEvent event;
  ParseRawInput(rawInput, &event);
  if (event.kind != 2 || event.name.empty()) return;
  // While the blocker runs it reports the Windows keys itself; their raw records would capture them twice.
  if ((event.code == kWindowsLeft || event.code == kWindowsRight) && BlockerRunning()) return;
  if (m_captureMode >= 6 && m_captureMode <= 8) {
    const int index = m_captureMode - 6;
    if (index == 0)
      m_mainKey = event.code;
    else
      m_sequenceKeys[index] = event.code;
    m_sequenceNames[index] = event.name;
    if (auto* edit = GetControlAs<MEdit>(IdSequence1 + index)) edit->SetTitle(event.name);
  } else if (m_captureMode == 1) {
    if (event.code >= 160 && event.code <= 165) return;
    m_mainKey = event.code;
    m_mainKeyName = event.name;
    if (auto* edit = GetControlAs<MEdit>(IdKeyEdit)) edit->SetTitle(event.name);
  }
}

void CustomKeyDlg::OnWinKey(WPARAM virtualKey) {
  if (!m_captureActive || m_captureMode != 1) return;
  if (virtualKey != kWindowsLeft && virtualKey != kWindowsRight) return;
  if (m_freshCapture) {
    m_mainKey = 0;
    m_mainKeyName.clear();
    m_modifierKey = 0;
    m_modifierKeyName.clear();
    m_freshCapture = false;
  }
  m_modifierKey = static_cast<int>(virtualKey);
  m_modifierKeyName = virtualKey == kWindowsLeft ? L"Windows" : L"RWindows";
  if (auto* edit = GetControlAs<MEdit>(IdKeyEdit))
    edit->SetTitle(m_mainKeyName.empty() ? m_modifierKeyName : m_modifierKeyName + L" + " + m_mainKeyName);
}

LRESULT CustomKeyDlg::OnCaptureKey(WPARAM keyMessage, LPARAM keyData) {
  if (!keyData) return 0;
  const int vk = static_cast<int>(reinterpret_cast<const CaptureKeyRecord*>(keyData)->virtualKey);
  if (keyMessage == 256 || keyMessage == 260) {
    m_mainKey = vk;
    const std::wstring name = GetKeyName(vk, m_heldKeys, &m_modifierKey);
    if (auto* edit = GetControlAs<MEdit>(IdKeyEdit)) edit->SetTitle(name);
    if (!ModifierKeyName(vk).empty()) m_heldKeys[vk] = ModifierKeyName(vk);
  } else if (keyMessage == 257 || keyMessage == 261) {
    m_heldKeys.erase(vk);
  }
  return 1;
}

void CustomKeyDlg::OnOptionCombo() {
  const auto* options = GetControlAs<MComboBox>(IdPlayOption);
  const bool counted = options && options->GetCurData() == 1;
  for (int id : {IdRepeat, IdRepeatCaption})
    if (MControl* control = GetControl(id)) control->SetVisible(counted);
}

void CustomKeyDlg::OnBrowseApplication() {
  const std::vector<std::wstring> files = platform::UserDialogs().OpenFiles(KbText(127), L"Application (*)", false);
  if (files.empty()) return;
  m_programPath = files.front();
  std::error_code error;
  if (!std::filesystem::is_regular_file(WideToUtf8(m_programPath), error)) return;
  const size_t slash = m_programPath.find_last_of(L'/');
  if (auto* edit = GetControlAs<MEdit>(IdKeyEdit))
    edit->SetTitle(slash == std::wstring::npos ? m_programPath : m_programPath.substr(slash + 1));
}

void CustomKeyDlg::ReportStoreFailure(const char* what) {
  KeyboardLog("custom key: %s failed for key %d; nothing was saved", what, m_args.key);
  platform::UserDialogs().MessageBox(KbText(164), KbText(162));
}

void CustomKeyDlg::OnOK() {
  CustomKeyState s;
  s.profile = m_args.keyProfileId;
  s.key = m_args.key;
  s.fnLayer = m_args.fnLayer;
  s.type = m_functionType;
  s.mainKey = m_mainKey;
  s.modifierKey = m_modifierKey;
  s.sequenceKey2 = m_sequenceKeys[1];
  s.sequenceKey3 = m_sequenceKeys[2];
  s.captureMode = m_captureMode;
  auto checked = [this](int id) {
    const auto* box = GetControlAs<CCheckButton>(id);
    return box && box->GetCheck();
  };
  s.shift = checked(IdShift);
  s.ctrl = checked(IdCtrl);
  s.win = checked(IdWin);
  s.alt = checked(IdAlt);
  auto title = [this](int id) {
    const MControl* control = GetControl(id);
    const auto* text = dynamic_cast<const MControlFont*>(control);
    return text ? text->GetTitle() : std::wstring();
  };
  s.keyText = title(IdKeyEdit);
  for (int i = 0; i < 3; ++i) s.sequenceTexts[i] = title(IdSequence1 + i);
  if (const auto* list = GetControlAs<MComboBox>(IdValueList); list && list->GetCurSel() >= 0) {
    s.hasListItem = true;
    s.listData = list->GetCurData();
    s.listText = list->GetItemText(list->GetCurSel());
  }
  if (const auto* options = GetControlAs<MComboBox>(IdPlayOption)) s.playOption = static_cast<int>(options->GetCurData());
  s.repeatText = title(IdRepeat);
  s.programPath = m_programPath;

  CustomKeyResult result = BuildCustomKeyRow(s);
  if (result.stayOpen) return;
  if (result.action) {
    const int id = m_configDB.InsertKeyOtherData(result.action->desc, result.action->param, result.action->type);
    if (id < 1) {
      ReportStoreFailure("storing the key's action");
      return;
    }
    result.row.macrovalue = id;
  }
  if (m_configDB.SetKeyData(result.row) == 0) {
    ReportStoreFailure("storing the key's assignment");
    return;
  }
  DoOK();
}
