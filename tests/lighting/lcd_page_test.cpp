// The screen page's list: the default slot of a fresh store, adding and deleting, the one current
// slot, the locks of the edit mode, the downloads with their windows and the keyboard's slot keys.
#include "lcd_fixture.h"
#include "zuvi/buttons.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

class LcdPageTest : public LcdFixture {
 protected:
  KeyboardDlg& Page() {
    KeyboardDlg& dlg = OpenIdleWindow();
    dlg.m_curTab = TabScreen;
    return dlg;
  }
  // The window on show with its screen tab, as the slot keys need it.
  void Show(KeyboardDlg& dlg) {
    main_.ShowWindow(SW_SHOW);
    dlg.ShowWindow(SW_SHOW);
    dlg.m_curTab = TabScreen;
  }
  static bool Enabled(KeyboardDlg& dlg, int id) { return dlg.GetControl(id)->IsEnabled(); }
};

TEST_F(LcdPageTest, AFreshStoreShowsTheDefaultAnimationAsOneLockedSlot) {
  WriteDefaultGif(3, {10, 0, 25});
  KeyboardDlg& dlg = Page();
  LCDViewList* list = Slots(dlg);
  ASSERT_EQ(list->GetCount(), 1);
  EXPECT_EQ(
      Db("SELECT name || ',' || file_dir || ',' || first_file || ',' || frame_size FROM t_ledlayer_data"),
      "20260305070809000,20260305070809000,0.png,3");
  const int id = list->GetItemLEDId(0);
  EXPECT_EQ(FramesOf(id), "0.png:100:0 1.png:100:1 2.png:250:2") << "0 hundredths reads as 100 ms";
  for (const char* file : {"0.png", "1.png", "2.png"})
    EXPECT_TRUE(std::filesystem::exists(LedFolder() + "20260305070809000/" + file)) << file;
  EXPECT_EQ(list->GetItemFrameSize(0), 3);
  EXPECT_EQ(list->GetCurSel(), 0);
  ExpectOneCurrentSlot(dlg);
  EXPECT_EQ(Frames(dlg)->GetCount(), 3);
  EXPECT_EQ(dlg.m_lcdFrameIndex.load(), 0);
  for (int tool : {326, 343, 344, 366}) EXPECT_FALSE(Enabled(dlg, tool)) << tool;
  // The palette shows the stored colours once the settings rows exist (task 3 at the start).
  EXPECT_EQ(dlg.GetControlAs<CColorButton>(359)->GetColor(), 0xFF551F7Fu)
      << "8331093: red 0x55, green 0x1F, blue 0x7F";
  EXPECT_EQ(dlg.GetControlAs<CColorButton>(363)->GetColor(), 0xFFFF0000u) << "255 is red";

  // Reopened, the stored slot is listed again and no second default is made.
  dlg_.reset();
  KeyboardDlg& again = Page();
  EXPECT_EQ(Slots(again)->GetCount(), 1);
  EXPECT_EQ(Db("SELECT count(*) FROM t_ledlayer_data"), "1");
}

TEST_F(LcdPageTest, WithoutTheDefaultAnimationTheSlotHasNoFramesAndTheDownloadRefusesIt) {
  KeyboardDlg& dlg = Page();
  ASSERT_EQ(Slots(dlg)->GetCount(), 1);
  EXPECT_EQ(Db("SELECT first_file || ',' || frame_size FROM t_ledlayer_data"), ",0");
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnDownloadLcdAnimation();
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0].title, KbText(848));
  EXPECT_EQ(prompts_[0].message, KbText(847));
  EXPECT_TRUE(dlg.QueuedTasks().empty());
}

