// The XTest input synthesis against a private Xvfb: a plain Xlib client with the focus reads the
// key events it is sent and turns them into text as any program would.
#include "platform/input/input_synth_x11.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/recording_input_synth.h"
#include "support/temp_dir.h"
#include "support/xvfb_server.h"

// Xlib defines macros (None, Bool, ...) that clash with names in the test framework: last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace platform::input;
using Batch = std::vector<KeyInput>;

Batch Unicode(char16_t unit) {
  return {{0, unit, KEYEVENTF_UNICODE}, {0, unit, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}};
}
Batch Key(uint16_t vk) { return {{vk, 0, 0}, {vk, 0, KEYEVENTF_KEYUP}}; }

// The core key map of every key code, as one list.
std::vector<KeySym> KeyMap(Display* display) {
  int min = 0, max = 0, per = 0;
  XDisplayKeycodes(display, &min, &max);
  KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(min), max - min + 1, &per);
  std::vector<KeySym> all(map, map + static_cast<size_t>(max - min + 1) * static_cast<size_t>(per));
  XFree(map);
  return all;
}

// A mapped window with the focus whose key presses a thread of its own turns into characters:
// the keysym's character for Latin-1 and Unicode keysyms, else what XLookupString gives.
class FocusedWindow {
 public:
  explicit FocusedWindow(const std::string& name) {
    display_ = XOpenDisplay(name.c_str());
    if (!display_) return;
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
    XMapWindow(display_, window_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    XEvent event;
    while (!mapped_ && std::chrono::steady_clock::now() < deadline) {
      if (XCheckTypedWindowEvent(display_, window_, MapNotify, &event))
        mapped_ = true;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!mapped_) return;
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XSync(display_, False);
    reader_ = std::thread([this] { Read(); });
  }
  ~FocusedWindow() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (display_) XCloseDisplay(display_);
  }

  bool Ready() const { return mapped_; }
  // Waits (bounded) until `length` characters arrived, then a little more for any extra one.
  std::u32string WaitForText(size_t length) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Text().size() < length && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    return Text();
  }

 private:
  std::u32string Text() {
    std::lock_guard lock(mutex_);
    return text_;
  }

  void Read() {
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    while (!stop_) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) {
          XRefreshKeyboardMapping(&event.xmapping);
        } else if (event.type == KeyPress) {
          char buffer[16] = {};
          KeySym sym = NoSymbol;
          const int length = XLookupString(&event.xkey, buffer, sizeof buffer, &sym, nullptr);
          char32_t ch = 0;
          if (sym >= 0x01000100 && sym <= 0x0110FFFF)
            ch = static_cast<char32_t>(sym - 0x01000000);
          else if (length == 1)
            ch = static_cast<unsigned char>(buffer[0]);
          std::lock_guard lock(mutex_);
          if (ch) text_ += ch;
        }
      }
      poll(&fd, 1, 20);
    }
  }

  Display* display_ = nullptr;
  Window window_ = 0;
  bool mapped_ = false;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::u32string text_;
  std::thread reader_;
};

class InputSynthOnXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!xvfb_.Running()) GTEST_SKIP() << "no private X server: " << xvfb_.Error();
    observer_ = XOpenDisplay(xvfb_.Display().c_str());
    ASSERT_NE(observer_, nullptr);
  }
  void TearDown() override {
    if (observer_) XCloseDisplay(observer_);
  }

  testing_support::XvfbServer xvfb_;
  Display* observer_ = nullptr;
};

