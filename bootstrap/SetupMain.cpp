// setup.exe: unpacks and starts the engine, unpacks the product files.
#include <windows.h>

#include "bootstrap/BootstrapFlow.h"
#include "bootstrap/SplashScreen.h"
#include "common/InstallLog.h"
#include "common/SafeDllSearch.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR lpCmdLine, int)
{
    RestrictDllSearchToSystem();
    StartInstallLogFromCommandLine(lpCmdLine, L"Setup.exe=>");
    CSplashScreen splash(hInstance);
    CBootstrap bootstrap(hInstance, splash);
    return bootstrap.Run(lpCmdLine);
}
