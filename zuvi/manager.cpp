// Window handles, message delivery and the UI thread.
#include "zuvi/manager.h"

#include <QApplication>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <algorithm>
#include <map>
#include <mutex>
#include <sstream>

#include "common/folders.h"
#include "zuvi/internal.h"
#include "zuvi/window.h"

namespace {

struct Registry {
  std::mutex lock;
  std::map<std::uintptr_t, MWindow*> windows;  // ordered by handle = creation order
  std::map<std::uintptr_t, bool> inModal;
  // Every live window, front first. A new window goes to the back; showing or activating one
  // brings it to the front.
  std::vector<std::uintptr_t> zOrder;
  std::uintptr_t nextHandle = 0x10;
};

Registry& registry() {
  static Registry r;
  return r;
}

std::mutex g_settingsLock;
HINSTANCE g_instance = nullptr;
std::wstring g_theme = L"default";
std::atomic<bool> g_quitRequested{false};
std::atomic<int> g_quitCode{0};
int g_watchdogMs = 0;
std::function<void(const std::string&)> g_onStall;
std::function<void(MWindow&)> g_modalHook;

std::uintptr_t Key(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

// A QApplication needs argc/argv that outlive it.
int g_argc = 1;
char g_arg0[] = "kelvane";
char* g_argv[] = {g_arg0, nullptr};

// The application object: every key event meets the window's pre-translation first.
class ZuviApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    if (zuvi_internal::RouteKeyEvent(receiver, event)) return true;
    if (event->type() == QEvent::WindowActivate) {
      // Activated by the user or the window system, not only through BringToFront.
      if (auto* root = dynamic_cast<zuvi_internal::WindowWidget*>(receiver); root && root->Window())
        zuvi_internal::MoveToFront(root->Window()->GetSafeHwnd());
    }
    return QApplication::notify(receiver, event);
  }
};

}  // namespace

namespace zuvi_internal {

void RunOnUiThread(std::function<void()> task) {
  if (Manager::IsUiThread())
    task();
  else
    PostToUiThread(std::move(task));
}

void PostToUiThread(std::function<void()> task) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
}

HWND RegisterWindow(MWindow* window) {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  std::uintptr_t handle = r.nextHandle;
  r.nextHandle += 0x10;
  r.windows[handle] = window;
  r.zOrder.push_back(handle);
  return reinterpret_cast<HWND>(handle);
}

void MoveToFront(HWND hwnd) {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  auto it = std::find(r.zOrder.begin(), r.zOrder.end(), Key(hwnd));
  if (it != r.zOrder.end()) std::rotate(r.zOrder.begin(), it, it + 1);
}

void UnregisterWindow(HWND hwnd) {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  r.windows.erase(Key(hwnd));
  r.inModal.erase(Key(hwnd));
  std::erase(r.zOrder, Key(hwnd));
}

void SetModalState(MWindow* window, bool inLoop) {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  r.inModal[Key(window->GetSafeHwnd())] = inLoop;
}

void BeforeModalLoop(MWindow& window, QEventLoop& loop, int* stalled) {
  // The watchdog counts from the moment the loop is left to itself: after the hook's answer,
  // however long the answer took.
  auto startWatchdog = [loop = &loop, stalled, ms = g_watchdogMs, onStall = g_onStall] {
    if (ms <= 0) return;
    QTimer::singleShot(ms, loop, [loop, onStall, stalled] {
      *stalled = 1;
      if (onStall)
        onStall("a modal loop had nothing left to do; open windows:\n" + Manager::DescribeWindows());
      loop->exit(0);
    });
  };
  if (!g_modalHook) {
    startWatchdog();
    return;
  }
  // The hook acts like a user: it runs once the loop is running, not before.
  HWND hwnd = window.GetSafeHwnd();
  auto hook = g_modalHook;
  QTimer::singleShot(0, &loop, [hwnd, hook, startWatchdog] {
    if (MWindow* w = Manager::FromHandle(hwnd)) hook(*w);
    startWatchdog();
  });
}

}  // namespace zuvi_internal

void Manager::SetInstance(HINSTANCE instance) {
  std::lock_guard guard(g_settingsLock);
  g_instance = instance;
}

HINSTANCE Manager::GetInstance() {
  std::lock_guard guard(g_settingsLock);
  return g_instance;
}

std::wstring Manager::GetTheme() {
  std::lock_guard guard(g_settingsLock);
  return g_theme;
}

void Manager::SetTheme(const std::wstring& theme) {
  std::lock_guard guard(g_settingsLock);
  g_theme = theme;
}

std::wstring Manager::GetSkinDir() { return GetAppDir() + L"skins/" + GetTheme() + L"/"; }

void Manager::Startup() {
  if (QCoreApplication::instance()) return;
  new ZuviApplication(g_argc, g_argv);  // lives until the process ends
  QApplication::setQuitOnLastWindowClosed(false);
}

