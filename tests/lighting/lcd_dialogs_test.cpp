// The screen page's small windows: the delay question and the two wait windows, which only the
// worker ends, from any thread and at any moment of their life.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <thread>

#include "keyboard/UpdateTipDlg.h"
#include "lighting/LcdDialogs.h"
#include "tests/support/temp_dir.h"
#include "zuvi/buttons.h"
#include "zuvi/edit.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"
#include "zuvi/testing/driver.h"

namespace {

using zuvi_testing::Driver;

class LcdDialogsTest : public ::testing::Test {
 protected:
  // Runs a delay dialog preset to `preset`, answered by `answer`; its result.
  int RunDelay(LCDDelayEditDlg& dialog, const std::wstring& preset, std::function<void(MDialog&)> answer) {
    dialog.m_title = L"Delay";
    dialog.m_frameDelay = preset;
    EXPECT_TRUE(
        dialog.Create(nullptr, L"LCDDelayEditDlg", LCDDelayEditDlg::kStyle, 0, LCDDelayEditDlg::kRect));
    driver_.AnswerNextModal(std::move(answer));
    dialog.CenterWindow();
    return dialog.ShowModal(SW_SHOW);
  }
  static std::wstring Text(MDialog& dialog, int id) {
    auto* control = dialog.GetControlAs<MControlFont>(id);
    return control ? control->GetTitle() : L"<none>";
  }

