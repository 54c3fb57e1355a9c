// The language switch: every section of built controls is re-texted in the new language, gated
// pages are left alone, the default names of the lists are relabelled (and refilled rows kept),
// and a switched window reads like one built in that language.
#include "common/lang_text.h"
#include "frame_support.h"
#include "keyboard/KeyboardFrame.h"
#include "zuvi/combo.h"
#include "zuvi/edit.h"
#include "zuvi/key_func_control.h"
#include "zuvi/lcd_view_list.h"
#include "zuvi/list_box.h"

namespace kb_test {
namespace {

constexpr int kEnglish = 0x409;
constexpr int kChinese = 0x804;
constexpr int kJapanese = 0x411;

// Restores the UI language after the test.
struct LanguageScope {
  int saved = g_languageId.load();
  ~LanguageScope() { g_languageId.store(saved); }
};

class LanguageTest : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    // Texts that name their id and language: "en-150", "zh-150", "ja-150".
    for (const auto& [file, prefix] :
         {std::pair{"1033", "en"}, std::pair{"2052", "zh"}, std::pair{"1041", "ja"}}) {
      std::string lan = "[KB.DIALOG]\n";
      for (int id = 1; id < 1000; ++id)
        lan += std::to_string(id) + "=" + prefix + "-" + std::to_string(id) + "\n";
      app_.Write(std::string("language/") + file + ".lan", lan);
    }
    g_languageId.store(kEnglish);
  }

