// sciter32.dll: exports the entry table.
#include "htmlengine/Api.h"

extern "C" ISciterAPI* WINAPI SciterAPI(void)
{
    return he::EngineApi();
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    // Nothing to do under the loader lock: GDI+ and the script heap start on first use.
    return TRUE;
}
