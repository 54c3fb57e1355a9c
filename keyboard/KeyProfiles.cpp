// The key profiles of the key assignment page: list 66 of the user's profiles with its menu, list
// 69 of the built-in layouts, and the profile exchange files.
#include <filesystem>

#include "common/strings.h"
#include "keyboard/DefaultNames.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "keyboard/ProfileFile.h"
#include "platform/qt/dialogs.h"
#include "zuvi/list_box.h"
#include "zuvi/menu.h"

using page_controls::Enable;

namespace {

constexpr int kDefaultProfileText = 150;
constexpr int kPresetList = 69;
constexpr std::size_t kPresetsShown = 2;  // the third built-in layout is not offered

QelListBox* Profiles(const KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kb_ids::kProfileList); }
QelListBox* Presets(const KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kPresetList); }

std::wstring ShownName(const std::wstring& stored) {
  return DefaultNameRuleA(stored, g_languageId.load(), KbText(kDefaultProfileText));
}

int SelectedId(const QelListBox& list) {
  const int row = list.GetCurSel();
  return row < 0 ? 0 : static_cast<int>(list.GetItemData(row));
}

}  // namespace

void KeyboardDlg::FillProfileLists() {
  if (QelListBox* list = Profiles(*this)) {
    list->ResetContent();
    std::vector<KeyProfileRow*> rows;
    m_configDB.GetKeyProfiles(2, rows);
    for (const KeyProfileRow* row : rows) list->AddString(ShownName(row->name), row->profile_id);
    FreeRows(rows);
    // Selected by code, so no notification: the pass that filled the lists refreshes the view.
    if (list->GetItemCount() > 0) {
      list->SetCurSel(0);
      m_keyProfileId.store(static_cast<int>(list->GetItemData(0)));
    }
  }
  if (QelListBox* presets = Presets(*this)) {
    presets->ResetContent();
    std::vector<KeyProfileRow*> rows;
    m_configDB.GetKeyProfiles(1, rows);
    for (std::size_t i = 0; i < rows.size() && i < kPresetsShown; ++i)
      presets->AddString(rows[i]->name, rows[i]->profile_id);
    FreeRows(rows);
  }
}

void KeyboardDlg::ShowProfile(int profileId) {
  Enable(*this, kb_ids::kKeyAssignView, true);
  Enable(*this, kb_ids::kKeyFuncControl, true);
  if (QelListBox* presets = Presets(*this)) presets->SetCurSel(-1);
  m_keyProfileId.store(profileId);
  RefreshKeyAssign(profileId);
  PostTask(TaskSendKeyMap);
}

int KeyboardDlg::NewProfile() {
  QelListBox* list = Profiles(*this);
  if (!list) return 1;
  const std::wstring name = KbText(kDefaultProfileText);
  KeyProfileRow row;
  row.name = name;
  const int profileId = m_configDB.NewKeyProfile(&row);
  if (profileId <= 0) {
    KeyboardLog("key profiles: the store refused a new profile");
    return 1;
  }
  list->SetCurSel(list->AddString(ShownName(name), profileId));
  ShowProfile(profileId);
  return 1;
}

int KeyboardDlg::DeleteProfile() {
  QelListBox* list = Profiles(*this);
  if (!list || list->GetItemCount() < 2) return 0;  // the last profile stays
  const int row = list->GetCurSel();
  if (row < 0) return 0;
  const int profileId = static_cast<int>(list->GetItemData(row));
  if (!m_configDB.DeleteKeyProfile(profileId)) {
    KeyboardLog("key profiles: the store could not delete profile %d", profileId);
    return 1;
  }
  list->DeleteString(row);
  const int above = row > 0 ? row - 1 : 0;
  list->SetCurSel(above);
  // The view must not go on editing a profile that is gone: the row now selected takes its place.
  if (profileId == m_keyProfileId.load()) ShowProfile(static_cast<int>(list->GetItemData(above)));
  return 1;
}

