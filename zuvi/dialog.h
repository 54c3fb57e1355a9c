// MDialog: the base of every window of the program. It owns the window's controls, made by
// class name through the control factory, and ends its modal loop with DoOK or DoCancel.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "zuvi/control.h"
#include "zuvi/window.h"

class MDialog : public MWindow {
 public:
  MDialog();
  ~MDialog() override;

  // Makes a control of the class named `className` (as the windows spell it) with the id, the
  // rectangle (window client coordinates) and the text; `visible` and `enabled` are its first
  // state; `container` (an MTabLayout or CArea of this window) contains it. The window owns the
  // control until it is deleted. Null for an unknown class name. UI thread.
  MControl* CreateControl(const wchar_t* className, int id, const RECT& rect, const wchar_t* text = nullptr,
                          int visible = 1, int enabled = 1, MControl* container = nullptr);
  // The same for controls that never notify the window (backgrounds, labels).
  MControl* CreateArea(const wchar_t* className, int id, const RECT& rect, const wchar_t* text = nullptr,
                       int visible = 1, int enabled = 1, MControl* container = nullptr);
  // The first control created with `id`; null if none. Any thread.
  MControl* GetControl(int id) const;
  template <typename T>
  T* GetControlAs(int id) const {
    return dynamic_cast<T*>(GetControl(id));
  }
  // Every control in creation order.
  std::vector<MControl*> Controls() const;

  // Background picture of the window, a skin file; stretched over the client area.
  void LoadBKImage(const std::wstring& file);
  // Layered windows draw with their background's transparency.
  void SetLayeredWindow(int layered);
  // Background mode and its value (mode 1: the picture is drawn with rounded corners of `value`/3).
  void SetBackMode(int mode, int value);
  // Whether pressing on a free part of the window drags it (top-level windows only).
  void EnableWndDrag(int enable);
  bool WndDragEnabled() const { return drag_; }
  // Animation ticks: every `milliseconds` each control that called AddMTimer gets OnMTimer.
  void SetMTimer(int milliseconds);
  int GetMTimerInterval() const { return mtimerMs_; }

  // End the modal loop with 1 and 2; any thread.
  void DoOK() { EndModal(IDOK); }
  void DoCancel() { EndModal(IDCANCEL); }
  // The buttons that Return and Escape press when no control of the window takes those keys
  // itself: the window's OK or yes button, and its cancel, no or close button (0: none).
  void SetDefaultButtons(int returnId, int escapeId);
  // Library side: a Return (or Escape) that reached the window; true when it pressed a button.
  bool PressDefaultButton(bool escape);

  int OnLButtonDown(UINT flags, POINT point) override;
  // WM_NCLBUTTONDOWN with HTCAPTION starts a system move of a top-level window (ignored where the
  // platform refuses it, as offscreen). Forwards nothing and returns 0.
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // How many system moves were asked for (tests).
  int SystemMoveRequests() const { return systemMoves_; }

  // Library side: a control reports a notification (UI thread).
  LRESULT DeliverNotification(MControl* control, int code, LPARAM param);
  void RegisterAnimated(MControl* control);
  // Brings the widgets of `root` and everything it contains in line (container state changed).
  void SyncContained(MControl* root);

 protected:
  void OnWindowCreated() override;
  void OnWindowDestroying() override;

 private:
  MControl* Make(const wchar_t* className, int id, const RECT& rect, const wchar_t* text, int visible,
                 int enabled, MControl* container, bool notifies);

  mutable std::mutex controlsLock_;  // guards the lists; never held while application code runs
  std::vector<std::unique_ptr<MControl>> controls_;
  std::vector<MControl*> animated_;
  void ApplyLook();

  std::wstring background_;
  bool layered_ = false;
  int backMode_ = 0;
  int backValue_ = 0;
  bool drag_ = true;
  int systemMoves_ = 0;
  int returnButton_ = 0;
  int escapeButton_ = 0;
  void StartSystemMove();
  int mtimerMs_ = 0;
  void* mtimer_ = nullptr;  // the QTimer of the animation ticks
};
