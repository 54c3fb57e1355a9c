// Helpers of the frame, dispatch, language and firmware tests: a recording keyboard window created
// with chosen capabilities and size, bypassing device.xml.
#pragma once

#include <functional>

#include "common/lang_text.h"
#include "keyboard_fixture.h"
#include "recording_dlg.h"
#include "zuvi/tab.h"

namespace kb_test {

// Capability bytes of a window, all on by default.
struct Capabilities {
  std::uint8_t macro = 1, lighting = 1, customLightMode = 1, customLight = 1, music = 1, rgb = 1;
  std::uint8_t keyLayoutOption = 0;
};

class FrameTest : public KeyboardTest {
 protected:
  // A recording window over the main window, created as Open creates it but with `caps` in place
  // of device.xml and a client area of `width` x `height`.
  RecordingDlg& CreateRecording(const Capabilities& caps = {}, int width = 1200, int height = 720,
                                const std::function<void(RecordingDlg&)>& prepare = {}) {
    RecordingDlg& dlg = MakeWindowAs<RecordingDlg>();
    dlg.m_hasMacro = caps.macro;
    dlg.m_hasLighting = caps.lighting;
    dlg.m_hasCustomLightMode = caps.customLightMode;
    dlg.m_hasCustomLight = caps.customLight;
    dlg.m_hasMusic = caps.music;
    dlg.m_isRgb = caps.rgb;
    dlg.m_keyLayoutOption = caps.keyLayoutOption;
    if (prepare) prepare(dlg);
    dlg.m_hwndMain = main_.GetSafeHwnd();
    EXPECT_TRUE(dlg.Create(main_.GetSafeHwnd(), L"KeyboardDlg",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                           RECT{0, 0, width, height}));
    return dlg;
  }

  // The same after its start tasks ran, with its calls and the main window's messages cleared.
  RecordingDlg& IdleRecording(const std::function<void(RecordingDlg&)>& prepare = {}) {
    RecordingDlg& dlg = CreateRecording({}, 1200, 720, prepare);
    Drain(dlg);
    TakeMainMessages();
    dlg.calls.clear();
    return dlg;
  }

  static std::vector<int> ItemIds(KeyboardDlg& dlg) {
    std::vector<int> ids;
    if (auto* tabs = dlg.GetControlAs<MTabCtrl>(kb_ids::kTabs))
      for (int i = 0; i < tabs->GetItemCount(); ++i) ids.push_back(tabs->GetItemID(i));
    return ids;
  }
  // Text `id` of the window's section in the current language.
  static std::wstring Text(int id) {
    std::wstring text;
    GetLangText(&text, id, L"KB.DIALOG");
    return text;
  }
  std::string StoredTab() {
    return QueryText(StorePath(), "SELECT value FROM t_configdata WHERE profile=1 AND key='tab_item'");
  }
};

}  // namespace kb_test
