// ImageView: the frame editor of the screen page.
//
// It shows a frame picture of 240 x 135 under an overlay of strokes and texts. Editing changes only
// the overlay: the pen draws on it, the eraser clears it, a text is placed on it centred (and, in
// text mode, a drag moves the last text until the next edit). Each change (stroke, erasure, text,
// text moved, clear, undo) writes the flattened picture into the frame's edit file and reports 32
// (NOTIFY_IMAGE_CHANGED). The first change after a frame is set picks a new unique name in the edit
// folder, so neither the picture file nor another frame's file is ever written; until then the edit
// file is the one the frame was set with.
//
// One frame (SetImageFile) is edited while the preview mode is on (the start). With the preview
// mode off the editor holds every frame (SetItems): it shows one of them, a text goes onto every
// frame (each gets its own new edit file: GetItems gives them back for the frame list) and strokes
// are refused. Turning the preview mode on again edits the frame that was shown, with its edits.
//
// The grid (every 10 frame pixels) and the scale (100 %, else fit) are display only. A right click
// reports 5 (NOTIFY_RCLICK): the window opens its tool menu. Disabled, it takes no input. Every
// member may be called from any thread; what is shown follows on the UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zuvi/control.h"
#include "zuvi/image_view_list.h"

class ImageView : public MControl {
 public:
  static constexpr int kTextMode = 100;
  static constexpr int kPenMode = 102;
  static constexpr int kEraserMode = 111;
  static constexpr int kUndoSteps = 32;

  ImageView();
  ~ImageView() override;

  // Where edit files are made (created when missing).
  void SetEditFolder(const std::wstring& folder);
  // Shows one frame: `editFile` (the picture itself when empty or unreadable) under an empty
  // overlay; the undo steps are dropped.
  void SetImageFile(const std::wstring& picture, const std::wstring& editFile);
  // The frames edited together while the preview mode is off; `shown` is the one shown (and the one
  // GetEditImageFile names), the first when out of range. The overlay and undo steps are dropped.
  void SetItems(const std::vector<ImageViewItem>& items, int shown = 0);
  // Those frames with the edit files their edits went to.
  std::vector<ImageViewItem> GetItems() const;
  // No frame, no items, no overlay.
  void Clear();
  void SetImagePreviewMode(bool preview);
  bool GetImagePreviewMode() const;

  // kTextMode, kPenMode or kEraserMode (any other: the mouse draws nothing).
  void SetDrawMode(int mode);
  int GetDrawMode() const;
  // 16, 30 or 50, drawing 2, 5 or 8 pixels wide; other values are refused (false).
  bool SetPenSize(int size);
  int GetPenSize() const;
  int GetPenWidth() const;
  // Pen and text colour, 0x00BBGGRR.
  void SetColorValue(std::uint32_t colour);
  std::uint32_t GetColorValue() const;
  // Text height in frame pixels, at least 1.
  void SetFontSize(int size);
  int GetFontSize() const;

  // Places `text` centred in the pen colour at the font size (on every frame with the preview mode
  // off). False for an empty text or no frame.
  bool AddText(const std::wstring& text);
  // Takes back the last change (up to kUndoSteps); each call is counted.
  void RecoverCurEdit();
  int RecoverCount() const;
  // Drops the overlay (a change that can be taken back).
  void ClearCurEdit();
  // The edit file of the frame shown: the frame's own until the first change.
  std::wstring GetEditImageFile() const;
  // Fixes the last text in place and makes sure every edit is in the edit files; false when one
  // could not be written (no edit folder, unwritable).
  bool SaveImageData();
  // Turns the picture file `path` (any picture Qt reads) into a 240 x 135 frame picture in place;
  // false, the file untouched, when it is no picture or cannot be written.
  bool SaveCurrentImage(const std::wstring& path);

  void SetShowGridLine(bool show);
  bool GetShowGridLine() const;
  // 100 % shows the frame at its size; otherwise it fits the control.
  void SetScale100(bool on = true);
  bool GetScale100() const;

  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  bool TakesDrag() const override { return true; }
  void OnInput(const MouseInput& input) override;
  void OnDragBegin(POINT point) override;
  void OnDragMove(POINT point) override;
  void OnDragEnd(POINT point) override;

 private:
  struct Canvas;  // pictures, overlay and undo steps (Qt)
  bool AllFrames() const { return !preview_ && !items_.empty(); }
  bool HasFrame() const { return AllFrames() || !picture_.empty(); }
  // Frame point under a window client point of a control at `rect`; under lock_.
  void FramePoint(const RECT& rect, POINT point, double* x, double* y) const;
  // Keeps the state before a change for undo; under lock_.
  void PushUndo();
  // Fixes the movable text into the overlay; under lock_.
  void CommitText();
  // Writes the flattened frames of the current mode into their edit files (a frame's first change
  // names a new one, taken once it is written); false when one could not be written. Takes the locks
  // itself: call it without lock_. WriteEdits then reports 32.
  bool WriteEditFiles();
  bool WriteEdits();
  std::wstring NewEditFile() const;

  std::unique_ptr<Canvas> canvas_;
  std::wstring editFolder_;
  std::wstring picture_;
  std::wstring editFile_;
  std::vector<ImageViewItem> items_;
  int shown_ = 0;
  bool preview_ = true;
  bool grid_ = false;
  bool scale100_ = false;
  int drawMode_ = 0;
  int penSize_ = 16;
  std::uint32_t colour_ = 0x0000FF;
  int fontSize_ = 20;
  int recovers_ = 0;
};
