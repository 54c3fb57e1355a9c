// MControl, the base of every control, and MControlFont, the base of controls with text.
//
// Thread rule: a control keeps its state itself; every getter and setter may be called from any
// thread. What the screen shows follows on the UI thread. No lock of the library is held while a
// window's OnMessage runs. Setting a value from code never notifies the window.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

#include "zuvi/types.h"

class MDialog;
class QPainter;
class QWidget;
class QRect;
class QColor;

struct MouseInput {
  enum Button { Left, Right } button = Left;
  POINT point;  // in window client coordinates
};

class MControl {
 public:
  MControl() = default;
  virtual ~MControl();
  MControl(const MControl&) = delete;
  MControl& operator=(const MControl&) = delete;

  int GetID() const { return id_; }
  MDialog* GetOwner() const { return owner_; }
  // The container (MTabLayout, CArea) the control was created in; null for the window itself.
  MControl* GetContainer() const { return container_; }
  bool Notifies() const { return notifies_; }

  // Rectangle in the window's client coordinates, also inside a container.
  void SetRect(const RECT& rect);
  RECT GetRect() const;
  // Own flags. The effective state also needs every container's flag; a container switched off
  // and on again gives each control back its own state.
  void SetVisible(bool visible);
  bool IsVisible() const { return visible_.load(); }
  void SetEnabled(bool enabled);
  // Like SetEnabled, and redraws the control with everything it contains at once.
  void SetEnabledEx(bool enabled);
  bool IsEnabled() const { return enabled_.load(); }
  bool IsEffectivelyVisible() const;
  bool IsEffectivelyEnabled() const;
  void SetTooltip(const std::wstring& text);
  std::wstring GetTooltip() const;
  // A skin image cut into `states` equal slices (see each control for what the slices mean).
  void SetImage(const std::wstring& file, int states = 1);
  std::wstring GetImage() const;
  // Redraws the control.
  void UpdateControl();
  // Joins the window's animation ticks (MDialog::SetMTimer): OnMTimer runs on each tick.
  void AddMTimer();

  // ---- user input, UI thread; the test driver uses the same entries ----
  // True when the control took the input (it is visible and enabled).
  bool Press(const MouseInput& input);
  bool DoubleClick(const MouseInput& input);
  // A drag with the left button: the press, each move while it is held and the release, at window
  // client points. Controls that take drags (TakesDrag) get these instead of a click. DragBegin is
  // false when the control takes no input; DragMove and DragEnd are false without a drag begun.
  // How many presses, double clicks and drags the control has taken.
  int InputsTaken() const { return inputsTaken_.load(); }
  bool DragBegin(POINT point);
  bool DragMove(POINT point);
  bool DragEnd(POINT point);

  // ---- library side ----
  void Attach(MDialog* owner, int id, bool notifies, MControl* container, const std::wstring& className);
  const std::wstring& ClassName() const { return className_; }
  // Makes the control's widget under the window's root widget; UI thread.
  void MakeWidget(QWidget* root);
  void DetachWidget();
  // The control's widget; null before the window exists.
  QWidget* GetWidget() const {
    std::lock_guard guard(lock_);
    return widget_;
  }
  // Brings the widget in line with the state; UI thread.
  void SyncWidget();
  virtual void OnMTimer() {}
  // Draws the control into `area` (its widget's rectangle); UI thread.
  virtual void Paint(QPainter& painter, const QRect& area);
  // Areas and pictures let clicks fall through to the window.
  virtual bool TakesMouse() const { return true; }
  // Controls that follow the mouse while its left button is held.
  virtual bool TakesDrag() const { return false; }
  // The window-client point in the middle of item `index` as the control shows it now (a tab, a
  // row, a frame, a chooser item, a slider position), scrolled into view first where the control
  // scrolls. False when there is no such item or it is out of sight. The test driver aims here.
  virtual bool ItemPoint(int index, POINT* point);

