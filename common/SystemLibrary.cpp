#include "common/SystemLibrary.h"

#include <string>

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    wchar_t system[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (!name || !name[0] || length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path = std::wstring(system, length) + L"\\" + name;
    // Already loaded: the same module, without another reference.
    if (HMODULE loaded = ::GetModuleHandleW(path.c_str()))
        return loaded;
    // The altered search order resolves the library's own imports from its folder.
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
