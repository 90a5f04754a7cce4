// A DLL named like the engine but without its export.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI SomethingElse(void)
{
    return 1;
}
