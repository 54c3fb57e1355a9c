// The shipped device list and key layout are code: they must parse, name our one keyboard, and
// describe 108 keys whose indexes agree with the built-in tables and fit the packet tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/folders.h"
#include "common/strings.h"
#include "common/xml_document.h"
#include "device/DeviceModel.h"
#include "device/KeyCodes.h"

namespace {

const std::string kDataDir = std::string(KELVANE_SOURCE_DIR) + "data/";

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Names of the child elements of the current element, in order. The cursor then stands after the
// last child, so a caller that goes on reading parses the document again to rewind it.
std::vector<std::wstring> ChildNames(XmlDocument& doc) {
  std::vector<std::wstring> names;
  if (!doc.EnterElement()) return names;
  while (doc.FindElement(L"")) names.push_back(doc.GetElementName(doc.GetCurrentElement()));
  doc.LeaveElement();
  return names;
}

std::wstring Attr(const XmlDocument& doc, const wchar_t* name) {
  std::wstring value;
  EXPECT_TRUE(doc.GetAttribute(value, name)) << WideToUtf8(name);
  return value;
}

TEST(ShippedDataFiles, DeviceListNamesOneKeyboardWithFileNameSafeIdentify) {
  const std::string path = kDataDir + "device.xml";
  XmlDocument doc;
  ASSERT_TRUE(XmlDocument::ReadTextFile(doc.Text(), doc.Result(), Utf8ToWide(path)));
  ASSERT_TRUE(doc.ParseDocument()) << WideToUtf8(doc.GetResult());

  ASSERT_TRUE(doc.FindElement(L"device.config"));
  EXPECT_EQ(ChildNames(doc),
            (std::vector<std::wstring>{L"Singledevice.info", L"image.page", L"main.button", L"upgrade.url"}));
  ASSERT_TRUE(doc.ParseDocument() && doc.FindElement(L"device.config") && doc.EnterElement() &&
              doc.FindElement(L"Singledevice.info"));
  EXPECT_EQ(ChildNames(doc), std::vector<std::wstring>{L"device"});
  ASSERT_TRUE(doc.ParseDocument() && doc.FindElement(L"device.config") && doc.EnterElement() &&
              doc.FindElement(L"Singledevice.info") && doc.EnterElement() && doc.FindElement(L"device"));

  EXPECT_EQ(Attr(doc, L"name"), L"Varnel V108 RGB");
  EXPECT_EQ(Attr(doc, L"type"), L"1");
  EXPECT_EQ(Attr(doc, L"product_name"), L"");
  EXPECT_EQ(Attr(doc, L"image"), L"v108_on.png");
  EXPECT_EQ(Attr(doc, L"image_none"), L"v108_off.png");
  const std::wstring vid = Attr(doc, L"vid");
  const std::wstring pid = Attr(doc, L"pid");
  for (const std::wstring& id : {vid, pid}) {
    EXPECT_EQ(id.size(), 4u);
    EXPECT_TRUE(std::all_of(id.begin(), id.end(), [](wchar_t c) { return std::iswxdigit(c); }));
  }
  EXPECT_EQ(std::stoi(vid, nullptr, 16), 0x7C3A);
  EXPECT_EQ(std::stoi(pid, nullptr, 16), 0xB108);
  // identify names the store file: the decimal ids run together, digits only.
  const std::wstring identify = Attr(doc, L"identify");
  EXPECT_EQ(identify,
            std::to_wstring(std::stoi(vid, nullptr, 16)) + std::to_wstring(std::stoi(pid, nullptr, 16)));
  EXPECT_TRUE(
      std::all_of(identify.begin(), identify.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }));

  // No update server is ever contacted from the shipped list.
  ASSERT_TRUE(doc.LeaveElement() && doc.FindElement(L"upgrade.url") && doc.EnterElement() &&
              doc.FindElement(L"software"));
  EXPECT_NE(Attr(doc, L"url").find(L"://example.invalid/"), std::wstring::npos);

  DeviceCapabilities caps;
  EXPECT_EQ(LoadDeviceCapabilities(Utf8ToWide(path), caps), DataFileStatus::kOk);
  EXPECT_EQ(caps.packetDelay, 35);
}

TEST(ShippedDataFiles, DataFilesLieBesideTheProgram) {
  for (const char* name : {"device.xml", "KeyboardLayout.xml"}) {
    SCOPED_TRACE(name);
    const std::string beside = WideToUtf8(GetAppDir()) + name;
    ASSERT_TRUE(std::filesystem::exists(beside));
    EXPECT_EQ(ReadBytes(beside), ReadBytes(kDataDir + name));
  }
}

