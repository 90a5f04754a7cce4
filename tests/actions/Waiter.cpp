// Test helper: does nothing for a minute, so tests can find and end it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ::Sleep(60000);
    return 0;
}
