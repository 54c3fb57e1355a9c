// The key assignment page against a real store and the simulated keyboard: picking keys on the
// keyboard view, the chooser, the key menu, the Fn layer and its refusal, the layer buttons and
// the Fn switch, and the refreshes of the view from the worker and the UI thread.
#include <thread>

#include "common/lang_text.h"
#include "keyboard/CustomKeyDlg.h"
#include "keyboard_fixture.h"
#include "shell/ui_message_box.h"
#include "zuvi/buttons.h"
#include "zuvi/key_func_control.h"
#include "zuvi/keyboard_ctrl.h"
#include "zuvi/menu.h"

namespace kb_test {
namespace {

using zuvi_testing::Driver;

constexpr int kEsc = 0x29;
constexpr int kKeyA = 0x04;
constexpr int kFn = 0xAF;        // kept out of the Fn layer by the shipped layout
constexpr int kUserProfile = 4;  // the store's own first profile

class KeyAssignPageTest : public KeyboardTest {
 protected:
  KeyboardDlg& Page(const KeyboardDlg::Services* services = nullptr) {
    KeyboardDlg& dlg = OpenIdleWindow([&](KeyboardDlg& window) {
      if (services) window.SetServices(*services);
    });
    main_.ShowWindow(SW_SHOW);
    Driver::RunFor(1);
    return dlg;
  }
  static KeyboardCtrl& View(KeyboardDlg& dlg) { return *dlg.GetKeyView(kb_ids::kKeyAssignView); }
  static KeyFuncControl& Chooser(KeyboardDlg& dlg) {
    return *dlg.GetControlAs<KeyFuncControl>(kb_ids::kKeyFuncControl);
  }
  // A click (or right click) on the key with `code` where the view draws it.
  static bool ClickKey(KeyboardDlg& dlg, int code, bool right = false) {
    const std::optional<POINT> at = View(dlg).KeyPoint(code);
    if (!at) return false;
    return right ? Driver::RightClickAt(dlg, kb_ids::kKeyAssignView, *at)
                 : Driver::ClickAt(dlg, kb_ids::kKeyAssignView, *at);
  }
  // The flat chooser index of the item with these values; -1 when there is none.
  static int ChooserIndex(KeyboardDlg& dlg, int value) {
    int index = 0;
    for (const KeyFuncGroup& group : Chooser(dlg).Groups())
      for (const KeyFuncItem& item : group.items) {
        if (item.value == value) return index;
        ++index;
      }
    return -1;
  }
  static std::optional<KeyDataRow> Stored(KeyboardDlg& dlg, int layer, int key) {
    KeyDataRow row;
    if (!dlg.m_configDB.GetKeyData(dlg.m_keyProfileId.load(), layer, key, &row)) return std::nullopt;
    return row;
  }
  static KeyItem Item(KeyboardDlg& dlg, int code) {
    for (const KeyItem& item : View(dlg).GetKeyItems())
      if (item.code == code) return item;
    ADD_FAILURE() << "no key " << code;
    return {};
  }
  static std::wstring Text(int id) {
    std::wstring text;
    GetLangText(&text, id, L"KB.DIALOG");
    return text;
  }
  void AnswerPrompt(std::wstring* message, std::wstring* title) {
    driver_.AnswerNextModal([message, title](MDialog& box) {
      auto& prompt = static_cast<CUIMessageBox&>(box);
      *message = prompt.m_message;
      *title = prompt.m_title;
      Driver::Click(box, CUIMessageBox::IdOkOrYes);
    });
  }
  // Every popup menu is recorded and answered with `answer`.
  MenuLog menuLog_;
};

TEST_F(KeyAssignPageTest, AClickPicksTheKeyAndTheChooserShowsItsStoredFunction) {
  KeyboardDlg& dlg = Page();
  EXPECT_EQ(dlg.m_keyProfileId.load(), kUserProfile);
  KeyDataRow key;
  key.profile = kUserProfile;
  key.keyvalue = kEsc;
  key.macrotype = 2;
  key.macrovalue = kKeyA;
  key.macrodesc = L"A";
  ASSERT_GT(dlg.m_configDB.SetKeyData(key), 0);
  KeyDataRow special = key;
  special.keyvalue = kKeyA;
  special.macrotype = 12;
  special.macrovalue = 505;
  ASSERT_GT(dlg.m_configDB.SetKeyData(special), 0);
  KeyDataRow macro = key;
  macro.keyvalue = 0x3A;
  macro.macrotype = 3;
  macro.macrovalue = 1;
  ASSERT_GT(dlg.m_configDB.SetKeyData(macro), 0);

  ASSERT_TRUE(ClickKey(dlg, kEsc));
  EXPECT_EQ(dlg.m_selectedKey, kEsc);
  EXPECT_EQ(View(dlg).GetCurrentKey(), kEsc);
  EXPECT_EQ(Chooser(dlg).CheckedIndex(), ChooserIndex(dlg, kKeyA));
  ASSERT_TRUE(ClickKey(dlg, kKeyA));
  EXPECT_EQ(Chooser(dlg).CheckedIndex(), ChooserIndex(dlg, 505));
  ASSERT_TRUE(ClickKey(dlg, 0x3A));  // a macro key: the chooser has nothing to show
  EXPECT_EQ(Chooser(dlg).CheckedIndex(), -1);

  // Beside the keys: no key is picked, and no menu opens for it.
  menuLog_.AnswerWith(0);
  ASSERT_TRUE(Driver::RightClickAt(dlg, kb_ids::kKeyAssignView, POINT{311, 111}));
  EXPECT_EQ(dlg.m_selectedKey, -1);
  EXPECT_TRUE(menuLog_.menus.empty());
}

TEST_F(KeyAssignPageTest, ChooserPicksStoreTheKeyAndQueueTheKeyMap) {
  KeyboardDlg& dlg = Page();
  ASSERT_TRUE(ClickKey(dlg, kEsc));
  ClearQueue(dlg);
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kKeyFuncControl, ChooserIndex(dlg, kKeyA)));
  std::optional<KeyDataRow> row = Stored(dlg, 0, kEsc);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->macrotype, 2);
  EXPECT_EQ(row->macrovalue, kKeyA);
  EXPECT_EQ(row->macrodesc,
            Chooser(dlg).Groups()[0].items[static_cast<size_t>(ChooserIndex(dlg, kKeyA))].text);
  EXPECT_TRUE(Item(dlg, kEsc).checked);
  EXPECT_EQ(Item(dlg, kEsc).tipHeading, Text(121));
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});

  // Picking the item that is checked already stores it again.
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kKeyFuncControl, ChooserIndex(dlg, kKeyA)));
  EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{TaskSendKeyMap, TaskSendKeyMap}));

  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kKeyFuncControl, ChooserIndex(dlg, 512)));
  row = Stored(dlg, 0, kEsc);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->macrotype, 12);
  EXPECT_EQ(row->macrovalue, 512);
  EXPECT_EQ(row->macrodesc, Text(582));
  EXPECT_FALSE(Stored(dlg, 1, kEsc));  // only the layer on show
}

