// The music page (tab 5): the profile's music modes, each telling the audio analyser which colour
// schemes to paint and how strongly to amplify, and the live copy of the analyser's picture onto
// the keys, on screen and on the keyboard, while the page is on show.
//
// The handlers run on the UI thread; InitMusicPage and UpdateMusicKeyLevels on the worker; the
// analyser renders on its own thread. A setting reaches the analyser through a hand-over: the
// analyser pauses for a frame's time, the setting is written, and it renders again.
#include <cstdio>
#include <string>

#include "common/strings.h"
#include "device/LightingPackets.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/KeyboardText.h"
#include "keyboard/PageControls.h"
#include "lighting/MusicKeys.h"
#include "zuvi/combo.h"
#include "zuvi/list_box.h"
#include "zuvi/range_controls.h"
#include "zuvi/static_controls.h"

using page_controls::Box;
using page_controls::Place;

namespace {

namespace ids {
constexpr int kListFrame = 287;
constexpr int kAdd = 288;
constexpr int kDelete = 289;
constexpr int kRename = 290;
constexpr int kModeFrame = 293;
constexpr int kLayer0 = 310;
constexpr int kLayer1 = 311;
constexpr int kSettingsFrame = 297;
constexpr int kDeviceCaption = 298;
constexpr int kDevice = 299;
constexpr int kForeCaption = 300;
constexpr int kFore = 301;
constexpr int kAmplitudeCaption = 304;
constexpr int kAmplitude = 305;
constexpr int kBackCaption = 306;
constexpr int kBack = 307;
constexpr int kBrightnessCaption = 308;
constexpr int kBrightness = 309;
}  // namespace ids

constexpr int kNewModeText = 150;
constexpr int kHandOverMs = 150;  // the analyser finishes the frame in hand meanwhile
constexpr int kDisplayOnlyMode = 102;
constexpr int kAmplitudeMax = 600;
constexpr int kAmplitudeStart = 60;
constexpr int kBrightnessMax = 100;
constexpr int kSchemeWhite = 1;
constexpr int kListEditEnded = 29;
constexpr int kListSelectionChanged = 1;

// clang-format off
constexpr page_controls::ControlSpec kControls[] = {
    {.id = ids::kListFrame, .className = L"CArea", .area = true},
    {.id = ids::kAdd, .className = L"CImageButton", .image = L"imgbtn_add.png", .imageStates = 4, .tooltip = 57, .label = L"+", .centred = true},
    {.id = ids::kDelete, .className = L"CImageButton", .image = L"imgbtn_del.png", .imageStates = 4, .tooltip = 51, .label = L"\u2212", .centred = true},
    {.id = ids::kRename, .className = L"CImageButton", .image = L"imgbtn_edit.png", .imageStates = 4, .tooltip = 58, .label = L"\u270E", .centred = true},
    {.id = ids::kModeFrame, .className = L"CArea", .area = true},
    {.id = kb_ids::kMusicModeList, .className = L"QelListBox", .image = L"img_edit.png"},
    {.id = ids::kLayer0, .className = L"MButton", .image = L"img_btn_layer_p.png", .imageStates = 4, .text = 95},
    {.id = ids::kLayer1, .className = L"MButton", .image = L"img_btn_layer_n.png", .imageStates = 4, .text = 96},
};
// After the keyboard view 296, which the page makes in between.
constexpr page_controls::ControlSpec kControlsAfterView[] = {
    {.id = ids::kSettingsFrame, .className = L"CArea", .area = true},
    {.id = ids::kDeviceCaption, .className = L"MText", .area = true, .text = 660},
    {.id = ids::kDevice, .className = L"MComboBox", .image = L"img_combobox.png"},
    {.id = ids::kForeCaption, .className = L"MText", .area = true, .text = 661},
    {.id = ids::kFore, .className = L"MComboBox"},
    {.id = ids::kAmplitudeCaption, .className = L"MText", .area = true, .text = 667},
    {.id = ids::kAmplitude, .className = L"MSlider", .image = L"img_slider_back.png"},
    {.id = ids::kBackCaption, .className = L"MText", .area = true, .text = 662},
    {.id = ids::kBack, .className = L"MComboBox"},
    {.id = ids::kBrightnessCaption, .className = L"MText", .area = true, .text = 663},
    {.id = ids::kBrightness, .className = L"MSlider"},
};
// clang-format on

// The schemes each combo offers, in their order.
constexpr int kRgbForeSchemes[] = {9, 13, 14, 17, 19, 1, 2, 3, 4, 7, 5};
constexpr int kSingleColorForeSchemes[] = {kSchemeWhite};
constexpr int kBackSchemes[] = {0, 1, 2, 3, 4, 7, 5, 9, 13, 14, 17, 19};

// The language text naming a scheme.
int SchemeText(int scheme) {
  switch (scheme) {
    case 13:
      return 685;
    case 14:
      return 686;
    case 17:
      return 687;
    case 19:
      return 688;
    default:
      return 670 + scheme;
  }
}

QelListBox* Modes(const KeyboardDlg& dlg) { return dlg.GetControlAs<QelListBox>(kb_ids::kMusicModeList); }
MComboBox* Combo(const KeyboardDlg& dlg, int id) { return dlg.GetControlAs<MComboBox>(id); }
MSlider* Slider(const KeyboardDlg& dlg, int id) { return dlg.GetControlAs<MSlider>(id); }

template <size_t N>
void FillSchemes(MComboBox* combo, const int (&schemes)[N]) {
  if (!combo) return;
  combo->ResetContent();
  for (int scheme : schemes) combo->AddString(KbText(SchemeText(scheme)), scheme);
  combo->SetCurSel(0);
}

void SetSlider(const KeyboardDlg& dlg, int id, int pos) {
  if (MSlider* slider = Slider(dlg, id)) slider->SetPos(pos);
}

int SelectedModeId(const KeyboardDlg& dlg) {
  QelListBox* list = Modes(dlg);
  if (!list || list->GetCurSel() < 0) return 0;
  return static_cast<int>(list->GetItemData(list->GetCurSel()));
}

}  // namespace

