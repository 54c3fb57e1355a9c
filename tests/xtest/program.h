// A built program started for the desktop tests: its own program folder (the binary and the data
// files beside it), a fresh home with XDG folders, the private display. It must end by itself:
// a program still running at the end of a bounded wait is killed and reported as failed.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace xtest {

class Program {
 public:
  // Makes the program folder: `binary` linked (or copied) in, with every data file the build put
  // beside it.
  explicit Program(const std::string& binary) {
    namespace fs = std::filesystem;
    const fs::path built(binary);
    folder_ = dir_.path() + "app/";
    fs::create_directories(folder_);
    exe_ = folder_ + built.filename().string();
    std::error_code linked;
    fs::create_hard_link(built, exe_, linked);
    if (linked) fs::copy_file(built, exe_);
    for (const auto& entry : fs::directory_iterator(std::string(KELVANE_SOURCE_DIR) + "data")) {
      const fs::path beside = built.parent_path() / entry.path().filename();
      if (fs::exists(beside))
        fs::copy(beside, folder_ + entry.path().filename().string(), fs::copy_options::recursive);
    }
    const fs::path halvorn = built.parent_path() / "halvorn";
    std::error_code ignored;
    if (fs::exists(halvorn)) fs::create_hard_link(halvorn, folder_ + "halvorn", ignored);
    fs::create_directories(dir_.path() + "runtime");
    fs::create_directories(Home());
    fs::permissions(dir_.path() + "runtime", fs::perms::owner_all);
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  const std::string& Folder() const { return folder_; }
  // The user's home, where the program starts as from a desktop launcher (file dialogs open there).
  std::string Home() const { return dir_.path() + "home/"; }
  // Writes a file of the program folder.
  void Write(const std::string& name, const std::string& bytes) { dir_.Write("app/" + name, bytes); }

  bool Start(const std::string& display) {
    std::map<std::string, std::string> env;
    for (char** entry = environ; *entry; ++entry) {
      const std::string line = *entry;
      env[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    env["HOME"] = dir_.path() + "home";
    env["XDG_CONFIG_HOME"] = dir_.path() + "config";
    env["XDG_DATA_HOME"] = dir_.path() + "data";
    env["XDG_CACHE_HOME"] = dir_.path() + "cache";
    env["XDG_RUNTIME_DIR"] = dir_.path() + "runtime";
    env["XDG_DOCUMENTS_DIR"] = dir_.path() + "documents";
    env["DISPLAY"] = display;
    env["QT_QPA_PLATFORM"] = "xcb";
    env["NO_AT_BRIDGE"] = "1";
    env.erase("WAYLAND_DISPLAY");
    // Qt's xcb platform reads the keymap through libxkbcommon-x11, which hands strndup names that
    // end at the length given, not at a zero: a strict check of the whole string misreads that.
    if (env.count("ASAN_OPTIONS")) env["ASAN_OPTIONS"] += ":strict_string_checks=0";
    env.erase("DBUS_SESSION_BUS_ADDRESS");  // the tray is the X one this desktop offers
    std::vector<std::string> lines;
    for (const auto& [name, value] : env) lines.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& line : lines) envp.push_back(line.data());
    envp.push_back(nullptr);
    char* argv[] = {exe_.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, Home().c_str());
    const bool started = posix_spawn(&pid_, exe_.c_str(), &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return started;
  }

  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    pid_ = -1;
    status_ = status;
    return false;
  }
  // The exit status once the program ended by itself within `ms`; otherwise it is killed and the
  // result is empty.
  std::optional<int> WaitForExit(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (Running() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    if (!Running()) return status_;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return std::nullopt;
  }

 private:
  testing_support::TempDir dir_;
  std::string folder_;
  std::string exe_;
  pid_t pid_ = -1;
  int status_ = -1;
};

}  // namespace xtest