TEST_F(KeyAssignPageTest, TheFnKeysFunctionHoldsInBothLayers) {
  KeyboardDlg& dlg = Page();
  KeyDataRow fn;
  fn.macrotype = 2;
  fn.macrovalue = kFn;
  fn.macrodesc = L"Fn";
  for (int layer : {0, 1}) {
    SCOPED_TRACE(layer);
    Driver::Click(dlg, layer == 0 ? 72 : 73);
    const int key = layer == 0 ? kEsc : kKeyA;
    dlg.m_selectedKey = key;
    dlg.SetKeyValue(fn);
    for (int both : {0, 1}) {
      std::optional<KeyDataRow> row = Stored(dlg, both, key);
      ASSERT_TRUE(row) << both;
      EXPECT_EQ(row->macrovalue, kFn);
    }
  }
  // Another usage stays in its layer.
  fn.macrovalue = kKeyA;
  dlg.m_selectedKey = 0x3B;
  dlg.SetKeyValue(fn);
  EXPECT_TRUE(Stored(dlg, 1, 0x3B));
  EXPECT_FALSE(Stored(dlg, 0, 0x3B));
}

TEST_F(KeyAssignPageTest, AStoreThatKeepsNothingDropsTheKeyButStillQueuesTheKeyMap) {
  KeyboardDlg& dlg = Page();
  KeyDataRow row;
  row.macrotype = 2;
  row.macrovalue = kKeyA;
  ClearQueue(dlg);
  dlg.m_selectedKey = 0;  // no key: the store keeps nothing
  View(dlg).SetCurrentKey(kEsc);
  dlg.SetKeyValue(row);
  EXPECT_EQ(dlg.m_selectedKey, -1);
  EXPECT_EQ(View(dlg).GetCurrentKey(), -1);
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});

  // Below 0 nothing is stored or queued.
  ClearQueue(dlg);
  dlg.SetKeyValue(row);
  EXPECT_TRUE(dlg.QueuedTasks().empty());
}

