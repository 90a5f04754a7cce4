// The folder remover: started by the uninstaller with one argument, a folder
// ending with a backslash. It waits while files there are still in use (the
// uninstaller itself may still be running from that folder), removes the
// folder with everything in it, then schedules its own copy for deletion.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/FileSystem.h"

namespace {

constexpr int kAttempts = 60;  // about 30 seconds in all
constexpr DWORD kPauseMs = 500;

bool IsSafeTarget(const std::wstring& folder)
{
    // Never a drive root, never a relative path.
    if (folder.size() < 4 || folder[1] != L':' || (folder[2] != L'\\' && folder[2] != L'/'))
        return false;
    return folder.find_first_not_of(L"\\/", 3) != std::wstring::npos;
}

// The engine's private folders are named by 32 lower-case hexadecimal digits.
bool IsPrivateFolderName(const std::wstring& name)
{
    return name.size() == 32 && name.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}

// The copy removes itself once it has ended, then its folder when that is
// empty (the engine starts its copies in a private folder of their own).
void DeleteOwnCopy()
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    size_t cut = folder.rfind(L'\\');
    folder = cut == std::wstring::npos ? std::wstring() : folder.substr(0, cut);
    wchar_t system[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    std::wstring parameters = L"/c ping -n 2 127.0.0.1 >nul & del /q \"" + std::wstring(self) + L"\"";
    if (IsPrivateFolderName(folder.substr(folder.rfind(L'\\') + 1)))
        parameters += L" & rd \"" + folder + L"\" 2>nul";
    // The command works in the system folder: Windows never removes a folder
    // that is some process's current folder, and this copy's folder was ours.
    ::ShellExecuteW(nullptr, L"open", cmd.c_str(), parameters.c_str(), system, SW_HIDE);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    std::wstring folder = argv[1];
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/' || folder.back() == L'"'))
        folder.pop_back();
    if (!IsSafeTarget(folder))
        return 2;
    int result = 1;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Read-only files go too; a link inside the folder is removed as a link,
        // and neither its target nor the target's attributes are touched.
        if (FileSystem::DeleteDirectoryTree(folder, FileSystem::TreeDelete::ClearReadOnly)) {
            result = 0;
            break;
        }
        ::Sleep(kPauseMs);
    }
    DeleteOwnCopy();
    return result;
}
