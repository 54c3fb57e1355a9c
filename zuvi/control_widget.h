// The painted widget behind a control: draws through MControl::Paint and hands clicks to it.
// Private to zuvi/.
#pragma once

#include <QWidget>

#include "zuvi/control.h"

class ControlWidget : public QWidget {
 public:
  ControlWidget(MControl* control, QWidget* parent);
  void Detach() { control_ = nullptr; }
  MControl* Control() const { return control_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  MControl* control_;
  bool doubleClicked_ = false;  // the release that ends a double click is no click of its own
};
