// Kelvane's entry point. The command line is not used.
#include <cstdio>
#include <cstdlib>

#include "shell/startup.h"
#include "zuvi/manager.h"

int main() {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    std::fprintf(stderr, "Kelvane needs a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set.\n");
    return 1;
  }
  Manager::Startup();
  DeviceManagerSlot deviceManager;
  StartupServices services = DefaultStartupServices(deviceManager);
  return RunKelvane(services);
}