TEST_F(KeyAssignPageTest, TheKeyMenuClearsDisablesOrOpensTheCustomKeyDialog) {
  std::vector<std::wstring> killed;
  std::vector<CustomKeyDialogArgs> opened;
  KeyboardDlg::Services services = TestServices();
  std::vector<std::string> steps;
  services.killProcess = [&](const std::wstring& name) {
    killed.push_back(name);
    steps.push_back("kill");
    return true;
  };
  services.makeCustomKeyDialog = [&](const CustomKeyDialogArgs& args) {
    opened.push_back(args);
    auto dialog = std::make_unique<CustomKeyDlg>(args);
    dialog->SetBlockerStart([&](const std::string& path) {
      steps.push_back("start " + path);
      return std::optional<platform::StartedProcess>();
    });
    return dialog;
  };
  KeyboardDlg& dlg = Page(&services);
  Driver::Click(dlg, 73);  // Fn layer

  menuLog_.AnswerWith(607);
  ASSERT_TRUE(ClickKey(dlg, kEsc, true));
  ASSERT_EQ(menuLog_.menus.size(), 1u);
  EXPECT_EQ(menuLog_.menus[0], (std::vector<int>{606, 607, 608}));
  Driver::RunFor(1);  // the menu's choice arrives as a window message
  std::optional<KeyDataRow> row = Stored(dlg, 1, kEsc);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->macrotype, 1);
  EXPECT_EQ(row->macrovalue, 1);
  EXPECT_EQ(row->macrodesc, L"disable");
  EXPECT_EQ(Item(dlg, kEsc).tipHeading, Text(120));
  EXPECT_EQ(Item(dlg, kEsc).tipText, L"");

  menuLog_.AnswerWith(606);
  ClearQueue(dlg);
  ASSERT_TRUE(ClickKey(dlg, kEsc, true));
  Driver::RunFor(1);
  EXPECT_FALSE(Stored(dlg, 1, kEsc));  // cleared: the key has its default function again
  EXPECT_FALSE(Item(dlg, kEsc).checked);
  EXPECT_EQ(Item(dlg, kEsc).tipHeading, L"");
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});

  menuLog_.AnswerWith(608);
  ClearQueue(dlg);
  driver_.AnswerNextModal([&](MDialog& custom) {
    steps.push_back("modal");
    EXPECT_TRUE(Driver::Click(custom, CustomKeyDlg::IdClose));
  });
  ASSERT_TRUE(ClickKey(dlg, kEsc, true));
  Driver::RunFor(1);
  EXPECT_EQ(steps, (std::vector<std::string>{"kill", "start " + app_.path() + "halvorn", "modal", "kill"}));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].key, kEsc);
  EXPECT_EQ(opened[0].keyProfileId, kUserProfile);
  EXPECT_EQ(opened[0].fnLayer, 1);
  EXPECT_EQ(opened[0].deviceIndex, 0);
  EXPECT_EQ(opened[0].identify, kIdentify);
  EXPECT_EQ(killed, (std::vector<std::wstring>{L"halvorn", L"halvorn"}));
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});

  // OK stores through the dialog's own connection; the page shows the new tip at once.
  menuLog_.AnswerWith(608);
  ClearQueue(dlg);
  driver_.AnswerNextModal([](MDialog& custom) {
    EXPECT_TRUE(Driver::Select(custom, CustomKeyDlg::IdType, 3));  // mouse, its first function
    EXPECT_TRUE(Driver::Click(custom, CustomKeyDlg::IdOk));
  });
  ASSERT_TRUE(ClickKey(dlg, kEsc, true));
  Driver::RunFor(1);
  row = Stored(dlg, 1, kEsc);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->macrotype, 5);
  EXPECT_EQ(row->macrovalue, 1);
  EXPECT_EQ(Item(dlg, kEsc).tipHeading, Text(124));
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});
  sim_.clearLog();
  Drain(dlg);
  EXPECT_FALSE(Transactions().empty()) << "the next pass sends the key maps";
}

