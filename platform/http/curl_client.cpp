#include <curl/curl.h>

#include <cstdio>
#include <memory>

#include "platform/http/http_get.h"

namespace platform::http {
namespace {

bool GlobalInit() {
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

struct Transfer {
  std::atomic<bool>* keepGoing;
  std::string* body;
  std::size_t cap;
  bool overCap = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (!transfer->keepGoing->load()) return 0;  // aborts the transfer
  if (transfer->body->size() + bytes > transfer->cap) {
    transfer->overCap = true;
    return 0;
  }
  transfer->body->append(data, bytes);
  return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  return transfer->keepGoing->load() ? 0 : 1;  // non-zero aborts
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

CurlClient::CurlClient(std::string userAgent, Limits limits) : userAgent_(std::move(userAgent)), limits_(limits) {}

int CurlClient::Get(const std::string& url, std::atomic<bool>& keepGoing, std::string* body) {
  keepGoing = true;
  body->clear();
  if (!GlobalInit()) return kSetupFailed;
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return kSetupFailed;

  curl_slist* raw = nullptr;
  for (const char* header : {"Accept: */*", "Pragma: no-cache", "Cache-Control: no-cache"}) {
    curl_slist* next = curl_slist_append(raw, header);
    if (!next) {
      curl_slist_free_all(raw);
      return kSetupFailed;
    }
    raw = next;
  }
  std::unique_ptr<curl_slist, ListDeleter> headers(raw);

  Transfer transfer{&keepGoing, body, limits_.maxBodyBytes};
  CURL* c = curl.get();
  bool setup = curl_easy_setopt(c, CURLOPT_URL, url.c_str()) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_USERAGENT, userAgent_.c_str()) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.connectTimeout.count())) ==
                   CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(limits_.totalTimeout.count())) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnData) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK &&
               curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
  if (!setup) return kSetupFailed;

  const CURLcode code = curl_easy_perform(c);
  if (!keepGoing.load()) return kCancelled;
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  if (code != CURLE_OK || status < 200 || status > 299) {
    std::fprintf(stderr, "[http] GET failed: %s, status %ld%s\n", curl_easy_strerror(code), status,
                 transfer.overCap ? ", reply too long" : "");
    body->clear();
    return kFailed;
  }
  return kOk;
}

int FakeClient::Get(const std::string& url, std::atomic<bool>& keepGoing, std::string* body) {
  keepGoing = true;
  body->clear();
  if (failSetup) return kSetupFailed;
  requests.push_back(url);
  auto found = answers.find(url);
  if (found == answers.end()) return kFailed;
  if (found->second.result == kOk || found->second.result == kCancelled) *body = found->second.body;
  return found->second.result;
}

}  // namespace platform::http
