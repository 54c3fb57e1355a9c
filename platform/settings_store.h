// A small per-user key/value store standing where the Windows registry stood. A key such as
// "SOFTWARE\Varnel Keyboard" is a folder under the XDG configuration folder, named by the key's
// last component, holding "settings.ini"; its values are entries of that file's [Settings] section.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace platform {

class SettingsStore {
 public:
  enum class OpenResult { Opened, NotFound, Failed };

  virtual ~SettingsStore() = default;

  // Whether the key exists and may be read and written. NotFound only when it is absent;
  // Failed for any other reason (no permission, no configuration folder).
  virtual OpenResult OpenKey(const std::string& key) = 0;
  // Creates the key when absent; true when it exists afterwards.
  virtual bool CreateKey(const std::string& key) = 0;
  // The value's text; nullopt when the key or the value is missing or cannot be read.
  virtual std::optional<std::string> ReadValue(const std::string& key, const std::string& name) = 0;
  // Sets a value of an existing key; false when the key is missing or cannot be written.
  virtual bool WriteValue(const std::string& key, const std::string& name, const std::string& value) = 0;
};

// The INI-file back end. `root` is the configuration folder (ending in '/'); an empty root fails
// every call (no home folder).
class IniSettingsStore final : public SettingsStore {
 public:
  explicit IniSettingsStore(std::string root);

  OpenResult OpenKey(const std::string& key) override;
  bool CreateKey(const std::string& key) override;
  std::optional<std::string> ReadValue(const std::string& key, const std::string& name) override;
  bool WriteValue(const std::string& key, const std::string& name, const std::string& value) override;

  // The file that holds `key`; empty without a root.
  std::string FileOf(const std::string& key) const;

 private:
  std::string root_;
};

// The store of the current user (an IniSettingsStore on platform::ConfigDir()), or the one set by
// SetUserSettingsOverride. Never null.
SettingsStore& UserSettings();
// Replaces the user's store (tests); nullptr restores it. The caller keeps ownership.
void SetUserSettingsOverride(SettingsStore* store);

// An in-memory store for tests, with switches that reach every failure branch.
class MemorySettingsStore final : public SettingsStore {
 public:
  OpenResult OpenKey(const std::string& key) override;
  bool CreateKey(const std::string& key) override;
  std::optional<std::string> ReadValue(const std::string& key, const std::string& name) override;
  bool WriteValue(const std::string& key, const std::string& name, const std::string& value) override;

  std::map<std::string, std::map<std::string, std::string>> keys;
  bool openFails = false;    // OpenKey answers Failed for an existing or missing key
  bool createFails = false;  // CreateKey fails
  bool readFails = false;    // ReadValue answers nullopt
  int createCalls = 0;
  int writeCalls = 0;
};

}  // namespace platform
