// The language switch of the keyboard window: every built control gets the text its builder gave
// it, in the new UI language, and the lists show default names in that language.
#include <vector>

#include "keyboard/KeyboardText.h"
#include "common/strings.h"
#include "keyboard/DefaultNames.h"
#include "keyboard/KeyAssignPage.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardFrame.h"
#include "zuvi/combo.h"
#include "zuvi/edit.h"
#include "zuvi/key_func_control.h"
#include "zuvi/keyboard_ctrl.h"
#include "zuvi/list_box.h"
#include "zuvi/tab.h"

namespace {

// Which capability a row depends on.
enum class Gate {
  kAlways,
  kMacro,
  kCustomLight,
  kCustomLightMode,
  kMusic,
  kRgb,
  kSingleColor,
  kMusicRgb,
  kMusicSingleColor,
  kKeyLayoutOption,
};

// How a row's text reaches its control.
enum class Setter {
  kTitle,          // MControlFont::SetTitle
  kTooltip,        // MControl::SetTooltip
  kComboItems,     // MComboBox::SetItemText, item first + i gets texts[i]
  kListRows,       // QelListBox::ModifyItemString, row first + i gets texts[i]
  kTabItems,       // MTabCtrl::SetItemText by item id: item first + i gets texts[i]
  kKeyFuncDescs,   // KeyFuncControl::SetItemDesc by value: value first + i gets texts[i]
  kKeyViewTip,     // KeyboardCtrl::SetTipInfo
  kEditTip,        // MEdit::SetTipInfo
  kJoinedTitle,    // SetTitle with the texts joined by line breaks
  kFnSwitchRects,  // the Fn switch buttons 74 and 75 sized for the language's texts
  kRelabelA,       // list rows relabelled by a default-name rule; texts[0] is the replacement
  kRelabelB,
  kRelabelC,
  kRelabelD,
};

struct TextRow {
  int section;
  Gate gate;
  int id;
  Setter setter;
  std::vector<int> texts;
  int first = 0;
  int partner = 0;  // the row applies only when this control exists as well
};

// Consecutive text ids.
std::vector<int> Run(int first, int count) {
  std::vector<int> texts;
  for (int i = 0; i < count; ++i) texts.push_back(first + i);
  return texts;
}

constexpr int kDefaultProfileText = 150;
constexpr int kNewMacroText = 531;

// Every text of the window, in the order the sections run.
const std::vector<TextRow>& LanguageTable() {
  static const std::vector<TextRow> rows = {
      // frame
      {1, Gate::kAlways, 44, Setter::kTooltip, {2}},
      {1, Gate::kAlways, 46, Setter::kTooltip, {4}},
      {1, Gate::kAlways, 45, Setter::kTooltip, {3}},
      {1, Gate::kAlways, 40, Setter::kTooltip, {23}},
      {1, Gate::kAlways, 41, Setter::kTooltip, {24}},
      {1, Gate::kAlways, 48, Setter::kTooltip, {27}},
      {1, Gate::kAlways, 36, Setter::kTitle, {20}},
      {1, Gate::kAlways, 37, Setter::kTitle, {21}},
      {1, Gate::kAlways, 38, Setter::kTitle, {22}},
      {1, Gate::kAlways, 39, Setter::kTitle, {665}},
      {1, Gate::kAlways, 42, Setter::kTitle, {25}},
      {1, Gate::kAlways, 43, Setter::kTitle, {26}},
      // key assignment
      {2, Gate::kAlways, 71, Setter::kKeyFuncDescs, Run(570, 18), 500},
      {2, Gate::kAlways, 70, Setter::kKeyViewTip, {111}},
      {2, Gate::kAlways, 72, Setter::kTitle, {95}},
      {2, Gate::kAlways, 119, Setter::kTitle, {95}},
      {2, Gate::kAlways, 73, Setter::kTitle, {96}},
      {2, Gate::kAlways, 120, Setter::kTitle, {96}},
      {2, Gate::kAlways, 74, Setter::kTitle, {98}},
      {2, Gate::kAlways, 75, Setter::kTitle, {99}},
      // Fn switch positions
      {3, Gate::kKeyLayoutOption, 74, Setter::kFnSwitchRects, {}},
      // the other pages' Fn layer buttons, a pair at a time
      {4, Gate::kAlways, 185, Setter::kTitle, {95}, 0, 186},
      {4, Gate::kAlways, 229, Setter::kTitle, {95}, 0, 230},
      {4, Gate::kAlways, 310, Setter::kTitle, {95}, 0, 311},
      {4, Gate::kAlways, 186, Setter::kTitle, {96}, 0, 185},
      {4, Gate::kAlways, 230, Setter::kTitle, {96}, 0, 229},
      {4, Gate::kAlways, 311, Setter::kTitle, {96}, 0, 310},
      // settings, first part
      {5, Gate::kAlways, 267, Setter::kTitle, {97}},
      {5, Gate::kAlways, 268, Setter::kComboItems, {98, 99}},
      {5, Gate::kAlways, 279, Setter::kTitle, {420}},
      {5, Gate::kAlways, 269, Setter::kTitle, {402}},
      {5, Gate::kAlways, 283, Setter::kTitle, {120}},
      {5, Gate::kAlways, 284, Setter::kTitle, {120}},
      {5, Gate::kAlways, 285, Setter::kTitle, {120}},
      {5, Gate::kAlways, 286, Setter::kTitle, {120}},
      // tab items, by item id
      {6, Gate::kAlways, 50, Setter::kTabItems, {28, 29, 30, 31, 665, 32, 33, 35}, 1},
      // profiles
      {7, Gate::kAlways, 60, Setter::kTooltip, {100}},
      {7, Gate::kAlways, 61, Setter::kTooltip, {101}},
      {7, Gate::kAlways, 62, Setter::kTooltip, {102}},
      {7, Gate::kAlways, 63, Setter::kTooltip, {103}},
      {7, Gate::kAlways, 64, Setter::kTooltip, {104}},
      {7, Gate::kAlways, 67, Setter::kTitle, {105}},
      {7, Gate::kAlways, 66, Setter::kRelabelA, {kDefaultProfileText}},
      // light mode list
      {8, Gate::kRgb, 77, Setter::kListRows, Run(200, 20)},
      {8,
       Gate::kSingleColor,
       77,
       Setter::kListRows,
       {200, 201, 202, 203, 204, 206, 208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219}},
      // lighting captions
      {9, Gate::kAlways, 87, Setter::kTitle, {260}},
      {9, Gate::kAlways, 89, Setter::kTitle, {261}},
      {9, Gate::kAlways, 106, Setter::kTitle, {262}},
      {9, Gate::kAlways, 108, Setter::kTitle, {263}},
      {9, Gate::kAlways, 110, Setter::kTitle, {284}},
      {9, Gate::kAlways, 115, Setter::kTitle, {285}},
      {9, Gate::kAlways, 116, Setter::kTitle, {286}},
      {9, Gate::kAlways, 118, Setter::kTitle, {287}},
      {9, Gate::kAlways, 121, Setter::kTitle, {269}},
      {9, Gate::kAlways, 126, Setter::kTitle, {270}},
      {9, Gate::kAlways, 127, Setter::kTitle, {271}},
      {9, Gate::kAlways, 128, Setter::kTitle, {272}},
      {9, Gate::kAlways, 129, Setter::kTitle, {273}},
      // custom light effect
      {10, Gate::kCustomLight, 131, Setter::kTooltip, {300}},
      {10, Gate::kCustomLight, 132, Setter::kTooltip, {301}},
      {10, Gate::kCustomLight, 133, Setter::kTooltip, {302}},
      {10, Gate::kCustomLight, 134, Setter::kTooltip, {303}},
      {10, Gate::kCustomLight, 135, Setter::kTooltip, {304}},
      {10, Gate::kCustomLight, 139, Setter::kTitle, {30}},
      {10, Gate::kCustomLight, 142, Setter::kListRows, {200, 203, 204, 205, 206, 207, 208, 209, 210, 211}},
      {10, Gate::kCustomLight, 152, Setter::kTitle, {260}},
      {10, Gate::kCustomLight, 154, Setter::kTitle, {261}},
      {10, Gate::kCustomLight, 171, Setter::kTitle, {262}},
      {10, Gate::kCustomLight, 173, Setter::kTitle, {263}},
      {10, Gate::kCustomLight, 175, Setter::kTitle, {284}},
      {10, Gate::kCustomLight, 180, Setter::kTitle, {285}},
      {10, Gate::kCustomLight, 181, Setter::kTitle, {286}},
      {10, Gate::kCustomLight, 183, Setter::kTitle, {360}},
      {10, Gate::kCustomLight, 184, Setter::kTitle, {60}},
      {10, Gate::kCustomLight, 138, Setter::kRelabelB, {kDefaultProfileText}},
      // custom light mode
      {11, Gate::kCustomLightMode, 188, Setter::kTooltip, {300}},
      {11, Gate::kCustomLightMode, 189, Setter::kTooltip, {301}},
      {11, Gate::kCustomLightMode, 190, Setter::kTooltip, {302}},
      {11, Gate::kCustomLightMode, 191, Setter::kTooltip, {303}},
      {11, Gate::kCustomLightMode, 192, Setter::kTooltip, {304}},
      {11, Gate::kCustomLightMode, 205, Setter::kTitle, {261}},
      {11, Gate::kCustomLightMode, 222, Setter::kTitle, {262}},
      {11, Gate::kCustomLightMode, 224, Setter::kTitle, {285}},
      {11, Gate::kCustomLightMode, 225, Setter::kTitle, {286}},
      {11, Gate::kCustomLightMode, 227, Setter::kTitle, {360}},
      {11, Gate::kCustomLightMode, 228, Setter::kTitle, {60}},
      {11, Gate::kCustomLightMode, 195, Setter::kRelabelB, {kDefaultProfileText}},
      // macros
      {12, Gate::kMacro, 233, Setter::kTitle, {500}},
      {12, Gate::kMacro, 235, Setter::kTitle, {501}},
      {12, Gate::kMacro, 236, Setter::kComboItems, {502, 503}},
      {12, Gate::kMacro, 237, Setter::kTitle, {504}},
      {12, Gate::kMacro, 238, Setter::kTitle, {505}},
      {12, Gate::kMacro, 239, Setter::kTitle, {506}},
      {12, Gate::kMacro, 242, Setter::kComboItems, {507, 508, 509}},
      {12, Gate::kMacro, 243, Setter::kTitle, {510}},
      {12, Gate::kMacro, 244, Setter::kTitle, {511}},
      {12, Gate::kMacro, 245, Setter::kTitle, {512}},
      {12, Gate::kMacro, 246, Setter::kTitle, {54}},
      {12, Gate::kMacro, 247, Setter::kTitle, {50}},
      {12, Gate::kMacro, 248, Setter::kTitle, {53}},
      {12, Gate::kMacro, 249, Setter::kTitle, {517}},
      {12, Gate::kMacro, 250, Setter::kTitle, {518}},
      {12, Gate::kMacro, 251, Setter::kTitle, {519}},
      {12, Gate::kMacro, 253, Setter::kTitle, {520}},
      {12, Gate::kMacro, 254, Setter::kTitle, {521}},
      {12, Gate::kMacro, 255, Setter::kTitle, {522}},
      {12, Gate::kMacro, 257, Setter::kTitle, {523}},
      {12, Gate::kMacro, 258, Setter::kTooltip, {525}},
      {12, Gate::kMacro, 259, Setter::kTooltip, {526}},
      {12, Gate::kMacro, 260, Setter::kTooltip, {527}},
      {12, Gate::kMacro, 261, Setter::kTooltip, {512}},
      {12, Gate::kMacro, 263, Setter::kTitle, {524}},
      {12, Gate::kMacro, 234, Setter::kRelabelC, {kNewMacroText}},
      // settings, second part
      {13, Gate::kAlways, 265, Setter::kTitle, {400}},
      {13, Gate::kAlways, 272, Setter::kTitle, {401}},
      {13, Gate::kAlways, 274, Setter::kTitle, {410}},
      {13, Gate::kAlways, 275, Setter::kTitle, {411}},
      {13, Gate::kAlways, 276, Setter::kTitle, {600}},
      // music
      {14, Gate::kMusic, 288, Setter::kTooltip, {57}},
      {14, Gate::kMusic, 289, Setter::kTooltip, {51}},
      {14, Gate::kMusic, 290, Setter::kTooltip, {58}},
      {14, Gate::kMusic, 298, Setter::kTitle, {660}},
      {14, Gate::kMusic, 300, Setter::kTitle, {661}},
      {14,
       Gate::kMusicRgb,
       301,
       Setter::kComboItems,
       {679, 685, 686, 687, 688, 671, 672, 673, 674, 677, 675}},
      {14, Gate::kMusicSingleColor, 301, Setter::kComboItems, {671}},
      {14, Gate::kMusic, 304, Setter::kTitle, {667}},
      {14, Gate::kMusic, 306, Setter::kTitle, {662}},
      {14,
       Gate::kMusic,
       307,
       Setter::kComboItems,
       {670, 671, 672, 673, 674, 677, 675, 679, 685, 686, 687, 688}},
      {14, Gate::kMusic, 308, Setter::kTitle, {663}},
      {14, Gate::kMusic, 294, Setter::kRelabelD, {kDefaultProfileText}},
      // screen
      {15, Gate::kAlways, 323, Setter::kTitle, {866}},
      {15, Gate::kAlways, 321, Setter::kTitle, {801}},
      {15, Gate::kAlways, 322, Setter::kTitle, {802}},
      {15, Gate::kAlways, 324, Setter::kTitle, {803}},
      {15, Gate::kAlways, 325, Setter::kTitle, {804}},
      {15, Gate::kAlways, 326, Setter::kTitle, {805}},
      {15, Gate::kAlways, 329, Setter::kTitle, {806}},
      {15, Gate::kAlways, 331, Setter::kTitle, {862}},
      {15, Gate::kAlways, 330, Setter::kJoinedTitle, {850, 851, 852}},
      {15, Gate::kAlways, 333, Setter::kTitle, {808}},
      {15, Gate::kAlways, 335, Setter::kTitle, {809}},
      {15, Gate::kAlways, 337, Setter::kTitle, {810}},
      {15, Gate::kAlways, 339, Setter::kEditTip, {811}},
      {15, Gate::kAlways, 343, Setter::kTooltip, {813}},
      {15, Gate::kAlways, 344, Setter::kTooltip, {814}},
      {15, Gate::kAlways, 345, Setter::kTooltip, {815}},
      {15, Gate::kAlways, 349, Setter::kTooltip, {885}},
      {15, Gate::kAlways, 346, Setter::kTooltip, {816}},
      {15, Gate::kAlways, 347, Setter::kTooltip, {817}},
      {15, Gate::kAlways, 348, Setter::kTooltip, {818}},
      {15, Gate::kAlways, 350, Setter::kTitle, {812}},
      {15, Gate::kAlways, 366, Setter::kTitle, {819}},
      {15, Gate::kAlways, 367, Setter::kTitle, {820}},
      {15, Gate::kAlways, 368, Setter::kTitle, {821}},
      {15, Gate::kAlways, 341, Setter::kTitle, {860}},
      {15, Gate::kAlways, 365, Setter::kTitle, {827}},
  };
  return rows;
}

bool GateOpen(const KeyboardDlg& dlg, Gate gate) {
  switch (gate) {
    case Gate::kAlways:
      return true;
    case Gate::kMacro:
      return dlg.m_hasMacro != 0;
    case Gate::kCustomLight:
      return dlg.m_hasCustomLight != 0;
    case Gate::kCustomLightMode:
      return dlg.m_hasCustomLightMode != 0;
    case Gate::kMusic:
      return dlg.m_hasMusic != 0;
    case Gate::kRgb:
      return dlg.m_isRgb != 0;
    case Gate::kSingleColor:
      return dlg.m_isRgb == 0;
    case Gate::kMusicRgb:
      return dlg.m_hasMusic != 0 && dlg.m_isRgb != 0;
    case Gate::kMusicSingleColor:
      return dlg.m_hasMusic != 0 && dlg.m_isRgb == 0;
    case Gate::kKeyLayoutOption:
      return dlg.m_keyLayoutOption != 0;
  }
  return false;
}

using NameRule = std::wstring (*)(const std::wstring&, int, const std::wstring&);

// Relabels the rows of a list by a default-name rule. A row is written back only while it still
// holds the text that was read, and the row count is read again at each step, so a list that the
// worker empties or refills meanwhile keeps its new rows.
void Relabel(QelListBox& list, NameRule rule, int replacementText) {
  const std::wstring replacement = KbText(replacementText);
  const int language = g_languageId.load();
  for (int row = 0; row < list.GetItemCount(); ++row) {
    const std::wstring text = list.GetItemText(row);
    list.ModifyItemStringIf(row, text, rule(text, language, replacement));
  }
}

// The Fn switch buttons take the width their texts need in the language.
void PlaceFnSwitches(const KeyboardDlg& dlg) {
  const auto [fn, fn2] = FnSwitchRects(dlg.GetClientRect().right, g_languageId.load());
  if (MControl* c = dlg.GetControl(kb_ids::kFnSwitch)) c->SetRect(fn);
  if (MControl* c = dlg.GetControl(kb_ids::kFnSwitch2)) c->SetRect(fn2);
}

// Gives one row its texts; a control that is missing or of another kind is left alone, and so
// are items and rows the control does not have.
void ApplyRow(KeyboardDlg& dlg, const TextRow& row) {
  if (!GateOpen(dlg, row.gate)) return;
  if (row.partner && !dlg.GetControl(row.partner)) return;
  if (row.setter == Setter::kFnSwitchRects) return PlaceFnSwitches(dlg);
  if (row.setter == Setter::kRelabelD) return dlg.RelabelDefaultProfileNames();
  MControl* control = dlg.GetControl(row.id);
  if (!control) return;
  const int count = static_cast<int>(row.texts.size());
  switch (row.setter) {
    case Setter::kTitle:
      if (auto* text = dynamic_cast<MControlFont*>(control)) text->SetTitle(KbText(row.texts.front()));
      break;
    case Setter::kTooltip:
      control->SetTooltip(KbText(row.texts.front()));
      break;
    case Setter::kComboItems:
      if (auto* combo = dynamic_cast<MComboBox*>(control))
        for (int i = 0; i < count && row.first + i < combo->GetCount(); ++i)
          combo->SetItemText(row.first + i, KbText(row.texts[i]));
      break;
    case Setter::kListRows:
      if (auto* list = dynamic_cast<QelListBox*>(control))
        for (int i = 0; i < count && row.first + i < list->GetItemCount(); ++i)
          list->ModifyItemString(row.first + i, KbText(row.texts[i]));
      break;
    case Setter::kTabItems:
      if (auto* tabs = dynamic_cast<MTabCtrl*>(control))
        for (int i = 0; i < count; ++i) tabs->SetItemText(row.first + i, KbText(row.texts[i]));
      break;
    case Setter::kKeyFuncDescs:
      if (auto* chooser = dynamic_cast<KeyFuncControl*>(control)) {
        for (int i = 0; i < count; ++i) chooser->SetItemDesc(row.first + i, KbText(row.texts[i]));
        for (std::size_t group = 0; group < std::size(kKeyChooserHeadings); ++group)
          chooser->SetGroupHeading(group, KbText(kKeyChooserHeadings[group]));
        chooser->UpdateControl();
      }
      break;
    case Setter::kKeyViewTip:
      if (auto* view = dynamic_cast<KeyboardCtrl*>(control)) view->SetTipInfo(KbText(row.texts.front()));
      break;
    case Setter::kEditTip:
      if (auto* edit = dynamic_cast<MEdit*>(control)) edit->SetTipInfo(KbText(row.texts.front()));
      break;
    case Setter::kJoinedTitle:
      if (auto* text = dynamic_cast<MControlFont*>(control)) {
        std::wstring joined;
        for (int i = 0; i < count; ++i) joined += (i ? L"\n" : L"") + KbText(row.texts[i]);
        text->SetTitle(joined);
      }
      break;
    case Setter::kRelabelA:
      if (auto* list = dynamic_cast<QelListBox*>(control))
        Relabel(*list, DefaultNameRuleA, row.texts.front());
      break;
    case Setter::kRelabelB:
      if (auto* list = dynamic_cast<QelListBox*>(control))
        Relabel(*list, DefaultNameRuleB, row.texts.front());
      break;
    case Setter::kRelabelC:
      if (auto* list = dynamic_cast<QelListBox*>(control))
        Relabel(*list, DefaultNameRuleC, row.texts.front());
      break;
    case Setter::kFnSwitchRects:
    case Setter::kRelabelD:
      break;
  }
}

}  // namespace

std::vector<int> kb_frame::LanguageTextIds() {
  std::vector<int> ids;
  for (const TextRow& row : LanguageTable()) ids.insert(ids.end(), row.texts.begin(), row.texts.end());
  return ids;
}

void KeyboardDlg::ApplyLanguage() {
  for (const TextRow& row : LanguageTable()) ApplyRow(*this, row);
}

void KeyboardDlg::RelabelDefaultProfileNames() {
  if (auto* list = GetControlAs<QelListBox>(kb_ids::kMusicModeList))
    Relabel(*list, DefaultNameRuleD, kDefaultProfileText);
}
