// Starting what a software "start a program" key names: a program or any other file or folder.
#pragma once

#include <string>

namespace platform {

// An existing regular file that may be executed is started directly, with `path` as its only
// argument (argv[0]; no shell, so blanks, quotes and ';' are just characters; a relative path
// without '/' gets "./" in front so the file looked at is the file started). Any other existing
// path (a folder, a document) goes to CurrentDesktopOpener(). A missing or empty path does
// nothing. True when the program or the opener was started; failures are logged to stderr.
bool OpenPathOrProgram(const std::string& path);

}  // namespace platform
