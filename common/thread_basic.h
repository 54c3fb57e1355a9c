// CThreadBasic: runs a derived class's pass, Run(), on a thread of its own, over and over with a
// 30 ms pause after each pass, until it is stopped. PeriodicWorker runs a given function that way.
//
// Lifetime: the thread is always joined before the object goes away. The base destructor stops
// and joins, but by then a derived class's members are gone, so a class whose Run uses its own
// members calls Stop() and Join() in its own destructor (PeriodicWorker does).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CThreadBasic {
 public:
  static constexpr std::chrono::milliseconds kPause{30};
  static constexpr std::chrono::milliseconds kStopWait{1000};

  CThreadBasic() = default;
  virtual ~CThreadBasic();  // Stop(), then Join()
  CThreadBasic(const CThreadBasic&) = delete;
  CThreadBasic& operator=(const CThreadBasic&) = delete;

  // Starts the thread: 1. While running: 0 and nothing changes. A thread left over from a Stop
  // that timed out is joined first (its pass is waited for), so two threads never exist at once.
  int Start();
  // Ends the loop: no pass starts after this, and the pause in progress is cut short. Waits at
  // most kStopWait for the pass in progress and joins the thread when it has ended; after a
  // time-out the thread is still finishing its pass and Join() or the next Start() waits for it.
  // Does nothing when not running. Called by the owner, not from Run.
  void Stop();
  // Waits without a limit for a stopped thread to end. Call Stop() first; no-op without a thread
  // or on the worker thread itself.
  void Join();
  bool IsRunning() const { return running.load(); }

  // The pass, on the worker thread. Never entered by two threads at once.
  virtual void Run() = 0;

 private:
  void ThreadProc();

  std::atomic<bool> running{false};
  std::thread thread;
  std::mutex mutex;               // guards loopEnded and pairs with the two conditions
  std::condition_variable wake;   // cuts the pause short when running is cleared
  std::condition_variable ended;  // signalled when the loop has ended
  bool loopEnded = true;
};

// A CThreadBasic whose pass calls a function. An owner that declares it as its last member has
// it joined before any other member is destroyed.
class PeriodicWorker final : public CThreadBasic {
 public:
  // `pass` is called on the worker thread for every pass; an empty function makes empty passes.
  explicit PeriodicWorker(std::function<void()> pass) : pass_(std::move(pass)) {}
  ~PeriodicWorker() override;

  void Run() override {
    if (pass_) pass_();
  }

 private:
  std::function<void()> pass_;
};
