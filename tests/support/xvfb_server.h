// A private X server for tests: Xvfb on a display number it chooses itself, reachable only through
// its local socket, stopped at the end of the scope. Every wait is bounded. Tests that need X use
// its Display(), never the developer's $DISPLAY.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

extern char** environ;

namespace testing_support {

class XvfbServer {
 public:
  // `screen` is the screen's width x height x depth.
  explicit XvfbServer(std::string screen = "640x480x24") {
    int fds[2];
    if (pipe(fds) != 0) {
      error_ = "pipe failed";
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string fd = std::to_string(fds[1]);
    char arg0[] = "Xvfb";
    char displayfd[] = "-displayfd";
    char nolisten[] = "-nolisten";
    char tcp[] = "tcp";
    char zero[] = "0";
    char screenFlag[] = "-screen";
    char* argv[] = {arg0, displayfd, fd.data(), nolisten, tcp, screenFlag, zero, screen.data(), nullptr};
    const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
      pid_ = -1;
      close(fds[0]);
      error_ = "Xvfb could not be started";
      return;
    }
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
      if (poll(&p, 1, 100) <= 0) continue;
      char buffer[16];
      const ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n <= 0) break;
      number.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
      error_ = "Xvfb did not report its display in time";
      Stop();
      return;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
  }
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool Running() const { return !display_.empty(); }
  // ":N"; empty when the server did not start.
  const std::string& Display() const { return display_; }
  // Why it did not start.
  const std::string& Error() const { return error_; }

 private:
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace testing_support
