// ImageView: the frame editor of the screen page. So far it keeps its grid switch and drawing
// mode and counts how often the edit in progress was taken back.
#pragma once

#include "zuvi/control.h"

class ImageView : public MControl {
 public:
  void SetShowGridLine(bool show);
  bool GetShowGridLine() const;
  void SetDrawMode(int mode);
  int GetDrawMode() const;
  // Takes back the edit in progress.
  void RecoverCurEdit();
  int RecoverCount() const;
  void Paint(QPainter& painter, const QRect& area) override;

 private:
  bool grid_ = false;
  int drawMode_ = 0;
  int recovers_ = 0;
};
