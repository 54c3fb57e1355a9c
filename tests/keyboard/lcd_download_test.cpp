// The screen download as task 9 runs it: the selected slot's frames from the store and the slot
// folder reach the keyboard's screen, progress goes to the page's holder, and closing the window
// stops it between two blocks.
#include <QColor>
#include <QImage>
#include <future>

#include "device/LcdAnimation.h"
#include "keyboard_fixture.h"
#include "zuvi/lcd_view_list.h"

namespace kb_test {
namespace {

class LcdDownloadTest : public KeyboardTest {
 protected:
  KeyboardDlg& Ready() {
    KeyboardDlg& dlg = OpenIdleWindow();
    // The page's own slot list, read as the list box it is.
    auto* list = dlg.GetControlAs<LCDViewList>(kb_ids::kScreenSlotList);
    EXPECT_NE(list, nullptr);
    list->ResetContent();
    for (int i = 0; i < 4; ++i) list->AddItem(L"", L"", 0, 100 + i);
    slots_ = list;
    return dlg;
  }
  // A slot with the given frames (file name, delay) in its folder "anim".
  int AddSlot(KeyboardDlg& dlg, const std::vector<std::pair<std::wstring, int>>& frames) {
    const int id = dlg.m_configDB.NewLedLayer(1, L"anim");
    std::vector<LedFrameRow> rows;
    for (size_t i = 0; i < frames.size(); ++i)
      rows.push_back(LedFrameRow{0, id, L"frame", frames[i].second, static_cast<int>(i), frames[i].first});
    dlg.m_configDB.SaveLedFrames(rows);
    std::filesystem::create_directories(UserFolder() + "led/anim");
    return id;
  }
  // A frame picture of one colour with a white bottom-right pixel.
  void WriteFrame(const std::string& name, QColor color) {
    QImage image(LCD_WIDTH, LCD_HEIGHT, QImage::Format_RGB32);
    image.fill(color);
    image.setPixelColor(LCD_WIDTH - 1, LCD_HEIGHT - 1, Qt::white);
    ASSERT_TRUE(image.save(QString::fromStdString(UserFolder() + "led/anim/" + name), "PNG"));
  }
  std::vector<std::pair<int, std::string>> Reports() {
    std::lock_guard guard(reportLock_);
    return reports_;
  }
  void RecordProgress(KeyboardDlg& dlg) {
    dlg.LcdProgress().Set([this](int percent, const std::string& title) {
      std::lock_guard guard(reportLock_);
      reports_.emplace_back(percent, title);
    });
  }

  QelListBox* slots_ = nullptr;
  std::mutex reportLock_;
  std::vector<std::pair<int, std::string>> reports_;
};

constexpr size_t kFrameStart = kLcdHeaderSize;

TEST_F(LcdDownloadTest, TheSelectedSlotsFramesReachTheScreenWithProgress) {
  KeyboardDlg& dlg = Ready();
  // The second frame is missing and the third is named out of its folder: both stay blank, and
  // the fourth keeps its place. The long delay is held at the byte's top, not wrapped.
  dlg.m_lcdLedId = AddSlot(dlg, {{L"a.png", 100}, {L"gone.png", 1}, {L"../a.png", 40}, {L"b.png", 1000}});
  WriteFrame("a.png", QColor(255, 0, 0));
  WriteFrame("b.png", QColor(0, 0, 255));
  slots_->SetCurSel(2);
  RecordProgress(dlg);
  dlg.PostTask(TaskSendLcdAnimation);
  dlg.Run();

  const size_t size = kLcdHeaderSize + 4 * kLcdFrameBytes;
  const int blocks = static_cast<int>((size + 4095) / 4096);
  const auto received = sim_.keyboard(0).received();
  EXPECT_EQ(received.lcdSlot, 3);
  EXPECT_EQ(received.lcdBlocksAnnounced, blocks);
  EXPECT_EQ(dlg.m_lcdSlotNumber, 3);
  const std::vector<uint8_t> image = sim_.keyboard(0).animationImage();
  ASSERT_EQ(image.size(), static_cast<size_t>(blocks) * 4096);
  EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 6),
            (std::vector<uint8_t>{4, 50, 1, 20, 255, 0xFF}));
  auto frameByte = [&](int frame, size_t offset) {
    return image[kFrameStart + frame * kLcdFrameBytes + offset];
  };
  const size_t last = 2 * kLcdPixels - 2;  // the bottom-right pixel
  EXPECT_EQ(frameByte(0, 0), 0x00);        // red 0xF800, low byte first
  EXPECT_EQ(frameByte(0, 1), 0xF8);
  EXPECT_EQ(frameByte(0, last), 0xFF);  // white
  EXPECT_EQ(frameByte(0, last + 1), 0xFF);
  for (int blank : {1, 2})
    EXPECT_TRUE(std::all_of(image.begin() + kFrameStart + blank * kLcdFrameBytes,
                            image.begin() + kFrameStart + (blank + 1) * kLcdFrameBytes,
                            [](uint8_t b) { return b == 0xFF; }))
        << blank;
  EXPECT_EQ(frameByte(3, 0), 0x1F);  // blue 0x001F
  EXPECT_EQ(frameByte(3, 1), 0x00);
  EXPECT_TRUE(std::all_of(image.begin() + size, image.end(), [](uint8_t b) { return b == 0xFF; }));

