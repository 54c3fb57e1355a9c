#include "zuvi/lcd_view_list.h"

#include <QPainter>

LCDViewList::LCDViewList() = default;

int LCDViewList::AddItem(const std::wstring& folder, const std::wstring&, int, int ledId) {
  return AddString(folder, ledId);
}

bool LCDViewList::SetItemLEDIdSelect(int ledId) { return SetCurData(ledId); }

int LCDViewList::GetItemLEDId(int) const { return 0; }

std::wstring LCDViewList::GetItemFolder(int) const { return {}; }

std::wstring LCDViewList::GetItemPicture(int) const { return {}; }

int LCDViewList::GetItemFrameSize(int) const { return 0; }

bool LCDViewList::SetFrameData(int, const std::wstring&, int) { return false; }

int LCDViewList::LoadGIFImageFile(const std::wstring&, const std::wstring&) { return 0; }

std::vector<int> LCDViewList::GetDelayTimes() const { return GetState(delays_); }

bool LCDViewList::LastLoadDamaged() const { return GetState(damaged_); }

bool LCDViewList::GetImageRGB565Data(const std::wstring&, std::span<std::uint8_t>, int, int) const {
  return false;
}

const LCDViewList::Slot* LCDViewList::SlotOf(int) const { return nullptr; }

void LCDViewList::Paint(QPainter& painter, const QRect& area) { QelListBox::Paint(painter, area); }
