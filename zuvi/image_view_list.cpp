#include "zuvi/image_view_list.h"

#include <QPainter>

int ImageViewList::AddItem(const std::wstring&, int, int, const std::wstring&) { return -1; }

bool ImageViewList::InsertItem(int, const std::wstring&, int, int, const std::wstring&) { return false; }

bool ImageViewList::DeleteItem(int) { return false; }

void ImageViewList::Clear() {}

int ImageViewList::GetCount() const { return 0; }

int ImageViewList::GetCurSel() const { return -1; }

bool ImageViewList::SetCurSel(int) { return false; }

ImageViewList::Item ImageViewList::GetItem(int) const { return {}; }

std::vector<ImageViewList::Item> ImageViewList::GetImageViewItems() const { return {}; }

bool ImageViewList::UpdateItemImageFile(int, const std::wstring&) { return false; }

std::wstring ImageViewList::GetItemEditImageFile(int) const { return {}; }

bool ImageViewList::SetItemDelayTime(int, int) { return false; }

void ImageViewList::SetDelayTime(int) {}

bool ImageViewList::SaveGIFImageFile(const std::wstring&, int, int) const { return false; }

bool ImageViewList::UserClickItem(int) { return false; }

bool ImageViewList::UserDoubleClickItem(int) { return false; }

int ImageViewList::ItemAt(POINT) const { return -1; }

void ImageViewList::Paint(QPainter&, const QRect&) {}

void ImageViewList::OnInput(const MouseInput&) {}

void ImageViewList::OnDoubleClick(const MouseInput&) {}

int ImageViewList::ItemWidth(int) const { return 0; }

int ImageViewList::FirstShown(int, int) const { return 0; }