TEST_F(InputSynthOnXvfb, TheFocusedWindowReceivesTheTextAndNoBindingIsLeft) {
  FocusedWindow window(xvfb_.Display());
  ASSERT_TRUE(window.Ready());
  const std::vector<KeySym> before = KeyMap(observer_);
  X11InputSynth synth(xvfb_.Display());

  // Characters of the layout and beyond it as Unicode presses, keys by their virtual keys (Shift
  // with '1' giving '!'), a character above U+FFFF as two surrogate units in two batches, and a
  // batch that types two characters with one of them twice.
  std::vector<Batch> batches = {
      Unicode('h'),    Unicode(0xE9),      Key(0xBC), Key(0x20),
      Unicode(0x4E2D), {{VK_SHIFT, 0, 0}}, Key('1'),  {{VK_SHIFT, 0, KEYEVENTF_KEYUP}},
      Unicode(0xD83D), Unicode(0xDE00),    Key(0x0D)};
  Batch many;
  for (char16_t unit : {u'\u0416', u'x', u'\u0416'})
    for (const KeyInput& input : Unicode(unit)) many.push_back(input);
  batches.push_back(many);
  for (const Batch& batch : batches) EXPECT_TRUE(synth.Send(batch));

  const std::u32string expected = U"h\u00E9, \u4E2D!\U0001F600\r\u0416x\u0416";
  EXPECT_EQ(window.WaitForText(expected.size()), expected);
  EXPECT_EQ(KeyMap(observer_), before) << "a spare key code is still bound";

  // A lone surrogate types nothing and is reported; so is a virtual key without a key.
  EXPECT_FALSE(synth.Send(Unicode(0xDE00)));
  EXPECT_TRUE(synth.Send(Unicode(0xD83D)));
  EXPECT_TRUE(synth.Send(Unicode('y')));  // the waiting high half is dropped
  EXPECT_FALSE(synth.Send(Key(0xFF)));
  const std::u32string after = expected + U"y";
  EXPECT_EQ(window.WaitForText(after.size()), after);
  EXPECT_EQ(KeyMap(observer_), before);
}

TEST_F(InputSynthOnXvfb, VkKeyScanReadsTheServersKeyMap) {
  X11InputSynth synth(xvfb_.Display());
  EXPECT_EQ(synth.VkKeyScan('a'), 0x41);
  EXPECT_EQ(synth.VkKeyScan('A'), 0x141);
  EXPECT_EQ(synth.VkKeyScan('1'), 0x31);
  EXPECT_EQ(synth.VkKeyScan('!'), 0x131);
  EXPECT_EQ(synth.VkKeyScan(' '), 0x20);
  EXPECT_EQ(synth.VkKeyScan(';'), 0xBA);
  EXPECT_EQ(synth.VkKeyScan(':'), 0x1BA);
  EXPECT_EQ(synth.VkKeyScan('\n'), 0x20D);
  EXPECT_EQ(synth.VkKeyScan('\r'), 0x0D);
  EXPECT_EQ(synth.VkKeyScan('\t'), 0x09);
  EXPECT_EQ(synth.VkKeyScan(u'\u00E9'), -1) << "not on a US keyboard";
  EXPECT_EQ(synth.VkKeyScan(u'\u4E2D'), -1);
  EXPECT_EQ(synth.VkKeyScan(1), -1);

  // Another layout takes effect at once: 'a' moves to where 'q' was.
  int min = 0, max = 0, per = 0;
  XDisplayKeycodes(observer_, &min, &max);
  const KeyCode q = XKeysymToKeycode(observer_, 'q');
  KeySym* old = XGetKeyboardMapping(observer_, q, 1, &per);
  std::vector<KeySym> syms(old, old + per);
  XFree(old);
  std::vector<KeySym> swapped = syms;
  swapped[0] = 'a';
  swapped[1] = 'A';
  XChangeKeyboardMapping(observer_, q, per, swapped.data(), 1);
  XSync(observer_, False);
  EXPECT_EQ(synth.VkKeyScan('a'), 'Q');
  EXPECT_EQ(synth.VkKeyScan('A'), 0x100 | 'Q');
  XChangeKeyboardMapping(observer_, q, per, syms.data(), 1);
  XSync(observer_, False);
}

TEST(InputSynthX11Missing, NoDisplayFailsClearly) {
  X11InputSynth missing(":999999");
  EXPECT_FALSE(missing.Send(Unicode('a')));
  EXPECT_EQ(missing.VkKeyScan('a'), -1);
  EXPECT_FALSE(missing.Send(Key('A'))) << "also on later calls";

  testing_support::ScopedEnv noDisplay("DISPLAY", std::nullopt);
  X11InputSynth fromEnvironment;
  EXPECT_FALSE(fromEnvironment.Send(Unicode('a')));
}

TEST(InputSynthX11Missing, TheCurrentSynthesisCanBeReplacedForTests) {
  testing_support::RecordingInputSynth recording;
  SetInputSynth(&recording);
  EXPECT_TRUE(CurrentInputSynth().Send(Unicode('a')));
  SetInputSynth(nullptr);
  EXPECT_EQ(recording.batches, std::vector<Batch>{Unicode('a')});
  EXPECT_NE(dynamic_cast<X11InputSynth*>(&CurrentInputSynth()), nullptr);
}

}  // namespace
