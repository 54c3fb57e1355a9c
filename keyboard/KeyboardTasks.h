// The keyboard window's task list: the codes that pages queue and the worker runs, one per pass.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <vector>

enum KeyboardTask : int {
  TaskReloadAll = 1,
  TaskInitMusic = 2,
  TaskSyncPages = 3,
  TaskSendKeyMap = 4,
  TaskSendLightMode = 5,
  TaskSendCustomModeColors = 6,
  TaskSendSystemSettings = 7,
  TaskSaveLcdGif = 8,
  TaskSendLcdAnimation = 9,
  TaskImportLcdGif = 10,
  TaskControlsOnly = 11,  // only disables and enables the controls; any unknown code runs as this
  TaskSetClockAndLcdSlot = 12,
};

// A first-in first-out list of task codes that any thread may use. The lock is held only inside
// these operations, never while a task runs, so a running task may queue more. Duplicates stay.
class KeyboardTaskList {
 public:
  void Push(int code);
  // The first code, removed; nullopt when the list is empty.
  std::optional<int> PopFront();
  bool Empty() const;
  size_t Size() const;
  // The codes in order, for tests and diagnostics.
  std::vector<int> Snapshot() const;

 private:
  mutable std::mutex lock_;
  std::deque<int> codes_;
};
