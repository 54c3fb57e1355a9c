// The screen page's editing: delays, colours, added, copied and deleted frames, saving with its
// store transaction, the unsaved-edit question on every path, and the GIF import and export run
// by the worker behind their wait window.
#include <QImageReader>
#include <algorithm>
#include <filesystem>

#include "lcd_fixture.h"
#include "lighting/LcdDialogs.h"
#include "zuvi/buttons.h"
#include "zuvi/edit.h"
#include "zuvi/lcd_palettes.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

class LcdEditTest : public LcdFixture {
 protected:
  // A window showing slot "anim" of `frames` frames, the second slot of the list.
  KeyboardDlg& Editing(int frames) {
    KeyboardDlg& dlg = OpenIdleWindow();
    ShowScreenTab(dlg);
    Drain(dlg);
    ledId_ = MakeSlot(dlg, L"anim", frames);
    Reload(dlg);
    EXPECT_TRUE(Slots(dlg)->SetCurSel(1));
    dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
    EXPECT_EQ(dlg.m_lcdLedId.load(), ledId_);
    return dlg;
  }
  std::vector<std::wstring> Names(KeyboardDlg& dlg) {
    std::vector<std::wstring> names;
    for (const ImageViewItem& item : Frames(dlg)->GetImageViewItems()) names.push_back(item.fileName);
    return names;
  }
  std::string Anim(const std::string& file) const { return LedFolder() + "anim/" + file; }
  // The names in `folder`, sorted.
  static std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  int ledId_ = 0;
};

TEST_F(LcdEditTest, DelaysAreClampedForOneOrAllFramesAndACancelledDialogChangesNothing) {
  KeyboardDlg& dlg = Editing(3);
  ImageViewList* frames = Frames(dlg);
  auto delays = [&] {
    std::vector<int> out;
    for (const ImageViewItem& item : frames->GetImageViewItems()) out.push_back(item.delayMs);
    return out;
  };
  auto answerDelay = [&](bool all, const std::wstring& text, int button) {
    driver_.AnswerNextModal([=](MDialog& window) {
      EXPECT_EQ(window.GetControlAs<MControlFont>(LCDDelayEditDlg::IdTitle)->GetTitle(), KbText(837));
      EXPECT_EQ(window.GetControlAs<MEdit>(LCDDelayEditDlg::IdFrameDelay)->GetTitle(), L"100")
          << "the preset";
      if (all) Driver::Click(window, LCDDelayEditDlg::IdAllFrames);
      Driver::Type(window, all ? LCDDelayEditDlg::IdAllDelay : LCDDelayEditDlg::IdFrameDelay, text);
      Driver::Click(window, button);
    });
  };
  ASSERT_TRUE(frames->UserClickItem(1));
  EXPECT_EQ(dlg.m_lcdFrameIndex.load(), 1);
  answerDelay(false, L"10", LCDDelayEditDlg::IdApply);
  ASSERT_TRUE(frames->UserDoubleClickItem(1));
  EXPECT_EQ(delays(), (std::vector<int>{100, 30, 100}));
  EXPECT_EQ(dlg.m_lcdDirty.load(), 1);

  dlg.m_lcdDirty = 0;
  answerDelay(false, L"5", LCDDelayEditDlg::IdClose);
  ASSERT_TRUE(frames->UserDoubleClickItem(0));
  EXPECT_EQ(delays(), (std::vector<int>{100, 30, 100}));
  EXPECT_EQ(dlg.m_lcdDirty.load(), 0);

  ASSERT_TRUE(frames->UserClickItem(2));
  answerDelay(true, L"900", LCDDelayEditDlg::IdApply);
  ASSERT_TRUE(frames->UserDoubleClickItem(2));
  EXPECT_EQ(delays(), (std::vector<int>{500, 500, 500}));
}