bool Manager::IsUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

MWindow* Manager::FromHandle(HWND hwnd) {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  auto it = r.windows.find(Key(hwnd));
  return it == r.windows.end() ? nullptr : it->second;
}

bool Manager::IsWindow(HWND hwnd) { return FromHandle(hwnd) != nullptr; }

std::vector<HWND> Manager::Windows() {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  std::vector<HWND> result;
  for (const auto& [handle, window] : r.windows) result.push_back(reinterpret_cast<HWND>(handle));
  return result;
}

HWND Manager::FindWindowWithProp(const std::wstring& name) {
  for (HWND hwnd : Windows()) {
    MWindow* window = FromHandle(hwnd);
    if (window && window->GetProp(name) != 0) return hwnd;
  }
  return nullptr;
}

MWindow* Manager::FindTopLevelWindow(const std::wstring& title) {
  std::vector<std::uintptr_t> order;
  {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    order = r.zOrder;
  }
  for (std::uintptr_t handle : order) {
    MWindow* window = FromHandle(reinterpret_cast<HWND>(handle));
    if (window && !(window->GetStyle() & WS_CHILD) && window->GetWindowText() == title) return window;
  }
  return nullptr;
}

std::string Manager::DescribeWindows() {
  std::map<std::uintptr_t, bool> modal;
  {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    modal = r.inModal;
  }
  // Without the registry lock: asking a window about itself looks up its parent.
  std::ostringstream out;
  std::vector<HWND> windows = Windows();
  if (windows.empty()) out << "  (none)\n";
  for (HWND hwnd : windows) {
    MWindow* window = FromHandle(hwnd);
    if (!window) continue;
    std::string name;
    for (wchar_t c : window->GetWindowText()) name += c < 0x80 ? static_cast<char>(c) : '?';
    out << "  window " << Key(hwnd) << " \"" << name << "\""
        << (window->IsWindowVisible() ? " visible" : " hidden")
        << (modal[Key(hwnd)] ? " in a modal loop" : "") << "\n";
  }
  return out.str();
}

void Manager::RequestQuit(int exitCode) {
  g_quitCode = exitCode;
  g_quitRequested = true;
  zuvi_internal::RunOnUiThread([] {
    // Newest first, so a child or an owned window goes before its owner.
    std::vector<HWND> windows = Windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
      MWindow* window = FromHandle(*it);
      if (window && !Manager::IsWindow(window->GetParent())) window->DestroyWindow();
    }
  });
}

bool Manager::QuitRequested() { return g_quitRequested.load(); }
int Manager::QuitExitCode() { return g_quitCode.load(); }
void Manager::ResetQuit() {
  g_quitRequested = false;
  g_quitCode = 0;
}

void Manager::SetModalWatchdog(int milliseconds, std::function<void(const std::string&)> onStall) {
  g_watchdogMs = milliseconds;
  g_onStall = std::move(onStall);
}

void Manager::SetModalHook(std::function<void(MWindow&)> hook) { g_modalHook = std::move(hook); }

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Manager::IsWindow(hwnd) || !QCoreApplication::instance()) return false;
  zuvi_internal::PostToUiThread([hwnd, message, wParam, lParam] {
    // Looked up again on delivery: the window may have gone meanwhile.
    if (MWindow* window = Manager::FromHandle(hwnd)) window->OnWindowMessage(message, wParam, lParam);
  });
  return true;
}

bool PostMessageWithPayload(HWND hwnd, UINT message, WPARAM wParam, std::shared_ptr<const void> payload) {
  if (!Manager::IsWindow(hwnd) || !QCoreApplication::instance()) return false;
  zuvi_internal::PostToUiThread([hwnd, message, wParam, payload = std::move(payload)] {
    if (MWindow* window = Manager::FromHandle(hwnd))
      window->OnWindowMessage(message, wParam, reinterpret_cast<LPARAM>(payload.get()));
  });
  return true;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Manager::IsUiThread()) {
    MWindow* window = Manager::FromHandle(hwnd);
    return window ? window->OnWindowMessage(message, wParam, lParam) : 0;
  }
  if (!Manager::IsWindow(hwnd)) return 0;
  struct Reply {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    LRESULT result = 0;
  };
  auto reply = std::make_shared<Reply>();
  zuvi_internal::PostToUiThread([hwnd, message, wParam, lParam, reply] {
    LRESULT result = 0;
    if (MWindow* window = Manager::FromHandle(hwnd))
      result = window->OnWindowMessage(message, wParam, lParam);
    std::lock_guard guard(reply->lock);
    reply->result = result;
    reply->finished = true;
    reply->done.notify_all();
  });
  std::unique_lock guard(reply->lock);
  reply->done.wait(guard, [&] { return reply->finished; });
  return reply->result;
}
