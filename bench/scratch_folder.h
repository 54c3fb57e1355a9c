// A scratch folder for a benchmark's files, made on first use and removed at exit.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench_support {

// The folder (ending in '/') under the system's temporary folder. It is removed by the static's own
// destructor: a handler registered with atexit while the static is being made would run after that
// destructor and use the freed path.
inline const std::string& ScratchFolder() {
  struct Folder {
    Folder() {
      std::string pattern = (std::filesystem::temp_directory_path() / "kelvane-bench-XXXXXX").string();
      if (!mkdtemp(pattern.data())) std::abort();
      path = pattern + "/";
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
    std::string path;
  };
  static const Folder folder;
  return folder.path;
}

}  // namespace bench_support
