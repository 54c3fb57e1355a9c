#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <cstdlib>

namespace platform {

namespace {
const char kRequest[] = "activate\n";
}

std::string RuntimeDir() {
  struct stat info {};
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR");
      dir && dir[0] == '/' && stat(dir, &info) == 0 && S_ISDIR(info.st_mode)) {
    std::string folder = dir;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  std::string folder = "/tmp/kelvane-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  // Someone else's folder, or a file in the way, must not be used.
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return {};
  return folder + "/";
}

struct SingleInstanceGuard::State {
  int lockFd = -1;
  QLocalServer* server = nullptr;
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
    QObject::connect(server, &QLocalServer::newConnection, server, [server, onActivate] {
      while (QLocalSocket* peer = server->nextPendingConnection()) {
        QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer, onActivate] {
          if (!peer->readAll().contains('\n')) return;
          peer->write("ok\n");
          peer->flush();
          if (onActivate) onActivate();
        });
      }
    });
    state_->server = server;
  } else {
    delete server;  // still the only instance; it just cannot be asked to come forward
  }
  return Result::First;
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
