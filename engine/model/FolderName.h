#pragma once
// Folder-name rules shared by the command line and the install-path checks.
#include <string>

// Same length in UTF-16 units and, unit by unit, equal low 8 bits after
// folding ASCII A-Z to lower case.
bool IsSameFolderName(const std::wstring& a, const std::wstring& b);

// The last path component, ignoring trailing backslashes.
std::wstring LastPathComponent(const std::wstring& path);

// The parent folder with its trailing separator: trailing "\" and "/" are
// stripped, then everything after the last separator is cut. A text of
// separators only stays unchanged.
std::wstring ParentFolderOf(const std::wstring& path);

extern const wchar_t kCompanyFolder[];  // "Orbisoft"

// The dir switch's rule: a folder whose last component is not the company
// folder gets it appended ("D:\Apps" gives "D:\Apps\Orbisoft"); "" stays "".
std::wstring WithCompanyFolder(const std::wstring& dir);