TEST(ShippedDataFiles, KeyLayoutDescribesTheV108) {
  const std::string path = kDataDir + "KeyboardLayout.xml";
  EXPECT_EQ(ReadBytes(path).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);  // no mark
  KeyboardLayout layout;
  ASSERT_EQ(ReadKeyboardLayout(Utf8ToWide(path), true, layout), DataFileStatus::kOk);
  EXPECT_EQ(layout.modelName, L"V108");
  EXPECT_EQ(layout.width, 834);
  EXPECT_EQ(layout.height, 258);
  EXPECT_EQ(layout.type, 2);
  EXPECT_EQ(layout.image, L"keyboard/v108.png");
  EXPECT_TRUE(layout.warnings.empty()) << layout.warnings.front();
  ASSERT_EQ(layout.keys.size(), 108u);
  EXPECT_EQ(layout.maps.keyIndex.size(), 108u);  // so every code is unique and every key mapped
  EXPECT_EQ(layout.maps.ledIndex.size(), 108u);
  EXPECT_EQ(layout.maps.fnLayerDisabled, std::set<int>{0xAF});

  std::set<int> keyIndexes, ledIndexes;
  for (const LayoutKey& key : layout.keys) {
    SCOPED_TRACE(key.code);
    EXPECT_TRUE(keyIndexes.insert(key.keyIndex).second);
    EXPECT_TRUE(ledIndexes.insert(key.lightIndex).second);
    EXPECT_GE(key.keyIndex, 1);
    EXPECT_LE(key.keyIndex, 123);
    EXPECT_GE(key.lightIndex, 1);
    EXPECT_LE(key.lightIndex, 123);
    // The same indexes the built-in tables give: the compact table first, the full one for keys
    // the compact keyboard lacks; LEDs always by the full table.
    const int compact = HidUsageToKeyIndexCompact(key.code);
    EXPECT_EQ(key.keyIndex, compact ? compact : HidUsageToKeyIndexFull(key.code));
    EXPECT_EQ(key.lightIndex, HidUsageToKeyIndexFull(key.code));
    EXPECT_FALSE(key.name.empty());
    EXPECT_FALSE(key.desc.empty());
    EXPECT_TRUE(key.icon.empty());
    // Inside the picture, at least the size of a key cap.
    EXPECT_GE(key.left, 0);
    EXPECT_GE(key.top, 0);
    EXPECT_LE(key.right, layout.width);
    EXPECT_LE(key.bottom, layout.height);
    EXPECT_GE(key.right - key.left, 32);
    EXPECT_GE(key.bottom - key.top, 32);
  }

  // Row by row, left to right; no two keys overlap.
  for (size_t i = 1; i < layout.keys.size(); ++i) {
    const LayoutKey& a = layout.keys[i - 1];
    const LayoutKey& b = layout.keys[i];
    EXPECT_TRUE(b.top > a.top || (b.top == a.top && b.left > a.left)) << "key " << i;
  }
  for (size_t i = 0; i < layout.keys.size(); ++i) {
    for (size_t j = i + 1; j < layout.keys.size(); ++j) {
      const LayoutKey& a = layout.keys[i];
      const LayoutKey& b = layout.keys[j];
      const bool apart = a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
      EXPECT_TRUE(apart) << "codes " << a.code << " and " << b.code;
    }
  }

  // A few keys spelled out: a corner, a wide key, a tall key, the Fn key.
  auto find = [&](int code) {
    return *std::find_if(layout.keys.begin(), layout.keys.end(),
                         [&](const LayoutKey& k) { return k.code == code; });
  };
  auto rect = [](const LayoutKey& k) { return std::vector<int>{k.left, k.top, k.right, k.bottom}; };
  EXPECT_EQ(rect(layout.keys.front()), (std::vector<int>{12, 12, 44, 44}));  // Esc
  EXPECT_EQ(rect(find(0x2C)), (std::vector<int>{147, 210, 368, 242}));  // space, 6.25 units
  EXPECT_EQ(rect(find(0x57)), (std::vector<int>{786, 102, 818, 170}));  // keypad plus, two rows
  EXPECT_EQ(find(0xAF).keyIndex, 96);
  EXPECT_EQ(find(0xAF).lightIndex, 97);
}

}  // namespace
