// The program's list of supported devices and the main window's links, read from
// "<program folder>device.xml". A pure reader: nothing here touches devices or windows.
#pragma once

#include <string>
#include <vector>

// One `device` element of the device list, as the file gives it.
struct DeviceConfigEntry {
  std::wstring name;
  int type = 0;  // 1 = keyboard
  int vid = 0;
  int pid = 0;
  std::wstring identify;
  std::wstring image;       // slot picture while connected, below "device/"
  std::wstring imageNone;   // slot picture while absent
  std::wstring productName;  // HID product string that must match; empty: vid and pid alone
};

struct MainButtonConfig {
  int show = 0;  // the button is visible when non-zero
  std::wstring data;
};

struct DeviceConfig {
  std::vector<DeviceConfigEntry> devices;  // in file order
  std::vector<std::wstring> pictures;      // `image.page` files, in file order
  MainButtonConfig user;                   // data: the manual, relative to the program folder
  MainButtonConfig website;
  MainButtonConfig store;
  std::wstring upgradeUrl;  // base address of the software update, "" when none (ParseUpgradeUrl)
};

// Reads the device list from the document text (any encoding XmlDocument accepts). Children of
// the root `device.config` are taken in sibling order (Singledevice.info, image.page,
// main.button, upgrade.url): each lookup continues after the element found before it. Names are
// case-sensitive; vid and pid are hexadecimal without prefix; a missing attribute is "" or 0.
// Without the root the result is empty; a damaged document gives the elements found before
// the damage.
DeviceConfig ParseDeviceConfig(const std::u16string& text);

// The update check's own read of the same text: device.config / upgrade.url / software,
// attribute url, found from the start of the root whatever precedes it; "" when missing.
std::wstring ParseUpgradeUrl(const std::u16string& text);

// Reads "<program folder>device.xml"; an unreadable file gives an empty result.
DeviceConfig LoadDeviceConfigFile();

// The update base address of "<program folder>device.xml" (device.config / upgrade.url /
// software, attribute url), or "".
std::wstring GetUpgradeUrl();
