#include "zuvi/image_view.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <atomic>
#include <deque>
#include <optional>

#include "common/strings.h"
#include "platform/image/frame_image.h"
#include "zuvi/internal.h"

using namespace zuvi_internal;

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 135;
constexpr int kGridStep = 10;

QImage EmptyOverlay() {
  QImage overlay(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  overlay.fill(Qt::transparent);
  return overlay;
}

// A frame picture as 240 x 135 opaque pixels; null when it cannot be read.
QImage LoadFrame(const std::wstring& path) {
  if (path.empty()) return {};
  auto pixels = platform::image::ReadFramePixels(WideToUtf8(path), kWidth, kHeight);
  if (!pixels) return {};
  QImage frame(kWidth, kHeight, QImage::Format_RGB32);
  for (int y = 0; y < kHeight; ++y) {
    auto* line = reinterpret_cast<uint32_t*>(frame.scanLine(y));
    for (int x = 0; x < kWidth; ++x) line[x] = (*pixels)[static_cast<size_t>(y) * kWidth + x] | 0xFF000000u;
  }
  return frame;
}

QColor PenColour(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>(colour >> 8 & 0xFF),
                static_cast<int>(colour >> 16 & 0xFF));
}

// Where the 240 x 135 frame lies in a control of `size`: at its own size or fitted, centred.
QRectF FrameBox(QSizeF size, bool scale100) {
  double scale = scale100 ? 1.0 : std::min(size.width() / kWidth, size.height() / kHeight);
  if (scale <= 0) scale = 1.0;
  QSizeF box(kWidth * scale, kHeight * scale);
  return QRectF(QPointF((size.width() - box.width()) / 2, (size.height() - box.height()) / 2), box);
}

}  // namespace

struct ImageView::Canvas {
  struct Text {
    QString text;
    QColor colour;
    int size = 1;
    QPointF centre;
  };
  struct Step {
    QImage overlay;
    std::optional<Text> text;
  };

  QImage base;                   // the frame shown (single mode)
  std::vector<QImage> bases;     // every frame (all-frames mode), by item
  std::vector<bool> itemEdited;  // the item's edit file is one of ours
  bool edited = false;           // editFile_ is one of ours
  QImage overlay = EmptyOverlay();
  std::optional<Text> text;  // the last text, movable until the next edit
  std::deque<Step> undo;
  QPointF last;  // the drag's previous frame point
  bool stroking = false, moving = false;
  std::mutex writing;       // keeps the files' writes in the order of the changes; taken before lock_
  unsigned generation = 0;  // counts the frames set, so a write never names a file for a later frame

  // Nothing drawn on top and nothing to take back.
  void DropEdits() {
    overlay = EmptyOverlay();
    text.reset();
    undo.clear();
    stroking = moving = false;
  }

  static void DrawText(QPainter& painter, const Text& text) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(text.size, 1));
    painter.setFont(font);
    painter.setPen(text.colour);
    QRectF room(text.centre.x() - 4000, text.centre.y() - 2000, 8000, 4000);
    painter.drawText(room, Qt::AlignCenter, text.text);
  }

  QImage Flatten(const QImage& frame) const {
    QImage flat = frame.isNull() ? QImage(kWidth, kHeight, QImage::Format_RGB32) : frame.copy();
    if (frame.isNull()) flat.fill(Qt::black);
    QPainter painter(&flat);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawImage(0, 0, overlay);
    if (text) DrawText(painter, *text);
    return flat;
  }
};

ImageView::ImageView() : canvas_(std::make_unique<Canvas>()) {}

ImageView::~ImageView() = default;

void ImageView::SetEditFolder(const std::wstring& folder) { SetState(editFolder_, folder); }

void ImageView::SetImageFile(const std::wstring& picture, const std::wstring& editFile) {
  QImage frame = LoadFrame(editFile);
  if (frame.isNull()) frame = LoadFrame(picture);
  {
    std::lock_guard guard(lock_);
    picture_ = picture;
    editFile_ = editFile.empty() ? picture : editFile;
    Canvas& c = *canvas_;
    ++c.generation;
    c.base = frame;
    c.edited = false;
    c.DropEdits();
  }
  RequestSync();
}

