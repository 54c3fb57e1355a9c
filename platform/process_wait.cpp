#include "platform/process_wait.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace platform {
namespace {

bool StopAsked(const std::function<bool()>& stopRequested) { return stopRequested && stopRequested(); }

// Collects the exit status of a child of ours that has ended; anything else is left alone.
void ReapIfOurChild(int pid) {
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) < 0 && errno == EINTR) {
  }
}

// True once the process is gone or is a zombie of ours that we have just reaped.
bool HasEnded(int pid) {
  int status = 0;
  pid_t reaped;
  do {
    reaped = waitpid(pid, &status, WNOHANG);
  } while (reaped < 0 && errno == EINTR);
  if (reaped == pid) return true;
  return kill(pid, 0) != 0 && errno == ESRCH;
}

// Without pidfd: looks at the process once per slice.
ProcessWaitResult PollUntilEnded(int pid, const std::function<bool()>& stopRequested, int sliceMs) {
  if (kill(pid, 0) != 0 && errno == ESRCH) return ProcessWaitResult::kNotFound;
  while (true) {
    if (HasEnded(pid)) return ProcessWaitResult::kEnded;
    if (StopAsked(stopRequested)) return ProcessWaitResult::kStopped;
    std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
  }
}

}  // namespace

ProcessWaitResult WaitForProcessExit(int pid, const std::function<bool()>& stopRequested, int sliceMs) {
  if (pid <= 0) return ProcessWaitResult::kNotFound;
  sliceMs = std::clamp(sliceMs, 1, 1000);
  const long fd = syscall(SYS_pidfd_open, pid, 0);
  if (fd < 0) {
    if (errno == ESRCH) return ProcessWaitResult::kNotFound;
    return PollUntilEnded(pid, stopRequested, sliceMs);
  }
  ProcessWaitResult result = ProcessWaitResult::kStopped;
  while (true) {
    // A pidfd becomes readable when its process ends (also when it is a zombie already).
    pollfd entry{static_cast<int>(fd), POLLIN, 0};
    const int ready = poll(&entry, 1, sliceMs);
    if (ready > 0) {
      result = ProcessWaitResult::kEnded;
      break;
    }
    if (ready < 0 && errno != EINTR) {
      close(static_cast<int>(fd));
      return PollUntilEnded(pid, stopRequested, sliceMs);
    }
    if (StopAsked(stopRequested)) break;
  }
  close(static_cast<int>(fd));
  if (result == ProcessWaitResult::kEnded) ReapIfOurChild(pid);
  return result;
}

}  // namespace platform
