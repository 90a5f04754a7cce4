// Quick-launch and start-menu verbs of the Windows 7 executors: the links,
// and pinning them through the shell's verbs.
#include <shlobj.h>

#include <filesystem>

#include "actions/ActionFields.h"
#include "actions/CreateInstaller.h"
#include "actions/Placeholders.h"
#include "actions/ShortcutPaths.h"
#include "common/DebugOutput.h"

using namespace ShortcutPaths;

namespace {

// The quick-launch folder, "" when the application-data folder is unknown.
std::wstring QuickLaunchFolder(const InstallTools& tools)
{
    SpecialFolder appData = tools.GetSpecialFolder(CSIDL_APPDATA);
    return appData.status == SpecialFolder::Found ? appData.path + kQuickLaunch : std::wstring();
}

}  // namespace

bool InstallerForWin7::CreateQuickstart(std::shared_ptr<Json::Value> action, std::string&)
{
    DebugLine(L"stagehand.exe=>CreateQuickstart begin");
    if (!m_pInstallParam || !m_pInstallParam->bQuick)
        return true;
    DebugLine(L"stagehand.exe=>CreateQuickstart middle");
    SpecialFolder appData = GetSpecialFolder(CSIDL_APPDATA);
    if (appData.status == SpecialFolder::LocationFailed) {
        DebugLineA("stagehand.exe=>quickstart_win7 SHGetSpecialFolderLocation :%ld%s", static_cast<long>(appData.hr),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    if (appData.status == SpecialFolder::PathFailed) {
        DebugLineA("stagehand.exe=>quickstart_win7 SHGetPathFromIDList error,key=%s",
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
    const std::wstring linkName = link.name + L".lnk";
    if (!CreateFileShortcut(link.path, quick.c_str(), linkName, link.icon, link.params))
        DebugLine(L"stagehand.exe=>CreateQuickstart error lnkname=" + linkName);

    if (ActionText(*action, "pin") != L"need")
        return true;
    std::wstring checklist = StringOnly(*action, "checklist");
    if (!checklist.empty()) {
        std::wstring existing = quick + checklist + L".lnk";
        if (FileExists(existing)) {
            RemoveIfExists(quick + kPinnedTaskBar + FileNamePart(existing));
            RunShellVerb(L"taskbarunpin", existing);
            RunShellVerb(L"TaskbarPin", existing);
            return true;
        }
    }
    RemoveIfExists(quick + kPinnedTaskBar + linkName);
    const std::wstring fullPath = quick + L"\\" + linkName;
    DebugLine(L"stagehand.exe=>CreateQuickstart lnk_fullpath=" + fullPath);
    RunShellVerb(L"taskbarunpin", fullPath);
    RunShellVerb(L"TaskbarPin", fullPath);
    return true;
}

bool InstallerForWin7::CreateMenuSC(std::shared_ptr<Json::Value> action, std::string&)
{
    SpecialFolder programs = GetSpecialFolder(CSIDL_COMMON_PROGRAMS);
    if (programs.status == SpecialFolder::LocationFailed) {
        DebugLineA("stagehand.exe=>menu_win7 SHGetSpecialFolderLocation :%ld%s", static_cast<long>(programs.hr),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    if (programs.status == SpecialFolder::PathFailed) {
        DebugLineA("stagehand.exe=>menu_win7 SHGetPathFromIDList error,key=%s", (ActionStyled(*action) + "\n").c_str());
        return true;
    }
    const PlaceholderValues startMenu = {{PlaceholderSource::StartMenu, programs.path}};
    MenuLink link = ReadMenuLink(*action, [&](const char* key, std::wstring text) {
        return ExpandKey(*action, "menu", key, std::move(text), startMenu);
    });
    std::string reason;
    if (!MakeFolder(link.folder, reason)) {
        DebugLineA("stagehand.exe=>menu_Win7 create_directories :%s%s", reason.c_str(),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    if (!CreateFileShortcut(link.dst, link.folder.c_str(), link.linkName, link.icon, link.params))
        DebugLine(L"stagehand.exe=>CreateMenuSC error lnkname=" + link.linkName);

    if (ActionText(*action, "pin") != L"need")
        return true;
    const std::wstring quick = QuickLaunchFolder(*this);
    std::wstring checklist = StringOnly(*action, "checklist");
    if (!checklist.empty()) {
        checklist = ExpandKey(*action, "menu", "checklist", checklist, startMenu);
        if (FileExists(checklist)) {
            if (!quick.empty())
                RemoveIfExists(quick + kPinnedStartMenu + FileNamePart(checklist));
            RunShellVerb(L"startunpin", checklist);
            RunShellVerb(L"StartPin", checklist);
            return true;
        }
    }
    if (!quick.empty())
        RemoveIfExists(quick + kPinnedStartMenu + link.linkName);
    const std::wstring fullPath = link.folder + L"\\" + link.linkName;
    DebugLine(L"stagehand.exe=>CreateMenuSC lnk_fullpath=" + fullPath);
    RunShellVerb(L"startunpin", fullPath);
    RunShellVerb(L"StartPin", fullPath);
    return true;
}

bool UninstallerForWin7::DeleteQuickstart(std::shared_ptr<Json::Value> action, std::string&)
{
    const std::wstring quick = QuickLaunchFolder(*this);
    if (quick.empty())
        return true;
    const std::wstring link = quick + L"\\" + ActionText(*action, "name") + L".lnk";
    RunShellVerb(L"taskbarunpin", link);
    RunShellVerb(L"startunpin", link);
    DeleteShortCut(link);
    NotifyShellChange(SHCNE_DELETE | SHCNE_INTERRUPT, link);
    return true;
}

bool UninstallerForWin7::DeleteMenuSC(std::shared_ptr<Json::Value> action, std::string&)
{
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        SpecialFolder programs = GetSpecialFolder(csidl);
        if (programs.status == SpecialFolder::LocationFailed)
            DebugLineA("stagehand.exe=>delmenu_win7 SHGetSpecialFolderLocation :%ld\n", static_cast<long>(programs.hr));
        else if (programs.status == SpecialFolder::PathFailed)
            DebugLineA("stagehand.exe=>delmenu_win7 SHGetPathFromIDList error\n");
        std::wstring path = ActionText(*action, "path");
        // Without the folder the path would lead to the root of the drive.
        if (programs.status != SpecialFolder::Found && path.find(Placeholder::kStartMenu) != std::wstring::npos)
            continue;
        path = ExpandKey(*action, "menu", "path", path, {{PlaceholderSource::StartMenu, programs.path}});
        RemoveStartMenuEntry(*this, path, true);
    }
    return true;
}
