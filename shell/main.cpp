// Kelvane's entry point. The command line is not used.
#include <cstdio>
#include <cstdlib>

#include "keyboard/KeyboardDlg.h"
#include "shell/startup.h"
#include "zuvi/manager.h"

int main() {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    std::fprintf(stderr, "Kelvane needs a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set.\n");
    return 1;
  }
  Manager::Startup();
  DeviceManagerSlot deviceManager;
  StartupServices services =
      DefaultStartupServices(deviceManager,
                             [](const std::wstring& name, int index,
                                const std::wstring& identify) -> std::unique_ptr<KeyboardWindow> {
                               return std::make_unique<KeyboardDlg>(name, index, identify);
                             });
  return RunKelvane(services);
}
