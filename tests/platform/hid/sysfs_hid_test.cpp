#include "platform/hid/sysfs_hid.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

#include "support/temp_dir.h"

namespace platform::hid {
namespace {

const std::string kCommandDescriptor = {'\x06', '\x00', '\xFF', '\x09', '\x01', '\xA1', '\x01',
                                        '\x75', '\x08', '\x95', '\x40', '\xB1', '\x02', '\xC0'};

// A sysfs tree with one USB keyboard (1-2) whose interface 1 is hidraw1, and a node whose
// device folder lies under no USB device.
class SysfsTree : public ::testing::Test {
 protected:
  void SetUp() override {
    usb_ = "devices/pci0000:00/0000:00:14.0/usb1/1-2/";
    dir_.Write(usb_ + "idVendor", "7c3a\n");
    dir_.Write(usb_ + "idProduct", "b108\n");
    dir_.Write(usb_ + "product", "Clavier \xC3\xA9t\xC3\xA9 \xE9\x94\xAE\n");
    std::string hid = usb_ + "1-2:1.1/0003:7C3A:B108.0002/";
    dir_.Write(hid + "report_descriptor", kCommandDescriptor);
    Link("hidraw1", hid);
    dir_.Write("devices/virtual/misc/uhid/0003:1234:5678.0009/report_descriptor", kCommandDescriptor);
    Link("hidraw9", "devices/virtual/misc/uhid/0003:1234:5678.0009/");
  }
  void Link(const std::string& node, const std::string& target) {
    std::filesystem::create_directories(dir_.path() + "class/hidraw/" + node);
    std::filesystem::create_directory_symlink(dir_.path() + target,
                                              dir_.path() + "class/hidraw/" + node + "/device");
  }
  testing_support::TempDir dir_;
  std::string usb_;
};

TEST_F(SysfsTree, PhysicalKeyAndProductStringIndependentOfTheLocale) {
  std::setlocale(LC_ALL, "C");
  SysfsHidReader sysfs(dir_.path());
  std::string key = sysfs.physicalKey("/dev/hidraw1");
  EXPECT_EQ(key, std::filesystem::canonical(dir_.path() + usb_).string());
  EXPECT_EQ(sysfs.productString(key), std::wstring(L"Clavier \u00e9t\u00e9 \u952e"));
  EXPECT_EQ(sysfs.physicalKey("/dev/hidraw9"), "");  // no USB device above it
  EXPECT_EQ(sysfs.physicalKey("/dev/hidraw4"), "");  // no such node
  EXPECT_FALSE(sysfs.productString(""));
  dir_.Write(usb_ + "product", "bad \xC3(\n");
  EXPECT_FALSE(sysfs.productString(key));  // not UTF-8: the caller falls back to hidapi
}

TEST_F(SysfsTree, NodeListHasEachPathOnceWithItsDescriptorLengths) {
  SysfsHidReader sysfs(dir_.path());
  std::vector<RawHidEntry> entries = {
      {"/dev/hidraw1", 0x7C3A, 0xB108, 0x0105, 1},
      {"/dev/hidraw9", 0x1234, 0x5678, 0x0001, 0},
      {"/dev/hidraw1", 0x7C3A, 0xB108, 0x0105, 1},  // a second top-level collection of the node
      {"/dev/hidraw5", 0x7C3A, 0xB108, 0x0105, 3},  // no sysfs entry: unusable, still listed
  };
  auto nodes = BuildNodeList(entries, sysfs);
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(nodes[0].path, "/dev/hidraw1");
  EXPECT_EQ(nodes[0].releaseNumber, 0x0105);
  ASSERT_EQ(nodes[0].collections.size(), 1u);
  EXPECT_EQ(nodes[0].collections[0].featureLength, 65u);
  EXPECT_FALSE(nodes[0].physicalKey.empty());
  EXPECT_EQ(nodes[1].path, "/dev/hidraw9");
  EXPECT_EQ(nodes[2].path, "/dev/hidraw5");
  EXPECT_TRUE(nodes[2].collections.empty());
}

TEST_F(SysfsTree, MalformedDescriptorMakesTheNodeUnusable) {
  dir_.Write(usb_ + "1-2:1.1/0003:7C3A:B108.0002/report_descriptor", kCommandDescriptor.substr(0, 12));
  SysfsHidReader sysfs(dir_.path());
  auto nodes = BuildNodeList({{"/dev/hidraw1", 0x7C3A, 0xB108, 0x0105, 1}}, sysfs);
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_TRUE(nodes[0].collections.empty());
}

}  // namespace
}  // namespace platform::hid
