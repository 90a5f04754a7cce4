#pragma once
// Registering a file type for the product's program: the check whether the
// extension already opens it, the writes under the user's and the machine's
// classes with the reset of the user's recorded choice, and the removal.
// Failures are wide debug lines and false results.
#include <windows.h>

#include <string>
#include <vector>

namespace BaseOperation {

inline constexpr wchar_t kExplorerFileExts[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
inline constexpr wchar_t kRoamingFileExts[] = L"Software\\Microsoft\\Windows\\Roaming\\OpenWith\\FileExts";

// True when ext opens app_path through app_key and the user-choice records agree.
bool CheckFileAssociation(const std::wstring& ext, const std::wstring& appKey, const std::wstring& appPath);
// The record under HKCU\base\ext names app_key (its "Progid", when present,
// and its "UserChoice" "Progid"). keyExists tells whether base\ext exists.
bool CheckExtUserChoice(const std::wstring& ext, const std::wstring& appKey, const std::wstring& base, bool& keyExists);
// WriteFileAssociationUnder for HKCU, then (only after success) for HKLM.
bool WriteFileAssociation(const std::vector<std::wstring>& extensions, const std::wstring& appPath,
                          const std::wstring& appKey, const std::wstring& iconPath, const std::wstring& description,
                          const std::wstring& commandName, const std::wstring& commandArg);
bool WriteFileAssociationUnder(const std::vector<std::wstring>& extensions, const std::wstring& appPath,
                               const std::wstring& appKey, const std::wstring& iconPath,
                               const std::wstring& description, const std::wstring& commandName,
                               const std::wstring& commandArg, HKEY root);
// The key's default value.
bool SetDefaultValue(const std::wstring& key, const std::wstring& value, HKEY root);
// Replaces the user's choice for ext under HKCU\base with app_key.
bool ResetExtUserChoice(const std::wstring& ext, const std::wstring& appKey, const std::wstring& base);
// Deletes the registration of ext and app_key under both roots. Always true.
bool DeleteFileAssociation(const std::wstring& ext, const std::wstring& appKey);

// The open command: "app" -appbind="%1" arg, without trailing spaces.
std::wstring OpenCommand(const std::wstring& appPath, const std::wstring& commandArg);

}  // namespace BaseOperation
