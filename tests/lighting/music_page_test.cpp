// The music page: its controls on both keyboard variants, the modes of the list and what each
// control hands to the analyser and stores, and the analyser's picture copied onto the keys on
// screen and onto the simulated keyboard.
#include <QColor>
#include <QImage>
#include <algorithm>
#include <cmath>

#include "device/KeyCodes.h"
#include "keyboard/KeyboardText.h"
#include "keyboard_fixture.h"
#include "lighting/MusicKeys.h"
#include "support/pulse_server.h"
#include "zuvi/combo.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"
#include "zuvi/tab.h"

namespace kb_test {
namespace {

constexpr int kList = 294, kDevice = 299, kFore = 301, kAmplitude = 305, kBack = 307, kBrightness = 309;

class MusicPageTest : public KeyboardTest {
 protected:
  KeyboardDlg& Page(bool rgb = true) {
    return OpenIdleWindow([rgb](KeyboardDlg& d) { d.m_isRgb = rgb ? 1 : 0; });
  }
  static QelListBox* List(KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kList); }
  static MComboBox* Combo(KeyboardDlg& dlg, int id) { return dlg.GetControlAs<MComboBox>(id); }
  static MSlider* Slider(KeyboardDlg& dlg, int id) { return dlg.GetControlAs<MSlider>(id); }
  static std::vector<int> ComboData(KeyboardDlg& dlg, int id) {
    std::vector<int> out;
    for (int i = 0; i < Combo(dlg, id)->GetCount(); ++i) out.push_back(static_cast<int>(Combo(dlg, id)->GetItemData(i)));
    return out;
  }
  std::string Column(int layerId, const char* column) {
    return QueryText(StorePath(), std::string("SELECT ") + column + " FROM t_musiclayer_data WHERE layer_id=" +
                                      std::to_string(layerId));
  }
  std::string Selected() {
    return QueryText(StorePath(), "SELECT group_concat(layer_id) FROM t_musiclayer_data WHERE profile=1 AND sel=1");
  }
  void StoreMode(KeyboardDlg& dlg, int id, int device, int fore, int amplitude, int back, int brightness) {
    MusicLayerRow row;
    ASSERT_TRUE(dlg.m_configDB.GetMusicLayer(id, &row));
    row.deviceindex = device;
    row.foremode = fore;
    row.fore_amplitude = amplitude;
    row.backmode = back;
    row.backb_right = brightness;
    ASSERT_TRUE(dlg.m_configDB.UpdateMusicLayer(id, &row));
  }
  int HandOvers() {
    int n = 0;
    for (const auto& sleep : clock_.sleeps()) n += sleep.ms == 150;
    return n;
  }
  int FirstId(KeyboardDlg& dlg) { return static_cast<int>(List(dlg)->GetItemData(0)); }
};

TEST_F(MusicPageTest, ControlsOfBothVariants) {
  for (bool rgb : {true, false}) {
    SCOPED_TRACE(rgb ? "rgb" : "single colour");
    KeyboardDlg& dlg = Page(rgb);
    EXPECT_EQ(ComboData(dlg, kFore), rgb ? (std::vector<int>{9, 13, 14, 17, 19, 1, 2, 3, 4, 7, 5}) : (std::vector<int>{1}));
    EXPECT_EQ(Combo(dlg, kFore)->GetItemText(0), KbText(rgb ? 679 : 671));
    EXPECT_EQ(ComboData(dlg, kBack), (std::vector<int>{0, 1, 2, 3, 4, 7, 5, 9, 13, 14, 17, 19}));
    EXPECT_EQ(Combo(dlg, kBack)->GetItemText(8), KbText(685));
    EXPECT_EQ(Slider(dlg, kAmplitude)->GetMax(), 600);
    EXPECT_EQ(Slider(dlg, kBrightness)->GetMax(), 100);
    // The endpoint cannot be chosen on screen; the background settings only on RGB keyboards.
    EXPECT_TRUE(dlg.GetControl(kDevice)->GetRect().Width() <= 0);
    EXPECT_TRUE(dlg.GetControl(298)->GetRect().Width() <= 0);
    for (int id = 306; id <= 309; ++id) EXPECT_EQ(dlg.GetControl(id)->GetRect().Width() <= 0, !rgb) << id;
    EXPECT_FALSE(dlg.GetControl(kFore)->GetRect().Width() <= 0);
    KeyboardCtrl* view = dlg.GetKeyView(kb_ids::kMusicView);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetKeyboardCtrlMode(), 102);
    EXPECT_FALSE(view->GetKeyItems().empty());
    // The analyser started with the one loopback entry, which the hidden combo lists.
    ASSERT_EQ(Combo(dlg, kDevice)->GetCount(), 1);
    EXPECT_EQ(Combo(dlg, kDevice)->GetItemText(0), L"Default Loopback Device");
    EXPECT_EQ(dlg.m_visualizer->m_active.load(), 0);
    // A click on the display-only view picks no key.
    const auto point = view->KeyPoint(view->GetKeyItems().front().code);
    ASSERT_TRUE(point);
    zuvi_testing::Driver::ClickAt(dlg, kb_ids::kMusicView, *point);
    EXPECT_EQ(view->GetCurrentKey(), -1);
  }
}

