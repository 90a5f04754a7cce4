// datamigration.exe of the sample product: records that it ran, and how.
#include <windows.h>

#include <string>

#include "sample/SampleLog.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    SampleRecord(L"datamigration", std::wstring(path) + L"|" + cmdLine);
    return 0;
}
