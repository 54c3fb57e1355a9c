// The key pages' two controls: the keyboard view (mapping of the picture into the control, hit
// testing, marks by key code, calls from a worker while the UI thread draws, the drawn picture)
// and the key-function chooser (items by data, picks, scrolling).
#include "zuvi/keyboard_ctrl.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <QWidget>
#include <atomic>
#include <cstdlib>
#include <map>
#include <thread>
#include <tuple>

#include "tests/support/temp_dir.h"
#include "tests/zuvi/recording_dialog.h"
#include "zuvi/key_func_control.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

namespace {

// 260 x 100 pixels for a 50 x 40 picture: scale 2.5, the picture 125 pixels wide and centred,
// 67.5 pixels of letterbox left and right.
const RECT kViewRect{20, 30, 280, 130};
constexpr int kA = 4, kB = 5, kWide = 6;

class KeyboardCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.CreatePopup());
    view = dynamic_cast<KeyboardCtrl*>(window.CreateControl(L"KeyboardCtrl", 70, kViewRect));
    ASSERT_NE(view, nullptr);
    view->SetWidthAndHeight(50, 40);
    view->AddKeyItem(L"A", L"", kA, RECT{0, 0, 20, 20}, L"");
    view->AddKeyItem(L"B", L"", kB, RECT{25, 0, 45, 20}, L"");  // 5 units from A
    view->AddKeyItem(L"Space", L"", kWide, RECT{0, 20, 50, 40}, L"");
  }

  POINT At(int code) const {
    std::optional<POINT> point = view->KeyPoint(code);
    EXPECT_TRUE(point.has_value()) << code;
    return point.value_or(POINT{-1, -1});
  }

  // The control drawn on its own, as the UI thread draws it.
  QImage Draw() const {
    QImage image(kViewRect.Width(), kViewRect.Height(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    view->Paint(painter, image.rect());
    return image;
  }

  Driver driver;
  RecordingDialog window;
  KeyboardCtrl* view = nullptr;
};

}  // namespace

TEST_F(KeyboardCtrlTest, ClicksHitTheKeysThroughTheScaledCentredPicture) {
  EXPECT_EQ(At(kA).x, 112);  // 20 + 67.5 + 10 * 2.5
  EXPECT_EQ(At(kA).y, 55);   // 30 + 10 * 2.5
  ASSERT_TRUE(Driver::ClickAt(window, 70, At(kA)));
  EXPECT_EQ(view->GetCurrentKey(), kA);
  ASSERT_TRUE(Driver::RightClickAt(window, 70, At(kWide)));
  EXPECT_EQ(view->GetCurrentKey(), kWide);
  // Near the far corner of B, in picture units (44.2, 19.6).
  ASSERT_TRUE(Driver::ClickAt(window, 70, POINT{20 + 67 + 111, 30 + 49}));
  EXPECT_EQ(view->GetCurrentKey(), kB);

  // Where the unscaled layout would put A, in the letterbox, and in the gap between A and B.
  ASSERT_TRUE(Driver::ClickAt(window, 70, POINT{kViewRect.left + 10, kViewRect.top + 10}));
  EXPECT_EQ(view->GetCurrentKey(), -1);
  view->SetCurrentKey(kB);
  ASSERT_TRUE(Driver::RightClickAt(window, 70, POINT{kViewRect.left + 67, kViewRect.top + 90}));
  EXPECT_EQ(view->GetCurrentKey(), -1) << "the letterbox holds no key";
  ASSERT_TRUE(Driver::ClickAt(window, 70, POINT{20 + 67 + 56, 55}));  // picture x 22.2
  EXPECT_EQ(view->GetCurrentKey(), -1);
  EXPECT_FALSE(Driver::ClickAt(window, 70, POINT{5, 5})) << "a point outside the control";

  Driver::RunFor(5);
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{70, NOTIFY_CLICK, kA},
                                                             {70, NOTIFY_RCLICK, kWide},
                                                             {70, NOTIFY_CLICK, kB},
                                                             {70, NOTIFY_CLICK, -1},
                                                             {70, NOTIFY_RCLICK, -1},
                                                             {70, NOTIFY_CLICK, -1}}));

  // A taller control: the letterbox moves to the top and bottom, the keys follow.
  view->SetRect(RECT{0, 0, 100, 180});  // scale 2, picture from y 50 to 130
  EXPECT_EQ(At(kA).x, 20);
  EXPECT_EQ(At(kA).y, 70);
  EXPECT_EQ(view->KeyAt(POINT{20, 45}), -1);
  EXPECT_EQ(view->KeyAt(At(kWide)), kWide);
  // Without a size the items' extent is the picture (here the same 50 x 40).
  view->SetWidthAndHeight(0, 0);
  EXPECT_EQ(At(kA).y, 70);
  EXPECT_EQ(view->KeyPoint(99), std::nullopt);
}

