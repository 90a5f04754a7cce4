// Writes its command line (UTF-16) to the file named by LARKSPUR_PROBE_OUT.
#include <windows.h>

#include "common/Handles.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t out[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"LARKSPUR_PROBE_OUT", out, MAX_PATH))
        return 2;
    const wchar_t* line = ::GetCommandLineW();
    UniqueHandle file(::CreateFileW(out, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 1;
    DWORD written = 0;
    ::WriteFile(file.get(), line, static_cast<DWORD>(lstrlenW(line) * sizeof(wchar_t)), &written, nullptr);
    return 0;
}
