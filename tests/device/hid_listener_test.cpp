#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "device/HidReportListener.h"
#include "hid_test_support.h"
#include "platform/hid/debug_log.h"

namespace hid_test {
namespace {

using namespace std::chrono_literals;

// Collects what the listener posts; waits are bounded.
class Posts {
 public:
  PostMessageFn fn() {
    return [this](unsigned int m, uintptr_t w, intptr_t l) {
      std::lock_guard lock(mutex_);
      messages_.push_back({m, w, l});
      changed_.notify_all();
    };
  }
  bool waitFor(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 5s, [&] { return messages_.size() >= count; });
  }
  std::vector<ListenerMessage> all() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ListenerMessage> messages_;
};

// Waits (bounded, real time) until `predicate` holds.
template <typename P>
bool Eventually(P predicate) {
  auto end = std::chrono::steady_clock::now() + 5s;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(SimInputTest, AnEmptyReportIsAZeroLengthRead) {
  platform::VirtualClock clock;
  platform::hid::sim::SimHidBackend sim(clock);
  SimKeyboard& keyboard = sim.addKeyboard();
  std::unique_ptr<platform::hid::HidInputReader> reader;
  for (const auto& node : sim.listNodes())
    if (node.path == keyboard.nodePath(NodeRole::kVendor)) reader = sim.openInput(node, nullptr);
  ASSERT_TRUE(reader);
  keyboard.pushInput({});
  keyboard.pushInput({0x05, 0x00, 0x09, 0x00});
  uint8_t buffer[8] = {0xEE};
  const platform::hid::InputRead empty = reader->read(buffer, sizeof buffer, 100);
  EXPECT_EQ(empty.status, platform::hid::InputRead::Status::kData);
  EXPECT_EQ(empty.bytes, 0);
  EXPECT_EQ(buffer[0], 0xEE) << "nothing is copied";
  const platform::hid::InputRead next = reader->read(buffer, sizeof buffer, 100);
  EXPECT_EQ(next.bytes, 4);
  EXPECT_EQ(buffer[2], 0x09);
}

TEST(HidDebugFlagTest, ZeroOrEmptyMeansOff) {
  struct Case {
    const char* value;
    bool on;
  };
  const Case cases[] = {{nullptr, false}, {"", false},   {"0", false},
                        {"1", true},      {"yes", true}, {"00", true}};
  for (const Case& c : cases)
    EXPECT_EQ(platform::hid::HidDebugValueEnables(c.value), c.on) << (c.value ? c.value : "(unset)");
}

TEST(ListenerMappingTest, ReportsBecomeMessagesAndOthersAreDropped) {
  struct Case {
    Bytes report;
    int bytes;
    bool posts;
    ListenerMessage message;
  };
  std::vector<Case> cases = {
      {{0x05, 0xA5, 0x01, 0x02}, 4, true, {WM_DEVICE_SLOT_KEY, 1, 2}},
      {{0x05, 0x00, 0x09, 0x00}, 4, true, {WM_DEVICE_REPORT, 0, 9}},
      {{0x05, 0x33, 0xFF, 0x44}, 4, true, {WM_DEVICE_REPORT, 0, 255}},
      {{0x05, 0x00, 0x00, 0x00}, 1, true, {WM_DEVICE_REPORT, 0, 0}},  // a 1-byte report, zeros behind
      {{0x04, 0xA5, 0x01, 0x02}, 4, false, {}},
      {{0x05, 0xA5, 0x01, 0x02}, 0, false, {}},
  };
  for (const Case& c : cases) {
    ListenerMessage out;
    EXPECT_EQ(MapInputReport(c.report.data(), c.bytes, WM_DEVICE_REPORT, out), c.posts);
    if (c.posts) {
      EXPECT_EQ(out, c.message);
    }
  }
}

TEST(ListenerMappingTest, DevicePathIdsAreFoundAnywhereAndCaseSensitively) {
  int vid = 0, pid = 0;
  EXPECT_TRUE(
      ParseHidDevicePath(L"\\\\?\\hid#vid_7c3a&pid_B108&mi_02&col02#8&2f1&0&0001#{4d1e55b2}", vid, pid));
  EXPECT_EQ(vid, 0x7C3A);
  EXPECT_EQ(pid, 0xB108);
  EXPECT_TRUE(ParseHidDevicePath(L"hid#vid_00zz&pid_0x1f", vid, pid));  // read like wcstol
  EXPECT_EQ(vid, 0);
  EXPECT_EQ(pid, 0x1F);
  EXPECT_FALSE(ParseHidDevicePath(L"\\\\?\\HID#VID_7C3A&PID_B108", vid, pid));
  EXPECT_FALSE(ParseHidDevicePath(L"hid#vid_7c3&pid_b108", vid, pid));
  EXPECT_FALSE(ParseHidDevicePath(L"/dev/hidraw3", vid, pid));
}

class ListenerTest : public HidTest {
 protected:
  std::unique_ptr<HidReportListener> MakeListener(const std::string& key) {
    auto l = std::make_unique<HidReportListener>(sim_, clock_, posts_.fn());
    l->SetDevice(kVid, kPid, key);
    return l;
  }
  Posts posts_;
};

TEST_F(ListenerTest, ReadsTheVendorCollectionOfItsOwnKeyboard) {
  // Two keyboards of one model; the first node with the ids has a vendor page but usage 2.
  SimKeyboardConfig decoy;
  decoy.nodes[0].collections = {{0xFFFF, 0x02, 4, 0, 0}};
  SimKeyboard& first = sim_.addKeyboard(decoy);
  SimKeyboard& second = sim_.addKeyboard();
  auto listener = MakeListener("/sys/devices/sim/usb1/1-2");
  listener->Start();
  ASSERT_TRUE(listener->IsRunning());
  EXPECT_EQ(second.openHandles(NodeRole::kVendor), 1);
  EXPECT_EQ(first.openHandles(NodeRole::kVendor) + first.openHandles(NodeRole::kBoot), 0);

  first.pushInput({0x05, 0x00, 0x01, 0x00});  // the other keyboard's request is not ours
  second.pushInput({0x04, 0x00, 0x02, 0x00});
  second.pushInputTimeout();
  second.pushInputError();
  second.pushInput({0x05, 0x00, 0x09, 0x00});
  second.pushInput({0x05, 0xA5, 0x01, 0x02});
  ASSERT_TRUE(posts_.waitFor(2));
  listener->Stop();
  EXPECT_EQ(posts_.all(),
            (std::vector<ListenerMessage>{{WM_DEVICE_REPORT, 0, 9}, {WM_DEVICE_SLOT_KEY, 1, 2}}));
  EXPECT_EQ(second.openHandles(NodeRole::kVendor), 0);

  // Without a physical key the first vendor collection of the ids is taken.
  auto any = MakeListener("");
  any->Start();
  EXPECT_EQ(first.openHandles(NodeRole::kVendor), 1);
}

TEST_F(ListenerTest, StartWithoutKeyboardEndsStoppedAndALaterStartReads) {
  auto listener = MakeListener("");
  listener->Start();
  EXPECT_FALSE(listener->IsRunning());
  SimKeyboardConfig failing;
  failing.nodes[2].openFails = true;
  sim_.addKeyboard(failing);  // an open failure moves on to the next node
  SimKeyboard& kb = sim_.addKeyboard();
  listener->Start();
  ASSERT_TRUE(listener->IsRunning());
  kb.pushInput({0x05, 0x01, 0x03, 0x00});
  ASSERT_TRUE(posts_.waitFor(1));
}

TEST_F(ListenerTest, RestartLeavesExactlyOneReaderAndStopIsPrompt) {
  SimKeyboard& kb = sim_.addKeyboard();
  auto listener = MakeListener("");
  listener->Start();
  ASSERT_TRUE(Eventually([&] { return kb.activeReaders() == 1; }));
  listener->Start();  // a rescan restarts it
  ASSERT_TRUE(Eventually([&] { return kb.activeReaders() == 1; }));
  EXPECT_EQ(kb.maxConcurrentReaders(), 1);
  EXPECT_EQ(kb.openHandles(NodeRole::kVendor), 1);
  EXPECT_FALSE(sim_.closedDuringIo());

  // The reader is blocked in a read of up to 3000 ms; Stop wakes it.
  listener->Stop();
  const std::vector<SimIo> reads = Io(NodeRole::kVendor, SimIo::Kind::kInput);
  ASSERT_FALSE(reads.empty());
  EXPECT_EQ(reads.back().result, -static_cast<int>(platform::hid::InputRead::Status::kWoken))
      << "the read ran out instead";
  EXPECT_EQ(kb.openHandles(NodeRole::kVendor), 0);
  EXPECT_FALSE(sim_.closedDuringIo());
  kb.pushInput({0x05, 0x00, 0x01, 0x00});
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(posts_.all().empty());
}

TEST_F(ListenerTest, HangUpStopsReadingWithoutSpinning) {
  SimKeyboard& kb = sim_.addKeyboard();
  auto listener = MakeListener("");
  listener->Start();
  kb.pushHangUp();
  ASSERT_TRUE(Eventually([&] { return !Io(NodeRole::kVendor, SimIo::Kind::kInput).empty(); }));
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(Io(NodeRole::kVendor, SimIo::Kind::kInput).size(), 1u);
  EXPECT_TRUE(clock_.sleeps().empty());
  listener->Stop();
  EXPECT_EQ(Io(NodeRole::kVendor, SimIo::Kind::kInput).size(), 1u) << "no read after the hang-up";

  // Unplug hangs up too; after a replug a new Start reads again.
  listener->Start();
  ASSERT_TRUE(listener->IsRunning());
  kb.unplug();
  kb.replug();
  listener->Start();
  kb.pushInput({0x05, 0x00, 0x04, 0x00});
  ASSERT_TRUE(posts_.waitFor(1));
  EXPECT_EQ(posts_.all()[0], (ListenerMessage{WM_DEVICE_REPORT, 0, 4}));
}

}  // namespace
}  // namespace hid_test
