#include "zuvi/tray_icon.h"

#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "zuvi/internal.h"
#include "zuvi/manager.h"

namespace {

class QtTrayIcon : public TrayIcon {
 public:
  bool Add(const std::wstring& iconFile, const std::wstring& tip, HWND window, UINT id,
           UINT message) override {
    if (icon_ || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
    QImage image = zuvi_internal::LoadSkinImage(iconFile);
    icon_ = std::make_unique<QSystemTrayIcon>();
    if (!image.isNull()) icon_->setIcon(QIcon(QPixmap::fromImage(image)));
    icon_->setToolTip(zuvi_internal::ToQString(tip));
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, [window, id, message](auto reason) {
      LPARAM code = 0;
      if (reason == QSystemTrayIcon::Trigger) code = kTrayClick;
      if (reason == QSystemTrayIcon::DoubleClick) code = kTrayDoubleClick;
      if (reason == QSystemTrayIcon::Context) code = kTrayContext;
      if (code) PostMessage(window, message, id, code);
    });
    icon_->show();
    return true;
  }
  bool Remove() override {
    if (!icon_) return false;
    icon_->hide();
    icon_.reset();
    return true;
  }
  bool IsShown() const override { return icon_ != nullptr; }

 private:
  std::unique_ptr<QSystemTrayIcon> icon_;
};

std::function<std::unique_ptr<TrayIcon>()>& Factory() {
  static std::function<std::unique_ptr<TrayIcon>()> factory;
  return factory;
}

}  // namespace

std::unique_ptr<TrayIcon> MakeQtTrayIcon() { return std::make_unique<QtTrayIcon>(); }

std::unique_ptr<TrayIcon> MakeTrayIcon() { return Factory() ? Factory()() : MakeQtTrayIcon(); }

void SetTrayIconFactory(std::function<std::unique_ptr<TrayIcon>()> factory) {
  Factory() = std::move(factory);
}

bool RecordingTrayIcon::Add(const std::wstring& file, const std::wstring& text, HWND window, UINT iconId,
                            UINT message) {
  calls.push_back("add");
  if (failAdd || shown_) return false;
  iconFile = file;
  tip = text;
  id = iconId;
  callbackMessage = message;
  window_ = window;
  shown_ = true;
  return true;
}

bool RecordingTrayIcon::Remove() {
  calls.push_back("remove");
  if (!shown_) return false;
  shown_ = false;
  return true;
}

bool RecordingTrayIcon::Activate(LPARAM reason) const {
  return shown_ && PostMessage(window_, callbackMessage, id, reason);
}
