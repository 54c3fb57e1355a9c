#include "shell/software_update.h"

#include "common/strings.h"
#include "platform/http/http_get.h"

namespace {

platform::http::Client* g_clientOverride = nullptr;

size_t Utf16Length(const std::wstring& text) {
  size_t units = 0;
  for (wchar_t c : text) units += static_cast<unsigned>(c) > 0xffff ? 2 : 1;
  return units;
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
  if (text.empty() || Utf16Length(text) > 10) return std::nullopt;
  const int order = CompareVersion(kSoftwareVersion, text);
  if (order != 1 && order != 2) return std::nullopt;
  return text;
}
