// The screen page's test world: the keyboard window's fixture with GIFs made by giflib's own
// encoder, frame pictures drawn with Qt, slots put into the store directly and prompts answered
// and recorded.
#pragma once

#include <QColor>
#include <QImage>

#include "common/strings.h"
#include "gif_maker.h"
#include "keyboard/KeyboardText.h"
#include "keyboard_fixture.h"
#include "lighting/LcdLogic.h"
#include "shell/ui_message_box.h"
#include "zuvi/image_view.h"
#include "zuvi/image_view_list.h"
#include "zuvi/lcd_view_list.h"

namespace kb_test {

class LcdFixture : public KeyboardTest {
 protected:
  struct Prompt {
    std::wstring title;
    std::wstring message;
  };

  // A GIF of `count` frames of 240 x 135, frame i filled with colour index i % 4; `delays` in
  // hundredths of a second (the last one repeated).
  static std::string GifBytes(int count, std::vector<int> delays = {10}, int width = 240, int height = 135) {
    gif_maker::Gif gif;
    gif.width = width;
    gif.height = height;
    gif.globalMap = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int i = 0; i < count; ++i) {
      gif_maker::Image image = gif_maker::Filled(0, 0, width, height, static_cast<uint8_t>(i % 4));
      image.delay = delays[std::min(static_cast<size_t>(i), delays.size() - 1)];
      gif.images.push_back(image);
    }
    return gif_maker::Encode(gif);
  }
  // The default animation beside the program.
  void WriteDefaultGif(int count, std::vector<int> delays = {10}) {
    app_.Write("led/0.gif", GifBytes(count, std::move(delays)));
  }
  std::string LedFolder() const { return UserFolder() + "led/"; }
  static void WritePicture(const std::string& path, QColor color, const char* format = "PNG") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    QImage image(LCD_WIDTH, LCD_HEIGHT, QImage::Format_RGB32);
    image.fill(color);
    ASSERT_TRUE(image.save(QString::fromStdString(path), format));
  }
  // A slot of `frames` frames "0.png"... in folder `name`, straight into the store; delays 100.
  int MakeSlot(KeyboardDlg& dlg, const std::wstring& name, int frames) {
    const int id = dlg.m_configDB.NewLedLayer(1, name);
    std::vector<int> delays(static_cast<size_t>(frames), 100);
    EXPECT_TRUE(dlg.m_configDB.ReplaceLedFrames(id, lcd_logic::NumberedFrameRows(id, frames, delays)));
    for (int i = 0; i < frames; ++i)
      WritePicture(LedFolder() + WideToUtf8(name) + "/" + std::to_string(i) + ".png", QColor(10 * i, 0, 0));
    dlg.m_configDB.SetLedLayerFirstFile(id, frames ? L"0.png" : L"");
    dlg.m_configDB.SetLedLayerFrameSize(id, frames);
    return id;
  }
  // The screen tab is chosen (its controls take input).
  static void ShowScreenTab(KeyboardDlg& dlg) {
    constexpr int kScreenTabPosition = 3;
    ASSERT_TRUE(zuvi_testing::Driver::Select(dlg, kb_ids::kTabs, kScreenTabPosition));
    ASSERT_EQ(dlg.m_curTab.load(), TabScreen);
  }
  // Task 1 lists the slots again.
  void Reload(KeyboardDlg& dlg) {
    dlg.PostTask(TaskReloadAll);
    Drain(dlg);
  }
  // The next prompt box is answered with button `button` (33 OK or yes, 34 no) and recorded.
  void AnswerPrompt(int button) {
    driver_.AnswerNextModal([this, button](MDialog& window) {
      auto* box = dynamic_cast<CUIMessageBox*>(&window);
      ASSERT_NE(box, nullptr) << "a prompt box was expected";
      prompts_.push_back({box->m_title, box->m_message});
      EXPECT_TRUE(zuvi_testing::Driver::Click(window, button));
    });
  }
  // The next modal window (a wait window) runs the window's worker passes by hand.
  void RunTasksInNextModal(KeyboardDlg& dlg) {
    driver_.AnswerNextModal([this, &dlg](MDialog& window) {
      waitWindows_.push_back(window.GetWindowText());
      Drain(dlg);
    });
  }
  static LCDViewList* Slots(KeyboardDlg& dlg) {
    return dlg.GetControlAs<LCDViewList>(kb_ids::kScreenSlotList);
  }
  static ImageViewList* Frames(KeyboardDlg& dlg) { return dlg.GetControlAs<ImageViewList>(336); }
  static ImageView* Editor(KeyboardDlg& dlg) { return dlg.GetControlAs<ImageView>(kb_ids::kScreenEditor); }
  // The list's selection and m_lcdLedId name the same slot.
  static void ExpectOneCurrentSlot(KeyboardDlg& dlg) {
    const int index = Slots(dlg)->GetCurSel();
    EXPECT_EQ(dlg.m_lcdLedId.load(), index < 0 ? 0 : Slots(dlg)->GetItemLEDId(index));
  }
  std::string Db(const std::string& sql) { return QueryText(StorePath(), sql); }
  std::string FramesOf(int ledId) {
    return Db(
        "SELECT group_concat(file_name || ':' || delay_time || ':' || frame_index, ' ') FROM "
        "(SELECT * FROM t_ledframe_data WHERE led_id = " +
        std::to_string(ledId) + " ORDER BY frame_index)");
  }

  std::vector<Prompt> prompts_;
  std::vector<std::wstring> waitWindows_;
};

}  // namespace kb_test
