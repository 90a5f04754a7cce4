#include "ui/SciterBinding.h"

#include <mutex>

#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"

namespace {

ISciterAPI* g_api = nullptr;
LPVOID g_scriptApi = nullptr;
HMODULE g_module = nullptr;

template <typename T> T Export(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

}  // namespace

// The DLL by its full path, its own imports from the system folder only
// (LOAD_LIBRARY_SEARCH_SYSTEM32, Windows 8, or 7 with its loader update).
// Where that flag is unknown (XP, Vista, 7 without the update) the plain load
// by full path is taken: every import of sciter32.dll is a KnownDLL there
// (tests/security/check-imports), which the loader never searches for. Never
// LOAD_WITH_ALTERED_SEARCH_PATH, which searches the DLL's own folder first.
HMODULE CSciterBinding::LoadByFullPath(const std::wstring& path)
{
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER)
        module = ::LoadLibraryExW(path.c_str(), nullptr, 0);
    return module;
}

namespace {

}  // namespace

ISciterAPI* CSciterBinding::LoadFrom(const std::wstring& folder)
{
    if (g_api)
        return g_api;
    std::wstring path = folder + L"sciter32.dll";
    // By full path, its own imports never from the program's folder.
    UniqueModule module(LoadByFullPath(path));
    if (!module) {
        DebugLine(L"stagehand.exe=>LoadLibrary sciter32.dll failed: " + path);
        return nullptr;
    }
    auto entry = Export<SciterAPI_ptr>(module.get(), "SciterAPI");
    ISciterAPI* api = entry ? entry() : nullptr;
    if (!api) {
        DebugLine(L"stagehand.exe=>GetProcAddress SciterAPI failed");
        return nullptr;
    }
    // Loaded for the rest of the process.
    g_module = module.release();
    g_api = api;
    if (api->TIScriptAPI)
        g_scriptApi = api->TIScriptAPI();
    return g_api;
}

ISciterAPI* CSciterBinding::Api()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!LoadFrom(FileSystem::GetModuleDirectory()))
            ::ExitProcess(static_cast<UINT>(-1));
    });
    return g_api;
}

void CSciterBinding::UseInProcess(ISciterAPI* api)
{
    if (g_api || !api)
        return;
    g_api = api;
    if (api->TIScriptAPI)
        g_scriptApi = api->TIScriptAPI();
}

LPVOID CSciterBinding::ScriptApi()
{
    return g_scriptApi;
}

bool CSciterBinding::OpenInspector(HWND window)
{
    ISciterAPI* api = g_api;
    if (!api)
        return false;
    std::wstring path = FileSystem::GetModuleDirectory() + L"inspector32.dll";
    UniqueModule module(LoadByFullPath(path));
    if (!module)
        return false;
    using InspectorFn = BOOL(WINAPI*)(HWND, ISciterAPI*);
    auto inspect = Export<InspectorFn>(module.get(), "SciterWindowInspector");
    if (!inspect)
        return false;
    // The inspector stays loaded while it shows its window.
    module.release();
    return inspect(window, api) != FALSE;
}