  static std::wstring W(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  // One sample control of every section, made by the builder of its page.
  static void BuildSamples(RecordingDlg& w, const std::string& page) {
    auto make = [&w](const wchar_t* cls, int id, int pageId) {
      return w.CreateControl(cls, id, RECT{}, nullptr, 1, 1, w.GetControl(pageId));
    };
    if (page == "CreateKeyAssignPage" || page == "CreateLightPage" || page == "CreateMusicPage") {
      return;  // built: their own controls are the samples
    } else if (page == "CreateCustomLightPage") {
      // Built: its own controls are the samples, with the layer buttons it shares.
      make(L"KeyLayerButton", 185, 53);
      make(L"KeyLayerButton", 186, 53);
    } else if (page == "CreateCustomLightModePage") {
      make(L"CImageButton", 190, 57);
      make(L"KeyLayerButton", 229, 57);  // without its partner 230
    } else if (page == "CreateLcdPage") {
      make(L"LCDViewList", 323, 58);
      make(L"CHelpButton", 330, 58);
      make(L"MEdit", 339, 58);
      make(L"CImageButton", 343, 58);
    }
  }

  RecordingDlg& Samples(const Capabilities& caps = {}) {
    RecordingDlg& dlg = CreateRecording(caps, 1200, 720, [](RecordingDlg& d) { d.onBuild = BuildSamples; });
    Drain(dlg);
    // Below the store's own profile (its name is the default name of the language it was made in).
    auto* profiles = dlg.GetControlAs<QelListBox>(66);
    profiles->ModifyItemString(0, L"默认配置");
    profiles->AddString(L"默认配置 1");
    profiles->AddString(L"Mine");
    // Music modes as a foreign store's would show.
    if (auto* modes = dlg.GetControlAs<QelListBox>(294)) {
      modes->ResetContent();
      modes->AddString(L"默认配置 1");
      modes->AddString(L"新配置方案 2");
    }
    // The store holds no custom light scheme: rows as a foreign store's would show.
    if (auto* schemes = dlg.GetControlAs<QelListBox>(138)) {
      schemes->AddString(L"新配置方案");
      schemes->AddString(L"默认配置");
    }
    return dlg;
  }

  static std::wstring Title(KeyboardDlg& dlg, int id) {
    return dlg.GetControlAs<MControlFont>(id)->GetTitle();
  }
  static std::wstring Row(KeyboardDlg& dlg, int id, int row) {
    return dlg.GetControlAs<QelListBox>(id)->GetItemText(row);
  }
};

TEST_F(LanguageTest, ASwitchRetextsASampleOfEverySection) {
  LanguageScope language;
  RecordingDlg& dlg = Samples();
  g_languageId.store(kChinese);
  dlg.ApplyLanguage();

  EXPECT_EQ(dlg.GetControl(44)->GetTooltip(), L"zh-2");  // frame
  EXPECT_EQ(Title(dlg, 36), L"zh-20");
  auto* chooser = dlg.GetControlAs<KeyFuncControl>(71);  // key assignment
  EXPECT_EQ(chooser->GetItemDesc(500), L"zh-570");
  EXPECT_EQ(chooser->GetItemDesc(517), L"zh-587");
  int functions = 0;
  for (const KeyFuncGroup& group : chooser->Groups())
    for (const KeyFuncItem& item : group.items) functions += item.kind == 2;
  EXPECT_EQ(functions, 18);
  EXPECT_EQ(chooser->Groups()[0].heading, L"zh-121");
  EXPECT_EQ(chooser->Groups()[1].heading, L"zh-125");
  EXPECT_EQ(Title(dlg, 72), L"zh-95");
  EXPECT_EQ(Title(dlg, 119), L"zh-95");
  EXPECT_EQ(Title(dlg, 74), L"zh-98");
  EXPECT_EQ(Title(dlg, 185), L"zh-95");  // pairs of Fn buttons
  EXPECT_EQ(Title(dlg, 186), L"zh-96");
  EXPECT_EQ(Title(dlg, 229), L"") << "a button without its partner is left alone";
  auto* fnCombo = dlg.GetControlAs<MComboBox>(268);  // settings
  EXPECT_EQ(fnCombo->GetItemText(0), L"zh-98");
  EXPECT_EQ(fnCombo->GetItemText(1), L"zh-99");
  EXPECT_EQ(Title(dlg, 283), L"zh-120");
  auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs);  // tab items by id
  EXPECT_EQ(tabs->GetItemText(3), L"zh-35");
  EXPECT_EQ(tabs->GetItemText(6), L"zh-665");
  EXPECT_EQ(dlg.GetControl(60)->GetTooltip(), L"zh-100");  // profiles
  EXPECT_EQ(Title(dlg, 67), L"zh-105");
  EXPECT_EQ(Row(dlg, 77, 2), L"zh-202");  // light modes
  EXPECT_EQ(Row(dlg, 77, 19), L"zh-219");
  EXPECT_EQ(dlg.GetControlAs<QelListBox>(77)->GetItemCount(), 20);
  EXPECT_EQ(Title(dlg, 87), L"zh-260");                     // lighting captions
  EXPECT_EQ(dlg.GetControl(133)->GetTooltip(), L"zh-302");  // custom light effect
  EXPECT_EQ(Row(dlg, 142, 1), L"zh-203");
  EXPECT_EQ(dlg.GetControl(190)->GetTooltip(), L"zh-302");  // custom light mode
  auto* playback = dlg.GetControlAs<MComboBox>(236);        // macros
  EXPECT_EQ(playback->GetItemText(1), L"zh-503");
  EXPECT_EQ(playback->GetCount(), 2);
  EXPECT_EQ(Title(dlg, 241), L"") << "the delay edit keeps its text";
  EXPECT_EQ(Title(dlg, 251), L"zh-519");
  EXPECT_EQ(Title(dlg, 276), L"zh-600");                // settings, second part
  auto* foreground = dlg.GetControlAs<MComboBox>(301);  // music
  EXPECT_EQ(foreground->GetItemText(0), L"zh-679");
  EXPECT_EQ(foreground->GetItemText(10), L"zh-675");
  EXPECT_EQ(foreground->GetCount(), 11);
  EXPECT_EQ(dlg.GetControl(288)->GetTooltip(), L"zh-57");
  EXPECT_EQ(Title(dlg, 323), L"zh-866");  // screen
  EXPECT_EQ(Title(dlg, 330), L"zh-850\nzh-851\nzh-852");
  EXPECT_EQ(dlg.GetControl(343)->GetTooltip(), L"zh-813");
}

