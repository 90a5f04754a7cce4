#pragma once
// Folders that the elevated engine creates for the product. Below the system's
// program-files folders a new folder inherits their access list, which keeps
// unelevated programs from writing. Anywhere else (a folder the user chose, such
// as C:\Custom Apps) the parent may let every user write, and the product's
// elevated service would then run from a folder any program can change: there
// the topmost folder the engine creates gets the private access list instead
// (administrators and SYSTEM write, everybody else reads and runs), and the
// folders below inherit it. A folder that already existed is left as it is.
#include <string>
#include <system_error>

namespace ProgramFolders {

// The first folder of `path` (a full path, "\" or "/" separators) that does
// not exist yet; "" when the whole path exists or it cannot be told.
std::wstring TopmostMissingFolder(const std::wstring& path);

// Whether `path` lies inside the system's program-files folder (or its 32-bit
// counterpart on 64-bit Windows), compared without regard to case.
bool IsUnderProgramFiles(const std::wstring& path);

struct Created {
    bool any = false;            // a folder was created
    std::wstring privateFolder;  // the folder that got the private list, or ""
};

// Creates `path` with its missing parents as described above; `error` tells
// why nothing could be created.
Created Create(const std::wstring& path, std::error_code& error);

}  // namespace ProgramFolders
