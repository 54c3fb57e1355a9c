// The frame editor and the frame list: edits land in edit files (never in the picture), pen widths,
// eraser and undo touch only the overlay, texts in the pen colour (on every frame when editing
// them all), display-only grid and scale, the menu's right click, no input while disabled, a
// worker's calls while the UI thread draws; the frame list's positions and its GIF.
#include "zuvi/image_view.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <atomic>
#include <filesystem>
#include <thread>

#include "common/strings.h"
#include "tests/support/temp_dir.h"
#include "tests/zuvi/recording_dialog.h"
#include "zuvi/image_view_list.h"
#include "zuvi/testing/driver.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using zuvi_testing::Driver;

namespace {

constexpr int kEditor = 332, kFrames = 336;
const QColor kBase(0, 0, 80);

QImage Read(const std::wstring& path) {
  return QImage(QString::fromStdString(WideToUtf8(path))).convertToFormat(QImage::Format_RGB32);
}

// How many pixels of red cover column x between rows from and to (antialiased edges count in part).
double RedCover(const QImage& image, int x, int from, int to) {
  double cover = 0;
  for (int y = from; y <= to; ++y) cover += image.pixelColor(x, y).red() / 255.0;
  return cover;
}

// Centre of the pixels where green shows.
QPointF GreenCentre(const QImage& image) {
  double sx = 0, sy = 0, n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y).green() > 128) sx += x, sy += y, ++n;
  return n > 0 ? QPointF(sx / n, sy / n) : QPointF(-1, -1);
}

class ImageViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.CreatePopup());
    editor = dynamic_cast<ImageView*>(window.CreateControl(L"ImageView", kEditor, RECT{0, 0, 240, 135}));
    ASSERT_NE(editor, nullptr);
    picture = MakePicture(L"frame.png", kBase);
    editor->SetEditFolder(dir.wpath() + L"edit/");
    editor->SetImageFile(picture, picture);
    editor->SetColorValue(0x0000FF);  // red
  }

  std::wstring MakePicture(const std::wstring& name, const QColor& colour) const {
    QImage image(240, 135, QImage::Format_RGB32);
    image.fill(colour);
    std::wstring path = dir.wpath() + name;
    EXPECT_TRUE(image.save(QString::fromStdString(WideToUtf8(path))));
    return path;
  }

  int Changes() const {
    return static_cast<int>(std::count_if(window.notifications.begin(), window.notifications.end(),
                                          [](const Notification& n) { return n.code == 32; }));
  }

  Driver driver;
  TempDir dir;
  RecordingDialog window;
  ImageView* editor = nullptr;
  std::wstring picture;
};

}  // namespace

TEST_F(ImageViewTest, PenEraserAndUndoChangeOnlyTheOverlayAndEachChangeIsWritten) {
  const std::string original = ReadFile(WideToUtf8(picture));
  EXPECT_EQ(editor->GetEditImageFile(), picture) << "unedited, the picture is its own edit file";
  editor->SetDrawMode(ImageView::kPenMode);
  const std::pair<int, int> sizes[] = {{16, 2}, {30, 5}, {50, 8}};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(editor->SetPenSize(sizes[i].first));
    int y = 30 + 40 * i;
    ASSERT_TRUE(Driver::Drag(window, kEditor, {POINT{20, y}, POINT{120, y}, POINT{220, y}}));
    EXPECT_NEAR(RedCover(Read(editor->GetEditImageFile()), 120, y - 10, y + 10), sizes[i].second, 0.5)
        << sizes[i].first;
  }
  EXPECT_FALSE(editor->SetPenSize(20));
  EXPECT_EQ(editor->GetPenWidth(), 8);
  const std::wstring edit = editor->GetEditImageFile();
  EXPECT_NE(edit, picture);
  EXPECT_EQ(std::filesystem::path(edit).parent_path(),
            std::filesystem::path(WideToUtf8(dir.wpath() + L"edit")));
  EXPECT_EQ(ReadFile(WideToUtf8(picture)), original) << "the picture file is never written";
  EXPECT_EQ(Changes(), 3);

  // The eraser takes the stroke away and leaves the picture under it.
  editor->SetDrawMode(ImageView::kEraserMode);
  ASSERT_TRUE(Driver::Drag(window, kEditor, {POINT{10, 70}, POINT{230, 70}}));
  EXPECT_EQ(Read(edit).pixelColor(120, 70), kBase);
  EXPECT_EQ(RedCover(Read(edit), 120, 60, 80), 0.0);
  EXPECT_EQ(editor->GetEditImageFile(), edit) << "later changes keep their edit file";

  // Undo brings back the stroke, then takes back every stroke.
  editor->RecoverCurEdit();
  EXPECT_NEAR(RedCover(Read(edit), 120, 60, 80), 5, 0.5);
  for (int i = 0; i < 3; ++i) editor->RecoverCurEdit();
  EXPECT_EQ(Read(edit), Read(picture));
  EXPECT_EQ(Changes(), 8);
  editor->RecoverCurEdit();
  EXPECT_EQ(Changes(), 8) << "nothing left to take back";
  EXPECT_EQ(editor->RecoverCount(), 5);

  // At least 20 steps: of 25 dots, 20 undos leave the first five.
  editor->SetDrawMode(ImageView::kPenMode);
  for (int i = 0; i < 25; ++i) ASSERT_TRUE(Driver::Drag(window, kEditor, {POINT{8 + 9 * i, 100}}));
  for (int i = 0; i < 20; ++i) editor->RecoverCurEdit();
  QImage dots = Read(edit);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(dots.pixelColor(8 + 9 * i, 100).red() > 100, i < 5) << i;

  editor->ClearCurEdit();
  EXPECT_EQ(Read(edit), Read(picture));
}

