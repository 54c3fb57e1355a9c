// Starting programs without waiting for them, and the reaper that collects them when they end.
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/process.h"

extern char** environ;

namespace platform {
namespace detail {

struct ChildState {
  int pid = 0;
  int pidfd = -1;  // -1 on kernels without pidfd_open: then the reaper looks every slice
  std::atomic<bool> ended{false};
};

}  // namespace detail

namespace {

using detail::ChildState;

constexpr int kSliceMs = 100;

// One thread for the whole process. It waits on the pidfds of the children it watches and on an
// eventfd that says a child was added or that it must stop; it reaps each child that has ended.
class Reaper {
 public:
  Reaper() {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
  }
  ~Reaper() {
    stop_ = true;
    Wake();
    thread_.join();
    for (auto& child : children_)
      if (child->pidfd >= 0) close(child->pidfd);
    if (wakeFd_ >= 0) close(wakeFd_);
  }

  void Watch(std::shared_ptr<ChildState> child) {
    {
      std::lock_guard lock(mutex_);
      children_.push_back(std::move(child));
    }
    Wake();
  }

 private:
  void Wake() {
    if (wakeFd_ < 0) return;
    const uint64_t one = 1;
    while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  // True when the child has ended and is reaped now (or was reaped by someone else already).
  static bool TryReap(ChildState& child) {
    int status = 0;
    pid_t result;
    do {
      result = waitpid(child.pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result == child.pid || (result < 0 && errno == ECHILD);
  }

  void Run() {
    while (!stop_) {
      std::vector<pollfd> fds;
      bool needSlice = wakeFd_ < 0;
      {
        std::lock_guard lock(mutex_);
        for (auto it = children_.begin(); it != children_.end();) {
          ChildState& child = **it;
          if (TryReap(child)) {
            child.ended = true;
            if (child.pidfd >= 0) close(child.pidfd);
            child.pidfd = -1;
            it = children_.erase(it);
            continue;
          }
          if (child.pidfd >= 0)
            fds.push_back({child.pidfd, POLLIN, 0});
          else
            needSlice = true;
          ++it;
        }
      }
      if (wakeFd_ >= 0) fds.push_back({wakeFd_, POLLIN, 0});
      // Without an eventfd or with children lacking a pidfd, look again after a slice.
      if (poll(fds.data(), fds.size(), needSlice ? kSliceMs : -1) > 0 && wakeFd_ >= 0 && (fds.back().revents & POLLIN)) {
        uint64_t count = 0;
        while (read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
        }
      }
    }
  }

  int wakeFd_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::shared_ptr<ChildState>> children_;
  std::thread thread_;
};

Reaper& TheReaper() {
  static Reaper reaper;
  return reaper;
}

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

DesktopOpener* g_openerOverride = nullptr;

}  // namespace

int StartedProcess::pid() const { return state_->pid; }

bool StartedProcess::IsRunning() const { return !state_->ended.load(); }

std::optional<StartedProcess> StartProgram(const std::vector<std::string>& argv, std::string* error) {
  if (argv.empty() || argv[0].empty()) {
    SetError(error, "no program named");
    return std::nullopt;
  }
  Reaper& reaper = TheReaper();  // made before the child exists, so it is watched from the start

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    SetError(error, "cannot prepare the start");
    return std::nullopt;
  }
  posix_spawnattr_init(&attributes);
  // Only standard input, output and error are passed on; the default signal handling and an
  // empty signal mask are restored, as the program expects from a fresh start.
  int result = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  if (result == 0) result = posix_spawnattr_setsigmask(&attributes, &none);
  if (result == 0) result = posix_spawnattr_setsigdefault(&attributes, &all);
  if (result == 0) result = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  if (result == 0) result = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (result != 0) {
    SetError(error, "cannot start " + argv[0] + ": " + std::strerror(result));
    return std::nullopt;
  }

  auto state = std::make_shared<ChildState>();
  state->pid = pid;
  const long fd = syscall(SYS_pidfd_open, pid, 0);
  state->pidfd = fd >= 0 ? static_cast<int>(fd) : -1;
  reaper.Watch(state);
  return StartedProcess(std::move(state));
}

bool XdgOpener::Open(const std::string& target) {
  if (target.empty()) return false;
  if (target[0] == '-') {
    std::fprintf(stderr, "[open] refused to open \"%s\": it would read as an option\n", target.c_str());
    return false;
  }
  std::string error;
  if (!StartProgram({"xdg-open", target}, &error)) {
    std::fprintf(stderr, "[open] %s\n", error.c_str());
    return false;
  }
  return true;
}

DesktopOpener& CurrentDesktopOpener() {
  static XdgOpener system;
  return g_openerOverride ? *g_openerOverride : system;
}

void SetDesktopOpener(DesktopOpener* opener) { g_openerOverride = opener; }

}  // namespace platform
