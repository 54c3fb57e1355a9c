#include "platform/qt/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace platform {

namespace {

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }

Dialogs* g_override = nullptr;

}  // namespace

std::vector<std::wstring> QtDialogs::OpenFiles(const std::wstring& title, const std::wstring& filter,
                                               bool multiSelect) {
  std::vector<std::wstring> result;
  if (multiSelect) {
    for (const QString& file : QFileDialog::getOpenFileNames(nullptr, Q(title), QString(), Q(filter)))
      result.push_back(file.toStdWString());
  } else if (QString file = QFileDialog::getOpenFileName(nullptr, Q(title), QString(), Q(filter));
             !file.isEmpty()) {
    result.push_back(file.toStdWString());
  }
  return result;
}

std::wstring QtDialogs::SaveFile(const std::wstring& title, const std::wstring& filter,
                                 const std::wstring& suggested) {
  return QFileDialog::getSaveFileName(nullptr, Q(title), Q(suggested), Q(filter)).toStdWString();
}

std::wstring QtDialogs::ChooseFolder(const std::wstring& title) {
  QString folder = QFileDialog::getExistingDirectory(nullptr, Q(title));
  if (folder.isEmpty()) return {};
  if (!folder.endsWith('/')) folder += '/';
  return folder.toStdWString();
}

int QtDialogs::MessageBox(const std::wstring& text, const std::wstring& title) {
  QMessageBox::information(nullptr, Q(title), Q(text));
  return 1;
}

std::vector<std::wstring> ScriptedDialogs::OpenFiles(const std::wstring& title, const std::wstring&,
                                                     bool multiSelect) {
  asked.push_back(title);
  if (answers.empty()) {
    unanswered.push_back(title);
    return {};
  }
  std::vector<std::wstring> answer = std::move(answers.front());
  answers.pop_front();
  if (!multiSelect && answer.size() > 1) answer.resize(1);
  return answer;
}

std::wstring ScriptedDialogs::SaveFile(const std::wstring& title, const std::wstring&, const std::wstring&) {
  std::vector<std::wstring> answer = OpenFiles(title, L"", false);
  return answer.empty() ? std::wstring() : answer.front();
}

std::wstring ScriptedDialogs::ChooseFolder(const std::wstring& title) {
  std::wstring folder = SaveFile(title, L"", L"");
  if (!folder.empty() && folder.back() != L'/') folder += L'/';
  return folder;
}

int ScriptedDialogs::MessageBox(const std::wstring& text, const std::wstring&) {
  asked.push_back(text);
  return 1;
}

Dialogs& UserDialogs() {
  static QtDialogs real;
  return g_override ? *g_override : real;
}

void SetDialogsOverride(Dialogs* dialogs) { g_override = dialogs; }

}  // namespace platform