  Driver driver_{3000};
};

TEST_F(LcdDialogsTest, TheDelayDialogAppliesOneOrAllFramesAndCancelChangesNothing) {
  {
    LCDDelayEditDlg dialog;
    const int result = RunDelay(dialog, L"120", [](MDialog& d) {
      EXPECT_TRUE(d.GetControl(LCDDelayEditDlg::IdFrameDelay)->IsEnabled());
      EXPECT_FALSE(d.GetControl(LCDDelayEditDlg::IdAllDelay)->IsEnabled()) << "all frames: off at start";
      EXPECT_TRUE(Driver::Type(d, LCDDelayEditDlg::IdFrameDelay, L"45x678"));
      EXPECT_TRUE(Driver::Click(d, LCDDelayEditDlg::IdApply));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_frameDelay, L"456") << "digits only, three of them";
    EXPECT_FALSE(dialog.m_allFrames);
    EXPECT_EQ(dialog.m_allDelay, L"50");
  }
  {
    // All frames without typing: the preset 50; a longer preset is shown whole.
    LCDDelayEditDlg dialog;
    const int result = RunDelay(dialog, L"12345", [](MDialog& d) {
      EXPECT_EQ(Text(d, LCDDelayEditDlg::IdFrameDelay), L"12345");
      EXPECT_TRUE(Driver::Click(d, LCDDelayEditDlg::IdAllFrames));
      EXPECT_FALSE(d.GetControl(LCDDelayEditDlg::IdFrameDelay)->IsEnabled());
      EXPECT_TRUE(d.GetControl(LCDDelayEditDlg::IdAllDelay)->IsEnabled());
      EXPECT_TRUE(Driver::Click(d, LCDDelayEditDlg::IdApply));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(dialog.m_allFrames);
    EXPECT_EQ(dialog.m_allDelay, L"50");
    EXPECT_EQ(dialog.m_frameDelay, L"12345");
  }
  {
    LCDDelayEditDlg dialog;
    const int result = RunDelay(dialog, L"80", [](MDialog& d) {
      EXPECT_TRUE(Driver::Type(d, LCDDelayEditDlg::IdFrameDelay, L"300"));
      EXPECT_TRUE(Driver::Click(d, LCDDelayEditDlg::IdClose));
    });
    EXPECT_NE(result, IDOK);
    EXPECT_EQ(dialog.m_frameDelay, L"80") << "a cancelled dialog hands back nothing";
    EXPECT_FALSE(dialog.m_allFrames);
  }
}

TEST_F(LcdDialogsTest, WaitWindowsEndedFromAnotherThreadBeforeCreateBeforeTheLoopAndInIt) {
  {
    auto wait = std::make_shared<LEDWaitDlg>();
    std::thread([wait] { wait->DoOK(); }).join();  // before Create
    EXPECT_EQ(wait->ShowWait(nullptr), IDOK);
  }
  {
    auto wait = std::make_shared<LEDWaitDlg>();
    ASSERT_TRUE(wait->Create(nullptr, L"LEDWaitDlg", 0x96000000u, WS_EX_TOOLWINDOW, LEDWaitDlg::kRect));
    std::thread([wait] { wait->DoOK(); }).join();  // created, loop not yet running
    EXPECT_EQ(wait->ShowWait(nullptr), IDOK);
  }
  {
    auto wait = std::make_shared<LEDWaitDlg>();
    std::thread ender;
    driver_.AnswerNextModal([&](MDialog& d) {
      EXPECT_EQ(&d, wait.get());
      EXPECT_TRUE(d.IsTopmost());
      EXPECT_EQ(d.GetParent(), nullptr) << "no owner: no window is disabled";
      auto* picture = d.GetControlAs<CGifPicture>(LEDWaitDlg::IdPicture);
      ASSERT_NE(picture, nullptr);
      EXPECT_TRUE(picture->GetRunState());
      ender = std::thread([wait] { wait->DoOK(); });
    });
    EXPECT_EQ(wait->ShowWait(nullptr), IDOK);
    ender.join();
  }
}

TEST_F(LcdDialogsTest, TheProgressWindowStartsAtOnePercentAndTakesTheDownloadsReports) {
  auto progress = std::make_shared<LEDWaitDlg2>();
  std::thread reporter;
  driver_.AnswerNextModal([&](MDialog& d) {
    EXPECT_EQ(Text(d, LEDWaitDlg2::IdLoading), L"Loading: 1%");
    EXPECT_TRUE(d.IsTopmost());
    reporter = std::thread([progress] {
      progress->SetProgress(40, L"Loading: 40%");
      progress->DoOK();
    });
  });
  EXPECT_EQ(progress->ShowProgress(nullptr), IDOK);
  reporter.join();
  EXPECT_EQ(Text(*progress, LEDWaitDlg2::IdLoading), L"Loading: 40%");
  EXPECT_EQ(progress->GetControlAs<MProgress>(LEDWaitDlg2::IdProgress)->GetProgress(), 40);
}

// Pixels of `area` clearly apart from `back` (drawn content on the window's face).
int Drawn(const QImage& picture, const QRect& area, QColor back) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      count += std::abs(picture.pixelColor(x, y).lightness() - back.lightness()) > 60;
  return count;
}

QImage Picture(MDialog& dialog, const std::string& file) {
  EXPECT_TRUE(dialog.RenderToPng(file));
  return QImage(QString::fromStdString(file));
}

TEST_F(LcdDialogsTest, TheWaitWindowRunsItsSpinnerAndTheProgressWindowShowsItsWholeTexts) {
  testing_support::TempDir out;
  // The shipped loading.gif, and the spinner drawn when no picture can be read.
  for (const wchar_t* image : {L"loading.gif", L"missing.gif"}) {
    LEDWaitDlg wait;
    ASSERT_TRUE(wait.Create(nullptr, L"LEDWaitDlg", 0x96000000u, WS_EX_TOOLWINDOW, LEDWaitDlg::kRect));
    auto* picture = wait.GetControlAs<CGifPicture>(LEDWaitDlg::IdPicture);
    picture->SetImage(image);
    const QImage first = Picture(wait, out.path() + "wait.png");
    const QColor back = first.pixelColor(2, 2);
    EXPECT_GT(Drawn(first, QRect(1, 1, 100, 100), back), 200) << "not a bare square";
    const int frame = picture->GetFrameIndex();
    ASSERT_TRUE(Driver::RunUntil([&] { return picture->GetFrameIndex() != frame; }));
    EXPECT_NE(Picture(wait, out.path() + "wait.png"), first) << "it moves";
    wait.DestroyWindow();
  }

  LEDWaitDlg2 progress;
  ASSERT_TRUE(progress.Create(nullptr, L"LEDWaitDlg2", 0x96000000u, WS_EX_TOOLWINDOW, LEDWaitDlg2::kRect));
  progress.SetProgress(42, L"Loading: 42%");
  const QImage shown = Picture(progress, out.path() + "progress.png");
  const QColor back = shown.pixelColor(2, 2);
  const RECT headline = progress.GetControl(LEDWaitDlg2::IdHeadline)->GetRect();
  const RECT loading = progress.GetControl(LEDWaitDlg2::IdLoading)->GetRect();
  EXPECT_GT(Drawn(shown, QRect(loading.left, loading.top, loading.Width(), loading.Height()), back), 30)
      << "Loading: 42%";
  // Nothing of the headline reaches its rectangle's right end, where a cut line would stop.
  EXPECT_GT(Drawn(shown, QRect(headline.left, headline.top, headline.Width() - 3, headline.Height()), back),
            30);
  EXPECT_EQ(Drawn(shown, QRect(headline.right - 3, headline.top, 3, headline.Height()), back), 0);
}

TEST_F(LcdDialogsTest, CloseButtonsWithoutTheirSkinPictureShowAGlyph) {
  testing_support::TempDir out;
  LCDDelayEditDlg delay;
  ASSERT_TRUE(delay.Create(nullptr, L"LCDDelayEditDlg", LCDDelayEditDlg::kStyle, 0, LCDDelayEditDlg::kRect));
  UpdateTipDlg tip;
  ASSERT_TRUE(tip.Create(nullptr, L"UpdateTipDlg", WS_POPUP | WS_VISIBLE, 0, UpdateTipDlg::kRect));
  const std::pair<MDialog*, int> buttons[] = {{&delay, LCDDelayEditDlg::IdClose},
                                              {&tip, UpdateTipDlg::IdClose}};
  for (auto [dialog, id] : buttons) {
    const RECT close = dialog->GetControl(id)->GetRect();
    const QImage shown = Picture(*dialog, out.path() + "close.png");
    // Inside the button's border: its face and, on it, the glyph.
    const QRect inner(close.left + 3, close.top + 3, close.Width() - 6, close.Height() - 6);
    EXPECT_GT(Drawn(shown, inner, shown.pixelColor(inner.topLeft())), 8) << dialog->GetWindowText();
    dialog->DestroyWindow();
  }
}

}  // namespace
