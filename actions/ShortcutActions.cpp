// Shortcut verbs common to the Windows 7 and XP executors.
#include <shlobj.h>

#include "actions/ActionFields.h"
#include "actions/Installer.h"
#include "actions/ShortcutPaths.h"
#include "actions/Uninstaller.h"
#include "common/DebugOutput.h"

namespace {

// "deletedesktop" (install) and "desktop" (uninstall): only the folder differs.
void DeleteDesktopLink(const InstallTools& tools, int csidl, const Json::Value& action)
{
    std::wstring name = ActionText(action, "name");
    SpecialFolder desktop = tools.GetSpecialFolder(csidl);
    if (desktop.status == SpecialFolder::LocationFailed) {
        DebugLineA("stagehand.exe=>deldesktop SHGetSpecialFolderLocation:%ld%s", static_cast<long>(desktop.hr),
                   (",name=" + Utf8(name) + "\n").c_str());
        return;
    }
    if (desktop.status == SpecialFolder::PathFailed) {
        DebugLine(L"stagehand.exe=>deldesktop SHGetPathFromIDList error,name=" + name + L"\n");
        return;
    }
    std::wstring link = desktop.path + L"\\" + name + L".lnk";
    DebugLine(L"stagehand.exe=>deldesktop DeleteShortCut path:" + link);
    InstallTools::DeleteShortCut(link);
    InstallTools::NotifyShellChange(SHCNE_DELETE | SHCNE_INTERRUPT, link);
}

}  // namespace

bool Installer::CreateMyDesktop(std::shared_ptr<Json::Value> action, std::string&)
{
    DebugLine(L"stagehand.exe=>CreateMyDesktop begin");
    if (!m_pInstallParam || !m_pInstallParam->bDesktop)
        return true;
    DebugLine(L"stagehand.exe=>CreateMyDesktop middle");
    SpecialFolder desktop = GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    if (desktop.status == SpecialFolder::LocationFailed) {
        DebugLineA("stagehand.exe=>desktop SHGetSpecialFolderLocation:%ld%s", static_cast<long>(desktop.hr),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    if (desktop.status == SpecialFolder::PathFailed) {
        DebugLineA("stagehand.exe=>desktop SHGetPathFromIDList error,key=%s", (ActionStyled(*action) + "\n").c_str());
        return true;
    }
    ShortcutPaths::LinkFields link = ShortcutPaths::ReadLinkFields(*action, [&](const char* key, std::wstring text) {
        return ExpandKey(*action, "desktop", key, std::move(text));
    });
    if (!CreateFileShortcut(link.path, desktop.path.c_str(), link.name + L".lnk", link.icon, link.params))
        DebugLineA("stagehand.exe=>desktop CreateFileShortcut error,key=%s", (ActionStyled(*action) + "\n").c_str());
    return true;
}

bool Installer::DeleteDesktop(std::shared_ptr<Json::Value> action, std::string&)
{
    DeleteDesktopLink(*this, CSIDL_DESKTOP, *action);
    return true;
}

bool Uninstaller::DeleteMyDesktop(std::shared_ptr<Json::Value> action, std::string&)
{
    DeleteDesktopLink(*this, CSIDL_COMMON_DESKTOPDIRECTORY, *action);
    return true;
}

bool Uninstaller::Unpin(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring path = ExpandedText(*action, "unpin", "path");
    std::wstring verb = ActionText(*action, "option");
    // Without a verb the shell would open the file, starting the program.
    if (!verb.empty() && !path.empty())
        RunShellVerb(verb, path);
    return true;
}
