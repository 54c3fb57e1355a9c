#include "zuvi/list_box.h"

#include <QLineEdit>
#include <QPainter>

#include "zuvi/internal.h"

using namespace zuvi_internal;

int QelListBox::AddString(const std::wstring& text, std::intptr_t data) {
  int row;
  {
    std::lock_guard guard(lock_);
    items_.push_back({text, data});
    row = static_cast<int>(items_.size()) - 1;
  }
  UpdateControl();
  return row;
}

bool QelListBox::InsertString(int index, const std::wstring& text, std::intptr_t data) {
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index > static_cast<int>(items_.size())) return false;
    items_.insert(items_.begin() + index, Item{text, data});
    if (current_ >= index) ++current_;
  }
  UpdateControl();
  return true;
}

bool QelListBox::DeleteString(int index) {
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size())) return false;
    items_.erase(items_.begin() + index);
    if (current_ == index)
      current_ = -1;
    else if (current_ > index)
      --current_;
  }
  UpdateControl();
  return true;
}

void QelListBox::ResetContent() {
  {
    std::lock_guard guard(lock_);
    items_.clear();
    current_ = -1;
  }
  UpdateControl();
}

int QelListBox::GetItemCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(items_.size());
}

std::wstring QelListBox::GetItemText(int index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return {};
  return items_[index].text;
}

std::intptr_t QelListBox::GetItemData(int index) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return 0;
  return items_[index].data;
}

bool QelListBox::SetItemData(int index, std::intptr_t data) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  items_[index].data = data;
  return true;
}

bool QelListBox::ModifyItemString(int index, const std::wstring& text) {
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size())) return false;
    items_[index].text = text;
  }
  UpdateControl();
  return true;
}

bool QelListBox::ModifyItemStringIf(int index, const std::wstring& expected, const std::wstring& text) {
  {
    std::lock_guard guard(lock_);
    if (index < 0 || index >= static_cast<int>(items_.size()) || items_[index].text != expected) return false;
    items_[index].text = text;
  }
  UpdateControl();
  return true;
}

bool QelListBox::SetCurSel(int index) {
  {
    std::lock_guard guard(lock_);
    if (index < -1 || index >= static_cast<int>(items_.size())) return false;
    current_ = index;
  }
  UpdateControl();
  return true;
}

int QelListBox::GetCurSel() const { return GetState(current_); }

bool QelListBox::SetCurData(std::intptr_t data) {
  int row = -1;
  {
    std::lock_guard guard(lock_);
    for (int i = 0; i < static_cast<int>(items_.size()) && row < 0; ++i)
      if (items_[i].data == data) row = i;
  }
  return row >= 0 && SetCurSel(row);
}

std::intptr_t QelListBox::GetCurData() const { return GetItemData(GetCurSel()); }

void QelListBox::SetItemHeight(int height) {
  {
    std::lock_guard guard(lock_);
    if (height > 0) itemHeight_ = height;
  }
  UpdateControl();
}

int QelListBox::FirstVisibleRow(int rowsShown) const {
  // Keeps the selected row in view.
  if (rowsShown <= 0 || current_ < rowsShown) return 0;
  return current_ - rowsShown + 1;
}

int QelListBox::RowAt(POINT point) const {
  RECT r = GetRect();
  std::lock_guard guard(lock_);
  int shown = r.Height() / itemHeight_;
  int row = FirstVisibleRow(shown) + (point.y - r.top) / itemHeight_;
  return row >= 0 && row < static_cast<int>(items_.size()) ? row : -1;
}

bool QelListBox::ItemPoint(int row, POINT* point) {
  RECT r = GetRect();
  std::lock_guard guard(lock_);
  const int shown = r.Height() / itemHeight_;
  const int first = FirstVisibleRow(shown);
  if (row < first || row >= first + shown || row >= static_cast<int>(items_.size())) return false;
  *point = POINT{(r.left + r.right) / 2, r.top + (row - first) * itemHeight_ + itemHeight_ / 2};
  return true;
}

void QelListBox::OnInput(const MouseInput& input) {
  UserClickRow(RowAt(input.point), input.button == MouseInput::Right);
}