TEST_F(KeyboardCtrlTest, TheLastAddedItemWinsWhereItemsOverlap) {
  view->AddKeyItem(L"Over", L"", 7, RECT{15, 15, 30, 30}, L"");
  EXPECT_EQ(view->KeyAt(At(7)), 7) << "over A, B and Space";
  EXPECT_EQ(view->KeyAt(At(kA)), kA) << "outside the overlap A still answers";
  // Picture point (16, 16): inside A and the last item.
  ASSERT_TRUE(Driver::ClickAt(window, 70, POINT{20 + 67 + 41, 30 + 41}));
  EXPECT_EQ(view->GetCurrentKey(), 7);
}

TEST_F(KeyboardCtrlTest, AHiddenOrDisabledViewTakesNoInput) {
  view->SetCurrentKey(kB);
  view->SetEnabled(false);
  EXPECT_FALSE(Driver::ClickAt(window, 70, At(kA)));
  view->SetEnabled(true);
  view->SetVisible(false);
  EXPECT_FALSE(Driver::RightClickAt(window, 70, At(kA)));
  Driver::RunFor(5);
  EXPECT_EQ(view->GetCurrentKey(), kB);
  EXPECT_TRUE(window.notifications.empty());
}

TEST_F(KeyboardCtrlTest, MarksByCodeReachEveryItemOfTheCodeAndUnknownCodesChangeNothing) {
  view->AddKeyItem(L"A2", L"", kA, RECT{45, 0, 50, 20}, L"");  // a second item of key A
  const std::vector<KeyItem> before = view->GetKeyItems();
  view->SetKeyCheck(99, true);
  view->SetTipKey(99, L"Key", L"x");
  view->SetKeyDesc(99, L"x");
  view->SetKeyDisabled(99, true);
  view->SetCurrentKey(99);
  EXPECT_EQ(view->GetKeyItems(), before);
  EXPECT_EQ(view->GetCurrentKey(), -1);

  view->SetKeyCheck(kA, true);
  view->SetTipKey(kA, L"Key", L"Ctrl+C");
  view->SetKeyDesc(kA, L"Copy");
  view->SetKeyDisabled(kB, true);
  view->SetTipKey(kB, L"Disabled", L"");
  std::vector<KeyItem> items = view->GetKeyItems();
  for (size_t i : {size_t{0}, size_t{3}}) {
    EXPECT_TRUE(items[i].checked) << i;
    EXPECT_EQ(items[i].tipText, L"Ctrl+C") << i;
    EXPECT_EQ(items[i].caption, L"Copy") << i;
  }
  EXPECT_TRUE(items[1].disabledMark);
  EXPECT_FALSE(items[2].checked || items[2].disabledMark || items[2].caption);
  EXPECT_EQ(view->TipAt(At(kA)), L"Key\nCtrl+C") << "the last item of A is hovered";
  EXPECT_EQ(view->TipAt(At(kB)), L"Disabled");
  EXPECT_EQ(view->TipAt(At(kWide)), L"");
  EXPECT_EQ(At(kA).x, 206) << "20 + 67.5 + 47.5 * 2.5: the point of a shared code is the last item's";

  // One bulk step: codes absent from the marks lose theirs.
  view->SetKeyMarks({{kWide, {true, L"Macro", L"m1", false}}, {kB, {false, L"", L"", true}}});
  items = view->GetKeyItems();
  EXPECT_FALSE(items[0].checked || items[3].checked);
  EXPECT_EQ(items[0].tipHeading + items[3].tipText, L"");
  EXPECT_EQ(items[0].caption, L"Copy") << "captions are not marks";
  EXPECT_TRUE(items[1].disabledMark && !items[1].checked && items[1].tipHeading.empty());
  EXPECT_TRUE(items[2].checked && !items[2].disabledMark);
  EXPECT_EQ(view->TipAt(At(kWide)), L"Macro\nm1");
  // The cursor resting on the key shows its tip.
  window.ShowWindow(SW_SHOW);
  Driver::RunFor(5);
  QWidget* widget = view->GetWidget();
  ASSERT_NE(widget, nullptr);
  const QPoint local(At(kWide).x - kViewRect.left, At(kWide).y - kViewRect.top);
  QHelpEvent rest(QEvent::ToolTip, local, widget->mapToGlobal(local));
  QCoreApplication::sendEvent(widget, &rest);
  EXPECT_EQ(QToolTip::text(), QString("Macro\nm1"));
  QToolTip::hideText();

  view->ResetAllItemCheck();
  view->ResetAllTips();
  for (const KeyItem& item : view->GetKeyItems()) EXPECT_TRUE(!item.checked && item.tipText.empty());
  view->SetCurrentKey(kB);
  view->ClearItem();
  EXPECT_EQ(view->GetCurrentKey(), -1) << "no key is current without keys";
}

