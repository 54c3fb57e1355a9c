// LCDViewList: the list of the screen's animation slots, one row a slot, drawn as the slot's first
// picture with its frame count (a missing picture draws a placeholder).
//
// It stays a QelListBox: a row's data is the slot's led_id and the list box's selection is the
// selected slot, so code reading the list as a QelListBox sees the same slot. The slot of a row is
// found through its led_id, so rows added, inserted or deleted through the list box keep their slot
// (a row without a slot reads folder "", picture "" and 0 frames). A click selects the row, then
// reports as a list box does (1 when the selection changed, then 2).
//
// It also turns GIF files into frame pictures and frame pictures into the keyboard's RGB565 data.
// Every member may be called from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "zuvi/list_box.h"

class LCDViewList : public QelListBox {
 public:
  LCDViewList();

  // Appends a slot: its folder, the picture shown for it (its first frame), its frame count and its
  // led_id (the row's data). Returns the row.
  int AddItem(const std::wstring& folder, const std::wstring& picture, int frames, int ledId);
  // Selects the row of `ledId`; false, the selection unchanged, when no row has it.
  bool SetItemLEDIdSelect(int ledId);
  // The slot of row `index`; 0, "" and 0 out of range or for a row without a slot.
  int GetItemLEDId(int index) const;
  std::wstring GetItemFolder(int index) const;
  std::wstring GetItemPicture(int index) const;
  int GetItemFrameSize(int index) const;
  // Replaces the picture and the frame count of row `index`; false out of range or without a slot.
  bool SetFrameData(int index, const std::wstring& picture, int frames);

  // Decodes the GIF file `gif` into `folder` (which must exist) as frame pictures "0.png", "1.png",
  // ... of 240 x 135 and returns how many were written; 0 when the file is no usable GIF. The
  // delays and whether the file broke off midway are kept for GetDelayTimes and LastLoadDamaged.
  int LoadGIFImageFile(const std::wstring& gif, const std::wstring& folder);
  // One delay in milliseconds per frame of the last load.
  std::vector<int> GetDelayTimes() const;
  // The last load stopped at damage in the file (the frames before it were written).
  bool LastLoadDamaged() const;

  // Reads the picture `path` scaled to width x height and writes it to `destination` as RGB565
  // pixels, row-major from the top-left, two bytes each, low byte first. False, writing nothing,
  // when the picture cannot be read, a size is not positive or `destination` holds fewer than
  // width x height x 2 bytes.
  bool GetImageRGB565Data(const std::wstring& path, std::span<std::uint8_t> destination, int width,
                          int height) const;

  void Paint(QPainter& painter, const QRect& area) override;

 private:
  struct Slot {
    std::wstring folder;
    std::wstring picture;
    int frames = 0;
  };
  // Row `index`'s slot, under lock_; null when it has none.
  const Slot* SlotOf(int index) const;

  std::map<int, Slot> slots_;  // by led_id
  std::vector<int> delays_;
  bool damaged_ = false;
};
