#include "common/thread_basic.h"

CThreadBasic::~CThreadBasic() {
  Stop();
  Join();
}

int CThreadBasic::Start() {
  if (running.load()) return 0;
  Join();                           // a thread whose Stop timed out may still be inside its last pass
  if (thread.joinable()) return 0;  // called from Run after it stopped its own loop
  {
    std::lock_guard guard(mutex);
    loopEnded = false;
  }
  running.store(true);
  thread = std::thread(&CThreadBasic::ThreadProc, this);
  return 1;
}

void CThreadBasic::Stop() {
  if (!running.load()) return;
  std::unique_lock guard(mutex);
  // Cleared under the mutex so that a worker about to pause cannot miss the wake-up.
  running.store(false);
  wake.notify_all();
  if (thread.get_id() == std::this_thread::get_id()) return;  // Run stopping its own loop
  const bool done = ended.wait_for(guard, kStopWait, [this] { return loopEnded; });
  guard.unlock();
  if (done) thread.join();
}

void CThreadBasic::Join() {
  if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) thread.join();
}

void CThreadBasic::ThreadProc() {
  while (running.load()) {
    Run();
    std::unique_lock guard(mutex);
    wake.wait_for(guard, kPause, [this] { return !running.load(); });
  }
  std::lock_guard guard(mutex);
  loopEnded = true;
  ended.notify_all();
}

PeriodicWorker::~PeriodicWorker() {
  Stop();
  Join();
}