TEST_F(MusicPageTest, TheSettingsPanelLooksLikeThePanelsOfTheOtherPages) {
  KeyboardDlg& dlg = Page();
  main_.ShowWindow(SW_SHOW);
  auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
  // The same point of the lower panel on the music and the lighting page.
  auto panel = [&](int tab) {
    for (int i = 0; i < tabs->GetItemCount(); ++i)
      if (tabs->GetItemID(i) == tab) {
        EXPECT_TRUE(zuvi_testing::Driver::Select(dlg, kb_ids::kTabs, i));
      }
    const std::string file = app_.path() + "panel.png";
    EXPECT_TRUE(dlg.RenderToPng(file));
    return QImage(QString::fromStdString(file)).pixelColor(1150, 700);
  };
  const QColor music = panel(TabMusic), lighting = panel(TabLighting);
  EXPECT_LE(std::abs(music.lightness() - lighting.lightness()), 8)
      << music.name().toStdString() << " " << lighting.name().toStdString();
}

TEST_F(MusicPageTest, TheSelectedModeIsShownAndHandedToTheAnalyser) {
  KeyboardDlg& dlg = Page();
  ASSERT_EQ(List(dlg)->GetCount(), 1);
  const int first = FirstId(dlg);
  StoreMode(dlg, first, 0, 17, 305, 9, 40);
  clock_.clearSleeps();
  const int opens = audio_->counts().opens;
  dlg.LoadMusicModeList();
  EXPECT_EQ(List(dlg)->GetCurSel(), 0);
  EXPECT_EQ(Combo(dlg, kFore)->GetCurData(), 17);
  EXPECT_EQ(Slider(dlg, kAmplitude)->GetPos(), 30);
  EXPECT_EQ(Combo(dlg, kBack)->GetCurData(), 9);
  EXPECT_EQ(Slider(dlg, kBrightness)->GetPos(), 40);
  Visualizer& analyser = *dlg.m_visualizer;
  EXPECT_EQ(analyser.m_foreScheme.load(), 17);
  EXPECT_EQ(analyser.m_gain.load(), 305);
  EXPECT_EQ(analyser.m_backScheme.load(), 9);
  EXPECT_EQ(analyser.m_backBrightness.load(), 40);
  EXPECT_EQ(HandOvers(), 1);
  EXPECT_EQ(analyser.m_active.load(), 0);  // not on show
  EXPECT_EQ(audio_->counts().opens, opens + 1);  // showing a mode reopens capture

  dlg.m_curTab = TabMusic;
  dlg.LoadMusicModeList();
  EXPECT_EQ(analyser.m_active.load(), 1);

  // No mode marked: nothing selected, neutral values, the analyser keeps its settings.
  ASSERT_TRUE(Exec(StorePath(), "UPDATE t_musiclayer_data SET sel=0"));
  dlg.LoadMusicModeList();
  EXPECT_EQ(List(dlg)->GetCurSel(), -1);
  EXPECT_EQ(Combo(dlg, kFore)->GetCurSel(), 0);
  EXPECT_EQ(Slider(dlg, kAmplitude)->GetPos(), 60);
  EXPECT_EQ(Slider(dlg, kBrightness)->GetPos(), 100);
  EXPECT_EQ(analyser.m_foreScheme.load(), 17);
}