TEST_F(LcdEditTest, ColourEditsPalettesAndButtonsShowStoreAndPenTheColour) {
  KeyboardDlg& dlg = Editing(1);
  ASSERT_TRUE(Driver::Type(dlg, 356, L"300"));
  EXPECT_EQ(dlg.GetControlAs<MEdit>(356)->GetTitle(), L"255");
  ASSERT_TRUE(Driver::Type(dlg, 357, L"16"));
  ASSERT_TRUE(Driver::Type(dlg, 358, L"1"));
  const std::uint32_t color = 255 + 16 * 256 + 65536;
  EXPECT_EQ(dlg.GetControlAs<LCDPalette3>(351)->GetSelectColor(), color);
  EXPECT_EQ(Editor(dlg)->GetColorValue(), color);
  EXPECT_EQ(dlg.GetControlAs<CColorButton>(359)->GetColor(), 0xFFFF1001u);
  EXPECT_EQ(Db("SELECT value FROM t_configdata WHERE profile = 1 AND key = 'default_color1'"),
            std::to_string(color));

  // Button 362 shows its colour in the edits and the field; the field's pick then goes to it.
  ASSERT_TRUE(Driver::Click(dlg, 362));
  // 16776960 = 0xFFFF00: red 0, green and blue 255.
  EXPECT_EQ(dlg.GetControlAs<MEdit>(356)->GetTitle(), L"0");
  EXPECT_EQ(dlg.GetControlAs<MEdit>(357)->GetTitle(), L"255");
  EXPECT_EQ(dlg.GetControlAs<MEdit>(358)->GetTitle(), L"255");
  EXPECT_EQ(dlg.GetControlAs<LCDPalette3>(351)->GetSelectColor(), 16776960u);
  auto* field = dlg.GetControlAs<LCDPalette3>(351);
  const RECT r = field->GetRect();
  ASSERT_TRUE(Driver::ClickAt(dlg, 351, POINT{r.left + 2, r.bottom - 2}));
  const std::uint32_t picked = field->GetSelectColor();
  EXPECT_EQ(Db("SELECT value FROM t_configdata WHERE profile = 1 AND key = 'default_color4'"),
            std::to_string(picked));
  EXPECT_EQ(dlg.GetControlAs<MEdit>(356)->GetTitle(), std::to_wstring(picked & 0xFF));
  EXPECT_EQ(Db("SELECT value FROM t_configdata WHERE profile = 1 AND key = 'default_color1'"),
            std::to_string(color))
      << "only the chosen button's value";
}