void KeyboardDlg::CreateMusicPage() {
  MControl* page = GetControl(kb_ids::kPageMusic);
  page_controls::CreatePageControls(*this, page, kControls);
  if (KeyboardCtrl* view = AddKeyView(kb_ids::kMusicView, page)) {
    view->SetKeyboardCtrlMode(kDisplayOnlyMode);
    view->SetKeyboardType(2);
  }
  page_controls::CreatePageControls(*this, page, kControlsAfterView);
  if (m_isRgb)
    FillSchemes(Combo(*this, ids::kFore), kRgbForeSchemes);
  else
    FillSchemes(Combo(*this, ids::kFore), kSingleColorForeSchemes);
  FillSchemes(Combo(*this, ids::kBack), kBackSchemes);
  if (MSlider* amplitude = Slider(*this, ids::kAmplitude)) {
    amplitude->SetRange(0, kAmplitudeMax);
    amplitude->SetPos(kAmplitudeStart);
  }
  if (MSlider* brightness = Slider(*this, ids::kBrightness)) {
    brightness->SetRange(0, kBrightnessMax);
    brightness->SetPos(kBrightnessMax);
  }
}

void KeyboardDlg::LayoutMusicPage(const RECT& client) {
  const int r = client.right, b = client.bottom;
  for (int i = 0; i < 3; ++i) Place(*this, ids::kAdd + i, Box(91 + 35 * i, 65, 121 + 35 * i, 85));
  Place(*this, ids::kListFrame, Box(65, 55, 295, b - 1));
  Place(*this, ids::kModeFrame, Box(71, 60, 290, b - 1));
  Place(*this, kb_ids::kMusicModeList, Box(71, 100, 290, b - 20));
  Place(*this, ids::kLayer0, Box(r - 250, 65, r - 142, 95));
  Place(*this, ids::kLayer1, Box(r - 142, 65, r - 34, 95));
  Place(*this, kb_ids::kMusicView, Box(310, 110, r - 20, b - 300));
  Place(*this, ids::kSettingsFrame, Box(300, b - 290, r - 10, b - 1));
  Place(*this, ids::kForeCaption, Box(350, b - 230, 650, b - 205));
  Place(*this, ids::kFore, Box(350, b - 205, 650, b - 180));
  Place(*this, ids::kAmplitudeCaption, Box(350, b - 150, 650, b - 125));
  Place(*this, ids::kAmplitude, Box(350, b - 115, 650, b - 90));
  if (!m_isRgb) return;  // the background settings keep the empty rectangle they were made with
  Place(*this, ids::kBackCaption, Box(750, b - 230, 1050, b - 205));
  Place(*this, ids::kBack, Box(750, b - 205, 1050, b - 180));
  Place(*this, ids::kBrightnessCaption, Box(750, b - 150, 1050, b - 125));
  Place(*this, ids::kBrightness, Box(750, b - 115, 1050, b - 90));
}

