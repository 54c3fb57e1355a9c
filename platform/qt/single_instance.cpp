#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <cstdio>
#include <memory>
#include <optional>

namespace platform {

namespace {

const char kRequest[] = "activate\n";

// What a connection has sent so far of its current line.
struct PeerState {
  std::string line;
  bool discarding = false;  // the rest of an oversized line, up to its newline, is skipped
};

// Connections of another user are refused even where the socket file's mode would let them in.
bool PeerIsThisUser(QLocalSocket* peer) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (getsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
    return false;
  return credentials.uid == getuid();
}

}  // namespace

struct SingleInstanceGuard::State {
  int lockFd = -1;
  QLocalServer* server = nullptr;
  std::function<void()> onActivate;
  std::function<void(const PostRequest&)> onPost;

  void HandleLine(QLocalSocket* peer, const std::string& line) {
    if (line == "activate") {
      peer->write("ok\n");
      peer->flush();
      if (onActivate) onActivate();
      return;
    }
    if (std::optional<PostRequest> post = ParsePostRequest(line)) {
      if (onPost) onPost(*post);
      return;
    }
    std::fprintf(stderr, "[instance] a malformed or unknown request of %zu bytes was dropped\n", line.size());
  }

  void Read(QLocalSocket* peer, PeerState& state) {
    const QByteArray data = peer->readAll();
    for (char c : data) {
      if (state.discarding) {
        state.discarding = c != '\n';
        continue;
      }
      if (c == '\n') {
        const std::string line = std::move(state.line);
        state.line.clear();
        HandleLine(peer, line);
        continue;
      }
      state.line += c;
      if (state.line.size() >= kMaxRequestLineBytes) {
        std::fprintf(stderr, "[instance] a request over %zu bytes was dropped\n", kMaxRequestLineBytes);
        state.line.clear();
        state.discarding = true;
      }
    }
  }

  void Serve(QLocalSocket* peer) {
    QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    if (!PeerIsThisUser(peer)) {
      std::fprintf(stderr, "[instance] a connection of another user was refused\n");
      peer->abort();
      return;
    }
    auto state = std::make_shared<PeerState>();
    QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer, state] { Read(peer, *state); });
    QObject::connect(peer, &QLocalSocket::disconnected, peer, [state] {
      if (!state->line.empty())
        std::fprintf(stderr, "[instance] a request cut off by the end of its connection was dropped\n");
    });
    if (peer->bytesAvailable() > 0) Read(peer, *state);
  }
};

SingleInstanceGuard::SingleInstanceGuard(std::string name, std::string folder)
    : name_(std::move(name)), folder_(std::move(folder)), state_(std::make_unique<State>()) {
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

SingleInstanceGuard::~SingleInstanceGuard() { Release(); }

SingleInstanceGuard::Result SingleInstanceGuard::Acquire(std::function<void()> onActivate, int waitMs) {
  if (state_->lockFd >= 0) return Result::First;
  if (folder_.empty()) return Result::Failed;
  std::string lockPath = folder_ + name_ + ".lock";
  QString socketPath = QString::fromStdString(folder_ + name_ + ".socket");
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Failed;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (socket.waitForConnected(waitMs)) {
      socket.write(kRequest);
      socket.waitForBytesWritten(waitMs);
      socket.waitForReadyRead(waitMs);  // the first instance answers once it has the request
      socket.disconnectFromServer();
    }
    return Result::AlreadyRunning;
  }
  state_->lockFd = fd;
  // A socket left by a crashed instance is stale: we hold the lock now.
  QLocalServer::removeServer(socketPath);
  auto* server = new QLocalServer();
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (server->listen(socketPath)) {
    state_->onActivate = std::move(onActivate);
    QObject::connect(server, &QLocalServer::newConnection, server, [server, state = state_.get()] {
      while (QLocalSocket* peer = server->nextPendingConnection()) state->Serve(peer);
    });
    state_->server = server;
  } else {
    delete server;  // still the only instance; it just cannot be asked to come forward
  }
  return Result::First;
}

void SingleInstanceGuard::SetPostHandler(std::function<void(const PostRequest&)> onPost) {
  state_->onPost = std::move(onPost);
}

void SingleInstanceGuard::Release() {
  if (state_->server) {
    state_->server->close();
    delete state_->server;
    state_->server = nullptr;
  }
  if (state_->lockFd >= 0) {
    flock(state_->lockFd, LOCK_UN);
    close(state_->lockFd);
    state_->lockFd = -1;
  }
}

}  // namespace platform
