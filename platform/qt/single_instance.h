// One running instance per user: a lock file held with flock in the runtime folder, and a local
// socket beside it through which a second instance asks the first to come to the front.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

// $XDG_RUNTIME_DIR when it names an existing folder, else "/tmp/kelvane-<uid>/" (made 0700).
// Ends in '/'; empty when neither can be used.
std::string RuntimeDir();

class SingleInstanceGuard {
 public:
  enum class Result {
    First,           // this process holds the lock and listens for others
    AlreadyRunning,  // another process holds it; it was asked to come to the front
    Failed,          // the lock file could not be made: run on without a guard
  };

  // `name` names the lock file and the socket ("<name>.lock", "<name>.socket"); `folder` is
  // where they live (RuntimeDir() by default). Nothing happens until Acquire.
  SingleInstanceGuard(std::string name, std::string folder);
  ~SingleInstanceGuard();
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

  // Takes the lock. First: `onActivate` runs on the Qt main thread each time another instance
  // asks (the Qt application must exist). AlreadyRunning: the first instance was told, waiting at
  // most `waitMs` for it to take the request.
  Result Acquire(std::function<void()> onActivate, int waitMs = 2000);

  // The lock is released and the socket removed; the guard can be acquired again.
  void Release();

 private:
  struct State;
  std::string name_;
  std::string folder_;
  std::unique_ptr<State> state_;
};

}  // namespace platform
