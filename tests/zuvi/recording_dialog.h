// A dialog for the tests that records what the library calls on it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "zuvi/dialog.h"

struct Notification {
  int id;
  int code;
  LPARAM param;
  bool operator==(const Notification&) const = default;
};

class RecordingDialog : public MDialog {
 public:
  std::vector<std::string> calls;
  std::vector<Notification> notifications;
  std::vector<UINT> messages;
  std::vector<UINT> timers;
  bool visibleAtInit = false;
  std::function<void(RecordingDialog&)> initUI;
  std::function<void(RecordingDialog&, UINT)> onTimer;
  std::function<void(RecordingDialog&, int, int)> onMessage;

  int OnCreate() override {
    calls.push_back("OnCreate");
    return 0;
  }
  void InitUI(const RECT&) override {
    calls.push_back("InitUI");
    if (initUI) initUI(*this);
  }
  void UISize(const RECT&) override { calls.push_back("UISize"); }
  int OnInitDialog() override {
    calls.push_back("OnInitDialog");
    visibleAtInit = IsWindowVisible();
    return 1;
  }
  LRESULT OnMessage(int id, int code, LPARAM param, LPARAM) override {
    notifications.push_back({id, code, param});
    if (onMessage) onMessage(*this, id, code);
    return 1;
  }
  LRESULT OnWindowMessage(UINT message, WPARAM, LPARAM lParam) override {
    messages.push_back(message);
    return lParam * 2;
  }
  void OnTimer(UINT id) override {
    timers.push_back(id);
    if (onTimer) onTimer(*this, id);
  }
  int OnDestroy() override {
    calls.push_back("OnDestroy");
    return 0;
  }

  // A popup window of 300 x 200 at (10, 10).
  bool CreatePopup(HWND parent = nullptr, bool visible = true) {
    return Create(parent, L"Test", WS_POPUP | (visible ? WS_VISIBLE : 0), RECT{10, 10, 310, 210});
  }
};