TEST_F(LcdEditTest, AddedPicturesCopiesAndDeletionsKeepTheirPositions) {
  KeyboardDlg& dlg = Editing(2);
  ImageViewList* frames = Frames(dlg);
  // A PNG with alpha, a JPEG, an animated GIF and a file that is no picture.
  QImage alpha(50, 40, QImage::Format_ARGB32);
  alpha.fill(QColor(255, 0, 0, 0));
  const std::string png = app_.path() + "alpha.png";
  ASSERT_TRUE(alpha.save(QString::fromStdString(png)));
  const std::string jpeg = app_.path() + "photo.jpg";
  WritePicture(jpeg, QColor(0, 200, 0), "JPEG");
  const std::string gif = app_.Write("moving.gif", GifBytes(3));
  const std::string text = app_.Write("notes.txt", "no picture");
  ASSERT_TRUE(frames->UserClickItem(0));
  driver_.AnswerNextFileDialog({Utf8ToWide(png), Utf8ToWide(text), Utf8ToWide(jpeg), Utf8ToWide(gif)});
  ASSERT_TRUE(Driver::Click(dlg, 344));
  EXPECT_EQ(dlg.m_lcdDirty.load(), 1);
  const std::vector<std::wstring> names = Names(dlg);
  ASSERT_EQ(names.size(), 5u) << "the text file is skipped";
  EXPECT_EQ(names[0], L"0.png");
  EXPECT_EQ(names[4], L"1.png") << "the pictures follow the selected frame in the order chosen";
  for (int i = 1; i <= 3; ++i) {
    const ImageViewItem item = frames->GetItem(i);
    EXPECT_EQ(item.fileName.size(), 21u) << "17 digits and .png";
    EXPECT_EQ(item.delayMs, 50);
    EXPECT_EQ(item.frameId, 0);
    const QImage picture(QString::fromStdString(WideToUtf8(item.pictureFile)));
    EXPECT_EQ(picture.size(), QSize(240, 135));
  }
  EXPECT_EQ(QImage(QString::fromStdString(WideToUtf8(frames->GetItem(1).pictureFile))).pixelColor(10, 10),
            QColor(0, 0, 0))
      << "transparency over black";
  EXPECT_LT(frames->GetItem(1).fileName, frames->GetItem(2).fileName) << "each name a later millisecond";

  // A copy goes behind its frame and is selected; deleting the last selects the first.
  ASSERT_TRUE(frames->UserClickItem(4));
  dlg.OnLcdCopyFrame();
  ASSERT_EQ(frames->GetCount(), 6);
  EXPECT_EQ(frames->GetCurSel(), 5);
  EXPECT_EQ(dlg.m_lcdFrameIndex.load(), 5);
  EXPECT_EQ(frames->GetItem(5).delayMs, 100);
  EXPECT_TRUE(std::filesystem::exists(WideToUtf8(frames->GetItem(5).pictureFile)));
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnLcdDeleteFrame();
  EXPECT_EQ(frames->GetCount(), 5);
  EXPECT_EQ(frames->GetCurSel(), 0);
  ASSERT_TRUE(frames->UserClickItem(2));
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnLcdDeleteFrame();
  EXPECT_EQ(frames->GetCurSel(), 2) << "the frame that took its place";
  EXPECT_EQ(dlg.m_lcdFrameIndex.load(), 2);

  // Nothing selected, and then the only frame left.
  frames->SetCurSel(-1);
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnLcdDeleteFrame();
  EXPECT_EQ(prompts_.back().message, KbText(845));
  while (frames->GetCount() > 1) frames->DeleteItem(1);
  frames->SetCurSel(0);
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnLcdDeleteFrame();
  EXPECT_EQ(frames->GetCount(), 0);
  EXPECT_EQ(frames->GetCurSel(), -1);
  EXPECT_EQ(dlg.m_lcdFrameIndex.load(), -1);
  EXPECT_EQ(Editor(dlg)->GetEditImageFile(), L"") << "an empty editor";
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnLcdCopyFrame();
  EXPECT_EQ(prompts_.back().message, KbText(840));
}