TEST_F(KeyAssignPageTest, TheFnLayerRefusesTheKeysTheLayoutKeepsOutOfIt) {
  KeyboardDlg& dlg = Page();
  ASSERT_TRUE(ClickKey(dlg, kFn));  // layer 0 takes it
  EXPECT_EQ(dlg.m_selectedKey, kFn);

  Driver::Click(dlg, 73);
  EXPECT_TRUE(Item(dlg, kFn).disabledMark);
  EXPECT_FALSE(Item(dlg, kEsc).disabledMark);
  std::wstring message;
  std::wstring title;
  AnswerPrompt(&message, &title);
  menuLog_.AnswerWith(607);
  ASSERT_TRUE(ClickKey(dlg, kFn, true));
  EXPECT_EQ(message, Text(155));
  EXPECT_EQ(title, Text(162));
  EXPECT_EQ(dlg.m_selectedKey, 0);
  EXPECT_TRUE(menuLog_.menus.empty());

  // The chooser refuses it too while the key is still picked.
  dlg.m_selectedKey = kFn;
  AnswerPrompt(&message, &title);
  ClearQueue(dlg);
  ASSERT_TRUE(Driver::Select(dlg, kb_ids::kKeyFuncControl, ChooserIndex(dlg, kKeyA)));
  EXPECT_FALSE(Stored(dlg, 1, kFn));
  EXPECT_TRUE(dlg.QueuedTasks().empty());

  Driver::Click(dlg, 72);
  EXPECT_FALSE(Item(dlg, kFn).disabledMark);
}

