#include "shell/startup.h"

#include <cstdio>

#include "common/folders.h"
#include "common/lang_text.h"
#include "common/process_control.h"
#include "common/strings.h"
#include "platform/settings_store.h"
#include "shell/main_dlg.h"
#include "shell/window_messages.h"
#include "zuvi/manager.h"
#include "zuvi/window.h"

namespace {

constexpr int kDefaultLanguage = 1033;

void Trace(const StartupServices& services, const char* step) {
  if (services.trace) services.trace(step);
}

}  // namespace

bool ActivateMainWindow() {
  MWindow* window = Manager::FromHandle(Manager::FindWindowWithProp(GetProductName()));
  if (!window) return false;
  window->ShowWindow(SW_SHOWNORMAL);
  window->BringToFront();
  return true;
}

bool DeliverPostRequest(const platform::PostRequest& request) {
  // The channel is open to every program of the user: it may post one message, with no pointer
  // in it, and nothing else.
  const bool windowsKey = request.wParam == 0x5B || request.wParam == 0x5C;
  if (request.message != WM_WIN_KEY || !windowsKey || request.lParam != 0) {
    std::fprintf(stderr, "[instance] a post of message %u (%llu, %lld) was refused\n", request.message,
                 static_cast<unsigned long long>(request.wParam), static_cast<long long>(request.lParam));
    return false;
  }
  MWindow* window = Manager::FindTopLevelWindow(Utf8ToWide(request.title));
  return window && PostMessage(window->GetSafeHwnd(), WM_WIN_KEY, static_cast<WPARAM>(request.wParam), 0);
}

StartupServices DefaultStartupServices(DeviceManagerSlot& deviceManager,
                                       KeyboardWindowFactory keyboardWindows) {
  StartupServices services;
  services.acquireInstance = [](std::function<void()> onActivate) {
    // The guard lives as long as the process: the lock ends with it, as a named mutex would.
    static platform::SingleInstanceGuard guard(WideToUtf8(GetProductName()), platform::RuntimeDir());
    guard.SetPostHandler([](const platform::PostRequest& request) { DeliverPostRequest(request); });
    return guard.Acquire(std::move(onActivate));
  };
  services.killProcess = [](const std::wstring& name) { return KillProcessByName(name); };
  services.userDataFolder = [] { return GetUserDataFolder(); };
  services.runMainWindow = [&deviceManager, keyboardWindows = std::move(keyboardWindows)] {
    MainDlg::Services main;
    main.devices = deviceManager.Get();
    main.makeKeyboardWindow = keyboardWindows;
    MainDlg window(main);
    const int result = window.Run();
    window.DestroyWindow();  // keyboard workers are joined before the device manager goes
    return result;
  };
  services.deviceManager = &deviceManager;
  return services;
}

int RunKelvane(StartupServices& services) {
  const std::wstring product = GetProductName();
  Manager::Startup();

  // 1-2. One instance: a second one asks the first to come forward and leaves.
  Trace(services, "single-instance");
  if (services.acquireInstance(&ActivateMainWindow) == platform::SingleInstanceGuard::Result::AlreadyRunning)
    return 0;

  // 3. The debug privilege has no counterpart here.
  // 4. A key blocker left over from a crash.
  Trace(services, "end-blocker");
  services.killProcess(kBlockerProcessName);
  // 5. GDI+: nothing to start.

  // 6. The UI language; none stored means English, which is stored.
  Trace(services, "language");
  platform::SettingsStore& settings = services.settings ? *services.settings : platform::UserSettings();
  int lcid = ReadLanguageLcid(product, settings);
  if (lcid == 0) {
    lcid = kDefaultLanguage;
    WriteLanguageLcid(lcid, product, settings);
  }
  g_languageId = lcid;

  // 7. The UI library.
  Trace(services, "ui-library");
  Manager::SetInstance(nullptr);

  // 8-9. The working folders. Without a user folder nothing is made or deleted: a relative
  // "edit" would name a folder of whatever directory the program was started in.
  std::wstring data = services.userDataFolder();
  if (!data.empty()) {
    Trace(services, "db-folder");
    CreateDirectoryRecursive((data + L"db").c_str());
    Trace(services, "edit-folder");
    DeleteDirectoryTree((data + L"edit").c_str(), data);
    CreateDirectoryRecursive((data + L"edit").c_str());
  }
  // 10. COM and OLE: nothing to start.

  // 11. The one device manager.
  Trace(services, "device-manager");
  if (services.deviceManager) services.deviceManager->Create();

  // 12. The main window, until it ends.
  Trace(services, "main-window");
  services.runMainWindow();

  // 13-16. Teardown; COM, OLE and GDI+ have nothing to stop.
  Trace(services, "device-manager-destroyed");
  if (services.deviceManager) services.deviceManager->Destroy();
  if (Manager::QuitRequested()) return Manager::QuitExitCode();
  return 1;
}
