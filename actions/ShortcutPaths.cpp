#include "actions/ShortcutPaths.h"

#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <filesystem>

#include "actions/ActionFields.h"
#include "actions/Placeholders.h"
#include "common/CodeChange.h"

namespace ShortcutPaths {

LinkFields ReadLinkFields(const Json::Value& action, const KeyExpander& expand)
{
    LinkFields fields;
    fields.path = ActionText(action, "path");
    fields.name = ActionText(action, "name");
    fields.params = StringOnly(action, "params");
    fields.icon = StringOnly(action, "icon");
    fields.path = expand("path", fields.path);
    fields.icon = expand("icon", fields.icon);
    return fields;
}

MenuLink ReadMenuLink(const Json::Value& action, const KeyExpander& expand)
{
    MenuLink link;
    const std::wstring path = expand("path", ActionText(action, "path"));
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) {
        link.folder = path.substr(0, slash);
        link.linkName = path.substr(slash + 1);
    } else {
        link.linkName = path;
    }
    link.dst = ActionText(action, "dst");
    link.params = StringOnly(action, "params");
    link.icon = StringOnly(action, "icon");
    link.dst = expand("dst", link.dst);
    link.icon = expand("icon", link.icon);
    return link;
}

bool MakeFolder(const std::wstring& folder, std::string& reason)
{
    std::error_code error;
    if (folder.empty())
        error = std::make_error_code(std::errc::invalid_argument);
    else if (!std::filesystem::exists(folder, error))
        std::filesystem::create_directories(folder, error);
    if (error)
        reason = error.message();
    return !error;
}

std::wstring StringOnly(const Json::Value& action, const char* key)
{
    const Json::Value& value = action[key];
    if (!value.isString())
        return std::wstring();
    return CCodeChange::StringUTF8toUTF16(value.asString());
}

std::wstring FileNamePart(const std::wstring& path)
{
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool FileExists(const std::wstring& path)
{
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveIfExists(const std::wstring& path)
{
    if (FileExists(path))
        ::DeleteFileW(path.c_str());
}

void RemoveStartMenuEntry(const InstallTools& tools, const std::wstring& path, bool withVerbs)
{
    if (path.empty())
        return;
    if (path.back() == L'\\') {
        if (::PathIsDirectoryW(path.c_str()) && ::PathIsDirectoryEmptyW(path.c_str()) &&
            ::RemoveDirectoryW(path.c_str()))
            InstallTools::NotifyShellChange(SHCNE_RMDIR | SHCNE_INTERRUPT, path);
        return;
    }
    if (withVerbs) {
        tools.RunShellVerb(L"startunpin", path);
        tools.RunShellVerb(L"taskbarunpin", path);
    }
    InstallTools::DeleteShortCut(path);
    InstallTools::NotifyShellChange(SHCNE_DELETE | SHCNE_INTERRUPT, path);
}

}  // namespace ShortcutPaths