  const auto reports = Reports();
  ASSERT_EQ(reports.size(), static_cast<size_t>(blocks) + 1);
  for (int k = 0; k < blocks; ++k) EXPECT_EQ(reports[k].first, k * 100 / blocks);
  EXPECT_EQ(reports.back(), (std::pair<int, std::string>{100, "Loading: 100%"}));
  EXPECT_EQ(Transactions().back().back()[kPacketCommandOffset], CMD_END);
}

TEST_F(LcdDownloadTest, ASlotWithoutFramesSendsNothingAndAnEmptiedHolderGetsNoReport) {
  KeyboardDlg& dlg = Ready();
  dlg.m_lcdLedId = AddSlot(dlg, {});
  RecordProgress(dlg);
  slots_->SetCurSel(-1);
  EXPECT_FALSE(dlg.DownloadLcdAnimation());
  EXPECT_TRUE(sim_.log().empty());
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(dlg.m_lcdSlotNumber, 0);

  // The page's dialog has ended before the download: the frames go, nobody is told.
  dlg.m_lcdLedId = AddSlot(dlg, {{L"a.png", 100}});
  dlg.LcdProgress().Clear();
  EXPECT_TRUE(dlg.DownloadLcdAnimation());
  EXPECT_EQ(sim_.keyboard(0).received().lcdSlot, 0);
  EXPECT_EQ(sim_.keyboard(0).bulkBlocks(), 16);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(LcdDownloadTest, ClosingTheWindowStopsTheDownloadBetweenTwoBlocks) {
  KeyboardDlg& dlg = Ready();
  dlg.m_lcdLedId = AddSlot(dlg, {{L"a.png", 100}, {L"a.png", 100}});
  WriteFrame("a.png", QColor(0, 255, 0));
  RecordProgress(dlg);
  auto wait2 = std::make_shared<MainStandIn>();
  ASSERT_TRUE(wait2->Create(main_.GetSafeHwnd(), L"LEDWaitDlg2", WS_POPUP, RECT{0, 0, 200, 100}));
  dlg.SetWaitDlg2(wait2);

  // The first block is held on its way; the window is closed meanwhile.
  sim_.keyboard(0).gateNextIo(NodeRole::kBulk);
  dlg.PostTask(TaskSendLcdAnimation);
  std::thread pass([&] { dlg.Run(); });
  ASSERT_TRUE(sim_.keyboard(0).waitUntilGated(3000));
  std::thread releaser([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!dlg.StopRequested() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    sim_.keyboard(0).releaseGate();
  });
  dlg.DestroyWindow();  // waits for the pass
  releaser.join();
  pass.join();

  EXPECT_EQ(sim_.keyboard(0).bulkBlocks(), 1);
  EXPECT_EQ(Sent().back()[kPacketCommandOffset], CMD_END) << "the keyboard's transaction is closed";
  EXPECT_EQ(Reports(), (std::vector<std::pair<int, std::string>>{{0, "Loading: 0%"}}));
  EXPECT_EQ(dlg.m_lcdBusy.load(), 0);
  EXPECT_EQ(wait2->ShowModal(SW_SHOW), IDOK) << "the wait window was ended";
  wait2->DestroyWindow();
}

}  // namespace
}  // namespace kb_test