void KeyboardDlg::InitMusicPage() {
  if (!m_hasMusic) return;
  m_visualizer->SetBackend(m_services.makeAudio ? m_services.makeAudio() : platform::audio::MakePulseAudioBackend());
  m_visualizer->Init();
  m_visualizer->StartThread();
  m_visualizer->m_active = 0;
  InitMusicBandTables();
  LoadMusicModeList();
  if (MComboBox* devices = Combo(*this, ids::kDevice)) {
    for (const std::wstring& name : m_visualizer->DeviceNames()) devices->AddString(name);
    devices->SetCurSel(0);
  }
}

void KeyboardDlg::InitMusicBandTables() {
  const music_keys::BandTables tables = music_keys::MakeBandTables();
  m_musicKeyRows = tables.rows;
  m_musicKeyCols = tables.columns;
}

void KeyboardDlg::LoadMusicModeList() {
  m_visualizer->m_active = 0;
  QelListBox* list = Modes(*this);
  if (!list) return;
  list->ResetContent();
  std::vector<MusicLayerRow*> rows;
  m_configDB.GetMusicLayers(m_profile, rows);
  for (const MusicLayerRow* row : rows) list->AddString(row->name, row->layer_id);
  FreeRows(rows);
  const int selected = m_configDB.GetSelectedMusicLayer(m_profile);
  list->SetCurData(selected);
  ShowMusicMode(selected);
  RelabelDefaultProfileNames();
}

void KeyboardDlg::ShowMusicMode(int layerId) {
  for (int id : {ids::kDevice, ids::kFore, ids::kBack})
    if (MComboBox* combo = Combo(*this, id)) combo->SetCurSel(0);
  SetSlider(*this, ids::kAmplitude, kAmplitudeStart);
  SetSlider(*this, ids::kBrightness, kBrightnessMax);
  m_visualizer->m_active = 0;
  PacingClock().sleep(kHandOverMs);
  MusicLayerRow row;
  if (m_configDB.GetMusicLayer(layerId, &row)) {
    if (!m_isRgb) row.foremode = kSchemeWhite;
    if (MComboBox* devices = Combo(*this, ids::kDevice)) devices->SetCurSel(row.deviceindex);
    if (MComboBox* fore = Combo(*this, ids::kFore)) fore->SetCurData(row.foremode);
    SetSlider(*this, ids::kAmplitude, row.fore_amplitude / 10);
    if (MComboBox* back = Combo(*this, ids::kBack)) back->SetCurData(row.backmode);
    SetSlider(*this, ids::kBrightness, row.backb_right);
    m_visualizer->m_deviceIndex = row.deviceindex;
    m_visualizer->OpenCapture();
    m_visualizer->m_foreScheme = row.foremode;
    m_visualizer->m_gain = row.fore_amplitude;
    m_visualizer->m_backScheme = row.backmode;
    m_visualizer->m_backBrightness = row.backb_right;
  }
  if (m_curTab.load() == TabMusic) m_visualizer->m_active = 1;
}

void KeyboardDlg::HandOverToVisualizer(const std::function<void()>& change) {
  m_visualizer->m_active = 0;
  PacingClock().sleep(kHandOverMs);
  change();
  m_visualizer->m_active = 1;
}

namespace {

// Writes one column of the selected mode's row; 0 when no mode is selected.
template <typename Set>
int StoreInSelectedMode(KeyboardDlg& dlg, Set set) {
  const int layerId = SelectedModeId(dlg);
  if (layerId <= 0) return 0;
  MusicLayerRow row;
  if (dlg.m_configDB.GetMusicLayer(layerId, &row)) {
    set(row);
    dlg.m_configDB.UpdateMusicLayer(layerId, &row);
  }
  return 1;
}

int ComboData(const KeyboardDlg& dlg, int id) {
  MComboBox* combo = Combo(dlg, id);
  return combo ? static_cast<int>(combo->GetCurData()) : 0;
}

int SliderPos(const KeyboardDlg& dlg, int id) {
  MSlider* slider = Slider(dlg, id);
  return slider ? slider->GetPos() : 0;
}

}  // namespace

int KeyboardDlg::OnMusicDeviceCombo() {
  MComboBox* combo = Combo(*this, ids::kDevice);
  const int index = combo ? combo->GetCurSel() : 0;
  HandOverToVisualizer([&] {
    m_visualizer->m_deviceIndex = index;
    m_visualizer->OpenCapture();
  });
  return StoreInSelectedMode(*this, [&](MusicLayerRow& row) { row.deviceindex = index; });
}

int KeyboardDlg::OnMusicForeModeCombo() {
  const int scheme = ComboData(*this, ids::kFore);
  HandOverToVisualizer([&] { m_visualizer->m_foreScheme = scheme; });
  return StoreInSelectedMode(*this, [&](MusicLayerRow& row) { row.foremode = scheme; });
}