void ImageView::SetItems(const std::vector<ImageViewItem>& items, int shown) {
  std::vector<QImage> bases;
  for (const ImageViewItem& item : items) {
    QImage frame = LoadFrame(item.editFile);
    bases.push_back(frame.isNull() ? LoadFrame(item.pictureFile) : frame);
  }
  {
    std::lock_guard guard(lock_);
    items_ = items;
    shown_ = shown >= 0 && shown < static_cast<int>(items.size()) ? shown : 0;
    Canvas& c = *canvas_;
    ++c.generation;
    c.bases = std::move(bases);
    c.itemEdited.assign(items.size(), false);
    c.DropEdits();
  }
  RequestSync();
}

std::vector<ImageViewItem> ImageView::GetItems() const { return GetState(items_); }

void ImageView::Clear() {
  {
    std::lock_guard guard(lock_);
    picture_.clear();
    editFile_.clear();
    items_.clear();
    shown_ = 0;
    Canvas& c = *canvas_;
    ++c.generation;
    c.base = QImage();
    c.bases.clear();
    c.itemEdited.clear();
    c.edited = false;
    c.DropEdits();
  }
  RequestSync();
}

void ImageView::SetImagePreviewMode(bool preview) {
  {
    std::lock_guard guard(lock_);
    if (preview_ == preview) return;
    bool leavingAllFrames = AllFrames();
    Canvas& c = *canvas_;
    ++c.generation;
    // What was edited is in the files already and becomes part of the pictures; the new mode starts
    // with nothing to take back.
    if (leavingAllFrames) {
      for (QImage& frame : c.bases) frame = c.Flatten(frame);
    } else if (HasFrame()) {
      c.base = c.Flatten(c.base);
    }
    preview_ = preview;
    c.DropEdits();
    if (preview && leavingAllFrames) {
      const ImageViewItem& item = items_[shown_];
      picture_ = item.pictureFile;
      editFile_ = item.editFile;
      c.base = c.bases[shown_];
      c.edited = c.itemEdited[shown_];
    }
  }
  RequestSync();
}

bool ImageView::GetImagePreviewMode() const { return GetState(preview_); }

void ImageView::SetDrawMode(int mode) { SetState(drawMode_, mode); }

int ImageView::GetDrawMode() const { return GetState(drawMode_); }

bool ImageView::SetPenSize(int size) {
  if (size != 16 && size != 30 && size != 50) return false;
  SetState(penSize_, size);
  return true;
}

int ImageView::GetPenSize() const { return GetState(penSize_); }

int ImageView::GetPenWidth() const {
  int size = GetPenSize();
  return size == 50 ? 8 : size == 30 ? 5 : 2;
}

void ImageView::SetColorValue(std::uint32_t colour) { SetState(colour_, colour & 0xFFFFFF); }

std::uint32_t ImageView::GetColorValue() const { return GetState(colour_); }

void ImageView::SetFontSize(int size) { SetState(fontSize_, std::max(size, 1)); }

int ImageView::GetFontSize() const { return GetState(fontSize_); }

void ImageView::PushUndo() {
  Canvas& c = *canvas_;
  c.undo.push_back(Canvas::Step{c.overlay.copy(), c.text});
  while (static_cast<int>(c.undo.size()) > kUndoSteps) c.undo.pop_front();
}

void ImageView::CommitText() {
  Canvas& c = *canvas_;
  if (!c.text) return;
  QPainter painter(&c.overlay);
  painter.setRenderHint(QPainter::TextAntialiasing);
  Canvas::DrawText(painter, *c.text);
  c.text.reset();
}

bool ImageView::AddText(const std::wstring& text) {
  if (text.empty()) return false;
  {
    std::lock_guard guard(lock_);
    if (!HasFrame()) return false;
    CommitText();
    PushUndo();
    canvas_->text =
        Canvas::Text{ToQString(text), PenColour(colour_), fontSize_, QPointF(kWidth / 2.0, kHeight / 2.0)};
  }
  WriteEdits();
  return true;
}

