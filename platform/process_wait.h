// Waiting for another process to end without giving up the ability to stop waiting.
#pragma once

#include <functional>

namespace platform {

enum class ProcessWaitResult {
  kEnded,     // the process was watched until it ended (a child of ours is reaped)
  kNotFound,  // no such process (already ended and reaped, or a bad pid): nothing to wait for
  kStopped,   // `stopRequested` said so before the process ended; the process is left alone
};

// Waits without a time limit for process `pid` to end, in slices of at most `sliceMs`
// milliseconds; between two slices `stopRequested` is asked and, when it returns true, the wait
// ends at once. A process that ended as our child is reaped, so no zombie is left. pid <= 0 gives
// kNotFound. Watches through a pidfd; on a kernel without pidfd_open it polls the process instead.
ProcessWaitResult WaitForProcessExit(int pid, const std::function<bool()>& stopRequested, int sliceMs = 50);

}  // namespace platform
