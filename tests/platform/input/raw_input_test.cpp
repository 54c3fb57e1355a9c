// Raw input records as message parameters, the fixed key names, and the fake service's
// subscriptions.
#include <gtest/gtest.h>

#include "platform/input/key_names.h"
#include "platform/input/raw_input.h"

namespace {

using namespace platform::input;

TEST(RawInputTest, RecordsPackIntoANonZeroParameterAndBack) {
  const RawInputRecord records[] = {
      {kKindMouse, kLeftDown, 0, 0},
      {kKindMouse, kButton5Up | kRightDown, 0, 0},
      {kKindKeyboard, 0, 255, kKeyUpMessage},
      {kKindKeyboard, 0, 1, kSysKeyDownMessage},
      {kKindKeyboard, 0, 65, kSysKeyUpMessage},
  };
  for (const RawInputRecord& r : records) {
    const std::intptr_t packed = PackRecord(r);
    ASSERT_NE(packed, 0);
    RawInputRecord back;
    ASSERT_TRUE(UnpackRecord(packed, &back));
    EXPECT_EQ(back.kind, r.kind);
    EXPECT_EQ(back.buttonFlags, r.buttonFlags);
    EXPECT_EQ(back.virtualKey, r.virtualKey);
    EXPECT_EQ(back.keyMessage, r.keyMessage);
  }
  RawInputRecord out;
  EXPECT_FALSE(UnpackRecord(0, &out));
  EXPECT_FALSE(UnpackRecord(-5, &out));
  EXPECT_FALSE(UnpackRecord(0xF0, &out)) << "no kind";
  EXPECT_FALSE(UnpackRecord(0x92, &out)) << "no such key message";
}

TEST(RawInputTest, KeyNamesAreFixedAndEnglish) {
  struct Case {
    int key;
    const wchar_t* name;
  };
  for (const Case& c : {Case{'A', L"A"}, Case{'Z', L"Z"}, Case{'0', L"0"}, Case{112, L"F1"}, Case{135, L"F24"},
                        Case{8, L"Backspace"}, Case{13, L"Enter"}, Case{27, L"Esc"}, Case{32, L"Space"},
                        Case{34, L"Page Down"}, Case{46, L"Delete"}, Case{96, L"Num 0"}, Case{105, L"Num 9"},
                        Case{110, L"Num Del"}, Case{186, L";"}, Case{192, L"`"}, Case{222, L"'"}, Case{226, L"\\"},
                        Case{7, L""}, Case{136, L""}, Case{0, L""}, Case{300, L""}})
    EXPECT_EQ(KeyName(c.key), c.name) << c.key;
}

TEST(RawInputTest, TheFakeDeliversToLiveSubscriptionsOnly) {
  FakeRawInputService service;
  int first = 0;
  int second = 0;
  auto a = service.Subscribe([&](const RawInputRecord&) { ++first; });
  {
    auto b = service.Subscribe([&](const RawInputRecord&) { ++second; });
    service.Inject({kKindKeyboard, 0, 65, kKeyDownMessage});
    EXPECT_EQ(service.Subscribers(), 2);
  }
  service.Inject({kKindKeyboard, 0, 65, kKeyUpMessage});
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 1) << "nothing after the subscription ended";
  service.failSubscribe = true;
  EXPECT_EQ(service.Subscribe([](const RawInputRecord&) {}), nullptr);
  SetRawInputOverride(&service);
  EXPECT_EQ(&UserRawInput(), &service);
  SetRawInputOverride(nullptr);
  EXPECT_EQ(UserRawInput().Subscribe([](const RawInputRecord&) {}), nullptr)
      << "without an X11 back end raw input fails clearly";
}

}  // namespace
