// The library's Qt side: the root widget of a window, the widget of a control, the registry of
// window handles and the object that carries messages to the UI thread. Private to zuvi/.
#pragma once

#include <QEventLoop>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "zuvi/window.h"

class MControl;

namespace zuvi_internal {

// Runs `task` on the UI thread: at once when called there, else queued.
void RunOnUiThread(std::function<void()> task);
// Queues `task` on the UI thread even when called there.
void PostToUiThread(std::function<void()> task);

QString ToQString(const std::wstring& text);
std::wstring FromQString(const QString& text);
// ARGB with alpha 0xFE or 0xFF drawn opaque.
QColor ToQColor(ARGB argb);

// Skin images: "<skin folder><file>" with '\' and '//' made '/'; absolute paths stay. Null image
// when the file is missing or unreadable. Cached; any thread.
QImage LoadSkinImage(const std::wstring& file);
// Slice `index` of `states` equal slices side by side (a single state: the whole image).
QImage SkinSlice(const QImage& image, int states, int index);
std::wstring NormaliseSkinPath(const std::wstring& file);
// A picture file (a frame) scaled to fit `size`, for thumbnails; null when it cannot be read. Cached
// by path, size and modification time; UI thread.
QImage Thumbnail(const std::wstring& path, QSize size);
// The stand-in for a picture that cannot be read: a dark box with a cross.
void PaintMissingPicture(QPainter& painter, const QRect& box);
// The picture at `path` scaled into `box` and centred there, or the placeholder.
void PaintThumbnail(QPainter& painter, const std::wstring& path, const QRect& box);

// Root widget of a window: paints the background, forwards key presses and clicks on free areas.
class WindowWidget : public QWidget {
 public:
  WindowWidget(MWindow* window, QWidget* parent, Qt::WindowFlags flags);
  void Detach() { window_ = nullptr; }
  MWindow* Window() const { return window_; }
  QImage background;
  int backMode = 0;
  int backValue = 0;
  QSize laidOut;  // client size UISize last ran with: a resize to the same size lays out nothing

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  MWindow* window_;
};

// Handle registry: handle numbers are never reused.
HWND RegisterWindow(MWindow* window);
void UnregisterWindow(HWND hwnd);
// Puts the window first in the front-to-back order (FindTopLevelWindow).
void MoveToFront(HWND hwnd);
void SetModalState(MWindow* window, bool inLoop);
// Called by a modal loop as it starts: runs the test hook and the watchdog set by the tests.
void BeforeModalLoop(MWindow& window, QEventLoop& loop, int* stalled);

// Key presses and releases go to PreTranslateMessage of the window that holds the widget they are
// sent to (the focused control, or the window itself) before that widget sees them; true when the
// window consumed the event. Called once per event, before Qt passes it on to parent widgets.
bool RouteKeyEvent(QObject* receiver, QEvent* event);

// Windows virtual-key code of a Qt key (letters, digits, Enter, Escape, arrows, F keys).
WPARAM VirtualKeyOf(int qtKey);

}  // namespace zuvi_internal

struct WindowImpl {
  QPointer<zuvi_internal::WindowWidget> widget;
  std::map<UINT, QTimer*> timers;  // UI thread
  std::map<std::wstring, std::intptr_t> props;
  mutable std::mutex propsLock;
  QEventLoop* loop = nullptr;  // innermost modal loop of this window
  QString iconFile;
};