bool QelListBox::UserClickRow(int row, bool right) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  if (row >= GetItemCount()) return false;
  if (right) {
    // A right click on another row selects it as a left click does, and says so first, so the
    // window's menu acts on the row that it shows as selected.
    if (row >= 0 && GetCurSel() != row) {
      SetCurSel(row);
      Notify(NOTIFY_SELCHANGE, row);
    }
    Notify(NOTIFY_RCLICK, row);
    return true;
  }
  if (row < 0) return false;
  bool changed = GetCurSel() != row;
  SetCurSel(row);
  if (changed) Notify(NOTIFY_SELCHANGE, row);
  Notify(NOTIFY_CLICK, row);
  return true;
}

bool QelListBox::ShowEdit() {
  int row = GetCurSel();
  if (row < 0) return false;
  {
    std::lock_guard guard(lock_);
    editing_ = true;
  }
  RunOnUiThread([this, row] {
    QWidget* list = Widget();
    if (!list || editor_) return;
    auto* editor = new QLineEdit(ToQString(GetItemText(row)), list);
    editor_ = editor;
    int top, height;
    {
      std::lock_guard guard(lock_);
      height = itemHeight_;
      top = (row - FirstVisibleRow(list->height() / height)) * height;
    }
    // Focus moves out of the lock: another field losing it reports to the window.
    editor->setGeometry(0, top, list->width(), height);
    editor->selectAll();
    editor->show();
    editor->setFocus();
    QObject::connect(editor, &QLineEdit::editingFinished, editor,
                     [this, editor] { UserFinishEdit(FromQString(editor->text())); });
  });
  return true;
}

bool QelListBox::SetItemEditable(int index, bool editable) {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  items_[index].editable = editable;
  return true;
}

bool QelListBox::IsItemEditable(int index) const {
  std::lock_guard guard(lock_);
  return index >= 0 && index < static_cast<int>(items_.size()) && items_[index].editable;
}

bool QelListBox::UserDoubleClickRow(int row) {
  if (!UserClickRow(row)) return false;
  if (IsItemEditable(row)) ShowEdit();
  return true;
}

void QelListBox::OnDoubleClick(const MouseInput& input) {
  if (input.button == MouseInput::Left) UserDoubleClickRow(RowAt(input.point));
}

bool QelListBox::IsEditing() const { return GetState(editing_); }

bool QelListBox::UserFinishEdit(const std::wstring& text) {
  int row = GetCurSel();
  {
    std::lock_guard guard(lock_);
    if (!editing_) return false;
    editing_ = false;
  }
  if (auto* editor = static_cast<QLineEdit*>(editor_)) {
    editor_ = nullptr;
    QObject::disconnect(editor, nullptr, nullptr, nullptr);
    editor->hide();
    editor->deleteLater();
  }
  bool blank = text.find_first_not_of(L" \t") == std::wstring::npos;
  if (!blank) ModifyItemString(row, text);
  Notify(NOTIFY_EDIT_END, row);
  return true;
}

void QelListBox::Paint(QPainter& painter, const QRect& area) {
  std::vector<Item> items;
  int current, height;
  {
    std::lock_guard guard(lock_);
    items = items_;
    current = current_;
    height = itemHeight_;
  }
  int shown = area.height() / height;
  int first;
  {
    std::lock_guard guard(lock_);
    first = FirstVisibleRow(shown);
  }
  for (int i = first; i < static_cast<int>(items.size()) && i - first <= shown; ++i) {
    QRect row(area.left(), area.top() + (i - first) * height, area.width(), height);
    if (i == current) painter.fillRect(row, QColor(0x3C, 0x8C, 0xE6, 0x90));
    PaintText(painter, row.adjusted(8, 0, 0, 0), items[i].text);
  }
}

bool CRecordList::SwapItem(int first, int second) {
  {
    std::lock_guard guard(lock_);
    int count = static_cast<int>(items_.size());
    if (first < 0 || second < 0 || first >= count || second >= count) return false;
    std::swap(items_[first], items_[second]);
    if (current_ == first)
      current_ = second;
    else if (current_ == second)
      current_ = first;
  }
  UpdateControl();
  return true;
}
