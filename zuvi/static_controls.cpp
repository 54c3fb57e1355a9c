#include "zuvi/static_controls.h"

#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "zuvi/dialog.h"
#include "zuvi/internal.h"

using namespace zuvi_internal;

namespace {

constexpr int kSpinnerDots = 12;
constexpr int kSpinnerStepMs = 80;

}  // namespace

void MText::Paint(QPainter& painter, const QRect& area) { PaintTitle(painter, area); }

void MPicture::Paint(QPainter& painter, const QRect& area) {
  QImage image = LoadSkinImage(GetImage());
  if (!image.isNull())
    painter.drawImage(area, SkinSlice(image, 1, 0));
  else
    PaintTitle(painter, area);  // no picture: its text, if any
}

void CArea::SetTransparent(int alpha, int borderAlpha, std::uint32_t rgb) {
  {
    std::lock_guard guard(lock_);
    alpha_ = alpha;
    borderAlpha_ = borderAlpha;
    rgb_ = rgb;
  }
  UpdateControl();
}

void CArea::Paint(QPainter& painter, const QRect& area) {
  int alpha, borderAlpha;
  std::uint32_t rgb;
  {
    std::lock_guard guard(lock_);
    alpha = alpha_;
    borderAlpha = borderAlpha_;
    rgb = rgb_;
  }
  QColor fill((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF, std::clamp(alpha, 0, 255));
  painter.fillRect(area, fill);
  if (borderAlpha > 0) {
    fill.setAlpha(std::clamp(borderAlpha, 0, 255));
    painter.setPen(fill);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
  }
}

void CGifPicture::SetRunState(bool running) {
  {
    std::lock_guard guard(lock_);
    running_ = running;
  }
  AddMTimer();
}

bool CGifPicture::GetRunState() const { return GetState(running_); }

int CGifPicture::GetFrameIndex() const { return GetState(frame_); }

int CGifPicture::GetFrameCount() const {
  const_cast<CGifPicture*>(this)->LoadFrames();
  std::lock_guard guard(lock_);
  return static_cast<int>(frames_.size());
}

void CGifPicture::LoadFrames() {
  std::wstring file = GetImage();
  {
    std::lock_guard guard(lock_);
    if (file == loadedFile_) return;
  }
  std::vector<std::pair<std::shared_ptr<void>, int>> frames;
  QImageReader reader(ToQString(NormaliseSkinPath(file)));
  for (QImage image = reader.read(); !image.isNull(); image = reader.read()) {
    int delay = reader.nextImageDelay();
    frames.emplace_back(std::make_shared<QImage>(image), delay > 0 ? delay : 100);
    if (frames.size() >= 1000) break;  // a runaway file must not eat the memory
  }
  std::lock_guard guard(lock_);
  loadedFile_ = file;
  frames_ = std::move(frames);
  frame_ = 0;
  elapsed_ = 0;
}

void CGifPicture::OnMTimer() {
  LoadFrames();
  {
    std::lock_guard guard(lock_);
    if (!running_ || frames_.size() == 1) return;
    const int steps = frames_.empty() ? kSpinnerDots : static_cast<int>(frames_.size());
    elapsed_ += GetOwner() ? GetOwner()->GetMTimerInterval() : 10;
    if (elapsed_ < (frames_.empty() ? kSpinnerStepMs : frames_[frame_].second)) return;
    elapsed_ = 0;
    frame_ = (frame_ + 1) % steps;
  }
  UpdateControl();
}

void CGifPicture::Paint(QPainter& painter, const QRect& area) {
  LoadFrames();
  std::shared_ptr<void> frame;
  {
    std::lock_guard guard(lock_);
    if (!frames_.empty()) frame = frames_[frame_].first;
  }
  if (frame) {
    painter.drawImage(area, *static_cast<QImage*>(frame.get()));
    return;
  }
  if (!GetRunState()) return;
  // No picture to run: a ring of dots whose brightest one steps round, fading behind it.
  const int step = GetFrameIndex();
  const double radius = std::min(area.width(), area.height()) * 0.36;
  const double dot = std::max(1.5, radius * 0.19);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  for (int i = 0; i < kSpinnerDots; ++i) {
    const double angle = 2 * M_PI * i / kSpinnerDots;
    const double level = 1.0 - ((step - i + kSpinnerDots) % kSpinnerDots) / static_cast<double>(kSpinnerDots);
    painter.setBrush(QColor::fromRgbF(0.15 + 0.85 * level, 0.45 + 0.55 * level, 1.0));
    const QPointF centre =
        QRectF(area).center() + QPointF(radius * std::sin(angle), -radius * std::cos(angle));
    painter.drawEllipse(centre, dot, dot);
  }
  painter.restore();
}
