// What a key of function 8-11 asks the program to do when it is pressed: the keyboard reports the
// id of the action row, and the program starts a program, opens a web address, types a text into
// the focused window or shows another key profile.
#include "common/strings.h"
#include "device/KeyMap.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"
#include "keyboard/TextInput.h"
#include "platform/input/input_synth.h"
#include "platform/launch.h"
#include "platform/process.h"

namespace {

// The address a web key opens: "www." is put in front of an address that lacks it anywhere, and a
// scheme in front of one without, so that the desktop does not take it for a file. An address with
// a scheme of its own is opened as it stands.
std::wstring WebAddress(const std::wstring& stored) {
  if (stored.find(L"://") != std::wstring::npos) return stored;
  const std::wstring host = stored.find(L"www.") == std::wstring::npos ? L"www." + stored : stored;
  return L"http://" + host;
}

}  // namespace

int KeyboardDlg::RunSoftwareKeyAction(int rowId) {
  std::wstring desc;
  std::wstring param;
  int type = 0;
  m_configDB.GetKeyOtherData(rowId, &desc, &param, &type);  // type 0 when there is no such row
  switch (type) {
    case KeyFuncProgram:
      if (param.empty() || !platform::OpenPathOrProgram(WideToUtf8(param)))
        KeyboardLog("key action %d: could not start %s", rowId, WideToUtf8(param).c_str());
      return 1;
    case KeyFuncWebAddress:
      if (desc.empty()) return 0;
      if (!platform::CurrentDesktopOpener().Open(WideToUtf8(WebAddress(desc))))
        KeyboardLog("key action %d: could not open %s", rowId, WideToUtf8(desc).c_str());
      return 1;
    case KeyFuncText:
      if (desc.empty()) return 0;
      if (!SendTextInput(platform::input::CurrentInputSynth(), desc))
        KeyboardLog("key action %d: the text could not be typed", rowId);
      return 1;
    case KeyFuncProfileSwitch:
      // The keyboard may hold an older map: the profile is shown, not sent, and the list keeps
      // its selection.
      m_keyProfileId.store(WToI(param));
      RefreshKeyAssign(m_keyProfileId.load());
      return 1;
    default:
      KeyboardLog("key action %d: nothing to do (type %d)", rowId, type);
      return 0;
  }
}
