// Processes of this machine, read from /proc.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ProcessInfo {
  int pid = 0;
  std::string exeName;  // base name of the executable, as the file system spells it
};

// Running processes in ascending pid order, without zombies and without this process. The
// executable name comes from /proc/<pid>/exe, else from the first word of its command line.
// nullopt when /proc cannot be read.
std::optional<std::vector<ProcessInfo>> ListProcesses();

// Ends the process at once (SIGKILL). Refuses pids <= 0 (which would name a process group) and
// this process itself. True when the signal was delivered.
bool TerminateProcess(int pid);

}  // namespace platform
