#pragma once
// Libraries that are not on the system's KnownDLLs list are loaded at run
// time from the system folder by full path, never by name: an elevated
// program started from the user's temporary folder must not pick up a DLL
// planted next to it.
#include <windows.h>

// The module of `name` (for example L"wininet.dll") from the system folder,
// loaded once per process and kept; null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The export `name` of a system library cast to the pointer type `Fn`; null when missing.
template <typename Fn> Fn SystemFunction(const wchar_t* library, const char* name)
{
    HMODULE module = LoadSystemLibrary(library);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}
