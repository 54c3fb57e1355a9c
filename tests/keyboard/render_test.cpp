// Each page of the keyboard window rendered as the user sees it, headless. The pictures go to a
// temporary folder, or to $KELVANE_RENDER_DIR when it is set (to look at them).
#include <QImage>

#include "frame_support.h"

namespace kb_test {
namespace {

TEST_F(FrameTest, EveryPageRendersToAPicture) {
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  const std::string folder = wanted && *wanted ? std::string(wanted) + "/" : app_.path();
  KeyboardDlg& dlg = OpenIdleWindow();
  main_.ShowWindow(SW_SHOW);
  auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
  for (int position = 0; position < tabs->GetItemCount(); ++position) {
    ASSERT_TRUE(zuvi_testing::Driver::Select(dlg, kb_ids::kTabs, position));
    zuvi_testing::Driver::RunFor(5);
    const std::string file = folder + "keyboard-tab" + std::to_string(tabs->GetItemID(position)) + ".png";
    ASSERT_TRUE(dlg.RenderToPng(file)) << file;
    QImage picture(QString::fromStdString(file));
    EXPECT_EQ(picture.width(), 1200);
    EXPECT_EQ(picture.height(), 720);
  }
}

}  // namespace
}  // namespace kb_test
