// KeyboardDlg: the window of one opened keyboard. It holds every page of the device, the device's
// configuration store, its input-report listener and its worker, which runs the queued device
// tasks one per pass (KeyboardTasks.cpp). The pages of the window are methods of this class
// and work on the members declared here.
//
// Threads: construction, Open/Show, OnInitDialog, OnTimer, DestroyWindow and destruction run on
// the UI thread. The worker runs Run() every 30 ms after the pass. Shared state is either atomic,
// guarded by its own lock, or a control of the window (controls accept calls from any thread).
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/thread_basic.h"
#include "device/DeviceModel.h"
#include "device/HidReportListener.h"
#include "device/LcdAnimation.h"
#include "device/MacroImage.h"
#include "device/SystemPackets.h"
#include "keyboard/KeyboardTasks.h"
#include "lighting/Visualizer.h"
#include "platform/audio/audio_capture.h"
#include "platform/clock/clock.h"
#include "shell/keyboard_window.h"
#include "storage/config_db.h"
#include "storage/config_rows.h"
#include "zuvi/dialog.h"
#include "zuvi/custom_light_mode.h"
#include "zuvi/image_list.h"
#include "zuvi/keyboard_ctrl.h"

class HidDeviceManager;
struct RawInputEvent;

// Window messages of the keyboard window's own popup menus.
inline constexpr UINT WM_KEYFUNC_MENU_COMMAND = 0x721;
inline constexpr UINT WM_PROFILE_MENU_COMMAND = 0x722;
inline constexpr UINT WM_MACRO_MENU_COMMAND = 0x723;
inline constexpr UINT WM_LIGHT_EDITOR_MENU_COMMAND = 0x725;
inline constexpr UINT WM_LCD_MENU_COMMAND = 0x729;

// Control ids the window itself touches (the pages name the rest).
namespace kb_ids {
inline constexpr int kBackground = 32;
inline constexpr int kLogo = 33;
inline constexpr int kPageIcon = 35;
inline constexpr int kCaptionKeyAssign = 36;
inline constexpr int kCaptionMacro = 37;
inline constexpr int kCaptionLighting = 38;
inline constexpr int kCaptionMusic = 39;
inline constexpr int kCaptionCustomLight = 42;
inline constexpr int kCaptionSettings = 43;
inline constexpr int kLightPageButton1 = 40;
inline constexpr int kLightPageButton2 = 41;
inline constexpr int kClose = 44;
inline constexpr int kMinimize = 45;
inline constexpr int kMaximize = 46;
inline constexpr int kHome = 48;
inline constexpr int kTabs = 50;
inline constexpr int kPageKeyAssign = 51;
inline constexpr int kPageLighting = 52;
inline constexpr int kPageCustomLight = 53;
inline constexpr int kPageMacro = 54;
inline constexpr int kPageSettings = 55;
inline constexpr int kPageMusic = 56;
inline constexpr int kPageCustomLightMode = 57;
inline constexpr int kPageScreen = 58;
inline constexpr int kProfileList = 66;
inline constexpr int kKeyAssignView = 70;
inline constexpr int kKeyFuncControl = 71;
inline constexpr int kFnSwitch = 74;
inline constexpr int kFnSwitch2 = 75;
inline constexpr int kLightModeList = 77;
inline constexpr int kLightingView = 79;
inline constexpr int kCustomLightList = 138;
inline constexpr int kCustomLightView = 144;
inline constexpr int kCustomLightSwitch = 153;
inline constexpr int kCustomLightModeList = 195;
inline constexpr int kCustomLightModeView = 197;
inline constexpr int kMacroList = 234;
inline constexpr int kMacroFixedDelayEdit = 252;
inline constexpr int kMacroStopRecording = 255;
inline constexpr int kSettingsView = 277;
inline constexpr int kMusicModeList = 294;
inline constexpr int kMusicView = 296;
inline constexpr int kScreenSlotList = 323;
inline constexpr int kScreenGridCheck = 331;
inline constexpr int kScreenEditor = 332;
inline constexpr int kScreenTextEdit = 339;
}  // namespace kb_ids

// KeyboardTab: the item ids of the tab column.
enum KeyboardTab : int {
  TabKeyAssign = 1,
  TabMacro = 2,
  TabLighting = 3,
  TabCustomLight = 4,
  TabMusic = 5,
  TabSettings = 6,
  TabCustomLightMode = 7,
  TabScreen = 8,
};

