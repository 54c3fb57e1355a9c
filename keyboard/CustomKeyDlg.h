// CustomKeyDlg: gives one key a function the key chooser does not offer (a captured key or chord,
// a macro, a mouse, media or shortcut function, a program, a web address, a text, a key sequence).
// Stores the result in its own connection to the keyboard's store and ends with OK; Close stores
// nothing. While it is open the blocker program holds the Windows keys and reports them as
// WM_WIN_KEY.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "keyboard/CaptureKeyName.h"
#include "keyboard/CustomKeyRow.h"
#include "keyboard/KeyboardDlg.h"
#include "platform/process.h"
#include "storage/config_db.h"

class CustomKeyDlg : public MDialog {
 public:
  enum ControlId {
    IdBackground = 30, IdTitle = 31, IdClose = 32, IdFrame = 33, IdEmptyCaption = 34, IdTypeCaption = 35,
    IdType = 36, IdValueList = 37, IdKeyEdit = 38, IdShift = 39, IdCtrl = 40, IdWin = 41, IdAlt = 42,
    IdPlayCaption = 43, IdPlayOption = 44, IdRepeat = 45, IdRepeatCaption = 46, IdPlus1 = 48, IdPlus2 = 49,
    IdSequence1 = 50, IdSequence2 = 51, IdSequence3 = 52, IdBrowse = 53, IdOk = 54,
  };
  static constexpr UINT kMsgCaptureKey = 1654;

  // Starts the blocker at the absolute path; nullopt when it could not be started.
  using BlockerStart = std::function<std::optional<platform::StartedProcess>(const std::string& path)>;

  explicit CustomKeyDlg(CustomKeyDialogArgs args);
  ~CustomKeyDlg() override;
  // Replaces how the blocker is started (tests); before Create.
  void SetBlockerStart(BlockerStart start) { m_startBlocker = std::move(start); }

  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT& client) override;
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool DestroyWindow() override;

  // Shows the controls of function `type` (a KeyFunctionType) and forgets what was captured.
  void SelectFunctionType(int type);
  void OnFunctionTypeChanged();
  void OnKeyEditFocus(int code);
  void OnKeyCaptureEditFocus(int id, int code);
  void ShowKeyDescription(LPARAM rawInput);
  void OnWinKey(WPARAM virtualKey);
  LRESULT OnCaptureKey(WPARAM keyMessage, LPARAM keyData);
  void OnOptionCombo();
  void OnBrowseApplication();
  void OnOK();
  // Whether the started blocker still runs.
  bool BlockerRunning() const { return m_blocker && m_blocker->IsRunning(); }

  const CustomKeyDialogArgs m_args;
  ConfigDB m_configDB;
  BlockerStart m_startBlocker;
  std::optional<platform::StartedProcess> m_blocker;

  int m_functionType = 0;
  int m_mainKey = 0;  // also the first key of a sequence
  std::wstring m_mainKeyName;
  int m_modifierKey = 0;
  std::wstring m_modifierKeyName;
  int m_sequenceKeys[3] = {0, 0, 0};  // [0] is unused: the first key is m_mainKey
  std::wstring m_sequenceNames[3];
  int m_captureMode = 0;
  bool m_freshCapture = false;
  bool m_captureActive = false;  // an edit that captures has the focus
  HeldModifierMap m_heldKeys;
  std::wstring m_programPath;

 private:
  void Layout(const RECT& client, bool create);
  void FillValueList(int type);
  void ClearCapture();
  void ReportStoreFailure(const char* what);
};
