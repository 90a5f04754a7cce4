// "setfileassociation" and "removefileassociation".
#include "actions/ActionFields.h"
#include "actions/FileAssociation.h"
#include "actions/Installer.h"
#include "actions/Uninstaller.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"

bool Installer::SetFileAssociation(std::shared_ptr<Json::Value> action, std::string&)
{
    const std::wstring ext = ActionText(*action, "ext");
    const std::wstring appKey = ActionText(*action, "app_key");
    const std::wstring appPath = ExpandedText(*action, "setfileassociation", "app_path");
    const std::wstring iconPath = ExpandedText(*action, "setfileassociation", "icon_path");
    const std::wstring description = ActionText(*action, "description");
    const std::wstring commandName = ActionText(*action, "command_name");
    const std::wstring commandArg = ActionText(*action, "command_arg");

    if (BaseOperation::CheckFileAssociation(ext, appKey, appPath)) {
        DebugLineA("stagehand.exe=>Installer::SetFileAssociation strExt has done,strExt=%s",
                   (*action)["ext"].asString().c_str());
        return true;
    }
    if (!FileSystem::PathExists(iconPath.c_str()))
        DebugLine(L"stagehand.exe=>Installer::SetFileAssociation strIconPath dose not exist,strIconPath=" + iconPath);
    if (!BaseOperation::WriteFileAssociation({ext}, appPath, appKey, iconPath, description, commandName, commandArg))
        DebugLineA("stagehand.exe=>Installer::SetFileAssociation failed");
    return true;
}

bool Uninstaller::RemoveFileAssociation(std::shared_ptr<Json::Value> action, std::string&)
{
    BaseOperation::DeleteFileAssociation(ActionText(*action, "ext"), ActionText(*action, "app_key"));
    return true;
}
