// The folder remover: started by the uninstaller with one argument, a folder
// ending with a backslash. It waits while files there are still in use (the
// uninstaller itself may still be running from that folder), removes the
// folder with everything in it, then schedules its own copy for deletion.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/FileSystem.h"

namespace {

constexpr int kAttempts = 60;      // about 30 seconds in all
constexpr DWORD kPauseMs = 500;

bool IsSafeTarget(const std::wstring& folder)
{
    // Never a drive root, never a relative path.
    if (folder.size() < 4 || folder[1] != L':' || (folder[2] != L'\\' && folder[2] != L'/'))
        return false;
    return folder.find_first_not_of(L"\\/", 3) != std::wstring::npos;
}

void ClearReadOnly(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((FileSystem::ToLongPath(folder) + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring entry = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ClearReadOnly(entry);
        else if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            ::SetFileAttributesW(FileSystem::ToLongPath(entry).c_str(), FILE_ATTRIBUTE_NORMAL);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

void DeleteOwnCopy()
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring parameters = L"/c ping -n 2 127.0.0.1 >nul & del /q \"" + std::wstring(self) + L"\"";
    ::ShellExecuteW(nullptr, L"open", L"cmd.exe", parameters.c_str(), nullptr, SW_HIDE);
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
        ClearReadOnly(folder);
        if (FileSystem::DeleteDirectoryTree(folder)) {
            result = 0;
            break;
        }
        ::Sleep(kPauseMs);
    }
    DeleteOwnCopy();
    return result;
}
