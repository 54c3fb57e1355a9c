// Test helper: an HTTP/1.1 server on 127.0.0.1 with an ephemeral port, answering each path from a
// script and recording every request. One connection at a time, on a thread of its own that the
// destructor stops and joins.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class HttpServer {
 public:
  struct Reply {
    int status = 200;
    std::vector<std::string> headers;  // extra header lines, without line ends
    std::string body;
    int delayMs = 0;          // wait before sending anything
    size_t stallAfter = std::string::npos;  // send this many body bytes, then nothing until closed
    bool closeEarly = false;  // announce the full length but close after `stallAfter` bytes
  };

  HttpServer() {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listen_, 8) != 0)
      std::abort();
    socklen_t length = sizeof address;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~HttpServer() {
    stop_ = true;
    thread_.join();
    close(listen_);
  }
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

  void Set(const std::string& path, Reply reply) {
    std::lock_guard lock(mutex_);
    replies_[path] = std::move(reply);
  }
  // Every request head received (request line and header lines, "\r\n" separated), in order.
  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  // Waits until `fd` is readable, the server stops, or `ms` pass; true when readable.
  bool WaitReadable(int fd, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop_) {
      pollfd entry{fd, POLLIN, 0};
      if (poll(&entry, 1, 20) > 0) return true;
      if (ms >= 0 && std::chrono::steady_clock::now() >= end) return false;
    }
    return false;
  }

  void SendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

  void Serve() {
    while (!stop_) {
      if (!WaitReadable(listen_, -1)) continue;
      const int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      Handle(client);
      close(client);
    }
  }

  void Handle(int client) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      if (!WaitReadable(client, 5000)) return;
      ssize_t n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      head.append(buffer, static_cast<size_t>(n));
    }
    head.resize(head.find("\r\n\r\n"));
    const size_t firstSpace = head.find(' ');
    const std::string path = head.substr(firstSpace + 1, head.find(' ', firstSpace + 1) - firstSpace - 1);
    Reply reply;
    reply.status = 404;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(head);
      auto found = replies_.find(path);
      if (found != replies_.end()) reply = found->second;
    }
    if (reply.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " Scripted\r\nContent-Length: " +
                      std::to_string(reply.body.size()) + "\r\nConnection: close\r\n";
    for (const std::string& line : reply.headers) out += line + "\r\n";
    out += "\r\n";
    if (reply.stallAfter == std::string::npos) {
      SendAll(client, out + reply.body);
      return;
    }
    SendAll(client, out + reply.body.substr(0, reply.stallAfter));
    if (reply.closeEarly) return;
    // Stalled: keep the connection open and silent until the client gives up.
    while (WaitReadable(client, -1)) {
      if (recv(client, buffer, sizeof buffer, 0) <= 0) return;
    }
  }

  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace testing_support
