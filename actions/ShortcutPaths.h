#pragma once
// Folder names and small path helpers shared by the shortcut operations.
#include <json/json.h>

#include <functional>
#include <string>

#include "actions/InstallTools.h"

namespace ShortcutPaths {

// Under the roaming application-data folder.
inline constexpr wchar_t kQuickLaunch[] = L"\\Microsoft\\Internet Explorer\\Quick Launch";
// Under the quick-launch folder: the shell's copies of pinned links.
inline constexpr wchar_t kPinnedTaskBar[] = L"\\User Pinned\\TaskBar\\";
inline constexpr wchar_t kPinnedStartMenu[] = L"\\User Pinned\\StartMenu\\";

// A key's text with the operation's placeholders expanded (iInstaller::ExpandKey).
using KeyExpander = std::function<std::wstring(const char* key, std::wstring text)>;

// "path", "name", "params" and "icon" of a "desktop" or "quickstart"
// action, "path" and "icon" expanded.
struct LinkFields {
    std::wstring path;
    std::wstring name;
    std::wstring params;
    std::wstring icon;
};
LinkFields ReadLinkFields(const Json::Value& action, const KeyExpander& expand);

// "path", "dst", "params" and "icon" of an install "menu" action, expanded:
// "path" split into the folder and the link name.
struct MenuLink {
    std::wstring folder;
    std::wstring linkName;
    std::wstring dst;
    std::wstring params;
    std::wstring icon;
};
MenuLink ReadMenuLink(const Json::Value& action, const KeyExpander& expand);
// Creates the folder with its missing parents; false with the reason when it cannot.
bool MakeFolder(const std::wstring& folder, std::string& reason);

// The key's text when it is a JSON string, otherwise "".
std::wstring StringOnly(const Json::Value& action, const char* key);
// The part after the last backslash (the whole text without one).
std::wstring FileNamePart(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Deletes the file when it exists.
void RemoveIfExists(const std::wstring& path);

// Uninstall "menu": a path ending with a backslash is a folder, removed when
// empty; otherwise a link, unpinned first when withVerbs, then deleted.
void RemoveStartMenuEntry(const InstallTools& tools, const std::wstring& path, bool withVerbs);

}  // namespace ShortcutPaths