// What the custom key dialog edits: the key picked on the key assignment page, in the profile and
// Fn layer on show, of the keyboard the window belongs to.
struct CustomKeyDialogArgs {
  int key = 0;
  int keyProfileId = 0;
  int fnLayer = 0;
  int deviceIndex = -1;
  std::wstring identify;
};

class KeyboardDlg : public MDialog, public KeyboardWindow {
 public:
  // Makes the input-report listener of the window; `post` delivers its messages to the window.
  using ListenerFactory = std::function<std::unique_ptr<HidReportListener>(PostMessageFn post)>;
  // Makes the custom key dialog (not yet created) for the key menu.
  using CustomKeyDialogFactory = std::function<std::unique_ptr<MDialog>(const CustomKeyDialogArgs& args)>;

  // What the window talks to. Empty fields take the program's own: g_hidDeviceManager, the real
  // clock, a listener on the system's HID back end, the local time of the machine, the custom key
  // dialog, and ending processes by name.
  struct Services {
    HidDeviceManager* manager = nullptr;
    platform::Clock* clock = nullptr;
    ListenerFactory makeListener;
    LocalTimeSource localTime;
    CustomKeyDialogFactory makeCustomKeyDialog;
    std::function<bool(const std::wstring& name)> killProcess;
    // The sound the music page listens to; empty: the desktop's sound server.
    std::function<std::unique_ptr<platform::audio::AudioBackend>()> makeAudio;
  };

  // kThread: OnInitDialog starts the worker thread. kManual: no thread; the caller drives the
  // passes with Run() (tests). Chosen before Open.
  enum class WorkerMode { kThread, kManual };

  // The private message that shows the main window again after the firmware updater ended; the
  // worker posts it to this window, which shows the main window on the UI thread.
  static constexpr UINT kMsgShowMainWindow = WM_APP + 0x4B1;
  // Timer of the one firmware check after the window opened.
  static constexpr UINT kTimerFirmwareCheck = 200;
  // How long a stop waits for the pass in progress before it joins it.
  static constexpr int kStopWaitMs = 1000;

  KeyboardDlg(const std::wstring& deviceName, int deviceIndex, const std::wstring& identify);
  ~KeyboardDlg() override;

  // ---- set-up before Open ----
  void SetServices(Services services);
  void SetWorkerMode(WorkerMode mode);

  // Reads the capabilities, remembers `parent` as the main window and creates the window as its
  // child (InitUI, UISize and OnInitDialog run inside). False when the window cannot be created.
  bool Open(HWND parent);
  // Open, then the window's modal loop. Touches no member after the loop returns: the owner may
  // have deleted the object by then. Returns the loop's result (0 when the window was destroyed).
  int Show(HWND parent) override;
  MWindow& Window() override { return *this; }

