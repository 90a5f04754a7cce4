// Quick-launch and start-menu verbs of the XP executors: link files only,
// nothing is pinned.
#include <shlobj.h>

#include <filesystem>

#include "actions/ActionFields.h"
#include "actions/CreateInstaller.h"
#include "actions/Placeholders.h"
#include "actions/ShortcutPaths.h"
#include "common/DebugOutput.h"

using namespace ShortcutPaths;

bool InstallerForXP::CreateQuickstart(std::shared_ptr<Json::Value> action, std::string&)
{
    if (!m_pInstallParam || !m_pInstallParam->bQuick)
        return true;
    SpecialFolder appData = GetSpecialFolder(CSIDL_APPDATA);
    if (appData.status == SpecialFolder::LocationFailed) {
        DebugLineA("stagehand.exe=>quickstart_xp SHGetSpecialFolderLocation :%ld%s", static_cast<long>(appData.hr),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    if (appData.status == SpecialFolder::PathFailed) {
        DebugLineA("stagehand.exe=>quickstart_xp SHGetPathFromIDList error,key=%s",
                   (ActionStyled(*action) + "\n").c_str());
        return true;
    }
    const std::wstring quick = appData.path + kQuickLaunch;
    // Windows makes the folder for each profile; a profile without it
    // (or Wine's) would otherwise get no link.
    std::error_code missing;
    std::filesystem::create_directories(quick, missing);
    LinkFields link = ReadLinkFields(*action, [&](const char* key, std::wstring text) {
        return ExpandKey(*action, "quickstart", key, std::move(text));
    });
    CreateFileShortcut(link.path, quick.c_str(), link.name + L".lnk", link.icon, link.params);
    return true;
}

bool InstallerForXP::CreateMenuSC(std::shared_ptr<Json::Value> action, std::string&)
{
    SpecialFolder programs = GetSpecialFolder(CSIDL_COMMON_PROGRAMS);
    if (programs.status == SpecialFolder::LocationFailed) {
        DebugLineA("stagehand.exe=>menu_xp SHGetSpecialFolderLocation :%ld%s", static_cast<long>(programs.hr),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    if (programs.status == SpecialFolder::PathFailed) {
        DebugLineA("stagehand.exe=>menu_xp SHGetPathFromIDList error,key=%s", (ActionStyled(*action) + "\n").c_str());
        return true;
    }
    const PlaceholderValues startMenu = {{PlaceholderSource::StartMenu, programs.path}};
    MenuLink link = ReadMenuLink(*action, [&](const char* key, std::wstring text) {
        return ExpandKey(*action, "menu", key, std::move(text), startMenu);
    });
    std::string reason;
    if (!MakeFolder(link.folder, reason)) {
        // The folder-creation failure keeps the lookup's wording.
        DebugLineA("stagehand.exe=>menu_xp SHGetSpecialFolderLocation :%s%s", reason.c_str(),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    CreateFileShortcut(link.dst, link.folder.c_str(), link.linkName, link.icon, link.params);
    return true;
}

bool UninstallerForXP::DeleteQuickstart(std::shared_ptr<Json::Value> action, std::string&)
{
    SpecialFolder appData = GetSpecialFolder(CSIDL_APPDATA);
    if (appData.status == SpecialFolder::LocationFailed) {
        DebugLineA("stagehand.exe=>delquickstart_xp SHGetSpecialFolderLocation :%ld\n", static_cast<long>(appData.hr));
        return true;
    }
    if (appData.status == SpecialFolder::PathFailed) {
        DebugLine(L"stagehand.exe=>delquickstart_xp SHGetPathFromIDList error");
        return true;
    }
    const std::wstring link = appData.path + kQuickLaunch + L"\\" + ActionText(*action, "name") + L".lnk";
    DeleteShortCut(link);
    NotifyShellChange(SHCNE_DELETE | SHCNE_INTERRUPT, link);
    return true;
}

bool UninstallerForXP::DeleteMenuSC(std::shared_ptr<Json::Value> action, std::string&)
{
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        SpecialFolder programs = GetSpecialFolder(csidl);
        if (programs.status == SpecialFolder::LocationFailed) {
            DebugLineA("stagehand.exe=>delmenu_xp SHGetSpecialFolderLocation :%ld\n", static_cast<long>(programs.hr));
            continue;
        }
        if (programs.status == SpecialFolder::PathFailed) {
            DebugLine(L"stagehand.exe=>delmenu_xp SHGetPathFromIDList error");
            continue;
        }
        std::wstring path = ActionText(*action, "path");
        path = ExpandKey(*action, "menu", "path", path, {{PlaceholderSource::StartMenu, programs.path}});
        RemoveStartMenuEntry(*this, path, false);
    }
    return true;
}
