#include "zuvi/combo.h"

#include <QComboBox>

#include "zuvi/internal.h"

using namespace zuvi_internal;

int MComboBox::AddString(const std::wstring& text, std::intptr_t data) {
  int index;
  {
    std::lock_guard guard(lock_);
    items_.emplace_back(text, data);
    index = static_cast<int>(items_.size()) - 1;
  }
  UpdateControl();
  return index;
}

void MComboBox::ResetContent() {
  {
    std::lock_guard guard(lock_);
    items_.clear();
    current_ = -1;
  }
  UpdateControl();
}

int MComboBox::GetCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(items_.size());
}

bool MComboBox::SetItemText(int index, const std::wstring& text) {
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size())) return false;
    items_[index].first = text;
  }
  UpdateControl();
  return true;
}

std::wstring MComboBox::GetItemText(int index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return {};
  return items_[index].first;
}

std::intptr_t MComboBox::GetItemData(int index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return 0;
  return items_[index].second;
}

bool MComboBox::SetCurSel(int index) {
  {
    std::lock_guard guard(lock_);
    if (index < -1 || index >= static_cast<int>(items_.size())) return false;
    current_ = index;
  }
  UpdateControl();
  return true;
}

int MComboBox::GetCurSel() const { return GetState(current_); }

bool MComboBox::SetCurData(std::intptr_t data) {
  {
    std::lock_guard guard(lock_);
    auto it =
        std::find_if(items_.begin(), items_.end(), [data](const auto& item) { return item.second == data; });
    if (it == items_.end()) return false;
    current_ = static_cast<int>(it - items_.begin());
  }
  UpdateControl();
  return true;
}

std::intptr_t MComboBox::GetCurData() const { return GetItemData(GetCurSel()); }

bool MComboBox::UserSelect(int index) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  if (index < 0 || !SetCurSel(index)) return false;
  Notify(NOTIFY_CLICK, index);
  return true;
}

QWidget* MComboBox::CreateWidget(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  QObject::connect(combo, &QComboBox::activated, combo, [this](int index) { UserSelect(index); });
  return combo;
}

void MComboBox::SyncKind(QWidget* widget) {
  auto* combo = static_cast<QComboBox*>(widget);
  std::vector<std::pair<std::wstring, std::intptr_t>> items;
  int current;
  {
    std::lock_guard guard(lock_);
    items = items_;
    current = current_;
  }
  if (combo->count() != static_cast<int>(items.size())) {
    combo->clear();
    for (const auto& item : items) combo->addItem(ToQString(item.first));
  } else {
    for (int i = 0; i < combo->count(); ++i) combo->setItemText(i, ToQString(items[i].first));
  }
  combo->setCurrentIndex(current);
}