TEST_F(MusicPageTest, EachControlHandsItsValueOverThenStoresItsColumn) {
  KeyboardDlg& dlg = Page();
  const int id = FirstId(dlg);
  Visualizer& analyser = *dlg.m_visualizer;
  struct Case {
    int control;
    std::function<void()> set;
    std::function<int()> member;
    const char* column;
    int expected;
  };
  const Case cases[] = {
      {kFore, [&] { Combo(dlg, kFore)->SetCurSel(3); }, [&] { return analyser.m_foreScheme.load(); }, "foremode", 17},
      {kAmplitude, [&] { Slider(dlg, kAmplitude)->SetPos(30); }, [&] { return analyser.m_gain.load(); },
       "fore_amplitude", 300},
      {kBack, [&] { Combo(dlg, kBack)->SetCurSel(1); }, [&] { return analyser.m_backScheme.load(); }, "backmode", 1},
      {kBrightness, [&] { Slider(dlg, kBrightness)->SetPos(35); }, [&] { return analyser.m_backBrightness.load(); },
       "backb_right", 35},
      {kDevice, [&] { Combo(dlg, kDevice)->SetCurSel(0); }, [&] { return analyser.m_deviceIndex.load(); },
       "deviceindex", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    clock_.clearSleeps();
    analyser.m_active = 0;
    c.set();
    EXPECT_EQ(dlg.OnMessage(c.control, NOTIFY_CLICK, 0, 0), 1);
    EXPECT_EQ(c.member(), c.expected);
    EXPECT_EQ(Column(id, c.column), std::to_string(c.expected));
    EXPECT_EQ(HandOvers(), 1);
    EXPECT_EQ(analyser.m_active.load(), 1);
  }
  const int opens = audio_->counts().opens;
  dlg.OnMessage(kDevice, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(audio_->counts().opens, opens + 1);  // a device change reopens capture

  // Without a selected mode the analyser still takes the value; the store does not.
  List(dlg)->SetCurSel(-1);
  Slider(dlg, kAmplitude)->SetPos(12);
  EXPECT_EQ(dlg.OnMessage(kAmplitude, NOTIFY_CLICK, 0, 0), 0);
  EXPECT_EQ(analyser.m_gain.load(), 120);
  EXPECT_EQ(Column(id, "fore_amplitude"), "300");
}

TEST_F(MusicPageTest, ModesAreAddedDeletedAndRenamed) {
  KeyboardDlg& dlg = Page();
  const int first = FirstId(dlg);
  EXPECT_EQ(dlg.OnMessage(289, NOTIFY_CLICK, 0, 0), 0);  // the last mode stays
  EXPECT_EQ(List(dlg)->GetCount(), 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(dlg.OnMessage(288, NOTIFY_CLICK, 0, 0), 1);
  ASSERT_EQ(List(dlg)->GetCount(), 4);
  EXPECT_EQ(List(dlg)->GetItemText(3), KbText(150) + L" 4");
  const int fourth = static_cast<int>(List(dlg)->GetItemData(3));
  EXPECT_EQ(List(dlg)->GetCurSel(), 3);
  EXPECT_EQ(Selected(), std::to_string(fourth));
  EXPECT_EQ(Column(fourth, "foremode"), "19");
  EXPECT_EQ(dlg.m_visualizer->m_foreScheme.load(), 19);

  // Picking a mode shows it without marking it.
  List(dlg)->SetCurSel(1);
  EXPECT_EQ(dlg.OnMessage(kList, NOTIFY_SELCHANGE, 0, 0), 1);
  EXPECT_EQ(Selected(), std::to_string(fourth));

  // Deleting the first selects and marks the new first entry.
  List(dlg)->SetCurSel(0);
  EXPECT_EQ(dlg.OnMessage(289, NOTIFY_CLICK, 0, 0), 1);
  ASSERT_EQ(List(dlg)->GetCount(), 3);
  EXPECT_EQ(Column(first, "COUNT(*)"), "0");
  EXPECT_EQ(List(dlg)->GetCurSel(), 0);
  EXPECT_EQ(Selected(), std::to_string(FirstId(dlg)));
  // Deleting another selects the entry before it.
  List(dlg)->SetCurSel(2);
  dlg.OnMessage(289, NOTIFY_CLICK, 0, 0);
  EXPECT_EQ(List(dlg)->GetCurSel(), 1);

  // Renames: stored; an empty name, or one the store refuses, shows the stored name again.
  const int id = FirstId(dlg);
  List(dlg)->SetCurSel(0);
  List(dlg)->ModifyItemString(0, L"Bass");
  EXPECT_EQ(dlg.OnMessage(kList, NOTIFY_EDIT_END, 0, 0), 1);
  EXPECT_EQ(Column(id, "name"), "Bass");
  List(dlg)->ModifyItemString(0, L"");
  dlg.OnMessage(kList, NOTIFY_EDIT_END, 0, 0);
  EXPECT_EQ(List(dlg)->GetItemText(0), L"Bass");
  ASSERT_TRUE(Exec(StorePath(), "CREATE TRIGGER no_rename BEFORE UPDATE OF name ON t_musiclayer_data "
                                "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  List(dlg)->ModifyItemString(0, L"Treble");
  dlg.OnMessage(kList, NOTIFY_EDIT_END, 0, 0);
  EXPECT_EQ(List(dlg)->GetItemText(0), L"Bass");
}

TEST_F(MusicPageTest, SingleColourKeyboardsShowAndPaintWhiteBars) {
  KeyboardDlg& dlg = Page(false);
  const int id = FirstId(dlg);
  StoreMode(dlg, id, 0, 7, 300, 0, 100);
  dlg.LoadMusicModeList();
  EXPECT_EQ(Combo(dlg, kFore)->GetCurData(), 1);
  EXPECT_EQ(dlg.m_visualizer->m_foreScheme.load(), 1);
  EXPECT_EQ(Column(id, "foremode"), "7");
}

// The keys and colours the music view's picture gives, through the analyser's own painters.
class MusicLiveColoursTest : public MusicPageTest {
 protected:
  // A picture of one solid background scheme and no bars.
  static void Paint(KeyboardDlg& dlg, int backScheme) {
    Visualizer& analyser = *dlg.m_visualizer;
    analyser.m_backScheme = backScheme;
    analyser.m_backBrightness = 100;
    analyser.m_active = 1;
    analyser.RenderOnce();
    analyser.m_active = 0;
  }
  static std::uint32_t ColourOf(KeyboardDlg& dlg, int code) {
    for (const KeyItem& item : dlg.GetKeyView(kb_ids::kMusicView)->GetKeyItems())
      if (item.code == code) return item.color;
    return 0xDEAD;
  }
  // A block that lights no key: RGB records keep their LED index with red, green and blue 0; a
  // single-colour block is all 0.
  static bool Dark(const std::vector<std::uint8_t>& block, bool rgb) {
    for (size_t k = 0; k < block.size(); ++k)
      if (block[k] != 0 && (!rgb || k % 4 != 0)) return false;
    return !block.empty();
  }
  // The LED indexes of an RGB block's records, in order.
  static std::vector<std::uint8_t> Leds(const std::vector<std::uint8_t>& block) {
    std::vector<std::uint8_t> leds;
    for (size_t k = 0; k + 3 < block.size(); k += 4) leds.push_back(block[k]);
    return leds;
  }
};

TEST_F(MusicLiveColoursTest, TheSampledKeysShowThePictureAndTheKeyboardGetsIt) {
  for (bool rgb : {true, false}) {
    SCOPED_TRACE(rgb ? "rgb" : "single colour");
    KeyboardDlg& dlg = Page(rgb);
    const int framesBefore = sim_.keyboard(0).received().liveFrames;
    Paint(dlg, 2);  // red, scaled: 254
    dlg.UpdateMusicKeyLevels();
    EXPECT_EQ(ColourOf(dlg, 0x04), 0x0000FEu);  // A
    EXPECT_EQ(ColourOf(dlg, 0x29), 0x0000FEu);  // Escape, on the top sampled row
    const auto got = sim_.keyboard(0).received();
    ASSERT_EQ(got.liveFrames, framesBefore + 1);
    ASSERT_EQ(got.liveColors.size(), rgb ? 512u : 192u);
    const int ledA = HidUsageToKeyIndexFull(0x04);
    if (rgb) {
      bool found = false;
      for (size_t k = 0; k + 3 < got.liveColors.size(); k += 4)
        if (got.liveColors[k] == ledA) found = got.liveColors[k + 1] == 0xFE && got.liveColors[k + 2] == 0;
      EXPECT_TRUE(found);
    } else {
      EXPECT_EQ(got.liveColors[ledA], 0xFD);
    }

    // The picture turns black: one dark block of the same form puts the keys out, then nothing
    // goes until a key lights again.
    const std::vector<std::uint8_t> lit = got.liveColors;
    Paint(dlg, 0);
    dlg.UpdateMusicKeyLevels();
    EXPECT_EQ(ColourOf(dlg, 0x04), 0u);
    ASSERT_EQ(sim_.keyboard(0).received().liveFrames, framesBefore + 2);
    const std::vector<std::uint8_t> dark = sim_.keyboard(0).received().liveColors;
    EXPECT_TRUE(Dark(dark, rgb));
    if (rgb) {
      EXPECT_EQ(Leds(dark), Leds(lit)) << "every key of the lit block, put out";
    }
    sim_.clearLog();
    dlg.UpdateMusicKeyLevels();
    EXPECT_TRUE(Sent().empty());

    // Switching the output off after a lit block puts the keys out once as well.
    Paint(dlg, 2);
    dlg.UpdateMusicKeyLevels();
    dlg.m_musicOutputEnabled = 0;
    dlg.UpdateMusicKeyLevels();
    EXPECT_EQ(ColourOf(dlg, 0x04), 0x0000FEu);
    EXPECT_EQ(sim_.keyboard(0).received().liveFrames, framesBefore + 4);
    EXPECT_TRUE(Dark(sim_.keyboard(0).received().liveColors, rgb));
    sim_.clearLog();
    dlg.UpdateMusicKeyLevels();
    EXPECT_TRUE(Sent().empty());
  }
}

// The page on a real sound server: a private PulseAudio server plays a tone into its default sink,
// the window's analyser renders on its own thread, and each pass of the page's idle job is run here.
class MusicPulseTest : public MusicLiveColoursTest {
 protected:
  void SetUp() override {
    MusicLiveColoursTest::SetUp();
    if (!server_.Running()) GTEST_SKIP() << "no private PulseAudio server: " << server_.Error();
  }
  KeyboardDlg& PulsePage() {
    KeyboardDlg& dlg = OpenIdleWindow([this](KeyboardDlg& d) {
      d.m_isRgb = 1;
      KeyboardDlg::Services services = TestServices();
      services.makeAudio = [] { return platform::audio::MakePulseAudioBackend(); };
      d.SetServices(std::move(services));
    });
    dlg.m_curTab = TabMusic;
    dlg.m_visualizer->m_active = 1;
    return dlg;
  }
  // Runs passes (10 ms apart, 5 s at most) until `done`; false when it never was.
  static bool PassUntil(KeyboardDlg& dlg, const std::function<bool()>& done) {
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
         std::chrono::steady_clock::now() < end;) {
      dlg.UpdateMusicKeyLevels();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  bool KeyboardLit() {
    const auto got = sim_.keyboard(0).received();
    return got.liveFrames > 0 && !Dark(got.liveColors, true);
  }
  // Runs passes until one sends nothing. While the picture is lit every pass sends a block, so the
  // pass after the one that saw the picture turn black is the first quiet one: the block before it
  // must have put the keyboard out, and no later pass sends anything.
  void ExpectDarkOnceTheMusicStops(KeyboardDlg& dlg) {
    int frames = -1, darkBlocks = 0;
    ASSERT_TRUE(PassUntil(dlg, [&] {
      const auto got = sim_.keyboard(0).received();
      const bool quiet = got.liveFrames == frames;
      darkBlocks += !quiet && Dark(got.liveColors, true);
      frames = got.liveFrames;
      return quiet;
    })) << "the picture never turned black";
    EXPECT_TRUE(Dark(sim_.keyboard(0).received().liveColors, true)) << "the keyboard still shows the music";
    EXPECT_EQ(darkBlocks, 1);
    sim_.clearLog();
    for (int pass = 0; pass < 10; ++pass) dlg.UpdateMusicKeyLevels();
    EXPECT_TRUE(Sent().empty());
  }

  testing_support::PulseServer server_;
  testing_support::ScopedEnv pulseEnv_{"PULSE_SERVER", server_.Address()};
};

TEST_F(MusicPulseTest, TheKeyboardGoesDarkWhenTheMusicStopsAndWhenTheServerGoes) {
  KeyboardDlg& dlg = PulsePage();
  ASSERT_EQ(dlg.m_visualizer->DeviceNames().size(), 1u);
  std::thread tone([&] { server_.PlayTone(3000, 0.1f, 600); });
  const bool lit = PassUntil(dlg, [&] { return KeyboardLit(); });
  tone.join();  // played out: silence from here
  ASSERT_TRUE(lit) << "the tone never lit the keyboard";
  ExpectDarkOnceTheMusicStops(dlg);

  // Capture lost: the server ends while the tone plays.
  std::thread again([&] { server_.PlayTone(3000, 0.1f, 3000); });
  const bool litAgain = PassUntil(dlg, [&] { return KeyboardLit(); });
  ASSERT_TRUE(server_.Kill());
  again.join();
  ASSERT_TRUE(litAgain) << "the second tone never lit the keyboard";
  ExpectDarkOnceTheMusicStops(dlg);
}

// The page as the user sees it while music plays: bars of the rainbow scheme over a dimmed
// background. The picture goes to $KELVANE_RENDER_DIR when it is set.
TEST_F(MusicLiveColoursTest, BarsShowOnTheKeysOnScreen) {
  KeyboardDlg& dlg = Page();
  main_.ShowWindow(SW_SHOW);
  auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);
  int position = 0;
  while (position < tabs->GetItemCount() && tabs->GetItemID(position) != TabMusic) ++position;
  ASSERT_TRUE(zuvi_testing::Driver::Select(dlg, kb_ids::kTabs, position));
  Visualizer& analyser = *dlg.m_visualizer;
  analyser.m_active = 0;
  analyser.m_foreScheme = 13;
  analyser.m_backScheme = 7;
  analyser.m_backBrightness = 30;
  // A loud low tone and its neighbours: the bars on the left stand high.
  for (int packet = 0; packet < 4; ++packet) {
    platform::audio::FakeAudioBackend::ScriptedPacket p;
    p.frames = 480;
    for (int i = 0; i < 480; ++i) {
      const float v = 0.5f * std::sin(static_cast<float>(packet * 480 + i) * 0.02f) +
                      0.3f * std::sin(static_cast<float>(packet * 480 + i) * 0.21f);
      p.samples.push_back(v);
      p.samples.push_back(v);
    }
    audio_->QueuePacket(std::move(p));
  }
  analyser.m_active = 1;
  analyser.RenderOnce();
  analyser.m_active = 0;
  dlg.UpdateMusicKeyLevels();
  zuvi_testing::Driver::RunFor(5);
  const char* wanted = std::getenv("KELVANE_RENDER_DIR");
  const std::string file = (wanted && *wanted ? std::string(wanted) + "/" : app_.path()) + "keyboard-music-live.png";
  ASSERT_TRUE(dlg.RenderToPng(file)) << file;
  const QImage picture(QString::fromStdString(file));
  KeyboardCtrl* view = dlg.GetKeyView(kb_ids::kMusicView);
  auto colour = [&](int code) {
    const POINT at = *view->KeyPoint(code);
    return picture.pixel(at.x, at.y - 8);
  };
  EXPECT_NE(colour(0x2C), colour(0x58)) << "a lit bar key and a background key look different";
  EXPECT_EQ(QColor(colour(0x58)), QColor(0, 0, 255 * 76 / 256)) << "the background: blue at 30 %";
}

TEST(MusicKeysTest, BandTablesAndSamplingSkipPointsWithoutKeys) {
  const music_keys::BandTables tables = music_keys::MakeBandTables();
  EXPECT_EQ(tables.rows, (std::array<int, 6>{7, 17, 27, 37, 47, 57}));
  EXPECT_EQ(tables.columns[22], 242);
  std::vector<std::uint32_t> picture(64 * 256, 1);
  picture[7 * 256 + 11] = 2;  // Escape's point
  const music_keys::Sample sample = music_keys::SamplePicture(picture, tables);
  EXPECT_TRUE(sample.lit);
  size_t keys = 0;
  for (const auto& row : music_keys::kKeyPositions)
    keys += static_cast<size_t>(std::count_if(row.begin(), row.end(), [](int u) { return u != 0xFF; }));
  EXPECT_EQ(sample.keys.size(), keys);
  EXPECT_EQ(sample.keys.front().keyCode, 0x29);
  EXPECT_EQ(sample.keys.front().color, 2u);
  picture[7 * 256 + 11] = 1;
  EXPECT_FALSE(music_keys::SamplePicture(picture, tables).lit);  // 1 is not "2 or more"
}

}  // namespace
}  // namespace kb_test