 protected:
  // A double click that reached the control (after the click of its first press); nothing by
  // default.
  virtual void OnDoubleClick(const MouseInput&) {}
  // A click or a right click that reached the control; subclasses change their state here
  // (under no lock held by the caller) and then notify.
  virtual void OnInput(const MouseInput& input);
  // The steps of a drag that reached the control (window client points).
  virtual void OnDragBegin(POINT) {}
  virtual void OnDragMove(POINT) {}
  virtual void OnDragEnd(POINT) {}
  // Reports to the window's OnMessage on the UI thread (queued when called elsewhere).
  void Notify(int code, LPARAM param = 0);
  // The rectangle has changed (any thread).
  virtual void OnRectChanged() {}
  // Widgets of a kind other than the painted one (edits, combo boxes).
  virtual QWidget* CreateWidget(QWidget* parent);
  // Pushes the state of its own kind into the widget; UI thread; signals of the widget are blocked.
  virtual void SyncKind(QWidget*) {}
  // Slice index for image controls: 0 normal, 1 hover, 2 pressed, 3 disabled.
  int StateIndex() const;
  void PaintImageOrFrame(QPainter& painter, const QRect& area, int sliceOffset);
  // Asks the UI thread to bring the widget in line; coalesced; any thread.
  void RequestSync();
  // Every control of the window below this one as well (container state changed).
  void RequestSyncTree();
  QWidget* Widget() const { return widget_; }
  // One state member written under the lock, then the screen brought in line.
  template <typename T, typename V>
  void SetState(T& member, V&& value) {
    {
      std::lock_guard guard(lock_);
      member = std::forward<V>(value);
    }
    RequestSync();
  }
  template <typename T>
  T GetState(const T& member) const {
    std::lock_guard guard(lock_);
    return member;
  }

  mutable std::mutex lock_;  // guards the state members below and those of subclasses

 private:
  MDialog* owner_ = nullptr;
  MControl* container_ = nullptr;
  int id_ = 0;
  bool notifies_ = true;
  std::wstring className_;
  RECT rect_{};
  std::atomic<bool> visible_{true};
  std::atomic<bool> enabled_{true};
  std::wstring tooltip_;
  std::wstring image_;
  int imageStates_ = 1;
  QWidget* widget_ = nullptr;  // UI thread writes; read under lock_
  std::atomic<bool> syncPending_{false};
  std::atomic<bool> hovered_{false};
  std::atomic<bool> pressed_{false};
  std::atomic<bool> dragging_{false};
  std::atomic<int> inputsTaken_{0};
  friend class ControlWidget;
};

// Text of a control: title, font, colour and alignment (Windows DrawText flags: horizontal 0 left,
// 1 centre, 2 right; vertical 0 one centred line, 4 several lines centred, 8 bottom).
class MControlFont : public MControl {
 public:
  void SetTitle(const std::wstring& text);
  std::wstring GetTitle() const;
  void SetFont(const std::wstring& face, int size, bool bold = false);
  void SetTextColor(ARGB color);
  ARGB GetTextColor() const;
  void SetAlignment(int align);
  int GetAlignment() const;
  void SetVAlignment(int align);
  int GetVAlignment() const;

 protected:
  // `color` replaces the text colour (plain Qt faces draw their text in the style's colour). With
  // `fit` the text breaks into lines and shrinks as far as it needs to fit `area` whole.
  void PaintText(QPainter& painter, const QRect& area, const std::wstring& text,
                 const QColor* color = nullptr, bool fit = false) const;
  void PaintTitle(QPainter& painter, const QRect& area, const QColor* color = nullptr) const;

  std::wstring title_;
  std::wstring fontFace_;
  int fontSize_ = 10;
  bool fontBold_ = false;
  ARGB textColor_ = 0xFFFFFFFF;
  int align_ = 0;
  int valign_ = 0;
};
