#include "shell/software_update.h"

#include <cstdio>
#include <string_view>

#include "common/strings.h"
#include "platform/http/http_get.h"

namespace {

platform::http::Client* g_clientOverride = nullptr;

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

}  // namespace

platform::http::Client& CurrentHttpClient() {
  static platform::http::CurlClient system(kUpdateUserAgent);
  return g_clientOverride ? *g_clientOverride : system;
}

void SetHttpClient(platform::http::Client* client) { g_clientOverride = client; }

int HttpGetText(HttpFetch& fetch, const std::wstring& url, std::wstring* out) {
  out->clear();
  std::string body;
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
