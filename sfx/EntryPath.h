#pragma once
// Names stored in an archive, checked before anything is written: only plain
// relative paths that stay inside the destination folder are accepted.
#include <string>

namespace sfx {

// Turns an archive entry name into a relative Windows path (backslash
// separators). False for anything that could leave the destination folder or
// name something other than an ordinary file: absolute and UNC paths, drive
// letters and streams (any ':'), "." and ".." components, empty components,
// characters Windows does not allow in names, names ending in a dot or space
// and device names such as "CON" or "com1.txt".
bool MakeSafeRelativePath(const std::wstring& name, std::wstring& relative);

// Whether `path` lies strictly inside `folder` once both are made absolute.
bool IsInsideFolder(const std::wstring& folder, const std::wstring& path);

}  // namespace sfx
