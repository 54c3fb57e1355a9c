#include "zuvi/lcd_palettes.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace {

std::uint32_t Pack(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

QColor Unpack(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>(colour >> 8 & 0xFF),
                static_cast<int>(colour >> 16 & 0xFF));
}

// Where `value` of 0..`range` lies on `length` pixels from `start`.
int Place(int start, int length, int value, int range) {
  return start + (length > 1 ? value * (length - 1) / range : 0);
}

// 0..`range` for the pixel `at` of `length` pixels from `start` (clamped).
int ValueAt(int at, int start, int length, int range) {
  if (length <= 1) return 0;
  return std::clamp(at - start, 0, length - 1) * range / (length - 1);
}

bool Inside(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void DrawMarker(QPainter& painter, QPoint centre) {
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, 3));
  painter.drawEllipse(centre, 5, 5);
  painter.setPen(QPen(Qt::white, 1.5));
  painter.drawEllipse(centre, 5, 5);
}

}  // namespace

void LCDPaletteBase::SetSelectColor(std::uint32_t colour) {
  {
    std::lock_guard guard(lock_);
    colour_ = colour;
    OnColorSet(colour);
  }
  RequestSync();
}

std::uint32_t LCDPaletteBase::GetSelectColor() const { return GetState(colour_); }

void LCDPaletteBase::OnInput(const MouseInput& input) {
  if (input.button == MouseInput::Left) PickAt(input.point, true);
}

void LCDPaletteBase::OnDragBegin(POINT point) { PickAt(point, false); }

void LCDPaletteBase::OnDragMove(POINT point) { PickAt(point, false); }

void LCDPaletteBase::OnDragEnd(POINT point) { PickAt(point, true); }

void LCDPaletteBase::PickAt(POINT point, bool report) {
  RECT r = GetRect();
  if (r.Width() <= 0 || r.Height() <= 0) return;
  point.x = std::clamp(point.x, r.left, r.right - 1);
  point.y = std::clamp(point.y, r.top, r.bottom - 1);
  std::uint32_t colour;
  if (!ColorAt(point, &colour)) return;
  SetState(colour_, colour);
  if (report) Notify(NOTIFY_PALETTE_COLOR, static_cast<LPARAM>(colour));
}

bool LCDPalette2::ColorAt(POINT point, std::uint32_t* colour) const {
  RECT r = GetRect();
  if (!Inside(r, point)) return false;
  int hue = r.Width() >= r.Height() ? ValueAt(point.x, r.left, r.Width(), 359)
                                    : ValueAt(point.y, r.top, r.Height(), 359);
  *colour = Pack(QColor::fromHsv(hue, 255, 255));
  return true;
}

void LCDPalette2::Paint(QPainter& painter, const QRect& area) {
  bool across = area.width() >= area.height();
  QLinearGradient hues(area.topLeft(), across ? area.topRight() : area.bottomLeft());
  for (int i = 0; i <= 6; ++i) hues.setColorAt(i / 6.0, QColor::fromHsv(i % 6 * 60, 255, 255));
  painter.fillRect(area, hues);
  int hue = Unpack(GetSelectColor()).hsvHue();
  if (hue < 0) return;  // a grey lies nowhere on the bar
  QPoint centre = across ? QPoint(Place(area.left(), area.width(), hue, 359), area.center().y())
                         : QPoint(area.center().x(), Place(area.top(), area.height(), hue, 359));
  DrawMarker(painter, centre);
}

bool LCDPalette3::ColorAt(POINT point, std::uint32_t* colour) const {
  RECT r = GetRect();
  if (!Inside(r, point)) return false;
  int saturation = ValueAt(point.x, r.left, r.Width(), 255);
  int value = 255 - ValueAt(point.y, r.top, r.Height(), 255);
  *colour = Pack(QColor::fromHsv(GetHue(), saturation, value));
  return true;
}

void LCDPalette3::Paint(QPainter& painter, const QRect& area) {
  std::uint32_t colour;
  int hue;
  {
    std::lock_guard guard(lock_);
    colour = colour_;
    hue = hue_;
  }
  QLinearGradient saturation(area.topLeft(), area.topRight());
  saturation.setColorAt(0, Qt::white);
  saturation.setColorAt(1, QColor::fromHsv(hue, 255, 255));
  painter.fillRect(area, saturation);
  QLinearGradient value(area.topLeft(), area.bottomLeft());
  value.setColorAt(0, QColor(0, 0, 0, 0));
  value.setColorAt(1, Qt::black);
  painter.fillRect(area, value);
  QColor shown = Unpack(colour);
  DrawMarker(painter, QPoint(Place(area.left(), area.width(), shown.hsvSaturation(), 255),
                             Place(area.top(), area.height(), 255 - shown.value(), 255)));
}

int LCDPalette3::GetHue() const { return GetState(hue_); }

void LCDPalette3::OnColorSet(std::uint32_t colour) {
  // A pick keeps the field's hue; a colour set from outside brings its own (a grey has none).
  int hue = Unpack(colour).hsvHue();
  if (hue >= 0) hue_ = hue;
}
