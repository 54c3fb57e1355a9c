// Controls that show something and take no input of their own: texts, pictures, areas and the
// animated GIF picture.
#pragma once

#include <memory>
#include <vector>

#include "zuvi/control.h"

// A line or a block of text.
class MText : public MControlFont {
 public:
  void Paint(QPainter& painter, const QRect& area) override;
  bool TakesMouse() const override { return false; }
};

// A skin picture (SetImage); slice 0 of its states.
class MPicture : public MControlFont {
 public:
  void Paint(QPainter& painter, const QRect& area) override;
  bool TakesMouse() const override { return false; }
};

// A panel that may contain controls; drawn as a fill of its colour with its alpha.
class CArea : public MControl {
 public:
  // `alpha` of the fill (0 transparent, 255 opaque), `borderAlpha` of its one-pixel border, and the
  // colour as 0x00RRGGBB.
  void SetTransparent(int alpha, int borderAlpha, std::uint32_t rgb);
  void Paint(QPainter& painter, const QRect& area) override;
  bool TakesMouse() const override { return false; }

 private:
  int alpha_ = 0;
  int borderAlpha_ = 0;
  std::uint32_t rgb_ = 0;
};

// A GIF animation (SetImage with a .gif file); it moves on the window's animation ticks while its
// run state is on. Without a readable file a running one draws a spinner of its own.
class CGifPicture : public MControl {
 public:
  void SetRunState(bool running);
  bool GetRunState() const;
  int GetFrameIndex() const;
  int GetFrameCount() const;
  void OnMTimer() override;
  void Paint(QPainter& painter, const QRect& area) override;
  bool TakesMouse() const override { return false; }

 private:
  void LoadFrames();
  bool running_ = false;
  int frame_ = 0;
  int elapsed_ = 0;
  std::wstring loadedFile_;
  std::vector<std::pair<std::shared_ptr<void>, int>> frames_;  // image, delay in ms
};
