// Test helper: waits a moment, then writes its command line (UTF-16) to
// "<own path>.args", so tests can tell both what it got and that a caller
// waited for it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ::Sleep(700);
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t target[MAX_PATH + 8] = {};
    lstrcpyW(target, self);
    lstrcatW(target, L".args");
    HANDLE file = ::CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    const wchar_t* line = ::GetCommandLineW();
    DWORD written = 0;
    ::WriteFile(file, line, lstrlenW(line) * sizeof(wchar_t), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
