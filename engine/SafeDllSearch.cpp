#include "engine/SafeDllSearch.h"

#include <windows.h>

void RestrictDllSearchPath()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    ::SetDllDirectoryW(L"");
}