int KeyboardDlg::OnMusicAmplitudeSlider() {
  const int gain = SliderPos(*this, ids::kAmplitude) * 10;
  HandOverToVisualizer([&] { m_visualizer->m_gain = gain; });
  return StoreInSelectedMode(*this, [&](MusicLayerRow& row) { row.fore_amplitude = gain; });
}

int KeyboardDlg::OnMusicBackModeCombo() {
  const int scheme = ComboData(*this, ids::kBack);
  HandOverToVisualizer([&] { m_visualizer->m_backScheme = scheme; });
  return StoreInSelectedMode(*this, [&](MusicLayerRow& row) { row.backmode = scheme; });
}

int KeyboardDlg::OnMusicBackBrightnessSlider() {
  const int brightness = SliderPos(*this, ids::kBrightness);
  HandOverToVisualizer([&] { m_visualizer->m_backBrightness = brightness; });
  return StoreInSelectedMode(*this, [&](MusicLayerRow& row) { row.backb_right = brightness; });
}

int KeyboardDlg::OnAddMusicMode() {
  QelListBox* list = Modes(*this);
  if (!list) return 0;
  wchar_t name[256];
  std::swprintf(name, 256, L"%ls %d", KbText(kNewModeText).c_str(), list->GetCount() + 1);
  const int id = m_configDB.NewMusicLayer(m_profile, name);
  if (id > 0) {
    list->SetCurSel(list->AddString(name, id));
    m_configDB.SelectMusicLayer(m_profile, id);
    ShowMusicMode(id);
  }
  return 1;
}

int KeyboardDlg::OnDeleteMusicMode() {
  QelListBox* list = Modes(*this);
  if (!list || list->GetCount() < 2 || list->GetCurSel() < 0) return 0;
  const int index = list->GetCurSel();
  if (!m_configDB.DeleteMusicLayer(static_cast<int>(list->GetItemData(index)))) return 1;
  list->DeleteString(index);
  list->SetCurSel(index > 0 ? index - 1 : 0);
  const int id = SelectedModeId(*this);
  m_configDB.SelectMusicLayer(m_profile, id);
  ShowMusicMode(id);
  return 1;
}

int KeyboardDlg::OnMusicListNotify(int code) {
  QelListBox* list = Modes(*this);
  if (!list) return 0;
  if (code == kListSelectionChanged) {
    ShowMusicMode(SelectedModeId(*this));
    return 1;
  }
  if (code != kListEditEnded) return 0;
  const int index = list->GetCurSel();
  const int id = SelectedModeId(*this);
  if (id <= 0) return 0;
  const std::wstring text = list->GetItemText(index);
  if (!text.empty() && m_configDB.RenameMusicLayer(id, text)) return 1;
  // An empty name, or one the store refused: the list shows the stored name again.
  MusicLayerRow row;
  if (m_configDB.GetMusicLayer(id, &row)) list->ModifyItemString(index, row.name);
  return 1;
}

void KeyboardDlg::UpdateMusicKeyLevels() {
  KeyboardCtrl* view = GetKeyView(kb_ids::kMusicView);
  if (!view) return;
  Visualizer::Frame picture;
  m_visualizer->CopyFrontFrame(picture);
  const music_keys::Sample sample =
      music_keys::SamplePicture(picture, music_keys::BandTables{m_musicKeyRows, m_musicKeyCols});
  for (const MusicKeyColor& key : sample.keys) view->SetCustomModeColor(key.keyCode, key.color);
  view->UpdateControl();
  // The keyboard holds the last block it got. When the picture turns black (silence, capture lost
  // or stopped) or the output is switched off after a lit block, one block with every key dark
  // follows, so that the keys do not go on showing music that has stopped; then nothing until a
  // key lights again.
  const bool lit = sample.lit && m_musicOutputEnabled;
  if (!lit && !m_musicKeyboardLit) return;
  const std::optional<DeviceLink> link = Link();
  if (!link) return;
  std::vector<MusicKeyColor> keys;
  for (const KeyItem& item : view->GetKeyItems())
    keys.push_back(MusicKeyColor{item.code, lit ? item.color : 0u});
  const std::shared_ptr<const KeyLayoutMaps> maps = GetLayoutMaps();
  // A lit block counts as shown even when it failed: part of it may have arrived. A failed block
  // is sent again by the next pass.
  if (lit) m_musicKeyboardLit = true;
  if (SendMusicColorFrame(*link, keys, maps->ledIndex, m_isRgb != 0) && !lit) m_musicKeyboardLit = false;
}