TEST_F(LcdPageTest, AddedSlotsTakeFreeTimeNamesAndDeletionSparesTheFirstAndUnreadableRows) {
  KeyboardDlg& dlg = Page();
  // The clock stands still: every name of the same millisecond steps to the next free one.
  dlg.OnAddLcdSlot();
  dlg.OnAddLcdSlot();
  LCDViewList* list = Slots(dlg);
  ASSERT_EQ(list->GetCount(), 3);
  EXPECT_EQ(Db("SELECT group_concat(file_dir, ' ') FROM t_ledlayer_data"),
            "20260305070809000 20260305070809001 20260305070809002");
  EXPECT_TRUE(std::filesystem::is_directory(LedFolder() + "20260305070809002"));
  EXPECT_EQ(list->GetCurSel(), 2) << "the new slot is the current one";
  ExpectOneCurrentSlot(dlg);
  EXPECT_EQ(Frames(dlg)->GetCount(), 0);
  EXPECT_TRUE(Enabled(dlg, 326));

  // The first slot is never deleted, whatever the button's state; no prompt is shown.
  ASSERT_TRUE(list->SetCurSel(0));
  dlg.GetControl(326)->SetEnabled(true);
  dlg.OnDeleteLcdSlot();
  EXPECT_EQ(list->GetCount(), 3);

  ASSERT_TRUE(list->SetItemLEDIdSelect(list->GetItemLEDId(2)));
  dlg.m_lcdLedId = list->GetItemLEDId(2);
  AnswerPrompt(CUIMessageBox::IdNo);
  dlg.OnDeleteLcdSlot();
  EXPECT_EQ(list->GetCount(), 3) << "cancelled";

  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnDeleteLcdSlot();
  EXPECT_EQ(prompts_.back().title, KbText(836));
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_FALSE(std::filesystem::exists(LedFolder() + "20260305070809002"));
  EXPECT_EQ(Db("SELECT count(*) FROM t_ledlayer_data WHERE file_dir = '20260305070809002'"), "0");
  EXPECT_EQ(list->GetCurSel(), 1) << "the slot before it";
  ExpectOneCurrentSlot(dlg);

  // A row naming the led folder itself, or one the store refuses to delete, removes nothing.
  const int second = list->GetItemLEDId(1);
  ASSERT_TRUE(Exec(StorePath(),
                   "UPDATE t_ledlayer_data SET file_dir = '..' WHERE led_id = " + std::to_string(second)));
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnDeleteLcdSlot();
  EXPECT_TRUE(std::filesystem::is_directory(LedFolder() + "20260305070809000"));
  EXPECT_EQ(Db("SELECT count(*) FROM t_ledlayer_data"), "2");
  EXPECT_EQ(list->GetCount(), 2);
  ASSERT_TRUE(Exec(StorePath(), "UPDATE t_ledlayer_data SET file_dir = '20260305070809001' WHERE led_id = " +
                                    std::to_string(second)));
  ASSERT_TRUE(
      Exec(StorePath(),
           "CREATE TRIGGER keep BEFORE DELETE ON t_ledlayer_data BEGIN SELECT RAISE(ABORT, 'no'); END"));
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  dlg.OnDeleteLcdSlot();
  EXPECT_TRUE(std::filesystem::is_directory(LedFolder() + "20260305070809001")) << "the rows go first";
  EXPECT_EQ(list->GetCount(), 2);
  ExpectOneCurrentSlot(dlg);
}

TEST_F(LcdPageTest, TheEditModeLocksTheSlotAndFrameControlsUntilPreview) {
  KeyboardDlg& dlg = Page();
  dlg.OnAddLcdSlot();
  ASSERT_EQ(Slots(dlg)->GetCurSel(), 1);
  const std::vector<int> locked = {323, 324, 325, 326, 332, 336, 344, 345, 346, 347, 349, 366, 367, 368};
  for (int id : locked) EXPECT_TRUE(Enabled(dlg, id)) << id;
  dlg.OnMessage(335, NOTIFY_CLICK, 0, 0);
  for (int id : locked) EXPECT_FALSE(Enabled(dlg, id)) << id;
  EXPECT_TRUE(Enabled(dlg, 343)) << "text still goes onto the frames";
  EXPECT_FALSE(Editor(dlg)->GetImagePreviewMode());
  // A worker pass re-enables the tools of the selection, not what the edit mode locked.
  dlg.PostTask(TaskControlsOnly);
  dlg.Run();
  for (int id : {326, 332, 344, 366}) EXPECT_FALSE(Enabled(dlg, id)) << id;
  dlg.OnMessage(333, NOTIFY_CLICK, 0, 0);
  for (int id : locked) EXPECT_TRUE(Enabled(dlg, id)) << id;
  EXPECT_TRUE(Editor(dlg)->GetImagePreviewMode());
  // On the first slot the preview gives back the slot controls but not its tools.
  ASSERT_TRUE(Slots(dlg)->SetCurSel(0));
  dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
  dlg.OnMessage(333, NOTIFY_CLICK, 0, 0);
  for (int id : {323, 324, 325, 336, 367, 368}) EXPECT_TRUE(Enabled(dlg, id)) << id;
  for (int id : {326, 344, 366}) EXPECT_FALSE(Enabled(dlg, id)) << id;
}

