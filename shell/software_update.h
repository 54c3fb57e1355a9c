// The software update check: fetch "version.txt" below the update address and compare it with
// our version. Nothing is downloaded or installed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "zuvi/types.h"

namespace platform::http {
class Client;
}

// The software's own version, shown by the main window and the settings dialog.
inline constexpr const wchar_t* kSoftwareVersion = L"1.0.0.0";

// The User-Agent of every update request.
inline constexpr const char* kUpdateUserAgent = "IIC2.0/PC 5.5.0000";

// One fetch; another thread may clear `keepGoing` to cancel it.
struct HttpFetch {
  std::atomic<bool> keepGoing{true};
};

// GET of `url` into `out`. Returns 1 for the whole body of a 2xx reply, 0 when HTTP could not be
// set up, -1 for any failed transfer, -2 when `fetch.keepGoing` was cleared. `out` is cleared on
// entry; on 1 and -2 it holds the bytes read, decoded as lenient UTF-8; otherwise it stays empty.
int HttpGetText(HttpFetch& fetch, const std::wstring& url, std::wstring* out);

// The client HttpGetText uses: libcurl with the update's User-Agent and limits, unless a test
// set another with SetHttpClient (not owned; nullptr restores the default).
platform::http::Client& CurrentHttpClient();
void SetHttpClient(platform::http::Client* client);

// Compares two dotted versions: 2 when their component counts differ; else at the first
// component whose values (WToI) differ -1 when `first` is greater, 1 when `second` is greater;
// 0 when all are equal.
int CompareVersion(const std::wstring& first, const std::wstring& second);

// The pieces of `text` between occurrences of `separator`, empty pieces included. A text without
// the separator, or an empty separator, gives the whole text as one piece.
std::vector<std::wstring> SplitString(const std::wstring& text, const std::wstring& separator);

// Asks `baseUrl` + "version.txt" for the newest version. nullopt means no update: an empty base
// address (no request is sent), no text, more than 10 UTF-16 units, or a version not newer than
// ours. Otherwise the fetched text, unchanged except for one leading byte-order mark. Blocks for
// at most the fetch's time-outs.
std::optional<std::wstring> FindNewerVersion(const std::wstring& baseUrl);

// One update check at a time on a worker thread, so that the window asking stays responsive: it
// runs FindNewerVersion and posts `message` to the window when it ends (wParam: the check's number).
// The fetch gives up by its own time-outs; a check stopped early is cancelled. UI thread.
class UpdateCheck {
 public:
  UpdateCheck() = default;
  ~UpdateCheck() { Stop(); }
  UpdateCheck(const UpdateCheck&) = delete;
  UpdateCheck& operator=(const UpdateCheck&) = delete;

  // Starts a check of `baseUrl` (one still running is stopped first).
  void Start(HWND window, UINT message, const std::wstring& baseUrl);
  // True from Start until its answer is taken or it is stopped.
  bool Running() const { return worker_.joinable(); }
  // On the check's message: joins the worker and gives its answer. False for the message of a
  // check that was stopped or already answered.
  bool Finish(WPARAM number, std::optional<std::wstring>* newer);
  // Cancels the fetch of a running check and joins the worker; its answer is dropped.
  void Stop();

  // Lets Stop reach the fetch of the worker thread (HttpGetText registers it here).
  struct Shared {
    std::mutex mutex;
    std::condition_variable ended;
    HttpFetch* fetch = nullptr;
    bool done = false;
    std::optional<std::wstring> newer;
  };

 private:
  Shared shared_;
  std::thread worker_;
  WPARAM number_ = 0;
};
