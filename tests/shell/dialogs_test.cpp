// The common dialogs as the windows reach them: answers given by the test driver, in order, and a
// dialog nobody answered counts as cancelled and is reported.
#include <gtest/gtest.h>

#include "platform/qt/dialogs.h"
#include "zuvi/testing/driver.h"

using zuvi_testing::Driver;

TEST(DialogsTest, FileDialogsTakeTheQueuedAnswersInOrder) {
  Driver driver;
  driver.AnswerNextFileDialog({L"/tmp/a.gif", L"/tmp/b.gif"});
  driver.AnswerNextFileDialog({L"/tmp/out.xml"});
  driver.AnswerNextFileDialog({L"/tmp/frames"});
  platform::Dialogs& dialogs = platform::UserDialogs();
  EXPECT_EQ(dialogs.OpenFiles(L"Import", L"GIF (*.gif)", false), (std::vector<std::wstring>{L"/tmp/a.gif"}))
      << "one file when only one may be chosen";
  EXPECT_EQ(dialogs.SaveFile(L"Export", L"XML (*.xml)", L"macro.xml"), L"/tmp/out.xml");
  EXPECT_EQ(dialogs.ChooseFolder(L"Folder"), L"/tmp/frames/");
  EXPECT_EQ(dialogs.OpenFiles(L"Again", L"", true), std::vector<std::wstring>{});
  EXPECT_EQ(driver.Dialogs().unanswered, (std::vector<std::wstring>{L"Again"}));
  EXPECT_EQ(dialogs.MessageBox(L"Enter a macro name.", L"Macro"), 1);
  EXPECT_EQ(driver.Dialogs().asked.back(), L"Enter a macro name.");
}
