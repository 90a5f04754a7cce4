// The delay-load hook of the system libraries that are not KnownDLLs on every
// Windows the programs support (gdiplus.dll, msimg32.dll; see
// cmake/DelayImports.cmake): the delay-load helper would load them by name,
// searching the program's own folder first; this hook hands it the copy in the
// system folder instead (LoadSystemLibrary), so a DLL planted beside the
// program is never loaded.
#include <windows.h>
#include <delayimp.h>

#include <string>

#include "common/SystemLibrary.h"

namespace {

FARPROC WINAPI SystemFolderHook(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll)
        return nullptr;
    std::wstring name;
    for (const char* c = info->szDll; *c; ++c)
        name += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    HMODULE module = LoadSystemLibrary(name.c_str());
    // Without the system's copy the helper reports the failure: it must
    // never fall back to a search by name.
    if (!module)
        ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 0, nullptr);
    return reinterpret_cast<FARPROC>(module);
}

}  // namespace

// Takes the place of mingw-w64's empty hook (linked with -u, see
// cmake/DelayImports.cmake).
PfnDliHook __pfnDliNotifyHook2 = SystemFolderHook;