TEST_F(LcdEditTest, SaveRewritesTheRowsInListOrderAndAFailedStoreKeepsEverything) {
  KeyboardDlg& dlg = Editing(3);
  ImageViewList* frames = Frames(dlg);
  // Frame 2 first, frame 0 edited (its edit file written elsewhere), frame 1 dropped.
  const std::string edited = UserFolder() + "edit/x.png";
  WritePicture(edited, QColor(0, 0, 255));
  ImageViewItem two = frames->GetItem(2);
  frames->DeleteItem(2);
  frames->InsertItem(0, two.pictureFile, 70, two.frameId, two.fileName);
  frames->UpdateItemImageFile(1, Utf8ToWide(edited));
  frames->DeleteItem(2);
  dlg.m_lcdDirty = 1;

  ASSERT_TRUE(
      Exec(StorePath(),
           "CREATE TRIGGER refuse BEFORE INSERT ON t_ledframe_data BEGIN SELECT RAISE(ABORT, 'x'); END"));
  const QColor original = QImage(QString::fromStdString(Anim("0.png"))).pixelColor(5, 5);
  ASSERT_NE(original, QColor(0, 0, 255));
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  EXPECT_EQ(dlg.SaveLcdFrames(), 0);
  EXPECT_EQ(prompts_.back().message, KbText(KeyboardDlg::kTextNotSaved));
  MenuLog menus;
  menus.AnswerWith(114);  // the editor's menu saves as well
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnLcdImageViewNotify(NOTIFY_RCLICK);
  Driver::RunFor(5);
  EXPECT_EQ(prompts_.size(), 2u);
  EXPECT_EQ(FramesOf(ledId_), "0.png:100:0 1.png:100:1 2.png:100:2") << "the old rows stay";
  EXPECT_EQ(QImage(QString::fromStdString(Anim("0.png"))).pixelColor(5, 5), original)
      << "and the pictures they name, untouched";
  EXPECT_EQ(Files(Anim("")), (std::vector<std::string>{"0.png", "1.png", "2.png"})) << "no new picture left";
  EXPECT_EQ(dlg.m_lcdDirty.load(), 1);
  EXPECT_EQ(frames->GetCount(), 2);
  ASSERT_TRUE(Exec(StorePath(), "DROP TRIGGER refuse"));

  // The edit goes to a new file; the pictures no row names any more go once the rows are stored.
  EXPECT_EQ(dlg.SaveLcdFrames(), 1);
  const std::string rows = FramesOf(ledId_);
  ASSERT_EQ(rows.rfind("2.png:70:0 ", 0), 0u) << rows;
  const std::string renamed = rows.substr(11, rows.find(':', 11) - 11);
  EXPECT_NE(renamed, "0.png");
  EXPECT_EQ(rows.substr(11 + renamed.size()), ":100:1");
  EXPECT_EQ(dlg.m_lcdDirty.load(), 0);
  EXPECT_EQ(QImage(QString::fromStdString(Anim(renamed))).pixelColor(5, 5), QColor(0, 0, 255))
      << "the edit is copied";
  EXPECT_EQ(Files(Anim("")), (std::vector<std::string>{"2.png", renamed}));
  EXPECT_EQ(Db("SELECT first_file || ',' || frame_size FROM t_ledlayer_data WHERE led_id = " +
               std::to_string(ledId_)),
            "2.png,2");
  // A save that ended before its commit left a picture and a cut copy: the next load removes them.
  WritePicture(Anim("20261209101010100.png"), QColor(0, 255, 0));
  WritePicture(Anim("20261209101010101.png.part"), QColor(0, 255, 0));
  dlg.LoadLcdFrames(ledId_);
  EXPECT_EQ(Files(Anim("")), (std::vector<std::string>{"2.png", renamed}));
  EXPECT_EQ(Slots(dlg)->GetItemFrameSize(1), 2);
  EXPECT_EQ(Slots(dlg)->GetItemPicture(1), Utf8ToWide(Anim("2.png")));

  frames->Clear();
  dlg.SaveLcdFrames();
  EXPECT_EQ(Db("SELECT first_file || ',' || frame_size FROM t_ledlayer_data WHERE led_id = " +
               std::to_string(ledId_)),
            ",0")
      << "an empty list";
}