TEST_F(KeyAssignPageTest, LayerButtonsAndTheFnSwitch) {
  KeyboardDlg& dlg = Page();
  KeyDataRow row;
  row.profile = kUserProfile;
  row.keyvalue = kEsc;
  row.fnlayer = 1;
  row.macrotype = 6;
  row.macrovalue = 3;
  row.macrodesc = L"Previous";
  ASSERT_GT(dlg.m_configDB.SetKeyData(row), 0);
  ClearQueue(dlg);

  ASSERT_TRUE(Driver::Click(dlg, 73));
  EXPECT_EQ(dlg.m_fnLayer.load(), 1);
  EXPECT_EQ(dlg.GetControl(72)->GetImage(), L"img_btn_layer_n.png");
  EXPECT_EQ(dlg.GetControl(73)->GetImage(), L"img_btn_layer_p.png");
  EXPECT_TRUE(Item(dlg, kEsc).checked);
  EXPECT_EQ(Item(dlg, kEsc).tipHeading, Text(125));
  EXPECT_EQ(Item(dlg, kEsc).tipText, L"Previous");
  EXPECT_EQ(dlg.QueuedTasks(), std::vector<int>{TaskSendKeyMap});
  ASSERT_TRUE(Driver::Click(dlg, 72));
  EXPECT_EQ(dlg.m_fnLayer.load(), 0);
  EXPECT_EQ(dlg.GetControl(72)->GetImage(), L"img_btn_layer_p.png");
  EXPECT_FALSE(Item(dlg, kEsc).checked);

  ClearQueue(dlg);
  auto stored = [&] {
    return QueryText(StorePath(), "SELECT value FROM t_configdata WHERE key='fn_switchfunction'");
  };
  EXPECT_TRUE(dlg.GetControlAs<CCheckButton>(74)->GetCheck());
  ASSERT_TRUE(Driver::Click(dlg, 75));
  EXPECT_EQ(stored(), "1");
  EXPECT_FALSE(dlg.GetControlAs<CCheckButton>(74)->GetCheck());
  EXPECT_TRUE(dlg.GetControlAs<CCheckButton>(75)->GetCheck());
  ASSERT_TRUE(Driver::Click(dlg, 74));
  EXPECT_EQ(stored(), "0");
  EXPECT_EQ(dlg.QueuedTasks(), (std::vector<int>{TaskSendSystemSettings, TaskSendSystemSettings}));
}

TEST_F(KeyAssignPageTest, APresetShowsItsCaptionsUntilAUserProfileIsShownAgain) {
  KeyboardDlg& dlg = Page();
  KeyDataRow preset;
  preset.profile = 1;  // the built-in "QWERTY" layout
  preset.keyvalue = kKeyA;
  preset.macrotype = 2;
  preset.macrovalue = 0x14;
  preset.macrodesc = L"Q";
  ASSERT_GT(dlg.m_configDB.SetKeyData(preset), 0);
  dlg.RefreshKeyAssignPreset(1);
  EXPECT_EQ(Item(dlg, kKeyA).caption, std::optional<std::wstring>(L"Q"));
  EXPECT_EQ(Item(dlg, kKeyA).tipHeading, L"Keyboard");
  EXPECT_FALSE(dlg.GetControl(kb_ids::kKeyFuncControl)->IsEnabled());

  dlg.RefreshKeyAssign(kUserProfile);
  EXPECT_EQ(Item(dlg, kKeyA).caption, std::nullopt);
  EXPECT_EQ(Item(dlg, kKeyA).tipHeading, L"");
}

TEST_F(KeyAssignPageTest, AWorkerRefreshRacingTheUiLeavesOneWholeState) {
  KeyboardDlg& dlg = Page();
  // Profile 4 assigns the first half of the keys, a second profile the other half.
  const int other = [&] {
    KeyProfileRow row;
    row.name = L"Other";
    return dlg.m_configDB.NewKeyProfile(&row);
  }();
  const std::vector<KeyItem> items = View(dlg).GetKeyItems();
  std::vector<KeyDataRow> rows;
  for (size_t i = 0; i < items.size(); ++i) {
    KeyDataRow row;
    row.profile = i < items.size() / 2 ? kUserProfile : other;
    row.keyvalue = items[i].code;
    row.macrotype = 5;
    row.macrovalue = 1;
    rows.push_back(row);
  }
  for (const KeyDataRow& row : rows) dlg.m_configDB.SetKeyData(row);

  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop.load()) dlg.RefreshKeyAssign(kUserProfile);
  });
  std::atomic<int> torn{0};
  for (int i = 0; i < 50; ++i) {
    dlg.RefreshKeyAssign(other);
    int first = 0;
    int second = 0;
    const std::vector<KeyItem> now = View(dlg).GetKeyItems();
    for (size_t k = 0; k < now.size(); ++k) (k < now.size() / 2 ? first : second) += now[k].checked ? 1 : 0;
    if ((first != 0 && second != 0) || first + second == 0) ++torn;
  }
  stop.store(true);
  worker.join();
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace kb_test