int KeyboardDlg::OnProfileListNotify(int code) {
  QelListBox* list = Profiles(*this);
  if (!list) return 0;
  switch (code) {
    case 1:
      if (list->GetCurSel() < 0) {
        Enable(*this, kb_ids::kKeyAssignView, false);
        Enable(*this, kb_ids::kKeyFuncControl, false);
        return 1;
      }
      ShowProfile(SelectedId(*list));
      return 1;
    case 5: {
      MenuWnd menu(GetSafeHwnd(), WM_PROFILE_MENU_COMMAND);
      if (list->GetCurSel() < 0) {
        menu.AddMenu(607, KbText(50));
      } else {
        menu.AddMenu(605, KbText(51));
        menu.AddMenu(606, KbText(52));
        menu.AddMenu(608, KbText(53));
      }
      menu.TrackPopup();
      return 1;
    }
    case 29: {
      const int row = list->GetCurSel();
      if (row < 0) return 0;
      const int profileId = static_cast<int>(list->GetItemData(row));
      const std::wstring name = list->GetItemText(row);
      if (name.empty()) {
        platform::UserDialogs().MessageBox(KbText(153), KbText(52));
        std::wstring stored;
        m_configDB.GetKeyProfileName(profileId, &stored);
        list->ModifyItemString(row, ShownName(stored));
        return 0;
      }
      m_configDB.RenameKeyProfile(profileId, name);
      return 1;
    }
    default:
      return 0;
  }
}

int KeyboardDlg::OnPresetListNotify(int code) {
  if (code != 1) return 0;
  Enable(*this, kb_ids::kKeyAssignView, false);
  Enable(*this, kb_ids::kKeyFuncControl, false);
  QelListBox* presets = Presets(*this);
  if (!presets || presets->GetCurSel() < 0) return 1;
  if (QelListBox* list = Profiles(*this)) list->SetCurSel(-1);
  m_keyProfileId.store(SelectedId(*presets));
  RefreshKeyAssignPreset(m_keyProfileId.load());
  return 1;
}

int KeyboardDlg::OnProfileCommand(int menuId) {
  switch (menuId) {
    case 605:
      return DeleteProfile();
    case 606:
      if (QelListBox* list = Profiles(*this)) return list->ShowEdit() ? 1 : 0;
      return 0;
    case 607:
      return ImportProfile();
    case 608:
      return ExportProfile();
    default:
      return 1;
  }
}

int KeyboardDlg::ImportProfile() {
  QelListBox* list = Profiles(*this);
  const std::vector<std::wstring> files =
      platform::UserDialogs().OpenFiles(KbText(50), L"Custom Key (*.xml)", false);
  if (!list || files.empty() || files.front().empty()) return 0;
  const std::wstring& path = files.front();
  std::error_code error;
  if (!std::filesystem::exists(WideToUtf8(path), error)) return 0;
  ProfileFileContents contents;
  const ProfileReadStatus status = ReadProfileFile(path, &contents);
  if (status != ProfileReadStatus::kOk) {
    // As the keyboard's users know it: a file that is not a profile is passed over silently.
    KeyboardLog("key profiles: import of %s: %s", WideToUtf8(path).c_str(), ProfileReadStatusName(status));
    return 1;
  }
  const int profileId = StoreImportedProfile(m_configDB, contents);
  if (profileId <= 0) {
    KeyboardLog("key profiles: import of %s: the store refused it", WideToUtf8(path).c_str());
    TellNotSaved("key profiles: import");
    return 1;
  }
  list->AddString(ShownName(contents.name), profileId);
  return 1;
}

int KeyboardDlg::ExportProfile() {
  QelListBox* list = Profiles(*this);
  if (!list || list->GetCurSel() < 0) {
    platform::UserDialogs().MessageBox(KbText(151), KbText(152));
    return 0;
  }
  const std::wstring folder = platform::UserDialogs().ChooseFolder(KbText(152));
  if (folder.empty()) return 0;
  const int profileId = SelectedId(*list);
  std::wstring name;
  m_configDB.GetKeyProfileName(profileId, &name);
  std::vector<KeyDataRow> layers[2];
  for (int layer = 0; layer < 2; ++layer) {
    std::vector<KeyDataRow*> rows;
    m_configDB.GetLayerKeyData(profileId, layer, rows);
    for (const KeyDataRow* row : rows) layers[layer].push_back(*row);
    FreeRows(rows);
  }
  const auto tick = static_cast<std::uint32_t>(PacingClock().now() / std::chrono::milliseconds(1));
  const std::wstring path = ProfileExportFileName(folder, list->GetItemText(list->GetCurSel()), tick);
  if (!WriteProfileFile(path, name, layers[0], layers[1])) {
    // Silence would read as success.
    KeyboardLog("key profiles: export to %s failed", WideToUtf8(path).c_str());
    platform::UserDialogs().MessageBox(KbText(157), KbText(152));
    return 0;
  }
  return 1;
}
