#include "shell/device_config.h"

#include <gtest/gtest.h>

#include "common/folders.h"
#include "platform/folders.h"
#include "tests/support/temp_dir.h"

namespace {

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

const char* kFull = R"(<?xml version="1.0"?>
<device.config>
  <Singledevice.info>
    <device name="Alpha" type="1" vid="7c3a" pid="B108" product_name="Alpha KB" identify="42" image="a_on.png" image_none="a_off.png"/>
    <other name="skipped"/>
    <device name="Beta" vid="0x1F" pid="zz"/>
  </Singledevice.info>
  <image.page><file path="one.png"/><file/><file path="two.png"/></image.page>
  <main.button>
    <user show="1" data="manual/guide.pdf"/>
    <website show="1" data="https://example.com/"/>
    <store show="0" data="https://shop.example.com/"/>
  </main.button>
  <upgrade.url><software url="https://example.com/up/"/></upgrade.url>
</device.config>)";

}  // namespace

TEST(DeviceConfigFile, ReadsEntriesPicturesButtonsAndUpdateAddress) {
  DeviceConfig config = ParseDeviceConfig(U16(kFull));
  ASSERT_EQ(config.devices.size(), 2u);
  const DeviceConfigEntry& a = config.devices[0];
  EXPECT_EQ(a.name, L"Alpha");
  EXPECT_EQ(a.type, 1);
  EXPECT_EQ(a.vid, 0x7C3A);  // lower-case hex reads the same
  EXPECT_EQ(a.pid, 0xB108);
  EXPECT_EQ(a.productName, L"Alpha KB");
  EXPECT_EQ(a.identify, L"42");
  EXPECT_EQ(a.image, L"a_on.png");
  EXPECT_EQ(a.imageNone, L"a_off.png");
  const DeviceConfigEntry& b = config.devices[1];  // missing attributes are "" and 0
  EXPECT_EQ(b.type, 0);
  EXPECT_EQ(b.vid, 0x1F);  // wcstol base 16 accepts a 0x prefix
  EXPECT_EQ(b.pid, 0);
  EXPECT_EQ(b.image, L"");
  EXPECT_EQ(config.pictures, (std::vector<std::wstring>{L"one.png", L"", L"two.png"}));
  EXPECT_EQ(config.user.data, L"manual/guide.pdf");
  EXPECT_EQ(config.website.show, 1);
  EXPECT_EQ(config.website.data, L"https://example.com/");
  EXPECT_EQ(config.store.show, 0);
  EXPECT_EQ(config.store.data, L"https://shop.example.com/");
  EXPECT_EQ(config.upgradeUrl, L"https://example.com/up/");
}

TEST(DeviceConfigFile, ElementsAreFoundOnlyInSiblingOrderAndWithExactNames) {
  struct Case {
    const char* text;
    size_t devices;
    size_t pictures;
    const wchar_t* upgrade;
  } cases[] = {
      // pictures before the devices: the device list is still found, the pictures after it are not
      {"<device.config><image.page><file path='p'/></image.page><Singledevice.info><device/></Singledevice.info>"
       "</device.config>",
       1, 0, L""},
      // the update check reads its element by itself, wherever it stands
      {"<device.config><upgrade.url><software url='u/'/></upgrade.url><image.page><file path='p'/></image.page>"
       "</device.config>",
       0, 1, L"u/"},
      {"<Device.Config><Singledevice.info><device/></Singledevice.info></Device.Config>", 0, 0, L""},
      {"<device.config><singledevice.info><device/></singledevice.info></device.config>", 0, 0, L""},
      {"<other><Singledevice.info><device/></Singledevice.info></other>", 0, 0, L""},
      {"<device.config/>", 0, 0, L""},
      {"", 0, 0, L""},
      {"not xml at all", 0, 0, L""},
  };
  for (const Case& c : cases) {
    DeviceConfig config = ParseDeviceConfig(U16(c.text));
    EXPECT_EQ(config.devices.size(), c.devices) << c.text;
    EXPECT_EQ(config.pictures.size(), c.pictures) << c.text;
    EXPECT_EQ(config.upgradeUrl, c.upgrade) << c.text;
  }
}

TEST(DeviceConfigFile, ReadsTheProgramFolderFileInAnyEncodingAndSurvivesBrokenOnes) {
  testing_support::TempDir dir;
  platform::SetAppDirOverride(dir.path());
  EXPECT_TRUE(LoadDeviceConfigFile().devices.empty());  // no file
  EXPECT_EQ(GetUpgradeUrl(), L"");

  // UTF-16 little endian with a mark
  std::string utf16 = "\xff\xfe";
  for (char c : std::string(kFull)) {
    utf16 += c;
    utf16 += '\0';
  }
  dir.Write("device.xml", utf16);
  EXPECT_EQ(LoadDeviceConfigFile().devices.size(), 2u);
  EXPECT_EQ(GetUpgradeUrl(), L"https://example.com/up/");

  std::string truncated(kFull);
  truncated.resize(truncated.find("<image.page>") + 5);
  dir.Write("device.xml", truncated);
  DeviceConfig broken = LoadDeviceConfigFile();  // no crash; no update address from a cut file
  EXPECT_EQ(broken.upgradeUrl, L"");
  EXPECT_LE(broken.devices.size(), 2u);
  platform::SetAppDirOverride("");
}
