#include "common/DebugOutput.h"
#include "ui/SetupUI.h"
#include "ui/SilentSetupUI.h"

SetupUIPtr CreateSetupUI(bool silent, HINSTANCE /*module*/, const std::wstring& uiFolder, const std::wstring& /*mode*/)
{
    if (silent)
        return std::make_shared<CSilentSetupUI>(uiFolder);
    // The HTML-engine window is not part of this build: no UI results, and
    // the engine ends the run as it does for any UI that cannot be created.
    DebugLine(L"stagehand.exe=>CreateSetupUI the HTML-engine UI is not available in this build");
    return nullptr;
}
