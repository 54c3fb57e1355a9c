#include <gtest/gtest.h>

#include "hid_test_support.h"

namespace hid_test {
namespace {

using EnumerationTest = HidTest;

TEST_F(EnumerationTest, WantedNamesSelectKeyboardsOfOneModel) {
  manager_->AddWanted(kVid, kPid, L"Alpha");
  manager_->AddWanted(kVid, kPid, L"Beta");
  SimKeyboard& gamma = sim_.addKeyboard(KeyboardNamed(L"Gamma"));
  sim_.addKeyboard(KeyboardNamed(L"Beta"));
  SimKeyboard& unreadable = sim_.addKeyboard(KeyboardNamed(std::nullopt));
  sim_.addKeyboard(KeyboardNamed(L"Alpha"));
  sim_.addKeyboard(KeyboardNamed(L"alpha"));  // names compare case-sensitively
  manager_->Reopen();

  ASSERT_EQ(manager_->DeviceCount(), 2);
  EXPECT_EQ(manager_->Find(kVid, kPid, L"Beta"), 0);
  EXPECT_EQ(manager_->Find(kVid, kPid, L"Alpha"), 1);
  EXPECT_EQ(manager_->Find(kVid, kPid, L""), 0);  // first match
  EXPECT_EQ(manager_->Find(kVid, kPid, L"Gamma"), -1);
  EXPECT_EQ(manager_->Find(kVid, 0x1234, L""), -1);
  EXPECT_EQ(gamma.openHandles(NodeRole::kCommand), 0);
  EXPECT_EQ(unreadable.openHandles(NodeRole::kCommand), 0);

  // An empty wanted name takes any keyboard of the ids, also one whose name cannot be read.
  manager_->AddWanted(kVid, kPid, L"");
  manager_->Reopen();
  EXPECT_EQ(manager_->DeviceCount(), 5);
  EXPECT_EQ(manager_->Find(kVid, kPid, L"Gamma"), 0);
  EXPECT_EQ(manager_->GetDeviceInfo(2)->productString, L"");
}

TEST_F(EnumerationTest, OnlyCommandAndBulkHandlesStayOpenAndCloseAllClosesThem) {
  EXPECT_FALSE(manager_->DeviceRelease(0));
  manager_->CloseAll();  // before the first rescan: nothing to do
  SimKeyboardConfig otherModel;
  otherModel.vendorId = 0x1111;
  SimKeyboard& other = sim_.addKeyboard(otherModel);
  OpenKeyboards(1);
  SimKeyboard& kb = sim_.keyboard(1);
  EXPECT_EQ(kb.openHandles(NodeRole::kCommand), 1);
  EXPECT_EQ(kb.openHandles(NodeRole::kBulk), 1);
  EXPECT_EQ(kb.openHandles(NodeRole::kBoot), 0);
  EXPECT_EQ(kb.openHandles(NodeRole::kVendor), 0);
  EXPECT_EQ(other.openHandles(NodeRole::kCommand), 0);
  EXPECT_EQ(sim_.totalOpenHandles(), 2);

  auto info = manager_->GetDeviceInfo(0);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->vendorId, kVid);
  EXPECT_EQ(info->productId, kPid);
  EXPECT_EQ(info->releaseNumber, 0x0105);
  EXPECT_EQ(info->productString, L"Varnel V108 RGB");
  EXPECT_EQ(info->physicalKey, "/sys/devices/sim/usb1/1-2");
  EXPECT_TRUE(info->hasBulkInterface);
  EXPECT_EQ(manager_->DeviceRelease(0), 0x0105);
  EXPECT_FALSE(manager_->GetDeviceInfo(1));
  EXPECT_FALSE(manager_->DeviceRelease(-1));

