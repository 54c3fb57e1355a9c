// A person at a private X server: XTest moves the pointer, clicks and types; the window list,
// window titles and the screen's pixels are read back from the server. The desktop also owns the
// system tray selection, so the program under test docks its tray icon here as in a desktop
// session. Every wait is bounded.
#pragma once

// Qt first: the X11 headers define macros (Status, CursorShape) that Qt's headers use as names.
#include <QImage>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace xtest {

using Clock = std::chrono::steady_clock;

struct TopLevel {
  Window id = 0;
  std::string title;
  int x = 0, y = 0, width = 0, height = 0;
  bool viewable = false;
  bool overrideRedirect = false;
};

class Desktop {
 public:
  explicit Desktop(const std::string& display) {
    x_ = XOpenDisplay(display.c_str());
    if (!x_) return;
    // The programs' windows come and go while the desktop looks at them: a request about a window
    // that has just gone fails (BadWindow) and is simply passed over, never the end of the test.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    int event, error, major, minor;
    xtest_ = XTestQueryExtension(x_, &event, &error, &major, &minor);
    root_ = DefaultRootWindow(x_);
    XSelectInput(x_, root_, SubstructureNotifyMask);
  }
  ~Desktop() {
    if (x_) XCloseDisplay(x_);
  }
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  bool Ready() const { return x_ && xtest_; }
  int ScreenWidth() const { return DisplayWidth(x_, DefaultScreen(x_)); }
  int ScreenHeight() const { return DisplayHeight(x_, DefaultScreen(x_)); }

