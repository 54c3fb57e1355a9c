// Each page of the keyboard window rendered as the user sees it, headless. The pictures go to a
// temporary folder, or to $KELVANE_RENDER_DIR when it is set (to look at them).
#include <QImage>

#include "frame_support.h"
#include "zuvi/keyboard_ctrl.h"

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

// The key assignment page in the Fn layer with assigned keys, a barred key and a picked key.
TEST_F(FrameTest, TheKeyAssignmentPageRendersItsAssignments) {
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  const std::string file = (wanted && *wanted ? std::string(wanted) + "/" : app_.path()) + "keyboard-keys-fn.png";
  KeyboardDlg& dlg = OpenIdleWindow();
  main_.ShowWindow(SW_SHOW);
  for (int key : {0x29, 0x04, 0x16}) {
    KeyDataRow row;
    row.profile = dlg.m_keyProfileId.load();
    row.keyvalue = key;
    row.fnlayer = 1;
    row.macrotype = 6;
    row.macrovalue = 1;
    row.macrodesc = L"Play";
    dlg.m_configDB.SetKeyData(row);
  }
  ASSERT_TRUE(zuvi_testing::Driver::Click(dlg, 73));
  dlg.GetKeyView(kb_ids::kKeyAssignView)->SetCurrentKey(0x2C);
  zuvi_testing::Driver::RunFor(5);
  ASSERT_TRUE(dlg.RenderToPng(file)) << file;
  const QImage picture(QString::fromStdString(file));
  KeyboardCtrl* view = dlg.GetKeyView(kb_ids::kKeyAssignView);
  auto colour = [&](int code) {
    const POINT at = *view->KeyPoint(code);
    return picture.pixel(at.x - 6, at.y - 6);
  };
  EXPECT_EQ(colour(0x29), colour(0x04)) << "assigned keys look alike";
  EXPECT_NE(colour(0x29), colour(0x05)) << "an assigned key stands out";
}

}  // namespace
}  // namespace kb_test