TEST_F(LcdPageTest, TheDownloadWarnsAboveTheLimitAndSendsTheFirst141UnderTheSlotsNumber) {
  KeyboardDlg& dlg = Page();
  MakeSlot(dlg, L"big", 150);
  Reload(dlg);
  ASSERT_TRUE(Slots(dlg)->SetCurSel(1));
  dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
  ExpectOneCurrentSlot(dlg);
  AnswerPrompt(CUIMessageBox::IdOkOrYes);
  driver_.AnswerNextModal([&](MDialog& window) {
    EXPECT_EQ(window.GetWindowText(), L"LEDWaitDlg2");
    Drain(dlg);
  });
  dlg.OnDownloadLcdAnimation();
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0].title, KbText(848));
  EXPECT_NE(prompts_[0].message.find(L"150"), std::wstring::npos);
  EXPECT_EQ(sim_.keyboard(0).received().lcdSlot, 2);
  const std::vector<uint8_t> image = sim_.keyboard(0).animationImage();
  ASSERT_FALSE(image.empty());
  EXPECT_EQ(image[0], 141);
  EXPECT_TRUE(dlg.QueuedTasks().empty());

  // Apply queues the clock with the slot on every click.
  dlg.OnLcdApplySlot();
  dlg.OnLcdApplySlot();
  EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{TaskSetClockAndLcdSlot, TaskSetClockAndLcdSlot}));
  Drain(dlg);
  ASSERT_EQ(sim_.keyboard(0).received().clock.size(), 64u);
  EXPECT_EQ(sim_.keyboard(0).received().clock[1], 2) << "the selected slot, counted from 1";
}

TEST_F(LcdPageTest, SlotKeysPageSelectAndDownloadWithinTheirGuards) {
  KeyboardDlg& dlg = Page();
  MakeSlot(dlg, L"one", 2);
  MakeSlot(dlg, L"two", 3);
  Reload(dlg);
  LCDViewList* list = Slots(dlg);
  ASSERT_EQ(list->GetCount(), 3);

  // Hidden, another tab, a queued task or a running screen task: dropped.
  main_.ShowWindow(SW_HIDE);
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(0, 3), 0);
  Show(dlg);
  dlg.m_curTab = TabLighting;
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(0, 3), 0);
  dlg.m_curTab = TabScreen;
  dlg.PostTask(TaskControlsOnly);
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(0, 3), 0);
  Drain(dlg);
  dlg.m_lcdBusy = 1;
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(0, 3), 0);
  dlg.m_lcdBusy = 0;
  EXPECT_EQ(list->GetCurSel(), 0);

  // 0 with a value only selects; values beyond the list are ignored.
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(0, 3), 1);
  EXPECT_EQ(list->GetCurSel(), 2);
  ExpectOneCurrentSlot(dlg);
  EXPECT_EQ(Frames(dlg)->GetCount(), 3);
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(255, 4), 0);
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(0, 4), 0);
  EXPECT_EQ(list->GetCurSel(), 2);
  EXPECT_TRUE(dlg.QueuedTasks().empty());

  // Next on the last wraps to the first, which has no frames: the fixed prompt, nothing sent.
  driver_.AnswerNextModal([this](MDialog& window) {
    auto* box = dynamic_cast<CUIMessageBox*>(&window);
    ASSERT_NE(box, nullptr);
    prompts_.push_back({box->m_title, box->m_message});
    Driver::Click(window, CUIMessageBox::IdOkOrYes);
  });
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(1, 0), 1);
  EXPECT_EQ(list->GetCurSel(), 0);
  ExpectOneCurrentSlot(dlg);
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0].title, L"保存数据并上传开机动画");
  EXPECT_TRUE(dlg.QueuedTasks().empty());

  // Previous on the first wraps to the last and sends it behind the wait window.
  RunTasksInNextModal(dlg);
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(255, 0), 1);
  EXPECT_EQ(waitWindows_, std::vector<std::wstring>{L"LEDWaitDlg"});
  EXPECT_EQ(sim_.keyboard(0).received().lcdSlot, 3);
  EXPECT_EQ(sim_.keyboard(0).animationImage()[0], 3);

  // A position left beyond the list counts as the last; unsaved edits are offered first.
  dlg.m_lcdSlotIndex = 7;
  dlg.m_lcdDirty = 1;
  AnswerPrompt(CUIMessageBox::IdNo);
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(0, 2), 1);
  EXPECT_EQ(prompts_.back().title, KbText(831));
  EXPECT_EQ(dlg.m_lcdDirty.load(), 0);
  EXPECT_EQ(list->GetCurSel(), 1);
  dlg.m_lcdSlotIndex = 7;
  RunTasksInNextModal(dlg);
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(255, 0), 1);
  EXPECT_EQ(list->GetCurSel(), 1) << "from the last, one back";
  ExpectOneCurrentSlot(dlg);

  // Without any slot nothing is selected.
  list->ResetContent();
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(1, 0), 0);
  EXPECT_EQ(dlg.OnDeviceLcdSlotKey(255, 0), 0);
}

