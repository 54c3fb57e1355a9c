// The prompt box: texts per language, button modes and results.
#include <gtest/gtest.h>

#include "common/lang_text.h"
#include "shell/ui_message_box.h"
#include "tests/support/temp_dir.h"
#include "zuvi/buttons.h"
#include "zuvi/manager.h"
#include "zuvi/static_controls.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

namespace {

struct Seen {
  std::vector<std::wstring> buttons;
  int vAlignment = -1;
  bool topmost = false;
  bool ownerEnabled = true;
};

class MessageBoxTest : public ::testing::Test {
 protected:
  void TearDown() override { g_languageId = 1033; }

  // Runs a prompt whose answer is a click on `answerId`, noting what the box showed.
  int Prompt(int buttons, int answerId, const std::wstring& message = L"Saved.", HWND parent = nullptr) {
    driver.AnswerNextModal([this, answerId](MDialog& box) {
      for (int id : {CUIMessageBox::IdOkOrYes, CUIMessageBox::IdNo})
        if (auto* button = box.GetControlAs<MButton>(id)) seen.buttons.push_back(button->GetTitle());
      seen.vAlignment = box.GetControlAs<MText>(CUIMessageBox::IdMessage)->GetVAlignment();
      seen.topmost = box.IsTopmost();
      if (owner.GetSafeHwnd()) seen.ownerEnabled = owner.IsWindowEnabled();
      Driver::Click(box, answerId);
    });
    return ShowPromptBox(parent, message, L"Title", buttons);
  }

  Driver driver;
  MDialog owner;
  Seen seen;
};

}  // namespace

TEST_F(MessageBoxTest, OkModeShowsOneButtonInTheCurrentLanguage) {
  EXPECT_EQ(Prompt(0, CUIMessageBox::IdOkOrYes), 1);
  EXPECT_EQ(seen.buttons, (std::vector<std::wstring>{L"OK"}));
  EXPECT_TRUE(seen.topmost);

  seen = {};
  g_languageId = 2052;
  EXPECT_EQ(Prompt(0, CUIMessageBox::IdOkOrYes), 1);
  EXPECT_EQ(seen.buttons, (std::vector<std::wstring>{L"\u786E\u5B9A"}));
}

TEST_F(MessageBoxTest, YesNoModeAnswersOkForYesAndCancelForNo) {
  EXPECT_EQ(Prompt(4, CUIMessageBox::IdNo), 2);
  EXPECT_EQ(seen.buttons, (std::vector<std::wstring>{L"YES", L"NO"}));
  EXPECT_EQ(Prompt(4, CUIMessageBox::IdOkOrYes), 1);

  seen = {};
  g_languageId = 2052;
  EXPECT_EQ(Prompt(4, CUIMessageBox::IdNo), 2);
  EXPECT_EQ(seen.buttons, (std::vector<std::wstring>{L"\u662F", L"\u5426"}));
}

TEST_F(MessageBoxTest, AnUnknownModeStillOffersAWayOut) {
  EXPECT_EQ(Prompt(7, CUIMessageBox::IdOkOrYes), 1);
  EXPECT_EQ(seen.buttons, (std::vector<std::wstring>{L"OK"}));
}

TEST_F(MessageBoxTest, ALongMessageWrapsAndAShortOneKeepsOneLine) {
  Prompt(0, CUIMessageBox::IdOkOrYes, L"0123456789012345678");  // 19 characters
  EXPECT_EQ(seen.vAlignment, 0);
  Prompt(0, CUIMessageBox::IdOkOrYes, L"01234567890123456789");  // 20
  EXPECT_EQ(seen.vAlignment, 4);
}

TEST_F(MessageBoxTest, TheParentIsDisabledWhileThePromptRunsAndAStaleParentIsIgnored) {
  ASSERT_TRUE(owner.Create(nullptr, L"Owner", WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100}));
  EXPECT_EQ(Prompt(0, CUIMessageBox::IdOkOrYes, L"x", owner.GetSafeHwnd()), 1);
  EXPECT_FALSE(seen.ownerEnabled);
  EXPECT_TRUE(owner.IsWindowEnabled());

  HWND stale = owner.GetSafeHwnd();
  owner.DestroyWindow();
  EXPECT_EQ(Prompt(0, CUIMessageBox::IdOkOrYes, L"x", stale), 1);
}

TEST_F(MessageBoxTest, ThePromptLooksRightWhenRendered) {
  testing_support::TempDir dir;
  std::string file = dir.path() + "prompt.png";
  bool rendered = false;
  driver.AnswerNextModal([&](MDialog& box) {
    rendered = box.RenderToPng(file);
    box.DoOK();
  });
  ShowPromptBox(nullptr, L"Restore every default setting of this keyboard?", L"Restore defaults", 4);
  EXPECT_TRUE(rendered);
  // For a look by eye: KELVANE_PICTURE_DIR=<folder> keeps the picture.
  if (const char* keep = std::getenv("KELVANE_PICTURE_DIR"))
    std::filesystem::copy_file(file, std::string(keep) + "/prompt.png",
                               std::filesystem::copy_options::overwrite_existing);
}
