#include "common/process_control.h"

#include "common/strings.h"
#include "platform/process.h"

bool KillProcessByName(const std::wstring& name) {
  auto processes = platform::ListProcesses();
  if (!processes) return false;
  const std::string wanted = WideToUtf8(name);
  for (const platform::ProcessInfo& process : *processes) {
    if (AsciiLower(process.exeName) == wanted) {
      platform::TerminateProcess(process.pid);
      break;
    }
  }
  return true;
}
