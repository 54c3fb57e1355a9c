#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

namespace platform {

namespace {

const char kRequest[] = "activate\n";

// What a connection has sent so far of its current line.
struct PeerState {
  std::string line;
  size_t lineBytes = 0;     // of the current line, skipped ones included
  bool discarding = false;  // the rest of an oversized line, up to its newline, is skipped
};

// The identity of the socket file the server made; zero when there is none.
ino_t SocketInode(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return 0;
  return info.st_ino;
}

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
  QTimer* socketCheck = nullptr;
  std::string socketPath;
  ino_t socketInode = 0;
  int connections = 0;
  int idleLimitMs = kIdleLimitMs;
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

  // False when the peer was closed for a line over kMaxPeerLineBytes.
  bool Read(QLocalSocket* peer, PeerState& state) {
    const QByteArray data = peer->readAll();
    for (char c : data) {
      if (c == '\n') {
        state.lineBytes = 0;
        if (std::exchange(state.discarding, false)) continue;
        const std::string line = std::move(state.line);
        state.line.clear();
        HandleLine(peer, line);
        continue;
      }
      if (++state.lineBytes > kMaxPeerLineBytes) {
        std::fprintf(stderr, "[instance] a connection sending a line over %zu bytes was closed\n",
                     kMaxPeerLineBytes);
        Drop(peer);
        return false;
      }
      if (state.discarding) continue;
      state.line += c;
      if (state.line.size() >= kMaxRequestLineBytes) {
        std::fprintf(stderr, "[instance] a request over %zu bytes was dropped\n", kMaxRequestLineBytes);
        state.line.clear();
        state.discarding = true;
      }
    }
    return true;
  }

  static void Drop(QLocalSocket* peer) {
    peer->abort();
    peer->deleteLater();
  }

  void Serve(QLocalSocket* peer) {
    QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    if (!PeerIsThisUser(peer)) {
      std::fprintf(stderr, "[instance] a connection of another user was refused\n");
      Drop(peer);
      return;
    }
    if (connections >= kMaxConnections) {
      std::fprintf(stderr, "[instance] more than %d connections: a new one was refused\n", kMaxConnections);
      Drop(peer);
      return;
    }
    ++connections;
    QObject::connect(peer, &QObject::destroyed, server, [this] { --connections; });
    auto* idle = new QTimer(peer);
    idle->setSingleShot(true);
    QObject::connect(idle, &QTimer::timeout, peer, [peer] {
      std::fprintf(stderr, "[instance] an idle connection was closed\n");
      Drop(peer);
    });
    idle->start(idleLimitMs);
    auto state = std::make_shared<PeerState>();
    QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer, idle, state] {
      if (Read(peer, *state)) idle->start(idleLimitMs);
    });
    QObject::connect(peer, &QLocalSocket::disconnected, peer, [state] {
      if (!state->line.empty())
        std::fprintf(stderr, "[instance] a request cut off by the end of its connection was dropped\n");
    });
    if (peer->bytesAvailable() > 0 && Read(peer, *state)) idle->start(idleLimitMs);
  }

  // Listens on the socket path anew; the lock is ours, so a file there is a stale one.
  bool Listen() {
    const QString path = QString::fromStdString(socketPath);
    QLocalServer::removeServer(path);
    if (!server->listen(path)) return false;
    socketInode = SocketInode(socketPath);
    return true;
  }

  // The socket file may be removed by a clean-up of the runtime folder, and a failed accept (no
  // descriptor left) closes the server: either way the socket is made again.
  void CheckSocket() {
    if (server->isListening() && socketInode != 0 && SocketInode(socketPath) == socketInode) return;
    server->close();
    if (Listen())
      std::fprintf(stderr, "[instance] the socket was lost and has been made again\n");
    else
      socketInode = 0;  // tried again at the next check
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
  auto* server = new QLocalServer();
  server->setSocketOptions(QLocalServer::UserAccessOption);
  state_->server = server;
  state_->socketPath = socketPath.toStdString();
  if (state_->Listen()) {
    state_->onActivate = std::move(onActivate);
    QObject::connect(server, &QLocalServer::newConnection, server, [server, state = state_.get()] {
      while (QLocalSocket* peer = server->nextPendingConnection()) state->Serve(peer);
    });
    state_->socketCheck = new QTimer(server);
    QObject::connect(state_->socketCheck, &QTimer::timeout, server,
                     [state = state_.get()] { state->CheckSocket(); });
    state_->socketCheck->start(kSocketCheckMs);
  } else {
    state_->server = nullptr;
    delete server;  // still the only instance; it just cannot be asked to come forward
  }
  return Result::First;
}

void SingleInstanceGuard::SetPostHandler(std::function<void(const PostRequest&)> onPost) {
  state_->onPost = std::move(onPost);
}

void SingleInstanceGuard::SetIdleLimit(int milliseconds) { state_->idleLimitMs = milliseconds; }

int SingleInstanceGuard::ConnectionCount() const { return state_->connections; }

void SingleInstanceGuard::Release() {
  if (state_->server) {
    state_->server->close();
    delete state_->server;  // with its connections and timers
    state_->server = nullptr;
    state_->socketCheck = nullptr;
    state_->connections = 0;
  }
  if (state_->lockFd >= 0) {
    flock(state_->lockFd, LOCK_UN);
    close(state_->lockFd);
    state_->lockFd = -1;
  }
}

}  // namespace platform
