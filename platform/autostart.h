// Starting the program when the user logs in: an XDG autostart entry in
// "<config>/autostart/varnel-keyboard.desktop", and an in-memory fake for tests.
#pragma once

#include <optional>
#include <string>

namespace platform {

class Autostart {
 public:
  virtual ~Autostart() = default;

  // True when the program is set to start at login (for the XDG back end: our file exists, is a
  // regular file and is readable).
  virtual bool IsEnabled() const = 0;

  // Sets the program `exePath` (UTF-8, absolute) to start at login. False when nothing could be
  // written or the path is refused (control characters, invalid UTF-8); a refusal writes nothing.
  virtual bool Enable(const std::string& exePath) = 0;

  // Stops the program from starting at login. Removes only our entry; when there is none that is
  // success. False when it could not be removed.
  virtual bool Disable() = 0;
};

// The XDG back end. The entry's Name= line is `displayName` (UTF-8). Without a configuration
// folder (platform::ConfigDir() empty) every call fails. The file is written to a temporary file
// that is renamed into place, so a failed write leaves no half entry.
class XdgAutostart : public Autostart {
 public:
  explicit XdgAutostart(std::string displayName);

  bool IsEnabled() const override;
  bool Enable(const std::string& exePath) override;
  bool Disable() override;

  // The full path of our entry, or "" without a configuration folder.
  static std::string EntryPath();

 private:
  std::string displayName_;
};

// The value of the Exec= key that starts `exePath` with no arguments: the path in double quotes
// with '"', '`', '$' and '\' escaped by '\', then every '\' doubled and '%' written "%%".
// nullopt for a path with a control character or invalid UTF-8.
std::optional<std::string> DesktopExecValue(const std::string& exePath);

// For tests: remembers the state in memory; each call can be made to fail.
class FakeAutostart : public Autostart {
 public:
  bool IsEnabled() const override { return enabled; }
  bool Enable(const std::string& exePath) override;
  bool Disable() override;

  bool enabled = false;
  std::string exePath;     // last path given to a successful Enable
  bool failEnable = false;  // Enable returns false and changes nothing
  bool failDisable = false; // Disable returns false and changes nothing
  int enableCalls = 0;
  int disableCalls = 0;
};

// The service the program uses: an XdgAutostart named after the product unless a test has set
// another one with SetAutostart (not owned; nullptr restores the default). UI thread only.
Autostart& CurrentAutostart();
void SetAutostart(Autostart* autostart);

}  // namespace platform
