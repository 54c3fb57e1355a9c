// ImageViewList: the frames of a screen animation as a row of thumbnails, each with its delay.
//
// An item is a frame: its picture file, its edit file (the editor's working copy; the picture file
// until the frame is edited), its delay in milliseconds, its frame_id (0 for a frame not stored yet)
// and its file name. Thumbnails show the edit file. A click on an item selects it and reports 2, a
// double click then reports 9 (parameter: the position). A position outside the list changes
// nothing and reads an empty item. Every member may be called from any thread.
#pragma once

#include <string>
#include <vector>

#include "zuvi/control.h"

struct ImageViewItem {
  std::wstring pictureFile;
  std::wstring editFile;
  int delayMs = 0;
  int frameId = 0;
  std::wstring fileName;
  bool operator==(const ImageViewItem&) const = default;
};

class ImageViewList : public MControlFont {
 public:
  using Item = ImageViewItem;

  // Appends a frame (its edit file is the picture); returns its position.
  int AddItem(const std::wstring& picture, int delayMs, int frameId, const std::wstring& fileName);
  // Inserts a frame before position `pos` (the count appends); false outside 0..count. The
  // selection stays on its frame.
  bool InsertItem(int pos, const std::wstring& picture, int delayMs, int frameId,
                  const std::wstring& fileName);
  // Removes a frame; false out of range. A selected frame removed leaves nothing selected.
  bool DeleteItem(int pos);
  void Clear();
  int GetCount() const;
  // -1 for none.
  int GetCurSel() const;
  // -1 clears; false out of range.
  bool SetCurSel(int pos);
  // A copy; an empty item out of range.
  Item GetItem(int pos) const;
  // All items, in order.
  std::vector<Item> GetImageViewItems() const;
  // Sets the edit file of a frame; false out of range.
  bool UpdateItemImageFile(int pos, const std::wstring& file);
  std::wstring GetItemEditImageFile(int pos) const;
  // The delay of one frame, or of every frame; false out of range.
  bool SetItemDelayTime(int pos, int delayMs);
  void SetDelayTime(int delayMs);
  // Writes the edit files in order, with their delays, as a looping animated GIF of width x height
  // (".gif" appended when missing). False when there are no frames or the file could not be
  // written; then no file is left and an existing one is untouched.
  bool SaveGIFImageFile(const std::wstring& path, int width, int height) const;

  // ---- user input (UI thread; the test driver uses these) ----
  // False out of range or when the list takes no input.
  bool UserClickItem(int pos);
  bool UserDoubleClickItem(int pos);
  // The position under a window client point, -1 for none.
  int ItemAt(POINT point) const;
  // The frame's middle while it is among the frames shown.
  bool ItemPoint(int pos, POINT* point) override;

  void Paint(QPainter& painter, const QRect& area) override;

 protected:
  void OnInput(const MouseInput& input) override;
  void OnDoubleClick(const MouseInput& input) override;

 private:
  // Thumbnail width and the first position shown, for a control of the given size; under lock_.
  int ItemWidth(int height) const;
  int FirstShown(int width, int height) const;

  std::vector<Item> items_;
  int current_ = -1;
};
