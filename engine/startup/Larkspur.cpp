// The engine's process entry: install when the command line holds the
// install switch, otherwise uninstall from the product folder.
#include <windows.h>

#include "common/CmdLine.h"
#include "common/DebugOutput.h"
#include "common/InstallLog.h"
#include "common/XLog.h"
#include "engine/InstallEngine.h"
#include "common/SafeDllSearch.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR pCmdLine, int)
{
    RestrictDllSearchToSystem();
    StartInstallLogFromCommandLine(pCmdLine, L"stagehand.exe=>");
    if (!UpPrivilege()) {
        xlog_detail::ReportAssert(L"UpPrivilege()", ::GetLastError(), __FILE__, __LINE__);
        return 0;
    }
    const std::wstring text = pCmdLine ? pCmdLine : L"";
    CCmdLine cmd;
    cmd.Parse(text);
    DebugLine(L"stagehand.exe=>The command line parameter:" + text);

    CInstallEngine engine(hInstance);
    if (cmd.HasKey(L"install")) {
        bool result = engine.Install(text);
        DebugLine(result ? L"stagehand.exe=>main bResult is true" : L"stagehand.exe=>mian bResult is false");
        return result ? 1 : 0;
    }
    if (engine.Uninstall(text))
        DeleteSelf();
    DebugLine(L"stagehand.exe=>mian bResult is false");
    return 0;
}
