#pragma once
// The tag file a page drags out of its window: a tiny file in the user's
// temporary folder whose copy tells where the user dropped it. That folder is
// writable by every program of the user, so the file is never written
// through a planted link, and only a plain file that is a copy of ours is
// ever deleted.
#include <windows.h>

#include <string>

namespace velui {

extern const wchar_t kDragTagName[];  // "velui_{60ae33aa-...}.cfg"
// Product name and a zero byte.
extern const char kDragTagContent[];
extern const DWORD kDragTagContentSize;

// Writes the tag file in `folder` (with a trailing separator): the plain name,
// else the name with "(1)", then "(2)" appended to that, ... at most 32
// attempts. A name taken by a directory, a link or a file with other links
// counts as a failed attempt. The file is hidden. Empty when every attempt failed.
std::wstring BuildDragTagFile(const std::wstring& folder);

// Whether the last name of the path holds the tag file's name (any case).
bool NamesDragTag(const std::wstring& path);

enum class TagDeleteResult {
    Deleted,
    NotOurs,  // not a plain file with our name and content: left alone
    Failed,
};
// Deletes a dropped copy of the tag file, checked on an open handle: a plain
// file (no directory, no link, one name) holding exactly the tag content.
TagDeleteResult DeleteDragTagCopy(const std::wstring& path);

}  // namespace velui