  manager_->Reopen();  // a rescan closes before it opens again
  EXPECT_EQ(sim_.totalOpenHandles(), 2);
  manager_->CloseAll();
  EXPECT_EQ(sim_.totalOpenHandles(), 0);
  EXPECT_FALSE(manager_->IsOpened());
  EXPECT_FALSE(manager_->DeviceRelease(0));
}

TEST_F(EnumerationTest, UnopenableNodesAreSkippedAndRefusalsCounted) {
  SimKeyboardConfig denied;
  denied.nodes[1].permissionDenied = true;  // command node
  denied.nodes[3].permissionDenied = true;  // bulk node
  SimKeyboardConfig broken;
  broken.nodes[1].openFails = true;
  sim_.addKeyboard(denied);
  sim_.addKeyboard(broken);
  OpenKeyboards(1);
  EXPECT_EQ(manager_->DeviceCount(), 1);
  EXPECT_EQ(manager_->GetDeviceInfo(0)->physicalKey, "/sys/devices/sim/usb1/1-3");
  EXPECT_EQ(manager_->PermissionDeniedCount(), 2);
  EXPECT_EQ(sim_.keyboard(1).openHandles(NodeRole::kBulk), 0);  // its keyboard has no record
}

TEST_F(EnumerationTest, FailedLibraryStartFindsNothingAndIsRetried) {
  sim_.setInitFails(true);
  OpenKeyboards(1);
  EXPECT_TRUE(manager_->IsOpened());
  EXPECT_EQ(manager_->DeviceCount(), 0);
  EXPECT_EQ(manager_->Find(kVid, kPid, L""), -1);
  sim_.setInitFails(false);
  manager_->Reopen();
  EXPECT_EQ(manager_->DeviceCount(), 1);
}

TEST_F(EnumerationTest, UnplugAndReplugRenumberInEnumerationOrder) {
  OpenKeyboards(2);
  SimKeyboard& first = sim_.keyboard(0);
  first.unplug();
  manager_->Reopen();
  ASSERT_EQ(manager_->DeviceCount(), 1);
  EXPECT_EQ(manager_->GetDeviceInfo(0)->physicalKey, "/sys/devices/sim/usb1/1-2");
  first.replug();
  manager_->Reopen();
  ASSERT_EQ(manager_->DeviceCount(), 2);
  EXPECT_EQ(manager_->GetDeviceInfo(0)->physicalKey, "/sys/devices/sim/usb1/1-1");
  EXPECT_EQ(first.openHandles(NodeRole::kCommand), 1);
}

TEST_F(EnumerationTest, BulkInterfaceBindsToItsOwnKeyboardOrOnlyWhenUnambiguous) {
  manager_->AddWanted(kVid, kPid, L"");
  // The bulk node of the first keyboard comes last in the enumeration.
  SimKeyboardConfig late;
  late.nodes[3].position = 100;
  sim_.addKeyboard(late);
  sim_.addKeyboard();
  manager_->Reopen();
  EXPECT_TRUE(manager_->GetDeviceInfo(0)->hasBulkInterface);
  EXPECT_TRUE(manager_->GetDeviceInfo(1)->hasBulkInterface);

  // Without physical keys two keyboards cannot be paired with bulk nodes: both stay unbound and
  // their bulk handles are closed.
  sim_.keyboard(0).unplug();
  sim_.keyboard(1).unplug();
  SimKeyboard& a = sim_.addKeyboard(KeyboardNamed(L"A", ""));
  SimKeyboard& b = sim_.addKeyboard(KeyboardNamed(L"B", ""));
  manager_->Reopen();
  ASSERT_EQ(manager_->DeviceCount(), 2);
  EXPECT_FALSE(manager_->GetDeviceInfo(0)->hasBulkInterface);
  EXPECT_EQ(a.openHandles(NodeRole::kBulk) + b.openHandles(NodeRole::kBulk), 0);
  b.unplug();
  manager_->Reopen();
  EXPECT_TRUE(manager_->GetDeviceInfo(0)->hasBulkInterface);
}

TEST_F(EnumerationTest, StaticEntryPointsNeedAnInstance) {
  auto* saved = g_hidDeviceManager;
  EXPECT_EQ(saved, manager_.get());
  OpenKeyboards(1);
  HidDeviceManager::AddWantedDevice(0x1111, 0x2222, L"");
  EXPECT_TRUE(manager_->IsWantedVidPid(0x1111, 0x2222));
  int release = 0;
  EXPECT_TRUE(HidDeviceManager::GetDeviceRelease(release, 0));
  EXPECT_EQ(release, 0x0105);
  manager_.reset();
  EXPECT_EQ(g_hidDeviceManager, nullptr);
  Bytes packet = CommandPacket(CMD_END);
  Bytes block(kBulkBlockSize), buffer(kColorReplyBytes);
  EXPECT_EQ(HidDeviceManager::FindDevice(kVid, kPid, L""), -1);
  EXPECT_FALSE(HidDeviceManager::GetDeviceRelease(release, 0));
  EXPECT_FALSE(HidDeviceManager::SendReports(packet, 0, 10, true));
  EXPECT_FALSE(HidDeviceManager::SendReportsFast(packet, 0));
  EXPECT_FALSE(HidDeviceManager::WriteBlock(block, 0));
  EXPECT_FALSE(HidDeviceManager::QueryReports(buffer, 9, 0));
  HidDeviceManager::AddWantedDevice(1, 2, L"");  // nothing to add to, nothing breaks
}

}  // namespace
}  // namespace hid_test
