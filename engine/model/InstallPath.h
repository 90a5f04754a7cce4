#pragma once
// Install-folder validation and the folder-name cleaner.
#include <windows.h>

#include <functional>
#include <string>

// Minimum free space on the folder's drive, and the length limits.
constexpr ULONGLONG kMinFreeBytes = 104857600ULL;  // 100 MiB
constexpr size_t kMaxPathUnits = 150;
constexpr size_t kMaxCompanyPathUnits = 162;  // when the last part is the company folder
extern const wchar_t kProbeFolderName[];      // "8CE40F35C6D64a938D2DBF7555FBF48F"

// The drive's total free bytes (drive as "C:"); false when the query fails.
using FreeSpaceQuery = std::function<bool(const std::wstring& drive, ULONGLONG& freeBytes)>;
bool QueryDriveFreeBytes(const std::wstring& drive, ULONGLONG& freeBytes);

// True when the folder is acceptable. On false, code holds "write", "toolong"
// or "nospace", or stays unchanged when the free-space query failed.
bool CheckInstallPath(const std::wstring& path, std::wstring& code);
bool CheckInstallPath(const std::wstring& path, std::wstring& code, const FreeSpaceQuery& freeSpace);

// Strips characters and device names that may not stand in a folder name.
std::string CleanPathName(const std::string& text);
std::wstring CleanPathName(const std::wstring& text);
