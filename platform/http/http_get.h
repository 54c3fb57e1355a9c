// One HTTP(S) GET of a small text: bounded in time and size, cancellable from another thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace platform::http {

// Results of Get.
inline constexpr int kOk = 1;          // a 2xx reply was read to its end
inline constexpr int kSetupFailed = 0;  // the HTTP library could not be set up
inline constexpr int kFailed = -1;      // any failed transfer (status outside 200-299, time-out,
                                        // body over the cap, a protocol other than http/https)
inline constexpr int kCancelled = -2;   // `keepGoing` was cleared during the transfer

struct Limits {
  std::chrono::milliseconds connectTimeout{10000};
  std::chrono::milliseconds totalTimeout{30000};
  std::size_t maxBodyBytes = 64 * 1024;
};

class Client {
 public:
  virtual ~Client() = default;
  // Fetches `url` (UTF-8). Sets `keepGoing` to true on entry; another thread may clear it to stop
  // the transfer, also one that receives nothing. `body` is cleared on entry and holds the bytes
  // read on kOk and kCancelled (what arrived so far), nothing on the other results.
  virtual int Get(const std::string& url, std::atomic<bool>& keepGoing, std::string* body) = 0;
};

// libcurl: http and https only (also after redirects, at most 5), proxies from the environment,
// TLS checked against the system's certificates. Sends the User-Agent `userAgent`,
// "Accept: */*", "Pragma: no-cache" and "Cache-Control: no-cache".
class CurlClient : public Client {
 public:
  explicit CurlClient(std::string userAgent, Limits limits = {});
  int Get(const std::string& url, std::atomic<bool>& keepGoing, std::string* body) override;

 private:
  std::string userAgent_;
  Limits limits_;
};

// For tests: answers from a table and records the addresses asked for.
class FakeClient : public Client {
 public:
  struct Answer {
    int result = kOk;
    std::string body;
  };
  int Get(const std::string& url, std::atomic<bool>& keepGoing, std::string* body) override;

  std::map<std::string, Answer> answers;  // an address not in the table gives kFailed
  bool failSetup = false;                 // every call gives kSetupFailed
  std::vector<std::string> requests;
};

}  // namespace platform::http
