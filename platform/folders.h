// Where the program and the user's files live on this machine. Paths are UTF-8 and every folder
// returned ends in '/'.
#pragma once

#include <string>

namespace platform {

// The folder of the running executable (from /proc/self/exe), ending in '/'. Empty when the link
// cannot be read. A folder set with SetAppDirOverride is returned instead.
std::string AppDir();

// Makes AppDir return `folder` (a trailing '/' is added when missing); an empty text restores the
// real folder. For tests that place data files in a folder of their own.
void SetAppDirOverride(const std::string& folder);

// The user's home folder: $HOME, else the password database. Empty when neither names an
// absolute folder.
std::string HomeDir();

// The user's documents folder: $XDG_DOCUMENTS_DIR, else the XDG_DOCUMENTS_DIR line of
// "<config>/user-dirs.dirs", else "<home>/Documents". Empty when no absolute folder can be named
// (no home): callers must treat that as a failure, never as the file-system root.
std::string DocumentsDir();

// The per-user configuration folder: $XDG_CONFIG_HOME when absolute, else "<home>/.config/".
// Empty without a home.
std::string ConfigDir();

// The per-user runtime folder: $XDG_RUNTIME_DIR when it names an existing folder, else
// "/tmp/kelvane-<uid>/" (made 0700, used only when it is this user's own folder). Ends in '/';
// empty when neither can be used.
std::string RuntimeDir();

}  // namespace platform