TEST_F(ImageViewTest, TextsTakeThePenColourMoveUntilTheNextEditAndGoOntoEveryFrame) {
  editor->SetColorValue(0x00FF00);
  editor->SetFontSize(0);
  EXPECT_EQ(editor->GetFontSize(), 1);
  editor->SetFontSize(60);
  EXPECT_FALSE(editor->AddText(L""));
  ASSERT_TRUE(editor->AddText(L"H"));
  QImage text = Read(editor->GetEditImageFile());
  QPointF centre = GreenCentre(text);
  EXPECT_NEAR(centre.x(), 120, 6);
  EXPECT_NEAR(centre.y(), 67, 8);
  bool onlyGreen = true;
  for (int y = 0; y < 135; ++y)
    for (int x = 0; x < 240; ++x) onlyGreen &= text.pixelColor(x, y).red() == 0;
  EXPECT_TRUE(onlyGreen) << "the text is drawn in the pen colour";

  // In text mode a drag moves the last text; undo puts it back.
  editor->SetDrawMode(ImageView::kTextMode);
  ASSERT_TRUE(Driver::Drag(window, kEditor, {POINT{100, 60}, POINT{130, 60}, POINT{150, 60}}));
  EXPECT_NEAR(GreenCentre(Read(editor->GetEditImageFile())).x(), 170, 6);
  editor->RecoverCurEdit();
  EXPECT_NEAR(GreenCentre(Read(editor->GetEditImageFile())).x(), 120, 6);
  EXPECT_EQ(Changes(), 3);

  // With the preview mode off a text goes onto every frame, each into its own new edit file, and
  // strokes are refused.
  std::wstring other = MakePicture(L"other.png", QColor(80, 0, 0));
  std::vector<ImageViewItem> items = {{picture, picture, 50, 1, L"frame.png"},
                                      {other, other, 50, 2, L"other.png"}};
  editor->Clear();
  editor->SetItems(items, 1);
  editor->SetImagePreviewMode(false);
  ASSERT_TRUE(editor->AddText(L"H"));
  std::vector<ImageViewItem> edited = editor->GetItems();
  ASSERT_EQ(edited.size(), 2u);
  EXPECT_NE(edited[0].editFile, edited[1].editFile);
  for (int i = 0; i < 2; ++i) {
    EXPECT_NE(edited[i].editFile, items[i].pictureFile);
    QImage frame = Read(edited[i].editFile);
    EXPECT_NEAR(GreenCentre(frame).x(), 120, 6) << i;
    EXPECT_EQ(frame.pixelColor(5, 5), i == 0 ? kBase : QColor(80, 0, 0)) << i;
  }
  EXPECT_EQ(editor->GetEditImageFile(), edited[1].editFile) << "the frame shown";
  int changes = Changes();
  editor->SetDrawMode(ImageView::kPenMode);
  Driver::Drag(window, kEditor, {POINT{10, 10}, POINT{200, 10}});
  EXPECT_EQ(Changes(), changes);
  EXPECT_EQ(Read(edited[0].editFile).pixelColor(100, 10), kBase);

  // Back in the preview mode the frame shown is edited with its edits.
  editor->SetImagePreviewMode(true);
  editor->SetColorValue(0x0000FF);
  EXPECT_EQ(editor->GetEditImageFile(), edited[1].editFile);
  ASSERT_TRUE(Driver::Drag(window, kEditor, {POINT{10, 10}, POINT{200, 10}}));
  EXPECT_EQ(editor->GetEditImageFile(), edited[1].editFile);
  EXPECT_NEAR(GreenCentre(Read(edited[1].editFile)).x(), 120, 6) << "the text stays";
  EXPECT_TRUE(editor->SaveImageData());
}

