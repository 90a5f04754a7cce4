#pragma once
// Folders that the elevated engine creates for the product. Below the system's
// program-files folders a new folder inherits their access list, which keeps
// unelevated programs from writing. Anywhere else (a folder the user chose, such
// as C:\Custom Apps) the parent may let every user write, and the product's
// elevated service would then run from a folder any program can change: there
// the topmost folder the engine creates gets the private access list instead
// (administrators and SYSTEM write, everybody else reads and runs), and the
// folders below inherit it. When the caller names the product's own folder
// (the company folder, "Orbisoft"), that folder gets the private access list
// and the administrators as owner whether it is created now or existed, and
// everything already inside it is given the same list and owner (a link found
// there is removed as a link): an ordinary user who created the folder
// beforehand keeps no right to change it. Paths are normalised first
// (GetFullPathNameW: "C:\Program Files\..\Apps" is not in Program Files), no
// part of them may be a link, and the created folder's final path must be
// the path asked for.
#include <functional>
#include <string>
#include <system_error>

namespace ProgramFolders {

// The first folder of `path` (a full path, "\" or "/" separators) that does
// not exist yet; "" when the whole path exists or it cannot be told.
std::wstring TopmostMissingFolder(const std::wstring& path);

// Whether `path` lies inside the system's program-files folder (or its 32-bit
// counterpart on 64-bit Windows), both normalised, compared without regard to case.
bool IsUnderProgramFiles(const std::wstring& path);

// The folder of `path` that gets the private list: the topmost missing folder
// when it is the first folder named `ownFolder` (case ignored) or lies above
// it, else that company folder (it exists), else the topmost missing folder;
// "" when there is none. `path` is taken as it is (normalise it first).
std::wstring ProtectedFolder(const std::wstring& path, const std::wstring& ownFolder);

// The first existing folder of `path` below the drive root and above the
// folder named `ownFolder` (case ignored; it and what is below it are given
// the administrators as owner) whose owner is neither Administrators nor
// SYSTEM (SecureFolders' rules decide): its owner may change its list and so
// rename the product's folders away and put others in their place. "" when
// there is none, and always for a path in Program Files.
std::wstring FolderOwnedByAUser(const std::wstring& path, const std::wstring& ownFolder);

// Gives an existing folder and everything in it the private access list and
// the administrators as owner, each entry changed on its own handle (links are
// removed as links, never followed); false when the folder is not a plain
// folder at the path it names or its own list cannot be set.
bool ProtectExistingFolder(const std::wstring& folder);
// Tests: `observer` is told every existing entry given the private list and
// owner (Wine neither keeps nor reports access lists); empty to stop.
void ObservePrivateLists(std::function<void(const std::wstring& path)> observer);

struct Created {
    bool any = false;            // a folder was created
    std::wstring privateFolder;  // the folder that got the private list, or ""
};

// Creates `path` with its missing parents as described above; `error` tells
// why nothing could be created. `ownFolder` names the product's own folder.
Created Create(const std::wstring& path, std::error_code& error, const std::wstring& ownFolder = L"");

}  // namespace ProgramFolders
