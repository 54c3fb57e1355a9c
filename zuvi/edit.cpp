#include "zuvi/edit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "zuvi/internal.h"

using namespace zuvi_internal;

namespace {

class EditWidget : public QLineEdit {
 public:
  EditWidget(MEdit* edit, QWidget* parent) : QLineEdit(parent), edit_(edit) {
    setFrame(false);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
      edit_->UserInput(FromQString(text));
      edit_->UpdateControl();  // shows the filtered text
    });
    connect(this, &QLineEdit::editingFinished, this, [this] { edit_->UserFinish(); });
  }

 protected:
  // A capture field takes Tab, Enter and Esc like any other key: they neither move the focus nor
  // finish the field, and no shortcut of the window sees them.
  bool event(QEvent* event) override {
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::ShortcutOverride) && edit_->GetCaptureMode()) {
      switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
          event->accept();
          return true;
        default:
          break;
      }
    }
    return QLineEdit::event(event);
  }
  void focusInEvent(QFocusEvent* event) override {
    QLineEdit::focusInEvent(event);
    edit_->UserFocus();
  }

 private:
  MEdit* edit_;
};

}  // namespace

int Utf16Length(const std::wstring& text) {
  int units = 0;
  for (wchar_t c : text) units += static_cast<std::uint32_t>(c) > 0xFFFF ? 2 : 1;
  return units;
}

void MEdit::SetInputMode(int mode) {
  std::lock_guard guard(lock_);
  mode_ = mode;
}

int MEdit::GetInputMode() const { return GetState(mode_); }

void MEdit::SetLimitText(int utf16Units) {
  std::lock_guard guard(lock_);
  limit_ = utf16Units < 0 ? 0 : utf16Units;
}

int MEdit::GetLimitText() const { return GetState(limit_); }

void MEdit::SetTipInfo(const std::wstring& tip) { SetState(tip_, tip); }

void MEdit::SetBackColor(std::uint32_t rgb) { SetState(back_, rgb); }

void MEdit::SetReadOnly(bool readOnly) { SetState(readOnly_, readOnly); }

std::wstring MEdit::Filter(const std::wstring& text) const {
  std::wstring result;
  int units = 0;
  for (wchar_t c : text) {
    if (mode_ == DigitsOnly && (c < L'0' || c > L'9')) continue;
    if (c == L'\r' || c == L'\n') continue;
    int width = static_cast<std::uint32_t>(c) > 0xFFFF ? 2 : 1;
    if (limit_ > 0 && units + width > limit_) break;
    units += width;
    result += c;
  }
  return result;
}

bool MEdit::UserInput(const std::wstring& text) {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  {
    std::lock_guard guard(lock_);
    if (readOnly_ || capture_) return false;
    std::wstring filtered = Filter(text);
    if (filtered == title_) return false;
    title_ = filtered;
  }
  Notify(NOTIFY_EDIT_CHANGED);
  return true;
}

void MEdit::UserFinish() { Notify(NOTIFY_EDIT_END); }

bool MEdit::UserFocus() {
  if (!IsEffectivelyVisible() || !IsEffectivelyEnabled()) return false;
  Notify(NOTIFY_FOCUS);
  return true;
}

void MEdit::SetCaptureMode(bool capture) { SetState(capture_, capture); }

bool MEdit::GetCaptureMode() const { return GetState(capture_); }

QWidget* MEdit::CreateWidget(QWidget* parent) { return new EditWidget(this, parent); }

void MEdit::SyncKind(QWidget* widget) {
  auto* edit = static_cast<QLineEdit*>(widget);
  std::wstring text, tip;
  std::uint32_t back;
  ARGB color;
  bool readOnly;
  int align;
  {
    std::lock_guard guard(lock_);
    text = title_;
    tip = tip_;
    back = back_;
    color = textColor_;
    readOnly = readOnly_ || capture_;  // a capture field takes the focus but no typing
    align = align_;
  }
  QString qtext = ToQString(text);
  if (edit->text() != qtext) edit->setText(qtext);
  edit->setPlaceholderText(ToQString(tip));
  edit->setReadOnly(readOnly);
  // Keys are captured as keys: no input method composes text in a capture field.
  edit->setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
  edit->setAlignment(align == 1   ? Qt::AlignCenter
                     : align == 2 ? Qt::AlignRight | Qt::AlignVCenter
                                  : Qt::AlignLeft | Qt::AlignVCenter);
  QColor fg = ToQColor(color);
  // A frame shows where the field is on any background; it turns blue while the field has the
  // focus (a capture field is then waiting for a key).
  edit->setStyleSheet(QString("QLineEdit { background: #%1; color: %2; border: 1px solid #5A6068;"
                              " border-radius: 2px; padding: 0 3px; }"
                              " QLineEdit:focus { border-color: #2D7DD2; }")
                          .arg(back & 0xFFFFFF, 6, 16, QChar('0'))
                          .arg(fg.name()));
}
