#include "zuvi/image_view.h"

#include <QPainter>

#include "zuvi/internal.h"

struct ImageView::Canvas {};

ImageView::ImageView() : canvas_(std::make_unique<Canvas>()) {}

ImageView::~ImageView() = default;

void ImageView::SetEditFolder(const std::wstring& folder) { SetState(editFolder_, folder); }

void ImageView::SetImageFile(const std::wstring&, const std::wstring&) {}

void ImageView::SetItems(const std::vector<ImageViewItem>&) {}

std::vector<ImageViewItem> ImageView::GetItems() const { return GetState(items_); }

void ImageView::Clear() {}

void ImageView::SetImagePreviewMode(bool preview) { SetState(preview_, preview); }

bool ImageView::GetImagePreviewMode() const { return GetState(preview_); }

void ImageView::SetDrawMode(int mode) { SetState(drawMode_, mode); }

int ImageView::GetDrawMode() const { return GetState(drawMode_); }

bool ImageView::SetPenSize(int) { return false; }

int ImageView::GetPenSize() const { return GetState(penSize_); }

int ImageView::GetPenWidth() const { return 2; }

void ImageView::SetColorValue(std::uint32_t colour) { SetState(colour_, colour); }

std::uint32_t ImageView::GetColorValue() const { return GetState(colour_); }

void ImageView::SetFontSize(int size) { SetState(fontSize_, size); }

int ImageView::GetFontSize() const { return GetState(fontSize_); }

bool ImageView::AddText(const std::wstring&) { return false; }

void ImageView::RecoverCurEdit() {
  std::lock_guard guard(lock_);
  ++recovers_;
}

int ImageView::RecoverCount() const { return GetState(recovers_); }

void ImageView::ClearCurEdit() {}

std::wstring ImageView::GetEditImageFile() const { return GetState(editFile_); }

bool ImageView::SaveImageData() { return false; }

bool ImageView::SaveCurrentImage(const std::wstring&) { return false; }

void ImageView::SetShowGridLine(bool show) { SetState(grid_, show); }

bool ImageView::GetShowGridLine() const { return GetState(grid_); }

void ImageView::SetScale100(bool on) { SetState(scale100_, on); }

bool ImageView::GetScale100() const { return GetState(scale100_); }

void ImageView::Paint(QPainter& painter, const QRect& area) { painter.fillRect(area, Qt::black); }

void ImageView::OnInput(const MouseInput&) {}

void ImageView::OnDragBegin(POINT) {}

void ImageView::OnDragMove(POINT) {}

void ImageView::OnDragEnd(POINT) {}
