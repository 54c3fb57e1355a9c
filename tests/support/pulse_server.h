// A private PulseAudio server for tests: its own HOME, runtime and config folders in a fresh
// temporary folder, one anonymous unix socket there and two null sinks at 48 kHz. The user's
// server is never touched: clients reach this one through Address() (set PULSE_SERVER to it).
// Every wait is bounded; the server exits on its own 20 s after its last client should a test
// die before the destructor stops it. Users link libpulse and libpulse-simple.
#pragma once

#include <fcntl.h>
#include <pulse/pulseaudio.h>
#include <pulse/simple.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace testing_support {

class PulseServer {
 public:
  static constexpr const char* kFirstSink = "kelvane_a";  // the default at start
  static constexpr const char* kSecondSink = "kelvane_b";

  PulseServer() {
    runtime_ = dir_.path() + "run";
    socket_ = dir_.path() + "native";
    const std::string config = dir_.path() + "config";
    const std::string log = dir_.path() + "server.log";
    if (mkdir(runtime_.c_str(), 0700) != 0 || mkdir(config.c_str(), 0700) != 0) {
      error_ = "the server's folders could not be made";
      return;
    }
    std::vector<std::string> env = {"HOME=" + dir_.path(), "XDG_RUNTIME_DIR=" + runtime_,
                                    "XDG_CONFIG_HOME=" + config};
    if (const char* path = std::getenv("PATH")) env.push_back(std::string("PATH=") + path);
    std::vector<std::string> args = {
        "pulseaudio",
        "-n",
        "--daemonize=yes",
        "--use-pid-file=yes",
        "--exit-idle-time=20",
        "--disable-shm=yes",
        "-L",
        "module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1",
        "-L",
        std::string("module-null-sink sink_name=") + kFirstSink + " rate=48000",
        "-L",
        std::string("module-null-sink sink_name=") + kSecondSink + " rate=48000"};
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    // Root runs it too: it only warns that it is meant for a user session.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t launcher = -1;
    const int spawned = posix_spawnp(&launcher, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      error_ = "pulseaudio could not be started (is it installed?)";
      return;
    }
    // The launcher returns once the daemon is up and has written its pid.
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (waitpid(launcher, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(launcher, SIGKILL);
        waitpid(launcher, &status, 0);
        error_ = "pulseaudio did not start within 5 s";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::string pid = ReadFile(runtime_ + "/pulse/pid");
    if (!pid.empty()) pid_ = std::atoi(pid.c_str());
    if (pid_ <= 0 || !std::filesystem::exists(socket_)) {
      if (error_.empty()) error_ = "pulseaudio did not start: " + ReadFile(log);
      Kill();
      pid_ = -1;
    }
  }
  ~PulseServer() { Stop(); }
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  bool Running() const { return pid_ > 0; }
  const std::string& Error() const { return error_; }
  // The value for PULSE_SERVER.
  std::string Address() const { return "unix:" + socket_; }
  // A path next to the socket where nothing listens.
  std::string MissingAddress() const { return "unix:" + dir_.path() + "missing"; }

  // Ends the server at once, as a crash would; true when it is gone within 5 s.
  bool Kill() {
    if (pid_ <= 0) return true;
    kill(pid_, SIGKILL);
    const bool gone = WaitFor([this] { return !Alive(); });
    pid_ = -1;
    return gone;
  }

  // Makes `sink` the default through a client of its own; true once the server confirmed it.
  bool SetDefaultSink(const std::string& sink) const {
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "kelvane-test-control");
    bool ok = false;
    if (pa_context_connect(context, Address().c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      pa_operation* op = nullptr;
      int result = -1;
      while (std::chrono::steady_clock::now() < deadline) {
        pa_mainloop_iterate(loop, 0, nullptr);
        const pa_context_state_t state = pa_context_get_state(context);
        if (!PA_CONTEXT_IS_GOOD(state)) break;
        if (state == PA_CONTEXT_READY && !op)
          op = pa_context_set_default_sink(
              context, sink.c_str(),
              [](pa_context*, int success, void* r) { *static_cast<int*>(r) = success; }, &result);
        if (op && pa_operation_get_state(op) != PA_OPERATION_RUNNING) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      if (op) pa_operation_unref(op);
      ok = result == 1;
      pa_context_disconnect(context);
    }
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return ok;
  }

  // Plays a stereo sine of `hz` at `amplitude` for `ms` into the default sink and waits until it
  // has been played; false when the server refused it.
  bool PlayTone(double hz, float amplitude, int ms) const {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, 48000, 2};
    int error = 0;
    pa_simple* player = pa_simple_new(Address().c_str(), "kelvane-test", PA_STREAM_PLAYBACK, nullptr, "tone",
                                      &spec, nullptr, nullptr, &error);
    if (!player) return false;
    const int frames = 48 * ms;
    std::vector<float> samples(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
      const float v = amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * i / 48000.0));
      samples[2 * static_cast<size_t>(i)] = v;
      samples[2 * static_cast<size_t>(i) + 1] = v;
    }
    const bool ok = pa_simple_write(player, samples.data(), samples.size() * sizeof(float), &error) == 0 &&
                    pa_simple_drain(player, &error) == 0;
    pa_simple_free(player);
    return ok;
  }

 private:
  bool Alive() const {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid_) + "/stat");
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (!WaitFor([this] { return !Alive(); })) kill(pid_, SIGKILL);
    pid_ = -1;
  }

  TempDir dir_;
  std::string runtime_;
  std::string socket_;
  std::string error_;
  pid_t pid_ = -1;
};

}  // namespace testing_support
