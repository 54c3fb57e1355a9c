// Processes of this machine: listing and ending them (read from /proc), starting programs and
// opening documents and web addresses with the desktop's handler.
#pragma once

#include <memory>
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

namespace detail {
struct ChildState;
}

// A program started by StartProgram. Copies share one child. The child is reaped by a reaper
// thread of ours as soon as it ends, whether or not a handle still exists, so no zombie is left.
class StartedProcess {
 public:
  // The child's pid (> 0).
  int pid() const;
  // True until the child has ended.
  bool IsRunning() const;

 private:
  friend std::optional<StartedProcess> StartProgram(const std::vector<std::string>&, std::string*);
  explicit StartedProcess(std::shared_ptr<detail::ChildState> state) : state_(std::move(state)) {}
  std::shared_ptr<detail::ChildState> state_;
};

// Starts `argv[0]` with the arguments `argv[1..]` passed verbatim (posix_spawn, no shell; a name
// without '/' is looked up on PATH). The environment is inherited; only standard input, output and
// error stay open in the child. Does not wait for it. nullopt when argv is empty or the start
// failed (then `error`, when given, says why).
std::optional<StartedProcess> StartProgram(const std::vector<std::string>& argv, std::string* error = nullptr);

// Opens documents and web addresses with the user's preferred program.
class DesktopOpener {
 public:
  virtual ~DesktopOpener() = default;
  // Starts the handler for `target` (an address or a path, UTF-8) and does not wait for it. An
  // empty target does nothing and one starting with '-' is refused (both false). A failure to
  // start is logged to standard error; nothing is shown.
  virtual bool Open(const std::string& target) = 0;
};

// The desktop back end: runs "xdg-open <target>" through StartProgram.
class XdgOpener : public DesktopOpener {
 public:
  bool Open(const std::string& target) override;
};

// For tests: records every target it is given (also refused ones) and reports `result`.
class RecordingOpener : public DesktopOpener {
 public:
  bool Open(const std::string& target) override {
    targets.push_back(target);
    return result;
  }
  std::vector<std::string> targets;
  bool result = true;
};

// The opener the program uses: an XdgOpener unless a test has set another with SetDesktopOpener
// (not owned; nullptr restores the default). UI thread only.
DesktopOpener& CurrentDesktopOpener();
void SetDesktopOpener(DesktopOpener* opener);

}  // namespace platform
