// The X11 raw-input back end against a private Xvfb, driven by XTest from a second connection as
// a user's keyboard and mouse would; and the key table it reads codes with.
#include "platform/input/raw_input_x11.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/input/evdev_keys.h"
#include "support/xvfb_server.h"

// Xlib defines macros (None, Bool, ...) that clash with names in the test framework: last.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

using namespace platform::input;

constexpr int kOffset = 8;  // X key code = evdev code + 8

TEST(EvdevKeysTest, PositionsGiveTheirVirtualKeysBothWays) {
  struct Case {
    int evdev;
    int vk;
  };
  for (const Case& c : {Case{30, 'A'}, Case{2, '1'},   Case{11, '0'},  Case{28, 13},    Case{1, 27},
                        Case{57, 32},  Case{59, 0x70}, Case{88, 0x7B}, Case{194, 0x87}, Case{39, 186},
                        Case{86, 226}, Case{82, 96},   Case{71, 103},  Case{83, 110},   Case{98, 111},
                        Case{125, 91}, Case{126, 92},  Case{127, 93},  Case{103, 38},   Case{111, 46}}) {
    EXPECT_EQ(EvdevToVirtualKey(c.evdev), c.vk) << c.evdev;
    EXPECT_EQ(VirtualKeyToEvdev(c.vk), c.evdev) << c.vk;
  }
  // Both sides of a modifier give its one key; the way back takes the left one.
  for (const auto& [left, right, vk] :
       {std::tuple{42, 54, 16}, std::tuple{29, 97, 17}, std::tuple{56, 100, 18}}) {
    EXPECT_EQ(EvdevToVirtualKey(left), vk);
    EXPECT_EQ(EvdevToVirtualKey(right), vk);
    EXPECT_EQ(VirtualKeyToEvdev(vk), left);
  }
  EXPECT_EQ(EvdevToVirtualKey(96), 13) << "keypad Enter";
  EXPECT_EQ(VirtualKeyToEvdev(13), 28);
  for (int none : {0, -1, 84, 240, 100000}) EXPECT_EQ(EvdevToVirtualKey(none), 0) << none;
  EXPECT_EQ(VirtualKeyToEvdev(0), 0);
  EXPECT_EQ(VirtualKeyToEvdev(7), 0);
}

TEST(RawInputX11Test, RawEventsBecomeRecordsAndTheWheelNothing) {
  RawInputRecord r;
  ASSERT_TRUE(RecordForRawEvent(true, true, 30 + kOffset, &r));
  EXPECT_EQ(r.kind, kKindKeyboard);
  EXPECT_EQ(r.virtualKey, 'A');
  EXPECT_EQ(r.keyMessage, kKeyDownMessage);
  ASSERT_TRUE(RecordForRawEvent(true, false, 54 + kOffset, &r));
  EXPECT_EQ(r.virtualKey, 16);
  EXPECT_EQ(r.keyMessage, kKeyUpMessage);
  EXPECT_FALSE(RecordForRawEvent(true, true, 84 + kOffset, &r)) << "a key without a virtual key";
  const std::pair<int, int> buttons[] = {
      {1, kLeftDown}, {2, kMiddleDown}, {3, kRightDown}, {8, kButton4Down}, {9, kButton5Down}};
  for (const auto& [button, flag] : buttons) {
    ASSERT_TRUE(RecordForRawEvent(false, true, button, &r)) << button;
    EXPECT_EQ(r.kind, kKindMouse);
    EXPECT_EQ(r.buttonFlags, flag);
    ASSERT_TRUE(RecordForRawEvent(false, false, button, &r));
    EXPECT_EQ(r.buttonFlags, flag << 1) << "release";
  }
  for (int wheel : {4, 5, 6, 7, 10}) EXPECT_FALSE(RecordForRawEvent(false, true, wheel, &r)) << wheel;
}

class RawInputOnXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!xvfb_.Running()) GTEST_SKIP() << "no private X server: " << xvfb_.Error();
    driver_ = XOpenDisplay(xvfb_.Display().c_str());
    ASSERT_NE(driver_, nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(driver_, &event, &error, &major, &minor));
  }
  void TearDown() override {
    if (driver_) XCloseDisplay(driver_);
  }
  void Key(int evdev, bool press) {
    XTestFakeKeyEvent(driver_, static_cast<unsigned>(evdev + kOffset), press, CurrentTime);
    XSync(driver_, False);
  }
  void Button(unsigned button, bool press) {
    XTestFakeButtonEvent(driver_, button, press, CurrentTime);
    XSync(driver_, False);
  }
  std::vector<RawInputRecord> Received() {
    std::lock_guard guard(lock_);
    return records_;
  }
  // Waits (bounded) until `count` records arrived, then a little more for any extra one.
  std::vector<RawInputRecord> WaitFor(size_t count,
                                      std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Received().size() < count && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    return Received();
  }
  RawInputCallback Collect() {
    return [this](const RawInputRecord& r) {
      std::lock_guard guard(lock_);
      records_.push_back(r);
    };
  }

  testing_support::XvfbServer xvfb_;
  Display* driver_ = nullptr;
  std::mutex lock_;
  std::vector<RawInputRecord> records_;
};

TEST_F(RawInputOnXvfb, KeysAndButtonsArriveOnceAndNothingAfterTheEnd) {
  X11RawInput service(xvfb_.Display());
  auto subscription = service.Subscribe(Collect());
  ASSERT_NE(subscription, nullptr);
  Key(30, true);  // A
  Key(30, false);
  Key(42, true);  // left Shift
  Key(54, true);  // right Shift
  Key(54, false);
  Key(42, false);
  Key(84, true);  // no virtual key: nothing
  Key(84, false);
  Button(1, true);
  Button(1, false);
  Button(4, true);  // the wheel: nothing
  Button(4, false);
  XTestFakeMotionEvent(driver_, -1, 100, 100, CurrentTime);  // motion: nothing
  XSync(driver_, False);
  Button(8, true);
  Button(8, false);
  const std::vector<RawInputRecord> got = WaitFor(10);
  ASSERT_EQ(got.size(), 10u);
  auto key = [](int vk, int message) { return std::pair{vk, message}; };
  const std::vector<std::pair<int, int>> keys = {key('A', 256), key('A', 257), key(16, 256),
                                                 key(16, 256),  key(16, 257),  key(16, 257)};
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(got[i].kind, kKindKeyboard) << i;
    EXPECT_EQ(std::pair(got[i].virtualKey, got[i].keyMessage), keys[i]) << i;
  }
  const int buttons[] = {kLeftDown, kLeftUp, kButton4Down, kButton4Up};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(got[6 + i].kind, kKindMouse);
    EXPECT_EQ(got[6 + i].buttonFlags, buttons[i]) << i;
  }

  subscription.reset();
  Key(30, true);
  Key(30, false);
  EXPECT_EQ(WaitFor(11, std::chrono::milliseconds(300)).size(), 10u) << "nothing after unsubscribing";
}

TEST(RawInputX11Missing, NoDisplayFailsClearly) {
  X11RawInput service(":999999");
  EXPECT_EQ(service.Subscribe([](const RawInputRecord&) {}), nullptr);
}

}  // namespace
