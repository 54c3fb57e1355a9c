// One running instance per user: a lock file held with flock in the runtime folder, and a local
// socket beside it through which a second instance asks the first to come to the front.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/folders.h"  // RuntimeDir
#include "platform/instance_channel.h"

namespace platform {

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

  // At most this many connections are served at once; further ones are closed as they come.
  static constexpr int kMaxConnections = 16;
  // A connection that sends nothing for this long is closed.
  static constexpr int kIdleLimitMs = 5000;
  // A connection whose line grows past this many bytes (without its newline) is closed.
  static constexpr size_t kMaxPeerLineBytes = 4096;
  // How often the server checks that its socket is still there and listening.
  static constexpr int kSocketCheckMs = 1000;

  // Takes the lock. First: the socket serves programs of this user, one request per line, many
  // per connection, in order: "activate" runs `onActivate` on the Qt main thread (the Qt
  // application must exist) and is answered "ok"; a post request (instance_channel.h) goes to the
  // post handler; anything else, a line over kMaxRequestLineBytes, a line cut by the end of its
  // connection and every connection of another user are dropped and logged, and the server serves
  // on. Connections beyond kMaxConnections, idle for the idle limit or sending a line over
  // kMaxPeerLineBytes are closed; a socket that was lost (its file removed, or the server closed
  // by a failed accept) is made again. AlreadyRunning: the first instance was told, waiting at
  // most `waitMs` for it to take the request.
  Result Acquire(std::function<void()> onActivate, int waitMs = 2000);

  // Runs on the Qt main thread with each well-formed post request; none set: posts are dropped.
  // The handler decides which posts it honours. May be set before or after Acquire.
  void SetPostHandler(std::function<void(const PostRequest&)> onPost);

  // The lock is released and the socket removed; the guard can be acquired again.
  void Release();

  // Replaces kIdleLimitMs for connections accepted from now on (tests).
  void SetIdleLimit(int milliseconds);
  // Connections being served now (tests).
  int ConnectionCount() const;

 private:
  struct State;
  std::string name_;
  std::string folder_;
  std::unique_ptr<State> state_;
};

}  // namespace platform
