// The screen page's colour pickers: colours set from code come back exactly and are not reported;
// the user's picks are reported once each, with the colour under the pointer.
#include "zuvi/lcd_palettes.h"

#include <gtest/gtest.h>

#include "tests/zuvi/recording_dialog.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

namespace {

constexpr int kBar = 352, kField = 351;
constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

class LcdPalettesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.Create(nullptr, L"Test", WS_POPUP | WS_VISIBLE, RECT{10, 10, 400, 320}));
    // 360 pixels wide: the hue is x - 10.
    bar = dynamic_cast<LCDPalette2*>(window.CreateControl(L"LCDPalette2", kBar, RECT{10, 10, 370, 30}));
    // 256 x 256: saturation x - 10, brightness 255 - (y - 40).
    field = dynamic_cast<LCDPalette3*>(window.CreateControl(L"LCDPalette3", kField, RECT{10, 40, 266, 296}));
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(field, nullptr);
  }

  Driver driver;
  RecordingDialog window;
  LCDPalette2* bar = nullptr;
  LCDPalette3* field = nullptr;
};

}  // namespace

TEST_F(LcdPalettesTest, ColoursSetFromCodeComeBackExactlyAndAreNotReported) {
  for (std::uint32_t colour : {0u, 0x123456u, kWhite, 0x7F7F7Fu, 0x0102FEu}) {
    bar->SetSelectColor(colour);
    field->SetSelectColor(colour);
    EXPECT_EQ(bar->GetSelectColor(), colour);
    EXPECT_EQ(field->GetSelectColor(), colour);
  }
  field->SetSelectColor(kBlue);
  EXPECT_EQ(field->GetHue(), 240);
  field->SetSelectColor(0x808080);
  EXPECT_EQ(field->GetHue(), 240) << "a grey has no hue of its own";
  Driver::RunFor(5);
  EXPECT_TRUE(window.notifications.empty());
}

TEST_F(LcdPalettesTest, APickTakesTheColourUnderThePointerAndIsReportedOnce) {
  ASSERT_TRUE(Driver::ClickAt(window, kBar, POINT{130, 20}));  // hue 120
  EXPECT_EQ(bar->GetSelectColor(), kGreen);
  ASSERT_TRUE(Driver::ClickAt(window, kBar, POINT{250, 20}));  // hue 240
  EXPECT_EQ(bar->GetSelectColor(), kBlue);

  // The field shows the hue set into it: its corners are white, black and the pure hue.
  field->SetSelectColor(kGreen);
  ASSERT_TRUE(Driver::ClickAt(window, kField, POINT{265, 40}));
  EXPECT_EQ(field->GetSelectColor(), kGreen);
  ASSERT_TRUE(Driver::ClickAt(window, kField, POINT{10, 40}));
  EXPECT_EQ(field->GetSelectColor(), kWhite);
  ASSERT_TRUE(Driver::ClickAt(window, kField, POINT{10, 295}));
  EXPECT_EQ(field->GetSelectColor(), 0u);
  EXPECT_EQ(field->GetHue(), 120) << "a pick keeps the field's hue";
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{kBar, 27, kGreen},
                                                             {kBar, 27, kBlue},
                                                             {kField, 27, kGreen},
                                                             {kField, 27, kWhite},
                                                             {kField, 27, 0}}));

  // A drag follows the pointer and reports once, at the release; past the end it takes the end.
  window.notifications.clear();
  ASSERT_TRUE(Driver::Drag(window, kBar, {POINT{10, 20}, POINT{130, 20}, POINT{200, 25}, POINT{500, 90}}));
  std::uint32_t end = 0;
  ASSERT_TRUE(bar->ColorAt(POINT{369, 20}, &end));
  EXPECT_EQ(bar->GetSelectColor(), end);
  EXPECT_EQ(end & 0xFF, 0xFFu) << "the bar ends in red";
  EXPECT_EQ(window.notifications, (std::vector<Notification>{{kBar, 27, static_cast<LPARAM>(end)}}));
}

TEST_F(LcdPalettesTest, ADisabledPaletteTakesNoPick) {
  bar->SetSelectColor(kRed);
  bar->SetEnabled(false);
  EXPECT_FALSE(Driver::ClickAt(window, kBar, POINT{130, 20}));
  EXPECT_FALSE(Driver::Drag(window, kBar, {POINT{130, 20}, POINT{250, 20}}));
  EXPECT_EQ(bar->GetSelectColor(), kRed);
  EXPECT_TRUE(window.notifications.empty());
}
