// MWindow: a window with a handle, a modal loop, timers and window messages. The virtual slots
// are the places a window fills; they are listed in the order the windows know them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "zuvi/types.h"

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

struct WindowImpl;  // the Qt side, private to the library

// Marker base of the library's objects.
class MObject {
 public:
  virtual ~MObject() = default;
};

class MWindow : public MObject {
 public:
  MWindow();
  ~MWindow() override;
  MWindow(const MWindow&) = delete;
  MWindow& operator=(const MWindow&) = delete;

  // Creates the window and runs OnCreate, InitUI and UISize with the client rectangle, shows it
  // when `style` has WS_VISIBLE, then runs OnInitDialog. A WS_CHILD window lies inside `parent`
  // (rectangle relative to the parent's client area); any other window is a top-level window owned
  // by `parent` (rectangle on the screen). UI thread. False when it already exists or the parent
  // handle is not a live window.
  bool Create(HWND parent, const wchar_t* name, std::uint32_t style, std::uint32_t exStyle, const RECT& rect);
  bool Create(HWND parent, const wchar_t* name, std::uint32_t style, const RECT& rect) {
    return Create(parent, name, style, 0, rect);
  }

  // Shows the window with `showCommand` and runs a modal loop until EndModal (DoOK/DoCancel) or
  // DestroyWindow; loops of several windows nest. Returns the end code, 0 when the window was
  // destroyed. An end requested before the loop runs is kept and ends it at once. A popup window
  // with an owner takes the input away from every other window for the time of the loop and keeps
  // it itself (its owner's top-level window reads as disabled meanwhile); a WS_CHILD window
  // disables nothing. UI thread.
  int ShowModal(int showCommand = SW_SHOW);
  // Ends the modal loop with `code`; any thread.
  void EndModal(int code);
  bool IsInModalLoop() const { return inModal_.load(); }

  void CenterWindow(HWND reference = nullptr);
  bool SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
  bool MoveWindow(int x, int y, int width, int height, bool repaint = true);
  HWND GetSafeHwnd() const { return hwnd_; }
  HWND GetParent() const { return parent_; }
  std::uint32_t GetStyle() const { return style_; }
  const std::wstring& GetWindowText() const { return name_; }
  // (0, 0, width, height).
  RECT GetClientRect() const;
  void GetClientRect(RECT* rect) const { *rect = GetClientRect(); }
  // Position and size: on the screen for a top-level window, in the parent for a child.
  RECT GetWindowRect() const;
  // Own flag and every parent window's.
  bool IsWindowVisible() const;
  bool IsWindowEnabled() const;
  void EnableWindow(bool enable);
  bool IsTopmost() const { return topmost_.load(); }
  bool IsZoomed() const;
  void Minimize();
  void ToggleMaximize();
  // Brings a top-level window forward and gives it the focus.
  void BringToFront();

  // Starts (or restarts) timer `id`: OnTimer(id) runs on the UI thread every `milliseconds`
  // until KillTimer, also when it is killed inside OnTimer. Any thread.
  bool SetTimer(UINT id, UINT milliseconds);
  bool KillTimer(UINT id);
  bool IsTimerActive(UINT id) const;  // UI thread

  // The window icon, a file of the skin folder or an absolute path.
  void SetIcon(const std::wstring& file);
  void ReleaseCapture() {}
  // Named window properties (the single-instance marker).
  void SetProp(const std::wstring& name, std::intptr_t value);
  std::intptr_t GetProp(const std::wstring& name) const;

  // Draws the window as it looks now into a PNG file, also without a display. True on success.
  bool RenderToPng(const std::string& file) const;

  // ---- virtual slots, in slot order ----
  virtual bool ShowWindow(int command);
  // Window messages (posted or sent). The base handles none and returns 0; it does not pass
  // messages on to the parent.
  virtual LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Keyboard messages before the window handles them; non-zero consumes the message.
  virtual int PreTranslateMessage(MSG* message);
  virtual int OnInitDialog() { return 1; }
  virtual void InitUI(const RECT& /*client*/) {}
  virtual void UISize(const RECT& /*client*/) {}
  // A control's notification: control id, code, parameter and a fourth value (0).
  virtual LRESULT OnMessage(int /*id*/, int /*code*/, LPARAM /*param*/, LPARAM /*extra*/) { return 0; }
  virtual int OnCreate() { return 0; }
  virtual void OnSize(int /*width*/, int /*height*/) {}
  // Left button pressed on a free part of the window (no control under it).
  virtual int OnLButtonDown(UINT /*flags*/, POINT /*point*/) { return 0; }
  virtual void OnTimer(UINT /*id*/) {}
  // Ends the window: child windows first, then timers, the handle and the modal loop (which
  // returns 0). The C++ object stays; its owner deletes it. False when there is no window.
  virtual bool DestroyWindow();
  // Runs inside DestroyWindow while the window still exists.
  virtual int OnDestroy() { return 0; }

  // Library side, not for windows: the Qt part of the window.
  WindowImpl* Impl() const { return impl_.get(); }
  // Runs the UISize slot with the current client rectangle.
  void Relayout();

 protected:
  // Hook for MDialog: control widgets are made once the window exists.
  virtual void OnWindowCreated() {}
  virtual void OnWindowDestroying() {}

 private:
  void DestroyNow();
  void ApplyShow(int command);

  std::unique_ptr<WindowImpl> impl_;
  HWND hwnd_ = nullptr;
  HWND parent_ = nullptr;
  std::wstring name_;
  std::uint32_t style_ = 0;
  std::uint32_t exStyle_ = 0;
  std::atomic<bool> visible_{false};
  std::atomic<bool> enabled_{true};
  std::atomic<bool> topmost_{false};
  std::atomic<bool> inModal_{false};
  std::atomic<int> endCode_{-1};
  RECT rect_{};

  friend struct WindowImpl;
};
