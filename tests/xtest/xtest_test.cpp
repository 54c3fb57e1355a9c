// The built programs under a private Xvfb, driven from outside as a person would: XTest clicks and
// keys at the controls' known places, results read back from the X server (window list, titles,
// the screen's pixels). Set KELVANE_XTEST_SHOTS to a folder to keep a picture of each step.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "tests/support/http_server.h"
#include "tests/support/xvfb_server.h"
#include "tests/xtest/program.h"
#include "tests/xtest/x_desktop.h"

namespace {

using xtest::Desktop;
using xtest::TopLevel;

constexpr const char* kMainTitle = "Varnel Keyboard";

// How many different colours an image holds (up to `cap`): a drawn dialog has text and buttons.
int Colours(const QImage& image, int cap = 64) {
  std::set<QRgb> seen;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width() && static_cast<int>(seen.size()) < cap; ++x)
      seen.insert(image.pixel(x, y));
  return static_cast<int>(seen.size());
}

// The window client's rectangle `r` of the main window, in screen pixels.
QImage GrabIn(Desktop& desktop, const TopLevel& window, int left, int top, int right, int bottom) {
  return desktop.Grab(window.x + left, window.y + top, right - left, bottom - top);
}

// Opens a popup menu with `open` and picks its item `item` of `items`: a click on it, or with
// `byKeys` the arrow keys and Return. False when no menu appeared.
bool ChooseFromMenu(Desktop& desktop, const std::function<void()>& open, int item, int items,
                    bool byKeys = false) {
  std::set<Window> before;
  for (const TopLevel& window : desktop.TopLevels())
    if (window.viewable) before.insert(window.id);
  open();
  std::optional<TopLevel> menu;
  if (!desktop.WaitUntil(
          [&] {
            for (const TopLevel& window : desktop.TopLevels())
              if (window.viewable && !before.count(window.id) && window.height > 10) menu = window;
            return menu.has_value();
          },
          20000))
    return false;
  desktop.Shot("menu");
  if (byKeys) {
    for (int i = 0; i <= item; ++i) desktop.Key(XK_Down);
    desktop.Key(XK_Return);
  } else {
    const int row = menu->height / items;
    desktop.Click(menu->x + menu->width / 2, menu->y + row * item + row / 2);
  }
  return true;
}

// Right click on a key of the key assignment page (the tab shown), the menu's custom key item.
bool OpenCustomKeyDialog(Desktop& desktop, const TopLevel& main) {
  return ChooseFromMenu(
             desktop, [&] { desktop.ClickIn(main, 745, 265, 3); }, 2, 3) &&
         desktop.WaitShown("CustomKeyDlg").has_value();
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb.Running()) << xvfb.Error();
    desktop = std::make_unique<Desktop>(xvfb.Display());
    ASSERT_TRUE(desktop->Ready()) << "no XTest on " << xvfb.Display();
    ASSERT_TRUE(desktop->OwnSystemTray());
  }
  // Whether the window shows more than a blank face (a window is mapped before it is painted: it
  // has a moment to draw itself).
  bool ShowsSomething(const TopLevel& window) {
    return desktop->WaitUntil([&] { return Colours(desktop->Grab(window)) > 4; }, 10000);
  }
  void Step(const std::string& name) {
    std::printf("[xtest] %s\n", name.c_str());
    std::fflush(stdout);
    desktop->Shot(name);
  }

  testing_support::XvfbServer xvfb{"1280x800x24"};
  std::unique_ptr<Desktop> desktop;
};

}  // namespace