TEST_F(LcdEditTest, UnsavedEditsAreOfferedOnEveryPathAndADiscardReloadsTheWholeSlot) {
  KeyboardDlg& dlg = Editing(2);
  ImageViewList* frames = Frames(dlg);
  frames->SetDelayTime(300);
  dlg.m_lcdDirty = 1;
  // A click on the slot on show keeps the edits.
  ASSERT_TRUE(Slots(dlg)->SetCurSel(1));
  dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
  EXPECT_EQ(frames->GetItem(0).delayMs, 300);
  // Download: discarded, every frame back as stored.
  AnswerPrompt(CUIMessageBox::IdNo);
  RunTasksInNextModal(dlg);
  dlg.OnDownloadLcdAnimation();
  EXPECT_EQ(prompts_.back().title, KbText(831));
  EXPECT_EQ(frames->GetItem(0).delayMs, 100);
  EXPECT_EQ(frames->GetItem(1).delayMs, 100);
  EXPECT_EQ(FramesOf(ledId_), "0.png:100:0 1.png:100:1");
  // New slot: kept.
  frames->SetDelayTime(40);
  dlg.m_lcdDirty = 1;
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnAddLcdSlot();
  EXPECT_EQ(FramesOf(ledId_), "0.png:40:0 1.png:40:1");
  ExpectOneCurrentSlot(dlg);
  // Another slot clicked: saved under the old slot, then the clicked one shown.
  ASSERT_TRUE(Slots(dlg)->SetCurSel(1));
  dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
  frames->SetDelayTime(60);
  dlg.m_lcdDirty = 1;
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  ASSERT_TRUE(Slots(dlg)->SetCurSel(0));
  dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
  EXPECT_EQ(FramesOf(ledId_), "0.png:60:0 1.png:60:1");
  ExpectOneCurrentSlot(dlg);
  EXPECT_EQ(dlg.m_lcdDirty.load(), 0);
  // Import and export ask as well (both cancelled at their file dialogs).
  for (int handler = 0; handler < 2; ++handler) {
    ASSERT_TRUE(Slots(dlg)->SetCurSel(1));
    dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
    dlg.m_lcdDirty = 1;
    AnswerPrompt(CUIMessageBox::IdNo);
    driver_.AnswerNextFileDialog({});
    handler == 0 ? dlg.OnAddLcdGif() : dlg.OnExportLcdGif();
    EXPECT_EQ(prompts_.back().title, KbText(831)) << handler;
    EXPECT_EQ(dlg.m_lcdDirty.load(), 0);
  }
}

TEST_F(LcdEditTest, AnEmptySlotOpensTheAddPictureDialogAndACancelSelectsNothing) {
  KeyboardDlg& dlg = OpenIdleWindow();
  dlg.OnAddLcdSlot();
  ASSERT_TRUE(Slots(dlg)->SetCurSel(1));
  driver_.AnswerNextFileDialog({});
  dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
  EXPECT_EQ(Frames(dlg)->GetCurSel(), -1);
  EXPECT_EQ(dlg.m_lcdDirty.load(), 0);
  const std::string picture = app_.path() + "p.png";
  WritePicture(picture, QColor(1, 2, 3));
  driver_.AnswerNextFileDialog({Utf8ToWide(picture)});
  dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
  EXPECT_EQ(Frames(dlg)->GetCount(), 1);
  EXPECT_EQ(Frames(dlg)->GetCurSel(), 0);
  EXPECT_EQ(dlg.m_lcdDirty.load(), 1);
}

