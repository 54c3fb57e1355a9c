// The colour formats the lighting pages convert between, with values written out by hand.
#include <gtest/gtest.h>

#include "lighting/LightColor.h"

namespace {

using namespace light_color;

TEST(LightColor, TheFormatsAgreeOnWhichByteIsRed) {
  EXPECT_EQ(Pack({0x12, 0x34, 0x56}), 0x00563412u);
  EXPECT_EQ(Unpack(0xAB563412u), (Rgb{0x12, 0x34, 0x56})) << "the top byte is no channel";
  EXPECT_EQ(Pack({0x1FF, -1, 256}), 0x0000FFFFu) << "channels keep their low 8 bits";
  EXPECT_EQ(FromArgb(0xFF123456u), 0x00563412u);
  EXPECT_EQ(ToPaletteArgb(0x00563412u), 0xFF123456u);
  EXPECT_EQ(ToStaticModeArgb(0x00563412u), 0xFE123456u);
  EXPECT_EQ(FromArgb(ToPaletteArgb(0x0000FFu)), 0x0000FFu);
}

TEST(LightColor, TypedChannelsReadAsNumbersAndClamp) {
  EXPECT_EQ(EditChannel(L"128"), 128);
  EXPECT_EQ(EditChannel(L"300"), 255);
  EXPECT_EQ(EditChannel(L"-5"), 0);
  EXPECT_EQ(EditChannel(L"12abc"), 12);
  EXPECT_EQ(EditChannel(L""), 0);
  EXPECT_FALSE(EditOutOfRange(L"255"));
  EXPECT_FALSE(EditOutOfRange(L"x"));
  EXPECT_TRUE(EditOutOfRange(L"256"));
  EXPECT_TRUE(EditOutOfRange(L"-1"));
}

}  // namespace