TEST_F(DesktopTest, KelvaneChecksForUpdatesHidesToTheTrayAndExits) {
  testing_support::HttpServer server;
  testing_support::HttpServer::Reply newer;
  newer.body = "1.0.0.1";
  server.Set("/version.txt", newer);
  xtest::Program program(KELVANE_PROGRAM);
  program.Write("device.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<device.config><Singledevice.info>
<device name="Varnel V108 RGB" type="1" vid="7C3A" pid="B108" product_name="" identify="3180245320" image="v108_on.png" image_none="v108_off.png"/>
</Singledevice.info><main.button><website show="0" data=""/><store show="0" data=""/></main.button>
<upgrade.url><software url=")" + server.Url("/") +
                                  R"("/></upgrade.url></device.config>)");
  ASSERT_TRUE(program.Start(xvfb.Display()));

  std::optional<TopLevel> main = desktop->WaitShown(kMainTitle, 60000);
  ASSERT_TRUE(main) << "the main window did not appear";
  ASSERT_EQ(main->width, 1200);
  Step("main");
  // The program is up once its tray icon docked too (the window's start-up made it).
  std::optional<std::pair<int, int>> icon;
  ASSERT_TRUE(desktop->WaitUntil([&] { return (icon = desktop->TrayIconCentre()).has_value(); }, 20000))
      << "no tray icon docked";
  desktop->WaitSettled(*main);

  // Settings button, then "Check for updates": the server has a newer version.
  desktop->ClickIn(*main, 1200 - 115, 30);
  std::optional<TopLevel> settings = desktop->WaitShown("MainSysSetDlg");
  ASSERT_TRUE(settings) << "the settings dialog did not open";
  Step("settings");
  desktop->ClickIn(*settings, 250, 163);
  std::optional<TopLevel> update = desktop->WaitShown("CustomKeyDlg");
  ASSERT_TRUE(update) << "the update dialog did not open";
  Step("update-dialog");
  EXPECT_TRUE(ShowsSomething(*update)) << "the update dialog shows nothing";
  desktop->ClickIn(*update, 250 + 85, 178);  // its cancel button
  ASSERT_TRUE(desktop->WaitGone("CustomKeyDlg")) << "a click on the update dialog's button did not close it";

  // Again, now that the server has our own version: the prompt, answered with Return.
  testing_support::HttpServer::Reply same;
  same.body = "1.0.0.0";
  server.Set("/version.txt", same);
  desktop->ClickIn(*settings, 250, 163);
  std::optional<TopLevel> prompt = desktop->WaitShown("MessageBox");
  ASSERT_TRUE(prompt) << "the no-update prompt did not appear";
  Step("prompt");
  EXPECT_TRUE(ShowsSomething(*prompt)) << "the prompt shows nothing";
  desktop->Key(XK_Return);
  ASSERT_TRUE(desktop->WaitGone("MessageBox")) << "Return did not answer the prompt";
  EXPECT_EQ(server.Requests().size(), 2u);

  // The settings dialog's close button.
  desktop->ClickIn(*settings, 500 - 30, 30);
  ASSERT_TRUE(desktop->WaitGone("MainSysSetDlg")) << "the settings dialog did not close";
  Step("settings-closed");

  // The main window's close button puts it into the tray; a click on the icon brings it back.
  desktop->ClickIn(*main, 1200 - 35, 30);
  ASSERT_TRUE(desktop->WaitGone(kMainTitle)) << "the close button did not hide the main window";
  Step("in-tray");
  desktop->Click(icon->first, icon->second);
  ASSERT_TRUE(desktop->WaitShown(kMainTitle)) << "a click on the tray icon did not bring the window back";

  // The tray icon's menu: Exit ends the program. (A click on the item closes this menu without
  // choosing it under this test's tray; the keys reach it.)
  ASSERT_TRUE(ChooseFromMenu(
      *desktop, [&] { desktop->Click(icon->first, icon->second, 3); }, 0, 1, true))
      << "the tray icon's menu did not open";
  const std::optional<int> status = program.WaitForExit(30000);
  ASSERT_TRUE(status) << "the program did not end on Exit and was killed";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "status " << *status;
}

