// The product name and the folders the program works in. Folders end in '/'.
#pragma once

#include <string>

// "Varnel Keyboard": names the working folder, the settings key and the single-instance guard.
std::wstring GetProductName();

// The folder of the running program, where its data files lie.
std::wstring GetAppDir();

// The user's working folder: the documents folder followed by "Varnel Keyboard Files/". Empty
// when the user has no home folder, so that nothing is ever created at the file-system root.
std::wstring GetUserDataFolder();

// Creates the folder and every missing parent. True only when `path` is a directory afterwards;
// a file standing in the way is a failure. Null or empty: false.
bool CreateDirectoryRecursive(const wchar_t* path);

// Deletes the folder (or file) with everything below it, for good. A symbolic link is never
// followed: `path` naming a link (with or without a trailing '/') loses the link only, and links
// below it are removed as links. Nothing is deleted unless `path`, its parent folders' links
// resolved, lies strictly inside `within` (the working folder). False when nothing was there or
// it lies elsewhere, when anything could not be removed, and for an empty path or `within`.
bool DeleteDirectoryTree(const wchar_t* path, const std::wstring& within);
