#include "ui/SciterSetUpUi.h"
#include "ui/SetupUI.h"
#include "ui/SilentSetupUI.h"

SetupUIPtr CreateSetupUI(bool silent, HINSTANCE module, const std::wstring& uiFolder, const std::wstring& mode)
{
    if (silent)
        return std::make_shared<CSilentSetupUI>(uiFolder);
    return std::make_shared<CSciterSetUpUi>(module, mode, uiFolder);
}
