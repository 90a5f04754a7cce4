#pragma once
// Path, folder, whole-file and INI helpers shared by both executables.
// The folder creation, whole-file read and folder removal go through the
// "\\?\" long-path form, so they work beyond 260 units.
#include <windows.h>

#include <string>

namespace FileSystem {

size_t WriteStringToFile(const std::wstring& path, const std::string& bytes);
HRESULT WriteBufferToFile(const wchar_t* path, const void* data, DWORD size);
std::string ReadFileToString(const std::wstring& path, bool binary);
// The bytes of the file at path, taken as given (relative paths and "/"
// allowed); false when it cannot be opened or read, or is larger than
// maxBytes (bytes is then unspecified).
bool ReadFileBytes(const std::wstring& path, std::string& bytes, unsigned long long maxBytes);
bool PathExists(const wchar_t* path);
bool CreateDirectoryTree(const std::wstring& path);
enum class TreeDelete { Plain, ClearReadOnly };
// Deletes the folder with its content. A directory link (at the top or
// anywhere below) is removed as a link and never entered; nothing behind a
// link is touched. ClearReadOnly also removes read-only files (never through
// a link). True when the folder is gone or was never there.
bool DeleteDirectoryTree(const std::wstring& path, TreeDelete mode = TreeDelete::Plain);
std::wstring GetModuleDirectory();
std::string GetProgramFilesPathA();
std::wstring GetSpecialFolderPath(int csidl);
std::wstring GetFileNameFromPath(const wchar_t* path);
std::wstring GetParentPath(const wchar_t* path);
std::wstring ToLongPath(const std::wstring& path);
std::wstring ToOpenablePath(const std::wstring& path);
std::wstring ReadIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key);
bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value);

}  // namespace FileSystem