void ImageView::RecoverCurEdit() {
  {
    std::lock_guard guard(lock_);
    ++recovers_;
    Canvas& c = *canvas_;
    if (c.undo.empty() || !HasFrame()) return;
    c.overlay = c.undo.back().overlay;
    c.text = c.undo.back().text;
    c.undo.pop_back();
    c.stroking = c.moving = false;
  }
  WriteEdits();
}

int ImageView::RecoverCount() const { return GetState(recovers_); }

void ImageView::ClearCurEdit() {
  {
    std::lock_guard guard(lock_);
    if (!HasFrame()) return;
    PushUndo();
    canvas_->overlay = EmptyOverlay();
    canvas_->text.reset();
    canvas_->stroking = canvas_->moving = false;
  }
  WriteEdits();
}

std::wstring ImageView::GetEditImageFile() const {
  std::lock_guard guard(lock_);
  if (AllFrames()) return items_[shown_].editFile;
  return editFile_;
}

std::wstring ImageView::NewEditFile() const {
  static std::atomic<unsigned> counter{0};
  QDir folder(ToQString(editFolder_));
  if (editFolder_.empty() || !folder.mkpath(QStringLiteral("."))) return {};
  QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmsszzz"));
  for (;;) {
    QString name = QStringLiteral("edit%1_%2.png").arg(stamp).arg(counter++);
    if (!QFile::exists(folder.filePath(name))) return FromQString(folder.filePath(name));
  }
}

bool ImageView::WriteEdits() {
  bool written = WriteEditFiles();
  Notify(NOTIFY_IMAGE_CHANGED);
  return written;
}

bool ImageView::WriteEditFiles() {
  std::lock_guard order(canvas_->writing);
  struct Job {
    int item;    // -1: the single frame
    bool fresh;  // a new edit file, named for the frame once it is written
    std::wstring path;
    QImage picture;
    bool written = false;
  };
  std::vector<Job> jobs;
  unsigned generation;
  bool unnamed = false;
  {
    std::lock_guard guard(lock_);
    Canvas& c = *canvas_;
    if (!HasFrame()) return true;
    generation = c.generation;
    auto add = [&](int item, bool edited, const std::wstring& file, const QImage& frame) {
      std::wstring path = edited ? file : NewEditFile();
      if (path.empty())
        unnamed = true;
      else
        jobs.push_back({item, !edited, path, c.Flatten(frame)});
    };
    if (AllFrames()) {
      for (size_t i = 0; i < items_.size(); ++i)
        add(static_cast<int>(i), c.itemEdited[i], items_[i].editFile, c.bases[i]);
    } else {
      add(-1, c.edited, editFile_, c.base);
    }
  }
  RequestSync();
  bool written = !unnamed;
  for (Job& job : jobs) {
    const auto* pixels = reinterpret_cast<const uint32_t*>(job.picture.constBits());
    job.written = platform::image::WritePng(WideToUtf8(job.path), pixels, kWidth, kHeight);
    written &= job.written;
  }
  std::lock_guard guard(lock_);
  Canvas& c = *canvas_;
  // A frame set meanwhile keeps its own files.
  if (c.generation != generation) return written;
  for (const Job& job : jobs) {
    if (!job.fresh || !job.written) continue;
    if (job.item < 0) {
      editFile_ = job.path;
      c.edited = true;
    } else {
      items_[job.item].editFile = job.path;
      c.itemEdited[job.item] = true;
    }
  }
  return written;
}

bool ImageView::SaveImageData() {
  bool edited;
  {
    std::lock_guard guard(lock_);
    if (!HasFrame()) return true;
    CommitText();
    const Canvas& c = *canvas_;
    edited = AllFrames() ? std::find(c.itemEdited.begin(), c.itemEdited.end(), true) != c.itemEdited.end()
                         : c.edited || !c.undo.empty();
  }
  return !edited || WriteEditFiles();
}

bool ImageView::SaveCurrentImage(const std::wstring& path) {
  std::string file = WideToUtf8(path);
  return platform::image::ConvertPictureToFrame(file, file, kWidth, kHeight);
}

void ImageView::SetShowGridLine(bool show) { SetState(grid_, show); }

bool ImageView::GetShowGridLine() const { return GetState(grid_); }

