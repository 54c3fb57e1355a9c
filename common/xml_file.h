// XmlFile: the one file of a single XmlDocument read or write, with that operation's log. It
// lives on the stack of XmlDocument::ReadTextFile or WriteTextFile.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class XmlFile {
 public:
  // Entries go to `log`, which must outlive the file.
  explicit XmlFile(std::wstring& log) : log_(log) {}
  // Closes a file still open; an unfinished write leaves the target untouched.
  ~XmlFile();
  XmlFile(const XmlFile&) = delete;
  XmlFile& operator=(const XmlFile&) = delete;

  // Opens `path` (UTF-8 on the way to the system): for reading with XmlDocument::kFileRead, for
  // writing with XmlDocument::kFileWrite. Reading opens regular files only, so a FIFO or a
  // device never blocks the caller. Writing creates a new temporary file beside `path`, which
  // Close puts in place. False with a "file_error" entry.
  bool Open(const std::wstring& path, int flags);
  // Size of the file opened for reading.
  long long Size() const { return size_; }
  // Reads all of the remaining bytes into `bytes`. False with "file_error".
  bool ReadText(std::string& bytes);
  // Reads up to `count` bytes to `to` and sets `got` (fewer only at the end). False with
  // "file_error".
  bool ReadSome(char* to, size_t count, size_t& got);
  // Goes back to the first byte of a file opened for reading.
  bool Rewind();
  // Appends `bytes`. False with "file_error".
  bool WriteText(std::string_view bytes);
  // Closes the file; for a write, renames the temporary file over the target. False with
  // "file_error" (after a failed write the temporary file is removed).
  bool Close();
  // Logs "file_error" with the system's message for `error` (an errno value) as its type.
  void AddFileError(int error, std::wstring_view encoding = {});

 private:
  bool OpenForRead(const std::string& path);
  bool OpenForWrite(const std::string& path);

  std::wstring& log_;
  FILE* file_ = nullptr;
  long long size_ = 0;
  std::string target_;     // write: the file to replace
  std::string temporary_;  // write: the file being written
};
