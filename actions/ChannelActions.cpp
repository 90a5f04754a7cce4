// The channel record: writing it at install time and handing it on to the
// most recently installed remaining product at uninstall time.
#include <windows.h>

#include <map>

#include "actions/ActionFields.h"
#include "actions/ChannelDefaults.h"
#include "actions/Installer.h"
#include "actions/RegistryRoot.h"
#include "actions/RegistryValue.h"
#include "actions/Uninstaller.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"

bool Installer::WriteChannel(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring cls = ActionText(*action, "CLASS");
    std::wstring key = ActionText(*action, "KEY");
    std::wstring subkey = ActionText(*action, "SUBKEY");
    std::wstring value = ActionText(*action, "value");
    const std::wstring channelId = m_pManager->GetChannelId();
    if (!channelId.empty())
        value = channelId;
    if (value == kDefaultChannelId)
        return true;
    if (subkey.empty())
        subkey = kChannelValueName;
    value = ExpandKey(*action, "channel", "value", value);
    key = ExpandKey(*action, "channel", "KEY", key);

    HKEY root = RootKeyFromClass(cls);
    LONG error = ERROR_INVALID_HANDLE;
    UniqueHKey opened;
    if (root != nullptr)
        error = ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, opened.put(), nullptr);
    if (error != ERROR_SUCCESS) {
        DebugLineA("stagehand.exe=>writechannel RegCreateKeyEx :%ld%s", static_cast<long>(error),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    error = WriteRegText(opened.get(), subkey, value);
    if (error != ERROR_SUCCESS) {
        DebugLineA("stagehand.exe=>writechannel channel :%ld%s", static_cast<long>(error),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
    }
    return true;
}

bool Uninstaller::RewriteChannelID(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring cls = ActionText(*action, "CLASS");
    std::wstring parentPath = ActionText(*action, "KEY");
    std::wstring subkey = ActionText(*action, "SUBKEY");
    std::wstring current = ActionText(*action, "CURKEYNAME");
    if (subkey.empty())
        subkey = kChannelValueName;
    HKEY root = RootKeyFromClass(cls);
    UniqueHKey parent;
    if (root == nullptr || ::RegOpenKeyExW(root, parentPath.c_str(), 0, KEY_ALL_ACCESS, parent.put()) != ERROR_SUCCESS)
        return true;

    // Install times compare as text: "9" is later than "10000".
    std::map<std::wstring, std::wstring> candidates;
    wchar_t name[519];
    for (DWORD index = 0;; ++index) {
        DWORD length = 519;
        if (::RegEnumKeyExW(parent.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::wstring child(name, length);
        if (child == current)
            continue;
        std::wstring path = parentPath + L"\\" + child;
        UniqueHKey product;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, product.put()) != ERROR_SUCCESS)
            continue;
        std::wstring installPath;
        if (!ReadRegText(product.get(), L"AppInstallPath", installPath, 519) || installPath.empty() ||
            !FileSystem::PathExists(installPath.c_str()))
            continue;
        std::wstring installTime;
        if (ReadRegText(product.get(), L"InstallTime", installTime))
            candidates.emplace(installTime, path);
    }
    if (candidates.empty())
        return true;

    const std::wstring& latest = candidates.rbegin()->second;
    UniqueHKey product;
    if (::RegOpenKeyExW(root, latest.c_str(), 0, KEY_QUERY_VALUE, product.put()) != ERROR_SUCCESS)
        return true;
    std::wstring channel;
    if (ReadRegText(product.get(), subkey, channel, 519) && !channel.empty())
        WriteRegText(parent.get(), subkey, channel);
    return true;
}