void ImageView::SetScale100(bool on) { SetState(scale100_, on); }

bool ImageView::GetScale100() const { return GetState(scale100_); }

void ImageView::FramePoint(const RECT& r, POINT point, double* x, double* y) const {
  QRectF box = FrameBox(QSizeF(r.Width(), r.Height()), scale100_);
  *x = (point.x - r.left - box.left()) * kWidth / box.width();
  *y = (point.y - r.top - box.top()) * kHeight / box.height();
}

void ImageView::OnInput(const MouseInput& input) {
  if (input.button == MouseInput::Right) {
    Notify(NOTIFY_RCLICK);
    return;
  }
  // A click is a drag that does not move.
  OnDragBegin(input.point);
  OnDragEnd(input.point);
}

void ImageView::OnDragBegin(POINT point) {
  RECT rect = GetRect();
  {
    std::lock_guard guard(lock_);
    Canvas& c = *canvas_;
    c.stroking = c.moving = false;
    if (!HasFrame()) return;
    double x, y;
    FramePoint(rect, point, &x, &y);
    c.last = QPointF(x, y);
    if (drawMode_ == kTextMode) {
      if (!c.text) return;
      PushUndo();
      c.moving = true;
      return;
    }
    if ((drawMode_ != kPenMode && drawMode_ != kEraserMode) || AllFrames()) return;
    CommitText();
    PushUndo();
    c.stroking = true;
  }
  OnDragMove(point);
}

void ImageView::OnDragMove(POINT point) {
  RECT rect = GetRect();
  {
    std::lock_guard guard(lock_);
    Canvas& c = *canvas_;
    if (!c.stroking && !c.moving) return;
    double x, y;
    FramePoint(rect, point, &x, &y);
    QPointF at(x, y);
    if (c.moving) {
      c.text->centre += at - c.last;
    } else {
      QPainter painter(&c.overlay);
      painter.setRenderHint(QPainter::Antialiasing);
      int width = penSize_ == 50 ? 8 : penSize_ == 30 ? 5 : 2;
      if (drawMode_ == kEraserMode) painter.setCompositionMode(QPainter::CompositionMode_Clear);
      painter.setPen(QPen(PenColour(colour_), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      if (at == c.last)
        painter.drawPoint(at);
      else
        painter.drawLine(c.last, at);
    }
    c.last = at;
  }
  RequestSync();
}

void ImageView::OnDragEnd(POINT point) {
  OnDragMove(point);
  {
    std::lock_guard guard(lock_);
    Canvas& c = *canvas_;
    if (!c.stroking && !c.moving) return;
    c.stroking = c.moving = false;
  }
  WriteEdits();
}

void ImageView::Paint(QPainter& painter, const QRect& area) {
  QImage shown, overlay;
  std::optional<Canvas::Text> text;
  bool grid, scale100, frame;
  {
    std::lock_guard guard(lock_);
    const Canvas& c = *canvas_;
    frame = HasFrame();
    shown = AllFrames() ? c.bases[shown_] : c.base;
    overlay = c.overlay;
    text = c.text;
    grid = grid_;
    scale100 = scale100_;
  }
  painter.fillRect(area, Qt::black);
  QRectF box = FrameBox(QSizeF(area.size()), scale100).translated(area.topLeft());
  if (frame && shown.isNull()) {
    PaintMissingPicture(painter, box.toRect());
  } else if (frame) {
    QImage flat(kWidth, kHeight, QImage::Format_RGB32);
    {
      QPainter layers(&flat);
      layers.setRenderHint(QPainter::Antialiasing);
      layers.drawImage(0, 0, shown);
      layers.drawImage(0, 0, overlay);
      if (text) Canvas::DrawText(layers, *text);
    }
    painter.drawImage(box, flat);
  }
  if (!grid) return;
  painter.setPen(QColor(0x40, 0x40, 0x40));
  double step = box.width() * kGridStep / kWidth;
  for (double x = box.left(); x <= box.right(); x += step)
    painter.drawLine(QPointF(x, box.top()), QPointF(x, box.bottom()));
  step = box.height() * kGridStep / kHeight;
  for (double y = box.top(); y <= box.bottom(); y += step)
    painter.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
}