TEST_F(LanguageTest, GatedPagesAreLeftAloneButTheLightingPageIsRetextedWithoutItsTab) {
  LanguageScope language;
  Capabilities caps;
  caps.lighting = caps.macro = caps.customLight = caps.music = caps.customLightMode = 0;
  RecordingDlg& dlg = Samples(caps);
  // The gated builders did not run; make their controls by hand, as if another page had them.
  dlg.CreateControl(L"MButton", 243, RECT{});
  dlg.CreateControl(L"CImageButton", 288, RECT{});
  dlg.CreateControl(L"CImageButton", 131, RECT{});
  g_languageId.store(kChinese);
  dlg.ApplyLanguage();
  EXPECT_EQ(Title(dlg, 87), L"zh-260");
  EXPECT_EQ(Title(dlg, 243), L"");
  EXPECT_EQ(dlg.GetControl(288)->GetTooltip(), L"");
  EXPECT_EQ(dlg.GetControl(131)->GetTooltip(), L"");
}

TEST_F(LanguageTest, DefaultNamesAreRelabelledAndTheStoreKeepsItsNames) {
  LanguageScope language;
  RecordingDlg& dlg = Samples();
  const std::string names = QueryText(StorePath(), "SELECT group_concat(name) FROM t_profile");
  dlg.GetControlAs<QelListBox>(234)->AddString(L"新建宏 3");  // the store holds no macro
  dlg.ApplyLanguage();  // English
  EXPECT_EQ(Row(dlg, 66, 0), L"en-150") << "whole names";
  EXPECT_EQ(Row(dlg, 66, 1), L"默认配置 1");
  EXPECT_EQ(Row(dlg, 66, 2), L"Mine");
  EXPECT_EQ(Row(dlg, 138, 0), L"en-150");
  EXPECT_EQ(Row(dlg, 138, 1), L"默认配置") << "custom light lists keep this one in English";
  EXPECT_EQ(Row(dlg, 234, 0), L"en-531 3");
  EXPECT_EQ(Row(dlg, 294, 0), L"en-150 1") << "prefixes in the music list";
  EXPECT_EQ(Row(dlg, 294, 1), L"en-150 2");
  EXPECT_EQ(QueryText(StorePath(), "SELECT group_concat(name) FROM t_profile"), names);

  // Another language re-texts the controls but relabels no row.
  dlg.GetControlAs<QelListBox>(66)->ModifyItemString(0, L"默认配置");
  g_languageId.store(kJapanese);
  dlg.ApplyLanguage();
  EXPECT_EQ(Title(dlg, 36), L"ja-20");
  EXPECT_EQ(Row(dlg, 66, 0), L"默认配置");
  EXPECT_EQ(Row(dlg, 294, 0), L"en-150 1");
}

TEST_F(LanguageTest, TheFnSwitchButtonsTakeTheWidthOfTheirLanguageOnlyWithTheOption) {
  LanguageScope language;
  Capabilities caps;
  caps.keyLayoutOption = 1;
  RecordingDlg& dlg = Samples(caps);
  g_languageId.store(kChinese);
  dlg.ApplyLanguage();
  EXPECT_EQ(dlg.GetControl(74)->GetRect(), (RECT{960, 80, 1050, 110}));
  EXPECT_EQ(dlg.GetControl(75)->GetRect(), (RECT{1050, 80, 1140, 110}));
  g_languageId.store(kEnglish);
  dlg.ApplyLanguage();
  EXPECT_EQ(dlg.GetControl(74)->GetRect(), (RECT{960, 80, 1070, 110}));
  EXPECT_EQ(dlg.GetControl(75)->GetRect(), (RECT{1070, 80, 1140, 110}));

  RecordingDlg& plain = Samples();
  plain.ApplyLanguage();
  EXPECT_EQ(plain.GetControl(74)->GetRect(), RECT{});
}

