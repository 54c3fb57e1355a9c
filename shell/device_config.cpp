#include "shell/device_config.h"

#include <algorithm>
#include <climits>
#include <cwchar>

#include "common/folders.h"
#include "common/strings.h"
#include "common/xml_document.h"

namespace {

std::wstring Attribute(const XmlDocument& doc, std::wstring_view name) {
  std::wstring value;
  doc.GetAttribute(value, name);
  return value;
}

int Hex(const std::wstring& text) {
  long value = std::wcstol(text.c_str(), nullptr, 16);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

MainButtonConfig ReadButton(XmlDocument& doc, std::wstring_view name) {
  MainButtonConfig button;
  if (doc.FindElement(name)) {
    button.show = WToI(Attribute(doc, L"show"));
    button.data = Attribute(doc, L"data");
  }
  return button;
}

}  // namespace

DeviceConfig ParseDeviceConfig(const std::u16string& text) {
  DeviceConfig config;
  XmlDocument doc;
  doc.SetDocumentText(text);  // a damaged document still yields the elements that could be read
  if (!doc.FindElement(L"device.config") || !doc.EnterElement()) return config;

  if (doc.FindElement(L"Singledevice.info") && doc.EnterElement()) {
    while (doc.FindElement(L"device")) {
      DeviceConfigEntry entry;
      entry.name = Attribute(doc, L"name");
      entry.type = WToI(Attribute(doc, L"type"));
      entry.vid = Hex(Attribute(doc, L"vid"));
      entry.pid = Hex(Attribute(doc, L"pid"));
      entry.productName = Attribute(doc, L"product_name");
      entry.identify = Attribute(doc, L"identify");
      entry.image = Attribute(doc, L"image");
      entry.imageNone = Attribute(doc, L"image_none");
      config.devices.push_back(std::move(entry));
    }
    doc.LeaveElement();
  }
  if (doc.FindElement(L"image.page") && doc.EnterElement()) {
    while (doc.FindElement(L"file")) config.pictures.push_back(Attribute(doc, L"path"));
    doc.LeaveElement();
  }
  if (doc.FindElement(L"main.button") && doc.EnterElement()) {
    config.user = ReadButton(doc, L"user");
    config.website = ReadButton(doc, L"website");
    config.store = ReadButton(doc, L"store");
    doc.LeaveElement();
  }
  config.upgradeUrl = ParseUpgradeUrl(text);
  return config;
}

std::wstring ParseUpgradeUrl(const std::u16string& text) {
  XmlDocument doc;
  doc.SetDocumentText(text);
  std::wstring url;
  if (doc.FindElement(L"device.config") && doc.EnterElement() && doc.FindElement(L"upgrade.url") &&
      doc.EnterElement() && doc.FindElement(L"software"))
    url = Attribute(doc, L"url");
  return url;
}

DeviceConfig LoadDeviceConfigFile() {
  std::u16string text;
  std::wstring log;
  if (!XmlDocument::ReadTextFile(text, log, GetAppDir() + L"device.xml")) return {};
  return ParseDeviceConfig(text);
}

std::wstring GetUpgradeUrl() { return LoadDeviceConfigFile().upgradeUrl; }
