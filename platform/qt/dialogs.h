// The common dialogs (open, save, choose folder) and the system message box behind one
// interface: Qt dialogs in the program, scripted answers in tests.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace platform {

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // Files chosen to open. `filter` is "Name (*.ext *.ext2)" entries separated by ";;". With
  // `multiSelect` several files may be chosen. Empty when the user cancelled.
  virtual std::vector<std::wstring> OpenFiles(const std::wstring& title, const std::wstring& filter,
                                              bool multiSelect) = 0;
  // The file to save to; empty when cancelled. `suggested` is the proposed path.
  virtual std::wstring SaveFile(const std::wstring& title, const std::wstring& filter,
                                const std::wstring& suggested) = 0;
  // A folder, ending in '/'; empty when cancelled.
  virtual std::wstring ChooseFolder(const std::wstring& title) = 0;
  // The system message box with an OK button; returns 1.
  virtual int MessageBox(const std::wstring& text, const std::wstring& title) = 0;
};

// The Qt dialogs; they need the Qt application.
class QtDialogs final : public Dialogs {
 public:
  std::vector<std::wstring> OpenFiles(const std::wstring& title, const std::wstring& filter,
                                      bool multiSelect) override;
  std::wstring SaveFile(const std::wstring& title, const std::wstring& filter,
                        const std::wstring& suggested) override;
  std::wstring ChooseFolder(const std::wstring& title) override;
  int MessageBox(const std::wstring& text, const std::wstring& title) override;
};

// Tests: answers queued in advance, in order; a dialog with no queued answer counts as
// cancelled and is recorded in `unanswered`, so the test can fail on it.
class ScriptedDialogs final : public Dialogs {
 public:
  std::vector<std::wstring> OpenFiles(const std::wstring& title, const std::wstring& filter,
                                      bool multiSelect) override;
  std::wstring SaveFile(const std::wstring& title, const std::wstring& filter,
                        const std::wstring& suggested) override;
  std::wstring ChooseFolder(const std::wstring& title) override;
  int MessageBox(const std::wstring& text, const std::wstring& title) override;

  std::deque<std::vector<std::wstring>> answers;  // one entry per dialog; a path list
  std::vector<std::wstring> asked;                // titles (message boxes: their text), in order
  std::vector<std::wstring> unanswered;
};

// The dialogs of the program: QtDialogs unless SetDialogsOverride gave another. Never null.
Dialogs& UserDialogs();
// Replaces them (tests); nullptr restores. The caller keeps ownership.
void SetDialogsOverride(Dialogs* dialogs);

}  // namespace platform
