// The screen page's small windows: the frame delay question, the wait window with its running
// picture (GIF import and export, the slot keys' download) and the download's progress window.
// The wait windows do nothing by themselves: the worker ends their loops with DoOK (also before
// the loop runs, which ends it at once) and the download writes the progress window's texts.
#pragma once

#include <string>

#include "zuvi/dialog.h"

class CGifPicture;
class MProgress;
class MText;

class LCDDelayEditDlg : public MDialog {
 public:
  enum ControlId {
    IdTitle = 31,
    IdClose = 32,
    IdThisFrame = 33,
    IdAllFrames = 34,
    IdFrameDelay = 36,
    IdAllDelay = 38,
    IdApply = 39,
  };
  static constexpr RECT kRect{0, 0, 300, 200};
  static constexpr std::uint32_t kStyle = 0x96000000u;

  ~LCDDelayEditDlg() override;
  // Creates the controls in order 31, 32, 33, 36, 34, 38, 39 and places them.
  void InitUI(const RECT& client) override;
  void UISize(const RECT& client) override;
  // Clicks: close cancels (1), apply takes the edits and ends with OK (1); the radios switch which
  // edit takes input (0).
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;
  int OnApply();

  // Set by the caller before Create; read after a result of 1.
  std::wstring m_title;
  std::wstring m_frameDelay;
  std::wstring m_allDelay;
  bool m_allFrames = false;
};

// 102 x 102, topmost, a running "loading.gif".
class LEDWaitDlg : public MDialog {
 public:
  enum ControlId { IdBackground = 29, IdPicture = 30 };
  static constexpr RECT kRect{0, 0, 102, 102};

  ~LEDWaitDlg() override;
  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT&) override {}
  LRESULT OnMessage(int, int, LPARAM, LPARAM) override { return 0; }
  int OnDestroy() override { return 0; }
  // Creates the window without an owner, centred, and runs its loop until DoOK; the loop's
  // result. `parent` only names the caller's window (no window is disabled). UI thread.
  int ShowWait(HWND parent);
};

// 395 x 150, topmost: text 861, "Loading: N%" and a progress bar.
class LEDWaitDlg2 : public MDialog {
 public:
  enum ControlId { IdHeadline = 30, IdLoading = 31, IdProgress = 32 };
  static constexpr RECT kRect{0, 0, 395, 150};

  ~LEDWaitDlg2() override;
  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT&) override {}
  LRESULT OnMessage(int, int, LPARAM, LPARAM) override { return 0; }
  int OnDestroy() override { return 0; }
  int ShowProgress(HWND parent);
  // The download's report: "Loading: N%" and the bar; any thread.
  void SetProgress(int percent, const std::wstring& title);
};
