// Test helper: waits a moment, then writes its command line and, on the
// next line, its integrity level (UTF-16) to "<own path>.args", so tests can
// tell what it got, how it was started and that a caller waited for it. Its
// working folder goes to "<own path>.cwd".
#include <windows.h>

#include <string>

#include "common/Handles.h"
#include "common/ProcessOperation.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ::Sleep(700);
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    DWORD level = 0;
    if (FAILED(GetProcessIntegrityLevel(::GetCurrentProcess(), &level)))
        level = 0;
    std::wstring content = std::wstring(::GetCommandLineW()) + L"\n" + std::to_wstring(level);
    wchar_t cwd[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    UniqueHandle cwdFile(::CreateFileW((std::wstring(self) + L".cwd").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (cwdFile) {
        DWORD cwdWritten = 0;
        ::WriteFile(cwdFile.get(), cwd, static_cast<DWORD>(wcslen(cwd) * sizeof(wchar_t)), &cwdWritten, nullptr);
    }
    std::wstring target = std::wstring(self) + L".args";
    UniqueHandle file(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 2;
    DWORD written = 0;
    ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size() * sizeof(wchar_t)), &written, nullptr);
    return 0;
}
