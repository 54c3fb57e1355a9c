// Scratch folders for a benchmark's files, made on first use and removed at exit.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench_support {

// A fresh folder (ending in '/') under `base`. It is removed by its own destructor: a handler
// registered with atexit while a static of this type is being made would run after that destructor
// and use the freed path.
struct Folder {
  explicit Folder(const std::filesystem::path& base) {
    std::string pattern = (base / "kelvane-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path = pattern + "/";
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  std::string path;
};

// Under the system's temporary folder (a tmpfs on many machines): files whose writing is not
// measured.
inline const std::string& ScratchFolder() {
  static const Folder folder(std::filesystem::temp_directory_path());
  return folder.path;
}

// Beside the benchmark's program, on the disk the build lives on: files whose writing is measured,
// where a flush costs what it costs the program's own working folder.
inline const std::string& DiskScratchFolder() {
  static const Folder folder(std::filesystem::read_symlink("/proc/self/exe").parent_path());
  return folder.path;
}

}  // namespace bench_support