  // ---- library slots ----
  int OnInitDialog() override;
  void InitUI(const RECT& client) override;
  void UISize(const RECT& client) override;
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM extra) override;
  LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnTimer(UINT id) override;
  // Stops the worker (bounded wait, then join) and the listener, then ends the window.
  bool DestroyWindow() override;

  // ---- device ----
  // The rescans of the main window hand the window its new device index (-1: none); any thread.
  void SetDeviceIndex(int index) override { m_deviceIndex.store(index); }
  int GetDeviceIndex() const { return m_deviceIndex.load(); }
  // Restarts the listener on the keyboard at the current device index; UI thread.
  void RestartListener() override;

  // ---- tasks and the worker pass ----
  // Appends a task code; any thread, also the worker from inside a running task.
  void PostTask(int code);
  // One worker pass: the updater wait, then one task, or else the idle job of the page on show.
  void Run();
  void SyncPages(int profile);
  void EnableDialogControls(bool on);
  void EnableLcdEditControls(bool on);
  std::vector<int> QueuedTasks() const { return m_taskList.Snapshot(); }
  bool IsWorkerRunning() const { return m_worker.IsRunning(); }

  // Wait windows of the screen tasks: a page publishes one before it queues the task; the worker
  // ends it with DoOK and never deletes it.
  void SetWaitDlg(std::shared_ptr<MDialog> dialog);
  void SetWaitDlg2(std::shared_ptr<MDialog> dialog);

  // ---- device model ----
  void LoadDeviceConfig();
  void LoadKeyboardLayout();
  void LoadKeyboardLayoutKeys();
  // The current maps of the layout; never null (empty before a layout was read).
  std::shared_ptr<const KeyLayoutMaps> GetLayoutMaps() const;
  // The key view with this id, or null when its page was not built.
  KeyboardCtrl* GetKeyView(int id) const;
  // The custom light view with this id (the editors' and the settings page's), or null.
  CustomLightMode* GetCustomLightView(int id) const;

  // ---- system settings and clock ----
  void SendSystemSettings(int profile);
  void SendClockAndLcdSlot();

  // ---- macros (UI thread) ----
  // Puts every stored macro into the keyboard's macro memory. Waits at most `lockWait` for a
  // transfer of the worker to end; m_keyMapBusy is set meanwhile. A store whose image does not
  // fit is refused before anything is sent and stays as it is.
  MacroDownloadResult DownloadMacros(std::chrono::milliseconds lockWait = kMacroLockWait);

  // ---- lighting (worker) ----
  // Sends m_curLightMode's settings of `profile` and saves them on the keyboard; nothing when no
  // mode is selected.
  void SendLightMode(int profile);
  // The custom mode's settings record (the mode-20 row of `profile`).
  void SendCustomModeSettings(int profile);
  // The key colours of m_curCustomLightMode, then the custom mode's settings.
  void SendCustomModeColors(int profile);
  // Reads the keyboard's LED colours into the lighting page's key view.
  void ReadDeviceLedColors();
  // One frame of the custom light effect editor's live preview.
  void SendCustomLightPreview();

  // ---- screen (worker) ----
  // Sends the selected slot's animation (task 9). False when nothing was sent or it was stopped.
  bool DownloadLcdAnimation();
  // Where the download of the current run reports "Loading: N%". The screen page fills it before
  // it queues the download and empties it when its dialog ends.
  LcdProgressHolder& LcdProgress() { return m_lcdProgress; }

  // ---- failed transfers (KeyboardTasks.cpp) ----
  // Posted to the window when a transfer was not received; its handler shows the prompt with
  // text kTextTransferFailed of "KB.DIALOG" on the UI thread.
  static constexpr UINT kMsgTransferFailed = WM_APP + 0x4B2;
  static constexpr int kTextTransferFailed = 990;
  // A transfer of the running task (or of the macro download) was not received by the keyboard:
  // `what` goes to the log and the failure is remembered. Any thread.
  void NoteTransferFailed(const char* what);
  // Reports a remembered failure once: posts kMsgTransferFailed unless the keyboard has gone
  // away (the main window's device handling tells the user about that). Then forgets it.
  void ReportTransferFailure();
  // The prompt itself; UI thread.
  void ShowTransferFailedPrompt();
  std::atomic<bool> m_transferFailed{false};
  std::atomic<int> m_transferPrompts{0};  // prompts shown, for tests

  // ---- refused writes (KeyboardTasks.cpp) ----
  static constexpr int kTextNotSaved = 991;
  // A page's save or import that the store refused as a whole (its batch was rolled back): `what`
  // goes to the log and the prompt with text kTextNotSaved of "KB.DIALOG" tells the user once
  // that nothing was changed. UI thread.
  void TellNotSaved(const char* what);

  // A stop of the window was requested: no further pass runs and a long transfer ends early.
  bool StopRequested() const { return m_stopRequested.load(); }

  // ---- frame, dispatch and language (KeyboardFrame.cpp, KeyboardDispatch.cpp, KeyboardLanguage.cpp) ----
  int PreTranslateMessage(MSG* message) override;
  int OnLButtonDown(UINT flags, POINT point) override;
  // The tab item at `index` was chosen: leaves the page on show, enters the chosen one and stores
  // the position. 1; an index without an item changes nothing.
  virtual int OnTabChanged(int index);
  virtual int ToggleMaximize();
  // Gives every built control its text in the UI language (g_languageId) again and relabels the
  // default names of the lists; the store keeps its names.
  void ApplyLanguage();
  // Relabels the default names of the music mode list.
  void RelabelDefaultProfileNames();

  // ---- firmware update tip and prompts (KeyboardFirmware.cpp) ----
  void CheckFirmwareUpdate();
  // The program's prompt box over `parent`; 1 OK or yes, 2 no, 0 when it ended without an answer.
  int ShowMessageBox(HWND parent, const std::wstring& message, const std::wstring& title, int buttons);

  // ---- the pages' members ----
  // Every page builds its controls in its container and lays them out from the client rectangle.
  // The handlers answer the notifications and messages that the dispatcher routes to them and
  // return its result. All are virtual so that the routing stays fixed while the pages grow.

  // Key profiles.
  virtual int OnProfileListNotify(int code);
  virtual int OnPresetListNotify(int code);
  virtual int OnProfileCommand(int menuId);
  virtual int NewProfile();
  virtual int DeleteProfile();
  virtual int ImportProfile();
  virtual int ExportProfile();

  // Key assignment.
  virtual void CreateKeyAssignPage();
  virtual void LayoutKeyAssignPage(const RECT& client);
  virtual int OnKeyboardCtrlNotify(int code);
  virtual int OnKeyFuncControlNotify();
  virtual int OnKeyFunctionCommand(WPARAM wParam, int menuId);
  virtual int OnLayerButtonP();
  virtual int OnLayerButtonN();
  virtual int OnFnSwitch();
  virtual int OnFnSwitch2();

  // Software key actions (the keyboard's requests).
  virtual int RunSoftwareKeyAction(int rowId);

  // Stores `row` as the function of m_selectedKey in the Fn layer on show (nothing for a key
  // below 0), shows it and queues the key map; also when the store kept nothing.
  void SetKeyValue(KeyDataRow row);
  // Shows the assignments of a user profile in the Fn layer on show: checks, tips, barred keys.
  void RefreshKeyAssign(int keyProfileId);
  // Shows a built-in layout's keys with their captions (read only).
  void RefreshKeyAssignPreset(int keyProfileId);

  // Macros.
  virtual void CreateMacroPage();
  virtual void LayoutMacroPage(const RECT& client);
  virtual int OnMacroListNotify(int code);
  virtual int OnMacroMenuCommand(int menuId);
  virtual int NewMacro();
  virtual int DeleteMacro();
  virtual int SelectMacro();
  virtual int ImportMacro();
  virtual int ExportMacro();
  virtual int ApplyMacro();
  // Menu 610: pastes a copy of the remembered macro (m_curMacroId) with its events.
  virtual int CopyMacro();
  // Shows the events and play options of `macroId` in the editing column and list 262.
  void ShowMacroRecords(int macroId);
  // The play options shown for `macroId` (delay mode and fixed delay), as ApplyMacro stores them.
  MacroDataRow ShownPlayOptions(int macroId);
  void EnableMacroPageControls(bool enable);
  void EnableMacroEditControls(bool enable);
  // The macro whose events list 262 shows; 0 for none.
  int ShownMacroId();

  // Macro recording and event editing.
  virtual int OnRawInput(LPARAM rawInput);
  virtual int OnMacroKeyEditNotify(int code);
  virtual int OnRecordListNotify(int code);
  virtual int OnMacroEventKeyRadio();
  virtual int OnMacroEventMouseRadio();
  virtual int OnMacroEventDelayRadio();
  virtual int InsertMacroEvent();
  virtual int StartMacroRecording();
  virtual int StopMacroRecording();
  virtual int MoveMacroEventUp();
  virtual int MoveMacroEventDown();
  virtual int DeleteMacroEvent();
  // One recorded key (mouse events are not recorded), with the delay before it.
  void AddRecordedMacroEvent(const RawInputEvent& event);

  // Settings.
  virtual void CreateSettingsPage();
  virtual void LayoutSettingsPage(const RECT& client);
  virtual int OnLanguageCombo();
  virtual int OnFnSwitchCombo();
  virtual int OnResponseTimeCombo();
  virtual int OnAutoStartCheck();
  virtual int ResetKeysAndLighting();
  virtual int FactoryReset();
  virtual int RunFirmwareUpdater();
  virtual int OnGameModeCheck();
  virtual int OnDisableAltTabCheck();
  virtual int OnDisableAltF4Check();
  virtual int OnDisableWinCheck();
  // Fills the settings page from the store and sends the settings.
  void LoadSystemSettings(int profile);

  // Lighting.
  virtual void CreateLightPage();
  virtual void LayoutLightPage(const RECT& client);
  virtual int OnLightModeListNotify(int code);
  virtual int OnLightPaletteNotify();
  virtual int OnLightColorButton(int id);
  virtual int OnLightRedEdit(int code);
  virtual int OnLightGreenEdit(int code);
  virtual int OnLightBlueEdit(int code);
  virtual int OnLightColorfulSwitch();
  virtual int OnLightBrightnessSlider(int code);
  virtual int OnLightSpeedSlider(int code);
  virtual int OnLightDirectionRadio();
  virtual int OnLightApplyKeyColors();
  virtual int OnLightSleepTimeRadio(int id);
  virtual void ShowSleepTimeSelection(int index);

  // Custom light effect editor.
  virtual void CreateCustomLightPage();
  virtual void LayoutCustomLightPage(const RECT& client);
  virtual int OnCustomLightListNotify(int code);
  virtual int OnCustomLightEffectListNotify(int code);
  virtual int OnCustomLightPaletteNotify();
  virtual int OnCustomLightColorButton(int id);
  virtual int OnCustomLightRedEdit(int code);
  virtual int OnCustomLightGreenBlueEdit(int code);
  virtual int OnNewCustomLight();
  virtual int OnDeleteCustomLight();
  virtual int OnImportCustomLight();
  virtual int OnExportCustomLight();
  virtual int OnCustomLightSpeedSlider();
  virtual int OnCustomLightSelectAll();
  virtual int OnCustomLightCheckDigits();
  virtual int OnCustomLightCheckWasd();
  virtual int OnCustomLightApplyEffect();
  virtual int OnCustomLightApplyColor();
  virtual int OnLightEditorMenuCommand(int command);
  virtual void EnableCustomLightControls(bool enable);

  // Custom light mode editor.
  virtual void CreateCustomLightModePage();
  virtual void LayoutCustomLightModePage(const RECT& client);
  virtual int OnCustomLightModeListNotify(int code);
  virtual int OnCustomLightModePaletteNotify();
  virtual int OnCustomLightModeColorButton(int id);
  virtual int OnCustomLightModeRedEdit(int code);
  virtual int OnCustomLightModeGreenBlueEdit(int code);
  virtual int OnNewCustomLightMode();
  virtual int OnDeleteCustomLightMode();
  virtual int OnImportCustomLightMode();
  virtual int OnExportCustomLightMode();
  virtual int OnCustomLightModeBrightnessSlider();
  virtual int OnCustomLightModeSelectAll();
  virtual int OnCustomLightModeCheckDigits();
  virtual int OnCustomLightModeCheckWasd();
  virtual int OnCustomLightModeApplyColor();
  // Replaces the stored keys of scheme `id` by `rows` in one transaction; false (and the user
  // told) when the store refused them, the stored keys then kept.
  bool ReplaceCustomModeKeys(int id, std::vector<CustomRgbRow> rows);
  virtual int OnCustomLightModeApplyColorType();

  // ---- lighting page (lighting/LightPage.cpp) ----
  // The single-colour keyboard's load of the mode list's current item.
  void SelectLightModeFromList(int profile);
  // Stores `color` (0x00BBGGRR) as the current mode's colour (mode 20: of the checked keys) and
  // queues the light mode.
  void SetLightKeyColor(std::uint32_t color);
  // The colour of the three channel edits, through SetLightKeyColor.
  void ApplyLightColorEdit();
  void EnableLightColorControls(bool enable);
  void ShowLightColorGroup(bool show);
  void ShowLightKeySelectGroup(bool show);
  void ShowLightBrightnessOnly();
  void ShowLightBrightnessSpeed();
  void ShowLightSlidersNoColor();
  void ShowLightVerticalDirections();
  void ShowLightHorizontalDirections();
  void ShowLightBrightnessOnlyColor();
  // The control groups of `mode` with the values of its stored row.
  void ApplyLightModeGroups(int mode, const LightDataRow& row);
  // What every load of a new mode does first: select it in the store, hand it to the key view,
  // show its brightness and hide the direction radios.
  void StartLightModeLoad(int profile, int mode, const LightDataRow& row);
  int OnLightColorEdit(int id, int code);
  int StoreLightSlider(int id, std::uint8_t LightDataRow::* field);

  // ---- custom light editors (lighting/CustomLightPage.cpp, lighting/CustomLightModePage.cpp) ----
  // The keys of effect scheme `customlightId` (0: none) into view 144, with its speed.
  void LoadCustomLightKeys(int customlightId);
  // The list buttons and every editing control of the effect editor.
  void EnableCustomLightListButtons(bool enable);
  void ApplyCustomLightColorEdit();
  // A colour picked from the palette or a preset (0x00BBGGRR) for the checked keys.
  void ChooseCustomLightColor(std::uint32_t color);
  int OnCustomLightEditEnd();
  // The keys of colour scheme `customlightId` (0: none) into view 197, with its brightness.
  void LoadCustomLightModeKeys(int customlightId);
  void EnableCustomLightModeListButtons(bool enable);
  void ApplyCustomLightModeColorEdit();
  void ChooseCustomLightModeColor(std::uint32_t color);

  // Music.
  virtual void CreateMusicPage();
  virtual void LayoutMusicPage(const RECT& client);
  virtual int OnMusicListNotify(int code);
  virtual int OnAddMusicMode();
  virtual int OnDeleteMusicMode();
  virtual int OnMusicDeviceCombo();
  virtual int OnMusicForeModeCombo();
  virtual int OnMusicAmplitudeSlider();
  virtual int OnMusicBackModeCombo();
  virtual int OnMusicBackBrightnessSlider();

  // Screen slots.
  virtual void CreateLcdPage();
  virtual void LayoutLcdPage(const RECT& client);
  virtual int OnLcdSlotListNotify(int code);
  virtual int OnAddLcdSlot();
  virtual int OnAddLcdGif();
  virtual int OnDeleteLcdSlot();
  virtual int OnLcdPreviewTab();
  virtual int OnLcdEditTab();
  virtual int OnLcdApplySlot();
  virtual int OnDownloadLcdAnimation();
  // A slot key of the keyboard, handed over by the main window.
  int OnDeviceLcdSlotKey(int action, int value) override;

  // Screen editing.
  virtual int OnLcdImageViewNotify(int code);
  virtual int OnLcdFrameListNotify(int code);
  virtual int OnLcdFontSizeEdit(int code);
  virtual int OnLcdPalette3Notify(int code);
  virtual int OnLcdPalette2Notify(int code);
  virtual int OnLcdRedEdit(int code);
  virtual int OnLcdGreenEdit(int code);
  virtual int OnLcdBlueEdit(int code);
  virtual int OnLcdColorButton(int id);
  virtual int OnLcdAddText();
  virtual int OnLcdAddPicture();
  virtual int OnLcdCopyFrame();
  virtual int OnLcdDeleteFrame();
  // 1 when the frames were stored; 0 (the unsaved-edit mark kept) when they could not be.
  virtual int SaveLcdFrames();
  virtual int OnExportLcdGif();
  virtual int OnLcdDrawTool(int command);

  // ---- music page (MusicPage.cpp) ----
  // Task 2: starts the analyser and fills the page.
  void InitMusicPage();
  // Fills the mode list of m_profile and shows its selected mode (also from SyncPages).
  void LoadMusicModeList();
  // Shows the mode `layerId` and hands it to the analyser; renders again only on the music tab.
  void ShowMusicMode(int layerId);
  // The worker's idle job on the music tab: the analyser's picture onto the keys and the keyboard.
  void UpdateMusicKeyLevels();

  // ---- screen page (lighting/LcdPage.cpp, lighting/LcdEdit.cpp) ----
  // The six palette buttons from the profile's stored colours.
  void LoadLcdPalette();
  // Fills the frame list and the editor with the frames of `led_id` (0 or less: empties them).
  void LoadLcdFrames(int led_id);
  // Offers unsaved frame edits for saving; any other answer reloads the slot as stored.
  void ConfirmSaveLcdEdits();
  void EnableLcdControls(bool enable);
  // The prompt of a slot-key download of a slot without frames; the box's result.
  int ShowLcdNoDataPrompt(HWND parent);
  void ApplyLcdColorEdit();
  void SaveLcdDefaultColors(std::uint32_t color);
  // The GIF chosen for the import or the export; any thread.
  void SetLcdGifPath(const std::wstring& path);
  std::wstring LcdGifPath() const;

  // ---- members, in declaration order ----
  KeyboardTaskList m_taskList;
  std::atomic<int> m_deviceIndex;
  int m_profile = 1;
  std::atomic<int> m_keyProfileId{1};  // the profile the key view shows and task 4 sends
  int m_selectedKey = 0;
  std::atomic<int> m_fnLayer{0};
  std::atomic<int> m_curLightMode{0};
  std::atomic<int> m_curTab{0};
  std::atomic<int> m_curCustomLightMode{0};  // UI thread (editor) and worker (task 6)
  std::atomic<std::uint8_t> m_keyMapBusy{0};  // UI thread (macros) and worker (key map)
  std::uint8_t m_hasMacro = 1;
  std::uint8_t m_hasCustomLight = 1;
  std::uint8_t m_hasLighting = 1;
  std::uint8_t m_hasMusic = 1;
  std::uint8_t m_keyAssignOption = 0;
  std::uint8_t m_hasCustomLightMode = 1;
  std::uint8_t m_isRgb = 1;
  std::uint8_t m_canUpdateFirmware = 0;
  std::uint8_t m_lightOption = 0;
  std::uint8_t m_keyLayoutOption = 0;
  std::wstring m_firmwareVersion;
  std::wstring m_updaterFile;
  std::uint8_t m_readColorsEnabled = 1;
  std::uint8_t m_musicOutputEnabled = 1;
  int m_packetDelay = 10;
  std::wstring m_deviceName;
  std::wstring m_layoutName;
  std::wstring m_identify;
  ConfigDB m_configDB;
  bool m_rawInputActive = false;  // raw input is being consumed (recording or key capture)
  std::unique_ptr<HidReportListener> m_listener;
  int m_capturedKey = 0;
  std::wstring m_capturedKeyName;  // what edit 240 shows for m_capturedKey; empty: none captured
  int m_delayMode = 1;
  int m_fixedDelay = 10;
  int m_recordState = 0;
  unsigned int m_lastEventTick = 0;
  bool m_hasLastEventTick = false;  // a tick of 0 is a tick like any other
  int m_shownMacroId = 0;
  bool m_macroDeletedSinceSend = false;  // positions of the keyboard's macros moved
  int m_curMacroId = 0;
  std::uint8_t m_macroSaved = 1;
  std::vector<MacroRecordRow> m_macroRecords;
  int m_macroCapacityLeft = 0;
  // Guards the macro page's members above; never held across a prompt, menu, dialog or transfer.
  std::mutex m_macroLock;
  MImageList m_imageList;
  ARGB m_textColor = 0xFFFFFFFF;
  HWND m_hwndMain = nullptr;
  std::atomic<int> m_colorPollSuspended{0};  // set by the lighting page (UI thread)
  std::atomic<int> m_colorPollBusy{0};       // set by the read-back (worker)
  std::atomic<unsigned int> m_updaterProcessId{0};
  int m_lcdSlotIndex = 0;
  std::atomic<std::uint8_t> m_lcdBusy{0};
  std::atomic<int> m_lcdLedId{0};       // UI thread and the import (worker)
  std::atomic<int> m_lcdFrameIndex{0};  // -1 while no frame is selected
  int m_lcdSlotNumber = 0;
  std::atomic<std::uint8_t> m_lcdDirty{0};
  int m_lcdColorButton = 359;
  std::atomic<bool> m_lcdEditMode{false};  // button 335: the slot and frame controls stay locked
  // The audio analyser of the music page (its rendering follows the music tab).
  std::unique_ptr<Visualizer> m_visualizer = std::make_unique<Visualizer>();

 protected:
  // Makes the key view `id` (a KeyboardCtrl) in `page`; null when it could not be made.
  KeyboardCtrl* AddKeyView(int id, MControl* page);
  // Makes the custom light view `id` in `page`, animated on the window's clock; null when it could
  // not be made.
  CustomLightMode* AddCustomLightView(int id, MControl* page);

 private:
  // ---- pass steps (KeyboardTasks.cpp) ----
  // False when a stop request ended the wait; the updater id then stays set.
  bool WaitForUpdaterAndReopen(unsigned int processId);
  void RunTask(int code);
  void RunIdleJob();
  void EndWaitDialog(bool second);

  // ---- lifecycle (KeyboardDlg.cpp) ----
  void OpenStore();
  void RestoreTab();
  void StartListener();
  void StopWorkerAndListener();
  HidDeviceManager* DeviceManager() const;
  platform::Clock& PacingClock() const;

  // ---- key assignment and profiles (KeyAssignPage.cpp, KeyProfiles.cpp) ----
  // In layer 1 a key the layout keeps out of the Fn layer is refused with a prompt and dropped.
  bool RefuseFnLayerKey();
  void RunCustomKeyDialog();
  void KillBlocker();
  int SelectFnLayer(int layer);
  int StoreFnSwitch(int value);
  // What a user selection of a profile in list 66 does: the profile is shown and sent.
  void ShowProfile(int profileId);

  // ---- tab changes (KeyboardDispatch.cpp) ----
  void LeavePage(int tab);
  void EnterPage(int tab);

  // ---- task bodies of the pages (in the files of their pages) ----
  void FillProfileLists();
  void LoadMacroList();
  void LoadLcdSlots();
  // Task 4: both Fn layers of the key profile m_keyProfileId holds when the task starts, layer 0
  // first, with one read of the stored macros for both (KeyMapUpload.cpp).
  void SendKeyMapLayers();
  // One layer of `profile`; `macroIds` are the ids of every stored macro in the store's order.
  void UploadKeyMap(int profile, std::span<const int> macroIds);
  void UploadKeyMapFn(int profile, std::span<const int> macroIds);
  void UploadKeyMapLayer(int layer, int profile, std::span<const int> macroIds);
  void SaveLcdGif();
  void ImportLcdGif();
  void UpdateCustomLightEffect();
  void LoadCustomLightModeList(int profile);
  void LoadLightMode(int profile);
  void LoadCustomLightList(int profile);
  // ---- music page (MusicPage.cpp) ----
  void InitMusicBandTables();
  // Stops the analyser's rendering for a frame's time, runs `change` on it, and renders again.
  void HandOverToVisualizer(const std::function<void()>& change);

  Services m_services;
  WorkerMode m_workerMode = WorkerMode::kThread;
  std::atomic<bool> m_stopRequested{false};
  bool m_stopped = false;  // the stop sequence ran (UI thread)
  std::mutex m_passLock;   // one pass at a time, whatever drives it

  // The key view's refreshes of the worker (SyncPages) and of the UI thread, one at a time.
  std::mutex m_keyAssignLock;
  bool m_presetShown = false;  // the key view shows a built-in layout; under m_keyAssignLock

  mutable std::mutex m_layoutLock;
  std::shared_ptr<const KeyLayoutMaps> m_layoutMaps;

  // What the macro, lighting and screen transfers need to reach this window's keyboard
  // (KeyboardLighting.cpp); nullopt without a device manager.
  std::optional<DeviceLink> Link() const;
  // Index of the selected screen slot; -1 without a slot list or a selection.
  int SelectedScreenSlot() const;

  LcdProgressHolder m_lcdProgress;

  // The analyser picture's rows and columns under the keys of the music view (worker).
  std::array<int, 6> m_musicKeyRows{};
  std::array<int, 23> m_musicKeyCols{};
  // The last music block that went to the keyboard lit a key: a black picture sends one dark block.
  bool m_musicKeyboardLit = false;

  // ---- screen page helpers (lighting/LcdPage.cpp) ----
  // A free time-stamp name (`suffix` appended) in `folder`, after the 2 ms pause of every name.
  std::wstring NewLcdName(const std::wstring& folder, const std::wstring& suffix);
  // The folder of slot `led_id` as its row names it; empty when the row cannot be read or its
  // folder name is not a plain name.
  std::wstring LcdSlotFolder(int led_id);
  // Removes the pictures in `folder` that neither `rows` (the slot's stored frames) nor the slot's
  // first file name: those a save replaced, or left when it ended before its commit.
  void RemoveUnnamedLcdPictures(int led_id, const std::wstring& folder,
                                const std::vector<LedFrameRow*>& rows);
  // Selects the list position of slot `led_id` and shows it: the one current slot.
  void SelectLcdSlot(int index);
  // Shows frame `pos` of the frame list in the editor (nothing selected: an empty editor).
  void ShowLcdFrame(int pos);
  // Runs a wait window until the worker ends it after `task`.
  void RunLcdWaitTask(int task);

  // What the last import and export left for the UI thread to tell.
  struct LcdTaskOutcome {
    int ledId = 0;         // the imported slot; 0 when none was added
    int frames = 0;
    bool damaged = false;  // the file broke off after some frames
    bool unreadable = false;
    bool unwritable = false;  // the slot's folder could not be made
    bool notStored = false;   // the store refused the slot's rows
    bool exportFailed = false;
  };
  mutable std::mutex m_lcdLock;  // m_lcdGifPath and m_lcdOutcome
  std::wstring m_lcdGifPath;
  LcdTaskOutcome m_lcdOutcome;

  std::mutex m_waitDlgLock;
  std::shared_ptr<MDialog> m_waitDlg;
  std::shared_ptr<MDialog> m_waitDlg2;

  // Last member: it is joined before any other member is destroyed.
  PeriodicWorker m_worker{[this] { Run(); }};
};
