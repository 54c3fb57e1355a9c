// MImageList: the images a window's lists draw their rows with, kept as skin file names.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class MImageList {
 public:
  // Appends an image file; returns its index.
  int Add(const std::wstring& file) {
    std::lock_guard guard(lock_);
    files_.push_back(file);
    return static_cast<int>(files_.size()) - 1;
  }
  // The file at `index`; empty out of range.
  std::wstring Get(int index) const {
    std::lock_guard guard(lock_);
    return index >= 0 && index < static_cast<int>(files_.size()) ? files_[index] : std::wstring();
  }
  int GetCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(files_.size());
  }
  void RemoveAll() {
    std::lock_guard guard(lock_);
    files_.clear();
  }

 private:
  mutable std::mutex lock_;
  std::vector<std::wstring> files_;
};
