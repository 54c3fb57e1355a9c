// Ending a running program by its file name.
#pragma once

#include <string>

// Ends the first running process (in pid order) whose executable file name, lower-cased, equals
// `name` exactly; `name` must already be lower case to match. Never signals a pid <= 0, this
// process, or a zombie. False only when the running processes cannot be listed; true otherwise,
// also when nothing matched.
bool KillProcessByName(const std::wstring& name);

// The program that holds the Windows keys while the keyboard window runs (halvorn).
inline constexpr wchar_t kBlockerProcessName[] = L"halvorn";