TEST_F(LcdPageTest, WithTheRealWorkerADownloadThatEndsAtOnceNeverLeavesItsWindowUp) {
  KeyboardDlg& dlg = MakeWindow(KeyboardDlg::WorkerMode::kThread);
  ASSERT_TRUE(dlg.Open(main_.GetSafeHwnd()));
  ASSERT_TRUE(
      Driver::RunUntil([&] { return dlg.QueuedTasks().empty() && Slots(dlg)->GetCount() == 1; }, 30000));
  const int id = MakeSlot(dlg, L"quick", 1);
  ASSERT_TRUE(Slots(dlg)->SetCurSel(0));
  dlg.m_lcdLedId = id;
  for (int i = 0; i < 3; ++i) dlg.OnDownloadLcdAnimation();  // each returns once the worker ended it
  EXPECT_TRUE(Driver::RunUntil([&] { return dlg.QueuedTasks().empty(); }, 30000));
  EXPECT_EQ(sim_.keyboard(0).received().lcdSlot, 1);
}

// The page as the user sees it, with the current slot's first frame in the editor. The picture goes to
// $KELVANE_RENDER_DIR when it is set.
TEST_F(LcdPageTest, ThePageRendersTheCurrentFrameInTheEditor) {
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  const std::string file =
      (wanted && *wanted ? std::string(wanted) + "/" : app_.path()) + "keyboard-screen.png";
  WriteDefaultGif(4);
  KeyboardDlg& dlg = Page();
  MakeSlot(dlg, L"anim", 2);
  Reload(dlg);
  main_.ShowWindow(SW_SHOW);
  ShowScreenTab(dlg);
  ASSERT_TRUE(Slots(dlg)->SetCurSel(1));
  dlg.OnLcdSlotListNotify(NOTIFY_CLICK);
  Driver::RunFor(20);
  ASSERT_TRUE(dlg.RenderToPng(file)) << file;
  const QImage picture(QString::fromStdString(file));
  const RECT editor = dlg.GetControl(kb_ids::kScreenEditor)->GetRect();
  const QColor middle =
      picture.pixelColor((editor.left + editor.right) / 2, (editor.top + editor.bottom) / 2);
  EXPECT_EQ(middle, QColor(0, 0, 0)) << "frame 0 of the slot is black (10 x 0)";
  dlg.OnLcdFrameListNotify(NOTIFY_CLICK);  // the selection stays
  ASSERT_TRUE(Frames(dlg)->UserClickItem(1));
  Driver::RunFor(20);
  ASSERT_TRUE(dlg.RenderToPng(file));
  const QImage second(QString::fromStdString(file));
  EXPECT_EQ(second.pixelColor((editor.left + editor.right) / 2, (editor.top + editor.bottom) / 2),
            QColor(10, 0, 0));
}

}  // namespace
}  // namespace kb_test