TEST_F(ImageViewTest, GridAndScaleAreDisplayOnlyAndADisabledEditorTakesNoInput) {
  editor->SetRect(RECT{0, 0, 300, 200});
  editor->SetShowGridLine(true);
  editor->SetDrawMode(ImageView::kPenMode);
  editor->SetPenSize(50);
  // At 100 % the frame sits centred at (30, 32.5); fitted it is 1.25 times as large from (0, 15.6).
  editor->SetScale100(true);
  ASSERT_TRUE(Driver::Drag(window, kEditor, {POINT{50, 50}}));
  QImage at100 = Read(editor->GetEditImageFile());
  EXPECT_GT(at100.pixelColor(20, 17).red(), 200);
  editor->SetScale100(false);
  ASSERT_TRUE(Driver::Drag(window, kEditor, {POINT{250, 140}}));
  QImage fitted = Read(editor->GetEditImageFile());
  EXPECT_GT(fitted.pixelColor(200, 100).red(), 200);
  int unchanged = 0;
  for (int y = 0; y < 135; ++y)
    for (int x = 0; x < 240; ++x) unchanged += fitted.pixelColor(x, y) == kBase;
  EXPECT_GT(unchanged, 240 * 135 - 200) << "no grid line in the file";

  QImage shown(300, 200, QImage::Format_RGB32);
  QPainter painter(&shown);
  editor->Paint(painter, shown.rect());
  EXPECT_EQ(shown.pixelColor(100, 15 + 12), QColor(0x40, 0x40, 0x40)) << "the grid is shown";

  ASSERT_TRUE(Driver::RightClick(window, kEditor));
  EXPECT_EQ(window.notifications.back(), (Notification{kEditor, 5, 0})) << "the window opens its menu";

  editor->SetEnabled(false);
  window.notifications.clear();
  EXPECT_FALSE(Driver::RightClick(window, kEditor));
  EXPECT_FALSE(Driver::Drag(window, kEditor, {POINT{10, 100}, POINT{200, 100}}));
  EXPECT_FALSE(Driver::Click(window, kEditor));
  EXPECT_TRUE(window.notifications.empty());
  EXPECT_EQ(Read(editor->GetEditImageFile()), fitted);
}

TEST_F(ImageViewTest, PicturesBecomeFramesAndAWorkerEditsWhileTheUiThreadDraws) {
  QImage small(10, 10, QImage::Format_ARGB32);
  small.fill(QColor(0, 255, 0, 255));
  std::wstring added = dir.wpath() + L"added.png";
  ASSERT_TRUE(small.save(QString::fromStdString(WideToUtf8(added))));
  EXPECT_TRUE(editor->SaveCurrentImage(added));
  EXPECT_EQ(Read(added).size(), QSize(240, 135));
  std::string notes = dir.Write("notes.png", "no picture");
  EXPECT_FALSE(editor->SaveCurrentImage(Utf8ToWide(notes)));
  EXPECT_EQ(ReadFile(notes), "no picture");

  // Edits that cannot be written are said so and never name a missing file.
  editor->SetEditFolder(Utf8ToWide(notes) + L"/edit");
  editor->SetDrawMode(ImageView::kPenMode);
  ASSERT_TRUE(Driver::Drag(window, kEditor, {POINT{10, 10}, POINT{100, 10}}));
  EXPECT_EQ(editor->GetEditImageFile(), picture);
  EXPECT_FALSE(editor->SaveImageData());
  editor->SetEditFolder(dir.wpath() + L"edit");
  EXPECT_TRUE(editor->SaveImageData()) << "written once the folder can be made";
  EXPECT_GT(Read(editor->GetEditImageFile()).pixelColor(50, 10).red(), 200);
  EXPECT_NE(editor->GetEditImageFile(), picture);

  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int round = 0; round < 60; ++round) {
      editor->SetImageFile(round % 2 ? picture : added, L"");
      editor->SetColorValue(round * 4);
      editor->AddText(L"T" + std::to_wstring(round));
      if (round % 3 == 0) editor->ClearCurEdit();
      if (round % 5 == 0) editor->RecoverCurEdit();
      if (round % 7 == 0) editor->SetItems({{picture, picture, 50, 1, L"a"}}, 0);
    }
    done = true;
  });
  int draws = 0;
  QImage shown(240, 135, QImage::Format_RGB32);
  while (!done || draws < 5) {
    QPainter painter(&shown);
    editor->Paint(painter, shown.rect());
    ++draws;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  worker.join();
  Driver::RunFor(5);
  EXPECT_EQ(QImage(QString::fromStdString(WideToUtf8(editor->GetEditImageFile()))).size(), QSize(240, 135));
  EXPECT_GT(Changes(), 60);
}

