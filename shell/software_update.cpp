#include "shell/software_update.h"

#include <chrono>
#include <cstdio>
#include <string_view>

#include "common/strings.h"
#include "platform/http/http_get.h"
#include "zuvi/manager.h"

namespace {

using namespace std::chrono_literals;

platform::http::Client* g_clientOverride = nullptr;

// The update check running on this thread, if any: its fetch can be cancelled from the UI thread.
thread_local UpdateCheck::Shared* t_check = nullptr;

// Makes `fetch` reachable for the check of this thread while it runs.
class FetchRegistration {
 public:
  explicit FetchRegistration(HttpFetch& fetch) {
    if (!t_check) return;
    std::lock_guard lock(t_check->mutex);
    t_check->fetch = &fetch;
  }
  ~FetchRegistration() {
    if (!t_check) return;
    std::lock_guard lock(t_check->mutex);
    t_check->fetch = nullptr;
  }
  FetchRegistration(const FetchRegistration&) = delete;
  FetchRegistration& operator=(const FetchRegistration&) = delete;
};

size_t Utf16Length(const std::wstring& text) {
  size_t units = 0;
  for (wchar_t c : text) units += static_cast<unsigned>(c) > 0xffff ? 2 : 1;
  return units;
}

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// A version text is one to four dot-separated runs of decimal digits, once the white space around
// it is dropped. Captive portals and error pages served with status 200 answer with anything else;
// each such answer is logged once, as no update.
bool IsVersionText(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  int runs = 0;
  bool inRun = false;
  for (wchar_t c : text) {
    if (c >= L'0' && c <= L'9') {
      runs += inRun ? 0 : 1;
      inRun = true;
    } else if (c == L'.' && inRun) {
      inRun = false;
    } else {
      return false;
    }
  }
  return inRun && runs <= 4;
}

void LogNoVersion(const std::wstring& text) {
  constexpr size_t kShown = 16;
  std::wstring shown = text.substr(0, kShown);
  for (wchar_t& c : shown)
    if (c < L' ' || c == 0x7f) c = L'?';
  std::fprintf(stderr, "[update] version.txt holds no version (%zu characters: \"%s%s\"); no update\n",
               text.size(), WideToUtf8(shown).c_str(), text.size() > kShown ? "..." : "");
}

platform::http::Limits UpdateLimits() {
  platform::http::Limits limits;
  limits.totalTimeout = 10s;  // a server that accepts and never answers is given up after 10 s
  return limits;
}

}  // namespace

platform::http::Client& CurrentHttpClient() {
  static platform::http::CurlClient system(kUpdateUserAgent, UpdateLimits());
  return g_clientOverride ? *g_clientOverride : system;
}

void SetHttpClient(platform::http::Client* client) { g_clientOverride = client; }

int HttpGetText(HttpFetch& fetch, const std::wstring& url, std::wstring* out) {
  out->clear();
  std::string body;
  const FetchRegistration registration(fetch);
  const int result = CurrentHttpClient().Get(WideToUtf8(url), fetch.keepGoing, &body);
  if (result == platform::http::kOk || result == platform::http::kCancelled) *out = Utf8ToWideLenient(body);
  return result;
}

std::vector<std::wstring> SplitString(const std::wstring& text, const std::wstring& separator) {
  if (separator.empty()) return {text};
  std::vector<std::wstring> pieces;
  size_t start = 0;
  while (true) {
    const size_t found = text.find(separator, start);
    if (found == std::wstring::npos) break;
    pieces.push_back(text.substr(start, found - start));
    start = found + separator.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

int CompareVersion(const std::wstring& first, const std::wstring& second) {
  const std::vector<std::wstring> a = SplitString(first, L".");
  const std::vector<std::wstring> b = SplitString(second, L".");
  if (a.size() != b.size()) return 2;
  for (size_t i = 0; i < a.size(); ++i) {
    const int x = WToI(a[i]);
    const int y = WToI(b[i]);
    if (x > y) return -1;
    if (x < y) return 1;
  }
  return 0;
}

std::optional<std::wstring> FindNewerVersion(const std::wstring& baseUrl) {
  if (baseUrl.empty()) return std::nullopt;
  HttpFetch fetch;
  std::wstring text;
  HttpGetText(fetch, baseUrl + L"version.txt", &text);  // only the text counts
  if (!text.empty() && text[0] == 0xfeff) text.erase(0, 1);
  if (!text.empty() && !IsVersionText(text)) {
    LogNoVersion(text);
    return std::nullopt;
  }
  if (text.empty() || Utf16Length(text) > 10) return std::nullopt;
  const int order = CompareVersion(kSoftwareVersion, text);
  if (order != 1 && order != 2) return std::nullopt;
  return text;
}

void UpdateCheck::Start(HWND window, UINT message, const std::wstring& baseUrl) {
  Stop();
  {
    std::lock_guard lock(shared_.mutex);
    shared_.done = false;
    shared_.newer.reset();
  }
  const WPARAM number = ++number_;
  worker_ = std::thread([this, window, message, number, baseUrl] {
    t_check = &shared_;
    std::optional<std::wstring> newer = FindNewerVersion(baseUrl);
    t_check = nullptr;
    {
      std::lock_guard lock(shared_.mutex);
      shared_.newer = std::move(newer);
      shared_.done = true;
    }
    shared_.ended.notify_all();
    PostMessage(window, message, number, 0);
  });
}

bool UpdateCheck::Finish(WPARAM number, std::optional<std::wstring>* newer) {
  if (number != number_ || !worker_.joinable()) return false;
  worker_.join();
  std::lock_guard lock(shared_.mutex);
  *newer = std::move(shared_.newer);
  return true;
}

void UpdateCheck::Stop() {
  if (!worker_.joinable()) return;
  {
    std::unique_lock lock(shared_.mutex);
    // The client sets its flag when the fetch starts: clear it again until the worker has ended.
    while (!shared_.done) {
      if (shared_.fetch) shared_.fetch->keepGoing = false;
      shared_.ended.wait_for(lock, 20ms);
    }
  }
  worker_.join();
  ++number_;  // a message already posted is no longer answered
}