TEST_F(KeyboardCtrlTest, AWorkerRefreshesTheMarksWhileTheUiThreadDraws) {
  std::map<int, KeyboardCtrl::KeyMark> all, none;
  for (int code : {kA, kB, kWide}) all[code] = {true, L"Key", L"text", true};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int round = 0; round < 400; ++round) {
      view->SetKeyMarks(round % 2 ? all : none);
      view->SetKeyCheck(kA, round % 3 == 0);
      view->SetTipKey(kB, L"Key", std::to_wstring(round));
      view->SetCurrentKey(round % 2 ? kWide : -1);
    }
    view->SetKeyMarks(all);
    done = true;
  });
  int draws = 0, torn = 0;
  while (!done || draws < 5) {
    Draw();
    ++draws;
    // Space and B only change through the bulk setter: both carry the same marks at any moment.
    const std::vector<KeyItem> items = view->GetKeyItems();
    if (items[2].checked != items[1].disabledMark) ++torn;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  worker.join();
  EXPECT_EQ(torn, 0);
  Driver::RunFor(5);
  for (const KeyItem& item : view->GetKeyItems()) EXPECT_TRUE(item.checked && item.disabledMark);
}

TEST_F(KeyboardCtrlTest, AWorkerSetsTheLightsWhileTheUiThreadDraws) {
  // Every colour the worker sets is a grey, so a key seen in any other colour was read torn.
  auto grey = [](int round) { return static_cast<std::uint32_t>(round % 250 + 1) * 0x010101u; };
  view->ResetAllItemsColor(grey(0));
  std::atomic<bool> done{false};
  constexpr int kRounds = 300;
  std::thread worker([&] {
    for (int round = 0; round < kRounds; ++round) {
      view->SetStaticModeColor(0xFF000000u | grey(round), false);
      view->SetKeyCheck(kB, round % 2 == 0);
      view->SetCustomModeColor(grey(round + 1));
      view->SetCustomModeColor(round % 2 ? kA : kWide, grey(round + 2));
      view->ResetAllItemsColor(grey(round + 3));
    }
    done = true;
  });
  int draws = 0, torn = 0;
  while (!done || draws < 5) {
    Draw();
    ++draws;
    const std::vector<KeyItem> items = view->GetKeyItems();
    if (items.size() != 3u) ++torn;
    for (const KeyItem& item : items)
      if (item.color % 0x010101u != 0 || item.color == 0 || item.state != 1) ++torn;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  worker.join();
  EXPECT_EQ(torn, 0);
  for (const KeyItem& item : view->GetKeyItems()) EXPECT_EQ(item.color, grey(kRounds - 1 + 3)) << item.code;
}

TEST_F(KeyboardCtrlTest, TheMarksAndThePictureAreDrawnThroughTheSameMapping) {
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  testing_support::TempDir dir;
  const std::string folder = wanted && *wanted ? std::string(wanted) + "/" : dir.path();

  // Without a picture: outlined keys with their names; A checked, B barred, Space current.
  view->AddKeyItem(L"Fn", L"", 8, RECT{45, 0, 50, 20}, L"");
  view->SetKeyCheck(kA, true);
  view->SetKeyDisabled(kB, true);
  view->SetKeyDesc(8, L"Fn2");
  view->SetCurrentKey(kWide);
  view->SetTipInfo(L"Pick a key");
  window.ShowWindow(SW_SHOW);
  Driver::RunFor(5);
  const std::string plain = folder + "keyboard-ctrl-plain.png";
  ASSERT_TRUE(window.RenderToPng(plain));
  QImage image(QString::fromStdString(plain));
  ASSERT_FALSE(image.isNull());
  const QColor background(0x20, 0x22, 0x25);
  const QColor checked = image.pixelColor(At(kA).x - 15, At(kA).y - 15);
  EXPECT_GT(checked.blue(), checked.red() + 40) << "a checked key is highlighted";
  EXPECT_EQ(image.pixelColor(kViewRect.left + 30, kViewRect.top + 30), background) << "letterbox";
  EXPECT_EQ(image.pixelColor(20 + 67 + 56, 55), background) << "between A and B";
  const QColor barred = image.pixelColor(At(kB).x, At(kB).y);
  EXPECT_GT(barred.red(), barred.blue() + 40) << "the cross over a barred key";
  const QColor current = image.pixelColor(At(kWide).x, kViewRect.top + 51);  // Space's top edge
  EXPECT_GT(current.red(), 0xC0) << "the current key's outline";

  // With a picture: it fills exactly the mapped area.
  QImage skin(50, 40, QImage::Format_RGB32);
  skin.fill(QColor(0x10, 0xA0, 0x10));
  const std::string skinFile = dir.path() + "v50.png";
  ASSERT_TRUE(skin.save(QString::fromStdString(skinFile)));
  view->SetKeyboardImage(std::wstring(skinFile.begin(), skinFile.end()));
  Driver::RunFor(5);
  const std::string pictured = folder + "keyboard-ctrl-picture.png";
  ASSERT_TRUE(window.RenderToPng(pictured));
  image.load(QString::fromStdString(pictured));
  EXPECT_EQ(image.pixelColor(20 + 67 + 56, 55), QColor(0x10, 0xA0, 0x10)) << "the picture between keys";
  EXPECT_EQ(image.pixelColor(20 + 66, 105), background) << "just left of the picture";
  EXPECT_EQ(image.pixelColor(20 + 71, 105), QColor(0x10, 0xA0, 0x10)) << "just inside the picture, in Space";
  const QColor onPicture = image.pixelColor(At(kA).x - 15, At(kA).y - 15);
  EXPECT_GT(onPicture.blue(), 0x60) << "the check shows on the picture";
}

// The lights of the lighting page: ARGB in for the static colour, 0x00BBGGRR everywhere else.
TEST_F(KeyboardCtrlTest, KeyLightsTakeTheirColourFormatsAndReachTheRightKeys) {
  auto colors = [this] {
    std::vector<std::uint32_t> out;
    for (const KeyItem& item : view->GetKeyItems()) {
      EXPECT_EQ(item.state, 1) << item.code;
      EXPECT_EQ(item.level, 255) << item.code;
      out.push_back(item.color);
    }
    return out;
  };
  view->SetStaticModeColor(0xFE123456, false);
  EXPECT_EQ(colors(), (std::vector<std::uint32_t>{0x563412, 0x563412, 0x563412}));
  // Colourful: the hue of each key's centre across the keyboard (A 10, B 35, Space 25 of 10..35):
  // A at 0 is (255, 0, 0), B at 255 (255, 0, 5), Space at 153 (0, 105, 255).
  view->SetStaticModeColor(0xFE123456, true);
  EXPECT_EQ(colors(), (std::vector<std::uint32_t>{0x0000FF, 0x0500FF, 0xFF6900}));

  view->SetKeyCheck(kB, true);
  view->SetCustomModeColor(0x00ABCDEFu);  // the checked keys only
  view->SetCustomModeColor(kWide, 0x7F010203u);
  view->SetCustomModeColor(99, 0x444444u);  // an unknown code changes nothing
  EXPECT_EQ(colors(), (std::vector<std::uint32_t>{0x0000FF, 0xABCDEF, 0x010203}));
  view->ResetAllItemsColor(0);
  EXPECT_EQ(colors(), (std::vector<std::uint32_t>{0, 0, 0}));
  EXPECT_TRUE(view->GetKeyItems()[1].checked) << "colours leave the checks alone";
}

TEST_F(KeyboardCtrlTest, InPerKeyModeAClickTogglesTheKeysCheckOtherwiseItOnlyPicks) {
  auto checks = [this] {
    std::vector<bool> out;
    for (const KeyItem& item : view->GetKeyItems()) out.push_back(item.checked);
    return out;
  };
  ASSERT_TRUE(Driver::ClickAt(window, 70, At(kA)));
  EXPECT_EQ(checks(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(view->GetCurrentKey(), kA);

  view->SetPerKeyMode(true);
  EXPECT_TRUE(view->GetPerKeyMode());
  ASSERT_TRUE(Driver::ClickAt(window, 70, At(kB)));
  EXPECT_EQ(checks(), (std::vector<bool>{false, true, false}));
  ASSERT_TRUE(Driver::RightClickAt(window, 70, At(kA)));
  EXPECT_EQ(checks(), (std::vector<bool>{false, true, false})) << "a right click checks nothing";
  ASSERT_TRUE(Driver::ClickAt(window, 70, At(kB)));
  EXPECT_EQ(checks(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(view->GetCurrentKey(), kB);
  Driver::RunFor(5);
  const std::vector<Notification> expected{{70, NOTIFY_CLICK, kA}, {70, NOTIFY_CLICK, kB},
                                           {70, NOTIFY_RCLICK, kA}, {70, NOTIFY_CLICK, kB}};
  EXPECT_EQ(window.notifications, expected) << "the clicks still report";
}

TEST_F(KeyboardCtrlTest, ALightModeDrawsEachKeysLightAtItsCentre) {
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  testing_support::TempDir dir;
  const std::string file = (wanted && *wanted ? std::string(wanted) + "/" : dir.path()) + "key_lights.png";
  view->ClearItem();  // keys without names: nothing is written over their centres
  view->AddKeyItem(L"", L"", kA, RECT{0, 0, 20, 20}, L"");
  view->AddKeyItem(L"", L"", kB, RECT{25, 0, 45, 20}, L"");
  view->AddKeyItem(L"", L"", kWide, RECT{0, 20, 50, 40}, L"");
  view->SetCustomModeColor(kA, 0x0000FF);  // red
  view->SetCustomModeColor(kB, 0xFF0000);  // blue
  view->SetItemLight(2, 0x00FF00, 7, 128);  // green at half its level
  const QPoint a(92, 25), b(155, 25), space(92, 75);  // the centres, control-relative
  view->SetKeyboardCtrlMode(20);
  ASSERT_TRUE(Draw().save(QString::fromStdString(file)));
  const QImage shown(QString::fromStdString(file));
  EXPECT_EQ(shown.pixelColor(a), QColor(255, 0, 0));
  EXPECT_EQ(shown.pixelColor(b), QColor(0, 0, 255));
  EXPECT_EQ(shown.pixelColor(space), QColor(0, 127, 0));
  view->SetKeyCheck(kA, true);
  EXPECT_EQ(Draw().pixelColor(a), QColor(255, 0, 0)) << "a checked key keeps showing its light";

  for (int dark : {0, 101}) {  // lights off, and the key assignment page's marks
    view->SetKeyboardCtrlMode(dark);
    const QImage image = Draw();
    EXPECT_EQ(image.pixelColor(b), QColor(0x2A, 0x2E, 0x34)) << dark;
  }
}

namespace {

class KeyFuncControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.CreatePopup());
    chooser =
        dynamic_cast<KeyFuncControl*>(window.CreateControl(L"KeyFuncControl", 71, RECT{10, 10, 290, 190}));
    ASSERT_NE(chooser, nullptr);
    KeyFuncGroup keys{L"Keys", {{1, 4, 0, 0, L"A"}, {1, 5, 0, 0, L"B"}, {1, 6, 0, 0, L"C"}}};
    KeyFuncGroup functions{L"Functions", {{2, 500, 0, 0, L"Browser"}, {2, 5, 0, 0, L"B too"}}};
    chooser->InitItemInfo({keys, functions});
  }

  Driver driver;
  RecordingDialog window;
  KeyFuncControl* chooser = nullptr;
};

}  // namespace

TEST_F(KeyFuncControlTest, ItemsAreCheckedByTheirDataAndReadBack) {
  EXPECT_EQ(chooser->GetItemCount(), 5);
  EXPECT_FALSE(chooser->GetCurItemData(nullptr, nullptr, nullptr, nullptr, nullptr));
  chooser->SetItemCheckByItemData(5, 0, 0);
  EXPECT_EQ(chooser->CheckedIndex(), 1) << "the first item with the data";
  int kind = 0, value = 0, value2 = -1, value3 = -1;
  std::wstring text;
  ASSERT_TRUE(chooser->GetCurItemData(&kind, &value, &value2, &value3, &text));
  EXPECT_EQ(std::make_tuple(kind, value, value2, value3, text),
            std::make_tuple(1, 5, 0, 0, std::wstring(L"B")));
  chooser->SetItemCheckByItemData(500, 0, 0);
  ASSERT_TRUE(chooser->GetCurItemData(&kind, nullptr, nullptr, nullptr, &text));
  EXPECT_EQ(kind, 2);
  EXPECT_EQ(text, L"Browser");
  chooser->SetItemCheckByItemData(500, 1, 0);
  EXPECT_EQ(chooser->CheckedIndex(), -1) << "other second value: no item, the check cleared";
  EXPECT_FALSE(chooser->GetCurItemData(&kind, nullptr, nullptr, nullptr, nullptr));

  chooser->SetItemDesc(5, L"Bee");
  EXPECT_EQ(chooser->Groups()[0].items[1].text, L"Bee");
  EXPECT_EQ(chooser->Groups()[1].items[1].text, L"Bee") << "every item of the value";
  chooser->SetItemDesc(777, L"none");
  EXPECT_EQ(chooser->GetItemCount(), 5);
  EXPECT_EQ(chooser->GetItemDesc(777), L"");
  chooser->SetGroupHeading(1, L"Special");
  chooser->SetGroupHeading(2, L"nothing");
  ASSERT_EQ(chooser->Groups().size(), 2u);
  EXPECT_EQ(chooser->Groups()[1].heading, L"Special");
  Driver::RunFor(5);
  EXPECT_TRUE(window.notifications.empty()) << "code never reports";
}

TEST_F(KeyFuncControlTest, APickChecksAndReportsEachTimeAClickHitsTheDrawnRows) {
  EXPECT_TRUE(Driver::Select(window, 71, 3));
  EXPECT_TRUE(Driver::Select(window, 71, 3));
  EXPECT_EQ(chooser->CheckedIndex(), 3);
  EXPECT_FALSE(Driver::Select(window, 71, 5));
  EXPECT_FALSE(Driver::Select(window, 71, -1));
  // 280 pixels make two columns of 134 below a heading of 28 (6 pixels of margin).
  EXPECT_TRUE(Driver::ClickAt(window, 71, POINT{10 + 6 + 134 + 20, 10 + 6 + 28 + 10}));
  EXPECT_EQ(chooser->CheckedIndex(), 1);
  EXPECT_TRUE(Driver::ClickAt(window, 71, POINT{10 + 20, 10 + 6 + 10}));
  EXPECT_EQ(chooser->CheckedIndex(), 1) << "a heading picks nothing";
  chooser->SetEnabled(false);
  EXPECT_FALSE(Driver::Select(window, 71, 0));
  Driver::RunFor(5);
  EXPECT_EQ(window.notifications,
            (std::vector<Notification>{{71, NOTIFY_CLICK, 3}, {71, NOTIFY_CLICK, 3}, {71, NOTIFY_CLICK, 1}}));
}

TEST_F(KeyFuncControlTest, RowsThatDoNotFitScrollAndACheckComesIntoView) {
  KeyFuncGroup many{L"Keys", {}};
  for (int usage = 4; usage < 64; ++usage) many.items.push_back({1, usage, 0, 0, std::to_wstring(usage)});
  chooser->InitItemInfo({many});
  chooser->SetRect(RECT{10, 10, 150, 90});  // one column, three rows shown
  EXPECT_EQ(chooser->ScrollOffset(), 0);
  chooser->SetItemCheckByItemData(63, 0, 0);
  EXPECT_GT(chooser->ScrollOffset(), 60 * 26 - 80);
  EXPECT_EQ(chooser->ItemIndexAt(POINT{20, 85}), 59) << "the last item is in view";
  chooser->ScrollBy(500);
  const int end = chooser->ScrollOffset();
  chooser->ScrollBy(1);
  EXPECT_EQ(chooser->ScrollOffset(), end) << "no scrolling past the end";
  EXPECT_EQ(chooser->ItemIndexAt(POINT{20, 85}), -1) << "the margin below the last row";

  window.ShowWindow(SW_SHOW);
  Driver::RunFor(5);
  QWidget* widget = chooser->GetWidget();
  ASSERT_NE(widget, nullptr);
  QWheelEvent up(QPointF(20, 20), widget->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, 120),
                 Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(widget, &up);
  EXPECT_EQ(chooser->ScrollOffset(), end - 52) << "a notch of the wheel";
  chooser->ScrollBy(-100000);
  EXPECT_EQ(chooser->ScrollOffset(), 0);
  EXPECT_EQ(chooser->ItemIndexAt(POINT{20, 10 + 6 + 28 + 5}), 0);

  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  if (wanted && *wanted) {
    chooser->SetRect(RECT{10, 10, 290, 190});
    chooser->SetItemCheckByItemData(9, 0, 0);
    Driver::RunFor(5);
    EXPECT_TRUE(window.RenderToPng(std::string(wanted) + "/key-func-control.png"));
  }
}
