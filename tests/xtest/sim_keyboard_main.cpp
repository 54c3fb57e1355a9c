// Test-only program: Kelvane's own start-up and main window with the simulated keyboard attached
// instead of the HID devices of the machine, so that its keyboard window opens without hardware.
// Built with the tests, never installed.
#include <memory>

#include "device/HidDeviceManager.h"
#include "device/HidReportListener.h"
#include "keyboard/KeyboardDlg.h"
#include "platform/clock/clock.h"
#include "platform/hid/sim/sim_hid.h"
#include "shell/startup.h"

int main() {
  platform::SteadyClock clock;
  platform::hid::sim::SimHidBackend sim{clock};
  sim.addKeyboard();  // the keyboard device.xml names
  DeviceManagerSlot deviceManager([&] { return std::make_unique<HidDeviceManager>(sim, clock); });
  StartupServices services =
      DefaultStartupServices(deviceManager,
                             [&](const std::wstring& name, int index,
                                 const std::wstring& identify) -> std::unique_ptr<KeyboardWindow> {
                               auto window = std::make_unique<KeyboardDlg>(name, index, identify);
                               KeyboardDlg::Services keyboard;
                               keyboard.manager = deviceManager.Get();
                               keyboard.clock = &clock;
                               keyboard.makeListener = [&](PostMessageFn post) {
                                 return std::make_unique<HidReportListener>(sim, clock, std::move(post));
                               };
                               window->SetServices(std::move(keyboard));
                               return window;
                             });
  return RunKelvane(services);
}
