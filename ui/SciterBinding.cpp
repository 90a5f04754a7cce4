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

}  // namespace

ISciterAPI* CSciterBinding::LoadFrom(const std::wstring& folder)
{
    if (g_api)
        return g_api;
    std::wstring path = folder + L"sciter32.dll";
    // By full path and without searching the program's folder for its dependencies.
    UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
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
    UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
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