TEST_F(DesktopTest, EveryKeyboardWindowDialogAnswersRealClicksAndKeys) {
  xtest::Program program(KELVANE_SIM_PROGRAM);
  ASSERT_TRUE(program.Start(xvfb.Display()));
  std::optional<TopLevel> main = desktop->WaitShown(kMainTitle, 60000);
  ASSERT_TRUE(main) << "the main window did not appear";
  // The keyboard window fills the main window once the simulated keyboard answered.
  ASSERT_TRUE(
      desktop->WaitUntil([&] { return Colours(GrabIn(*desktop, *main, 1, 110, 61, 170)) > 4; }, 60000))
      << "no keyboard window with its tabs";
  desktop->WaitSettled(*main);
  Step("keyboard-window");

  // Every tab shows its own page.
  constexpr int kTabs = 8;
  QImage previous = GrabIn(*desktop, *main, 65, 50, 1199, 719);
  for (int tab = 1; tab <= kTabs; ++tab) {
    const int index = tab % kTabs;  // ends on the first tab again
    const int y = index == kTabs - 1 ? 660 : 140 + 60 * index;
    desktop->ClickIn(*main, 31, y);
    QImage page;
    EXPECT_TRUE(desktop->WaitUntil(
        [&] {
          page = GrabIn(*desktop, *main, 65, 50, 1199, 719);
          return page != previous;
        },
        10000))
        << "tab " << index << " showed no page of its own";
    Step("tab-" + std::to_string(index));
    previous = page;
  }

  // Settings page: a prompt answered with a click on NO.
  desktop->ClickIn(*main, 31, 660);
  desktop->WaitSettled(*main);
  desktop->ClickIn(*main, 180, 405);
  std::optional<TopLevel> prompt = desktop->WaitShown("MessageBox");
  ASSERT_TRUE(prompt) << "the reset prompt did not appear";
  Step("settings-prompt");
  desktop->ClickIn(*prompt, 260, 171);
  ASSERT_TRUE(desktop->WaitGone("MessageBox")) << "a click on NO did not answer the prompt";

  // Screen page: a double click on a frame opens its delay dialog, which closes on its button.
  desktop->ClickIn(*main, 31, 140 + 60 * 3);
  desktop->WaitSettled(*main);
  // The default animation has no frames here: a new slot, and a frame added to it.
  const QImage noFrames = GrabIn(*desktop, *main, 310, 416, 1180, 505);
  desktop->ClickIn(*main, 107, 685);
  desktop->WaitSettled(*main);
  desktop->ClickIn(*main, 766, 546);  // "add a frame": a picture chosen in the file dialog
  QImage picture(240, 135, QImage::Format_RGB32);
  picture.fill(Qt::red);
  // In the home, where the program started and so where its file dialog opens: the name will do.
  ASSERT_TRUE(picture.save(QString::fromStdString(program.Home() + "frame.png")));
  std::optional<TopLevel> files;
  ASSERT_TRUE(desktop->WaitUntil(
      [&] {
        for (const TopLevel& window : desktop->TopLevels())
          if (window.viewable && window.width > 400 && window.width < 1000) files = window;
        return files.has_value();
      },
      20000))
      << "no file dialog";
  desktop->WaitSettled(*files);
  desktop->Type("frame.png");
  desktop->Key(XK_Return);
  EXPECT_TRUE(
      desktop->WaitUntil([&] { return GrabIn(*desktop, *main, 310, 416, 1180, 505) != noFrames; }, 10000))
      << "no frame was added";
  desktop->WaitSettled(*main);
  Step("screen");
  desktop->ClickIn(*main, 350, 460, 1, 2);
  std::optional<TopLevel> delay = desktop->WaitShown("LCDDelayEditDlg");
  ASSERT_TRUE(delay) << "no frame-delay dialog on a double click on a frame";
  Step("frame-delay");
  desktop->ClickIn(*delay, 300 - 30, 25);
  ASSERT_TRUE(desktop->WaitGone("LCDDelayEditDlg")) << "the frame-delay dialog did not close";

  desktop->ClickIn(*main, 31, 140);  // back to the key assignment

  // Key assignment: a key's menu opens the custom key dialog; a key pressed is captured and applied.
  desktop->WaitSettled(*main);
  ASSERT_TRUE(OpenCustomKeyDialog(*desktop, *main)) << "no custom key dialog from a key's menu";
  std::optional<TopLevel> custom = desktop->Find("CustomKeyDlg");
  Step("custom-key");
  desktop->ClickIn(*custom, 510, 165);  // the capture field
  const QImage empty = GrabIn(*desktop, *custom, 410, 150, 610, 180);
  desktop->Key(XK_g);
  EXPECT_TRUE(
      desktop->WaitUntil([&] { return GrabIn(*desktop, *custom, 410, 150, 610, 180) != empty; }, 10000))
      << "the capture field did not show the key";
  Step("custom-key-captured");
  desktop->ClickIn(*custom, 720 - 90, 360 - 25);  // Apply: it closes once the key is stored
  ASSERT_TRUE(desktop->WaitGone("CustomKeyDlg")) << "the custom key dialog did not apply and close";

  // Exit from the tray.
  std::optional<std::pair<int, int>> icon;
  ASSERT_TRUE(desktop->WaitUntil([&] { return (icon = desktop->TrayIconCentre()).has_value(); }, 20000));
  ASSERT_TRUE(ChooseFromMenu(
      *desktop, [&] { desktop->Click(icon->first, icon->second, 3); }, 0, 1, true));
  const std::optional<int> status = program.WaitForExit(30000);
  ASSERT_TRUE(status) << "the program did not end on Exit and was killed";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "status " << *status;
}
