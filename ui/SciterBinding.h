#pragma once
// The binding to the HTML engine: sciter32.dll is loaded once, by full path
// from the engine's own folder, and its entry table is kept for the life of
// the process. Every engine call goes through the kept table.
#include <windows.h>

#include <string>

#include "htmlengine/include/htmlengine/SciterApi.h"

class CSciterBinding {
public:
    // The table; on first use loads the DLL from the folder of the running
    // program. A missing DLL or export ends the process with exit code -1.
    static ISciterAPI* Api();

    // Loads the engine from `folder` (with a trailing backslash). Returns null
    // and leaves nothing loaded when the DLL or its export is missing.
    static ISciterAPI* LoadFrom(const std::wstring& folder);

    // Binds an engine already in the process instead of loading the DLL (the
    // page tests run the engine linked in). Has no effect once one is bound.
    static void UseInProcess(ISciterAPI* api);

    // F12: the optional inspector, inspector32.dll from the same folder, is
    // opened for the window; when it or its export is missing nothing happens.
    static bool OpenInspector(HWND window);

    // The value the script interface entry gave; kept, never read.
    static LPVOID ScriptApi();
    // Loads a DLL by its full path with its own imports from the system folder.
    static HMODULE LoadByFullPath(const std::wstring& path);
};