TEST_F(LanguageTest, AListRefilledByTheWorkerMeanwhileKeepsItsNewRows) {
  LanguageScope language;
  RecordingDlg& dlg = Samples();
  auto* profiles = dlg.GetControlAs<QelListBox>(66);
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    do {
      profiles->ResetContent();
      for (int i = 0; i < 4; ++i) profiles->AddString(L"Refilled");
      profiles->AddString(L"默认配置");
    } while (!stop.load());
  });
  for (int i = 0; i < 10; ++i) dlg.ApplyLanguage();
  stop = true;
  worker.join();
  dlg.ApplyLanguage();
  ASSERT_EQ(profiles->GetItemCount(), 5);
  for (int row = 0; row < 4; ++row) EXPECT_EQ(profiles->GetItemText(row), L"Refilled");
  EXPECT_EQ(profiles->GetItemText(4), L"en-150");
}

// Every text a control shows: title, tooltip, tab items.
std::map<int, std::wstring> Texts(KeyboardDlg& dlg) {
  std::map<int, std::wstring> texts;
  for (MControl* control : dlg.Controls()) {
    std::wstring text = control->GetTooltip();
    if (auto* font = dynamic_cast<MControlFont*>(control)) text += L"|" + font->GetTitle();
    if (auto* tabs = dynamic_cast<MTabCtrl*>(control))
      for (int i = 0; i < tabs->GetItemCount(); ++i) text += L"|" + tabs->GetItemText(i);
    texts[control->GetID()] = text;
  }
  for (int id : {133, 190, 241}) texts.erase(id);  // their builders give other texts
  return texts;
}

TEST_F(LanguageTest, ASwitchedWindowReadsLikeOneBuiltInThatLanguage) {
  LanguageScope language;
  g_languageId.store(kChinese);
  std::map<int, std::wstring> built = Texts(OpenIdleWindow());
  dlg_.reset();
  g_languageId.store(kEnglish);
  KeyboardDlg& dlg = OpenIdleWindow();
  ASSERT_NE(Texts(dlg), built);
  g_languageId.store(kChinese);
  dlg.ApplyLanguage();
  EXPECT_EQ(Texts(dlg), built);
}

TEST_F(LanguageTest, AMissingLanguageFileLeavesEmptyTextsAndLosesNothing) {
  LanguageScope language;
  RecordingDlg& dlg = Samples();
  std::filesystem::remove(app_.path() + "language/2052.lan");
  g_languageId.store(kChinese);
  dlg.ApplyLanguage();
  EXPECT_EQ(Title(dlg, 36), L"");
  EXPECT_EQ(Row(dlg, 66, 1), L"默认配置 1");
  EXPECT_EQ(dlg.GetControlAs<QelListBox>(66)->GetItemCount(), 3);
}

// The shipped language files, as the fixture copied them.
class ShippedTextsTest : public FrameTest {};

TEST_F(ShippedTextsTest, EveryTextOfTheFrameTabsLanguageSwitchAndTipExistsInBothLanguages) {
  LanguageScope language;
  std::vector<int> ids = kb_frame::LanguageTextIds();
  for (const auto& control : kb_frame::FrameControls()) {
    if (control.tooltip) ids.push_back(control.tooltip);
    if (control.text) ids.push_back(control.text);
  }
  for (const auto& item : kb_frame::TabItems()) ids.push_back(item.text);
  for (int id : {2, 710, 711, 712, 713, 715, 716}) ids.push_back(id);  // the update tip
  for (int language : {kEnglish, kChinese}) {
    g_languageId.store(language);
    for (int id : ids) EXPECT_FALSE(Text(id).empty()) << "language " << language << " text " << id;
  }
  g_languageId.store(kEnglish);
  EXPECT_EQ(Text(150), L"New Configuration");
  EXPECT_EQ(Text(531), L"New Macro");
  g_languageId.store(kChinese);
  EXPECT_EQ(Text(150), L"默认配置");
  EXPECT_EQ(Text(531), L"新建宏");
}

}  // namespace
}  // namespace kb_test
