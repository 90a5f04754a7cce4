#include <windows.h>

#include "engine/InstallEngine.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    DeleteSelf();
}