TEST_F(LcdEditTest, ImportsThroughTheWorkerAddASlotPerUsableFileAndNothingForOthers) {
  KeyboardDlg& dlg = OpenIdleWindow();
  dlg.m_curTab = TabScreen;
  const int before = Slots(dlg)->GetCount();
  std::string damaged = GifBytes(4);
  damaged.resize(damaged.size() / 2);
  struct Case {
    const char* name;
    std::string bytes;
    int frames;
    std::string delays;
    int prompt;  // 0: none
  };
  const Case cases[] = {
      {"three.gif", GifBytes(3, {4, 1, 33}), 3, "0.png:40:0 1.png:100:1 2.png:330:2", 0},
      {"text.gif", "GIF89a is not enough", 0, "", 849},
      {"empty.gif", GifBytes(0), 0, "", 849},
      {"huge.gif", GifBytes(1, {10}, 5000, 10), 0, "", 849},
      {"broken.gif", damaged, -1, "", 853},
      {"many.gif", GifBytes(150), 150, "", 832},
  };
  int listed = before;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompts_.clear();
    const std::string path = app_.Write(c.name, c.bytes);
    driver_.AnswerNextFileDialog({Utf8ToWide(path)});
    RunTasksInNextModal(dlg);
    if (c.prompt) AnswerPrompt(CUIMessageBox::IdOkOrYes);
    const int shownBefore = dlg.m_lcdLedId.load();
    dlg.OnAddLcdGif();
    if (c.prompt) {
      ASSERT_EQ(prompts_.size(), 1u);
      EXPECT_EQ(prompts_[0].title, KbText(834));
      if (c.prompt == 832) {
        EXPECT_NE(prompts_[0].message.find(L"150"), std::wstring::npos);
      } else {
        EXPECT_EQ(prompts_[0].message, KbText(c.prompt));
      }
    }
    ExpectOneCurrentSlot(dlg);
    if (c.frames == 0) {
      EXPECT_EQ(Slots(dlg)->GetCount(), listed) << "nothing added";
      EXPECT_EQ(dlg.m_lcdLedId.load(), shownBefore);
      EXPECT_EQ(Db("SELECT count(*) FROM t_ledlayer_data"), std::to_string(listed));
      continue;
    }
    ++listed;
    ASSERT_EQ(Slots(dlg)->GetCount(), listed);
    EXPECT_EQ(Slots(dlg)->GetCurSel(), listed - 1) << "the new slot is current";
    const int id = dlg.m_lcdLedId.load();
    if (!c.delays.empty()) {
      EXPECT_EQ(FramesOf(id), c.delays);
    }
    const int count =
        std::stoi(Db("SELECT frame_size FROM t_ledlayer_data WHERE led_id = " + std::to_string(id)));
    if (c.frames > 0) {
      EXPECT_EQ(count, c.frames);
    } else {
      EXPECT_GT(count, 0) << "the pictures before the damage";
    }
    EXPECT_EQ(Frames(dlg)->GetCount(), count);
    const std::string folder = WideToUtf8(Slots(dlg)->GetItemFolder(listed - 1));
    for (int i = 0; i < count; ++i)
      EXPECT_TRUE(std::filesystem::exists(folder + std::to_string(i) + ".png")) << i;
  }
  // Every folder under led/ belongs to a listed slot: failed imports left none.
  int folders = 0;
  for (const auto& entry : std::filesystem::directory_iterator(LedFolder())) folders += entry.is_directory();
  EXPECT_EQ(folders, listed);

  // No folder can be made for the slot: told, and nothing added.
  std::filesystem::rename(LedFolder(), UserFolder() + "led-away");
  std::ofstream(UserFolder() + "led") << "in the way";
  prompts_.clear();
  driver_.AnswerNextFileDialog({Utf8ToWide(app_.path() + "three.gif")});
  RunTasksInNextModal(dlg);
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnAddLcdGif();
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0].message, KbText(854));
  EXPECT_EQ(Slots(dlg)->GetCount(), listed);
  EXPECT_EQ(Db("SELECT count(*) FROM t_ledlayer_data"), std::to_string(listed));
  ExpectOneCurrentSlot(dlg);
}

TEST_F(LcdEditTest, ExportWritesTheFramesAsAnAnimationAndAFailedWriteIsTold) {
  KeyboardDlg& dlg = Editing(3);
  Frames(dlg)->SetItemDelayTime(1, 250);
  dlg.SaveLcdFrames();
  const std::string out = app_.path() + "out";
  driver_.AnswerNextFileDialog({Utf8ToWide(out)});
  RunTasksInNextModal(dlg);
  dlg.OnExportLcdGif();
  EXPECT_EQ(waitWindows_, std::vector<std::wstring>{L"LEDWaitDlg"});
  QImageReader reader(QString::fromStdString(out + ".gif"));
  EXPECT_EQ(reader.imageCount(), 3);
  EXPECT_EQ(reader.size(), QSize(240, 135));
  std::vector<int> delays;
  for (QImage image = reader.read(); !image.isNull(); image = reader.read())
    delays.push_back(reader.nextImageDelay());
  EXPECT_EQ(delays, (std::vector<int>{100, 250, 100}));

  driver_.AnswerNextFileDialog({Utf8ToWide(app_.path() + "missing/folder/x.GIF")});
  RunTasksInNextModal(dlg);
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnExportLcdGif();
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0].message, KbText(854));
  EXPECT_FALSE(std::filesystem::exists(app_.path() + "missing/folder/x.GIF"));
}