  // Becomes the notification area: a strip at the screen's top right that takes the icons of
  // programs asking to dock (XEmbed tray protocol, the part a docked icon needs).
  bool OwnSystemTray() {
    tray_ = XCreateSimpleWindow(x_, root_, ScreenWidth() - kTrayWidth, 0, kTrayWidth, kTrayHeight, 0, 0,
                                0x303030);
    XSetWindowAttributes attributes;
    attributes.override_redirect = True;
    XChangeWindowAttributes(x_, tray_, CWOverrideRedirect, &attributes);
    XStoreName(x_, tray_, "xtest tray");
    XMapRaised(x_, tray_);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x_));
    const Atom trayAtom = XInternAtom(x_, selection.c_str(), False);
    XSetSelectionOwner(x_, trayAtom, tray_, CurrentTime);
    if (XGetSelectionOwner(x_, trayAtom) != tray_) return false;
    XClientMessageEvent manager{};
    manager.type = ClientMessage;
    manager.window = root_;
    manager.message_type = XInternAtom(x_, "MANAGER", False);
    manager.format = 32;
    manager.data.l[0] = CurrentTime;
    manager.data.l[1] = static_cast<long>(trayAtom);
    manager.data.l[2] = static_cast<long>(tray_);
    XSendEvent(x_, root_, False, StructureNotifyMask, reinterpret_cast<XEvent*>(&manager));
    XFlush(x_);
    return true;
  }
  // The docked icon's middle on the screen, once a program docked one.
  std::optional<std::pair<int, int>> TrayIconCentre() {
    Pump();
    if (!icon_) return std::nullopt;
    return std::make_pair(ScreenWidth() - kTrayWidth + kIconX + kIconSize / 2, kIconSize / 2 + kIconY);
  }

  // Every direct child of the root window (no window manager reparents them), bottom first.
  std::vector<TopLevel> TopLevels() {
    Pump();
    std::vector<TopLevel> found;
    Window rootReturn, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x_, root_, &rootReturn, &parent, &children, &count)) return found;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (children[i] == tray_ || !XGetWindowAttributes(x_, children[i], &attributes)) continue;
      TopLevel window;
      window.id = children[i];
      window.title = Title(children[i]);
      window.x = attributes.x;
      window.y = attributes.y;
      window.width = attributes.width;
      window.height = attributes.height;
      window.viewable = attributes.map_state == IsViewable;
      window.overrideRedirect = attributes.override_redirect;
      found.push_back(window);
    }
    if (children) XFree(children);
    return found;
  }
  // The top-most viewable window with `title`.
  std::optional<TopLevel> Find(const std::string& title) {
    std::vector<TopLevel> all = TopLevels();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
      if (it->viewable && it->title == title) return *it;
    return std::nullopt;
  }
  // Waits (bounded) until a window with `title` is viewable, or until none is.
  // A window is mapped before its program draws it: the wait ends once its pixels settled.
  std::optional<TopLevel> WaitShown(const std::string& title, int timeoutMs = 20000) {
    std::optional<TopLevel> window;
    if (!WaitUntil([&] { return (window = Find(title)).has_value(); }, timeoutMs)) return window;
    WaitSettled(*window);
    if (std::optional<TopLevel> settled = Find(title)) window = settled;  // where it came to rest
    return window;
  }
  // Waits (bounded) until the window shows a picture (not one colour, as before its program drew
  // it) that stays the same for a moment.
  void WaitSettled(const TopLevel& window) {
    QImage last = Grab(window);
    WaitUntil(
        [&] {
          Pause(150);
          QImage now = Grab(window);
          const bool settled = now == last && !OneColour(now);
          last = now;
          return settled;
        },
        5000);
  }
  static bool OneColour(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, y) != image.pixel(0, 0)) return false;
    return true;
  }
  bool WaitGone(const std::string& title, int timeoutMs = 20000) {
    return WaitUntil([&] { return !Find(title); }, timeoutMs);
  }
  bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (Clock::now() >= end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    return true;
  }

  void MoveTo(int x, int y) {
    XTestFakeMotionEvent(x_, -1, x, y, CurrentTime);
    XSync(x_, False);
  }
  // Button 1 left, 3 right; `clicks` 2 makes a double click.
  void Click(int x, int y, unsigned button = 1, int clicks = 1) {
    // The pointer arrives as a hand moves it: a step beside the target first.
    MoveTo(x - 3, y - 2);
    Pause(50);
    MoveTo(x, y);
    Pause(100);
    // The X server keeps the pace between presses and releases (each event's delay counts from
    // the one before), so a double click stays one however busy this process is.
    for (int i = 0; i < clicks; ++i) {
      XTestFakeButtonEvent(x_, button, True, i == 0 ? CurrentTime : 60);
      XTestFakeButtonEvent(x_, button, False, 30);
    }
    XSync(x_, False);
    Pause(60);
  }
  // A click at a point of a window's client area (frameless windows: the window is the client).
  void ClickIn(const TopLevel& window, int x, int y, unsigned button = 1, int clicks = 1) {
    Click(window.x + x, window.y + y, button, clicks);
  }
  void Key(KeySym symbol) {
    const KeyCode code = XKeysymToKeycode(x_, symbol);
    XTestFakeKeyEvent(x_, code, True, CurrentTime);
    XTestFakeKeyEvent(x_, code, False, CurrentTime);
    XSync(x_, False);
  }

  // Types plain ASCII text on the US layout, with Shift where a character needs it.
  void Type(const std::string& text) {
    const KeyCode shift = XKeysymToKeycode(x_, XK_Shift_L);
    for (char c : text) {
      const KeySym symbol = static_cast<KeySym>(static_cast<unsigned char>(c));
      const KeyCode code = XKeysymToKeycode(x_, symbol);
      if (!code) continue;
      KeySym* map = nullptr;
      int perCode = 0;
      map = XGetKeyboardMapping(x_, code, 1, &perCode);
      const bool shifted = map && perCode > 0 && map[0] != symbol;
      if (map) XFree(map);
      if (shifted) XTestFakeKeyEvent(x_, shift, True, CurrentTime);
      XTestFakeKeyEvent(x_, code, True, CurrentTime);
      XTestFakeKeyEvent(x_, code, False, CurrentTime);
      if (shifted) XTestFakeKeyEvent(x_, shift, False, CurrentTime);
      XSync(x_, False);
      Pause(5);
    }
  }

  // The screen's pixels in `window`'s rectangle (what a person sees there), as RGB32.
  QImage Grab(const TopLevel& window) { return Grab(window.x, window.y, window.width, window.height); }
  QImage Grab(int x, int y, int width, int height) {
    x = std::max(0, x);
    y = std::max(0, y);
    width = std::min(width, ScreenWidth() - x);
    height = std::min(height, ScreenHeight() - y);
    QImage image(width, height, QImage::Format_RGB32);
    XImage* shot = XGetImage(x_, root_, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                             AllPlanes, ZPixmap);
    if (!shot) return {};
    for (int row = 0; row < height; ++row)
      for (int column = 0; column < width; ++column)
        image.setPixel(column, row, static_cast<QRgb>(XGetPixel(shot, column, row) | 0xFF000000u));
    XDestroyImage(shot);
    return image;
  }
  // Saves the whole screen as `name`.png into $KELVANE_XTEST_SHOTS when it is set (to look at).
  void Shot(const std::string& name) {
    const char* folder = std::getenv("KELVANE_XTEST_SHOTS");
    if (!folder || !*folder) return;
    Grab(0, 0, ScreenWidth(), ScreenHeight())
        .save(QString::fromStdString(std::string(folder) + "/" + name + ".png"));
  }

  static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  static constexpr int kTrayWidth = 80, kTrayHeight = 32, kIconSize = 24, kIconX = 4, kIconY = 4;

  std::string Title(Window window) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;
    const Atom netName = XInternAtom(x_, "_NET_WM_NAME", False);
    if (XGetWindowProperty(x_, window, netName, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
      title.assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    if (title.empty()) {
      char* name = nullptr;
      if (XFetchName(x_, window, &name) && name) {
        title = name;
        XFree(name);
      }
    }
    return title;
  }

  // Handles the dock requests sent to the tray.
  void Pump() {
    XSync(x_, False);
    const Atom opcode = XInternAtom(x_, "_NET_SYSTEM_TRAY_OPCODE", False);
    while (XPending(x_)) {
      XEvent event;
      XNextEvent(x_, &event);
      if (event.type != ClientMessage || event.xclient.message_type != opcode || event.xclient.data.l[1] != 0)
        continue;
      icon_ = static_cast<Window>(event.xclient.data.l[2]);
      XReparentWindow(x_, icon_, tray_, kIconX, kIconY);
      XResizeWindow(x_, icon_, kIconSize, kIconSize);
      XMapRaised(x_, icon_);
      XSync(x_, False);
    }
  }

  Display* x_ = nullptr;
  bool xtest_ = false;
  Window root_ = 0;
  Window tray_ = 0;
  Window icon_ = 0;
};

}  // namespace xtest