TEST(ImageViewListTest, PositionsSelectionAndTheGifOfTheEditFiles) {
  Driver driver;
  TempDir dir;
  RecordingDialog window;
  ASSERT_TRUE(window.CreatePopup());
  auto* frames =
      dynamic_cast<ImageViewList*>(window.CreateControl(L"ImageViewList", kFrames, RECT{0, 0, 300, 90}));
  ASSERT_NE(frames, nullptr);
  auto picture = [&](const char* name, QColor colour) {
    QImage image(240, 135, QImage::Format_RGB32);
    image.fill(colour);
    std::string path = dir.path() + name;
    EXPECT_TRUE(image.save(QString::fromStdString(path)));
    return Utf8ToWide(path);
  };
  std::wstring red = picture("red.png", Qt::red), blue = picture("blue.png", Qt::blue),
               white = picture("white.png", Qt::white);
  EXPECT_EQ(frames->AddItem(red, 50, 1, L"red.png"), 0);
  EXPECT_EQ(frames->AddItem(blue, 70, 2, L"blue.png"), 1);
  ASSERT_TRUE(frames->SetCurSel(1));
  ASSERT_TRUE(frames->InsertItem(0, white, 90, 0, L"white.png"));
  EXPECT_EQ(frames->GetCurSel(), 2) << "the selection stays on its frame";
  EXPECT_FALSE(frames->InsertItem(5, white, 90, 0, L"x"));
  EXPECT_EQ(frames->GetItem(0), (ImageViewItem{white, white, 90, 0, L"white.png"}));
  ASSERT_TRUE(frames->DeleteItem(0));
  EXPECT_EQ(frames->GetCurSel(), 1);
  for (int bad : {-1, 2, 9}) {
    EXPECT_EQ(frames->GetItem(bad), ImageViewItem{}) << bad;
    EXPECT_FALSE(frames->DeleteItem(bad)) << bad;
    EXPECT_FALSE(frames->UpdateItemImageFile(bad, white)) << bad;
    EXPECT_FALSE(frames->SetItemDelayTime(bad, 40)) << bad;
    EXPECT_FALSE(frames->SetCurSel(bad == -1 ? -2 : bad)) << bad;
  }
  EXPECT_EQ(frames->GetCount(), 2);

  // The first frame edited white: the GIF shows the edit, with the delays set.
  ASSERT_TRUE(frames->UpdateItemImageFile(0, white));
  EXPECT_EQ(frames->GetItemEditImageFile(0), white);
  EXPECT_EQ(frames->GetItem(0).pictureFile, red);
  frames->SetDelayTime(200);
  ASSERT_TRUE(frames->SetItemDelayTime(1, 60));
  std::wstring gif = dir.wpath() + L"out";
  ASSERT_TRUE(frames->SaveGIFImageFile(gif, 240, 135));
  QImageReader reader(QString::fromStdString(dir.path() + "out.gif"));
  EXPECT_EQ(reader.imageCount(), 2);
  QImage first = reader.read();
  EXPECT_EQ(first.size(), QSize(240, 135));
  EXPECT_EQ(first.pixelColor(100, 50), QColor(Qt::white));
  EXPECT_EQ(reader.nextImageDelay(), 200);
  reader.read();
  EXPECT_EQ(reader.nextImageDelay(), 60);
  std::vector<ImageViewItem> all = frames->GetImageViewItems();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].delayMs, 200);

  // Clicks select and report 2, double clicks 9; an empty list writes no file.
  window.notifications.clear();
  ASSERT_TRUE(Driver::Select(window, kFrames, 0));
  ASSERT_TRUE(Driver::DoubleClickRow(window, kFrames, 1));
  EXPECT_FALSE(Driver::Select(window, kFrames, 2));
  EXPECT_EQ(frames->GetCurSel(), 1);
  EXPECT_EQ(window.notifications,
            (std::vector<Notification>{{kFrames, 2, 0}, {kFrames, 2, 1}, {kFrames, 9, 1}}));
  frames->Clear();
  EXPECT_FALSE(frames->SaveGIFImageFile(dir.wpath() + L"empty.gif", 240, 135));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "empty.gif"));
}