TEST_F(LcdEditTest, TextsTheMenuAndTheFontSizeChangeTheEditorAndMarkTheFramesEdited) {
  KeyboardDlg& dlg = Editing(2);
  ImageViewList* frames = Frames(dlg);
  ImageView* editor = Editor(dlg);
  // An empty text is refused with its prompt.
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnLcdAddText();
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0].message, KbText(838));
  EXPECT_EQ(dlg.m_lcdDirty.load(), 0);

  ASSERT_TRUE(Driver::Type(dlg, 342, L"0"));
  EXPECT_EQ(dlg.GetControlAs<MEdit>(342)->GetTitle(), L"1") << "at least 1";
  EXPECT_EQ(editor->GetFontSize(), 1);
  ASSERT_TRUE(Driver::Type(dlg, 342, L"30"));
  EXPECT_EQ(editor->GetFontSize(), 30);

  // A text on the frame on show: its item takes the edit file; the picture file stays.
  ASSERT_TRUE(Driver::Type(dlg, kb_ids::kScreenTextEdit, L"Hi"));
  dlg.OnLcdAddText();
  Driver::RunFor(5);
  EXPECT_EQ(dlg.m_lcdDirty.load(), 1);
  const ImageViewItem first = frames->GetItem(0);
  EXPECT_NE(first.editFile, first.pictureFile);
  EXPECT_EQ(first.editFile, editor->GetEditImageFile());
  EXPECT_EQ(frames->GetItem(1).editFile, frames->GetItem(1).pictureFile);

  // The editor's menu: its seven commands; 106 sets the middle pen, 113 gives the frame back its
  // picture without touching the unsaved-edit mark.
  MenuLog menus;
  menus.AnswerWith(106);
  dlg.OnLcdImageViewNotify(NOTIFY_RCLICK);
  Driver::RunFor(5);
  ASSERT_EQ(menus.menus.size(), 1u);
  EXPECT_EQ(menus.menus[0], (std::vector<int>{105, 106, 107, 110, 112, 113, 114}));
  EXPECT_EQ(editor->GetPenSize(), 30);
  menus.AnswerWith(113);
  dlg.OnLcdImageViewNotify(NOTIFY_RCLICK);
  Driver::RunFor(5);
  EXPECT_EQ(frames->GetItem(0).editFile, frames->GetItem(0).pictureFile);
  EXPECT_EQ(dlg.m_lcdDirty.load(), 1);

  // In the edit mode a text goes onto every frame.
  dlg.OnMessage(335, NOTIFY_CLICK, 0, 0);
  dlg.OnLcdAddText();
  Driver::RunFor(5);
  for (int i = 0; i < 2; ++i) EXPECT_NE(frames->GetItem(i).editFile, frames->GetItem(i).pictureFile) << i;
  dlg.OnMessage(333, NOTIFY_CLICK, 0, 0);
  dlg.SaveLcdFrames();
  auto marked = [](const std::string& file, QColor fill) {
    const QImage picture(QString::fromStdString(file));
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x)
        if (picture.pixelColor(x, y) != fill) return true;
    return false;
  };
  ASSERT_EQ(frames->GetCount(), 2);
  EXPECT_TRUE(marked(WideToUtf8(frames->GetItem(0).pictureFile), QColor(0, 0, 0)))
      << "the text is saved into both frames";
  EXPECT_TRUE(marked(WideToUtf8(frames->GetItem(1).pictureFile), QColor(10, 0, 0)));
  EXPECT_EQ(dlg.m_lcdDirty.load(), 0);
}

}  // namespace
}  // namespace kb_test
