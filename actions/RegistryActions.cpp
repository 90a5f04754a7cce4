// Registry verbs of both executors.
#include <windows.h>

#include "actions/ActionFields.h"
#include "actions/Installer.h"
#include "actions/RegistryRoot.h"
#include "actions/RegistryValue.h"
#include "actions/Uninstaller.h"
#include "common/DebugOutput.h"
#include "common/Handles.h"

namespace {

struct RegWrite {
    std::wstring cls;
    std::wstring key;
    std::wstring subkey;
    std::wstring value;
    bool bCover = true;
};

// Opens (or creates) the key, honours bCover and stores the value. Every
// failure is a debug line; the verb goes on.
void PerformWriteReg(const Json::Value& action, const RegWrite& write)
{
    HKEY root = RootKeyFromClass(write.cls);
    LONG error = ERROR_INVALID_HANDLE;
    UniqueHKey key;
    if (root != nullptr)
        error = ::RegCreateKeyExW(root, write.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (error != ERROR_SUCCESS) {
        DebugLineA("stagehand.exe=>writereg RegCreateKeyEx :%ld%s", static_cast<long>(error),
                   (",key=" + ActionStyled(action) + "\n").c_str());
        return;
    }
    if (!write.bCover) {
        std::wstring stored;
        // The whole stored text counts, however long it is.
        if (ReadRegText(key.get(), write.subkey, stored) && !stored.empty()) {
            DebugLine(L"stagehand.exe=>writereg" + write.subkey + L" is not null, wstrData = " + stored + L"\n");
            return;
        }
    }
    error = WriteRegText(key.get(), write.subkey, write.value);
    if (error != ERROR_SUCCESS) {
        DebugLineA("stagehand.exe=>writereg RegSetValueEx :%ld%s", static_cast<long>(error),
                   (",key=" + ActionStyled(action) + "\n").c_str());
    }
}

RegWrite ReadRegWrite(const Json::Value& action)
{
    RegWrite write;
    write.cls = ActionText(action, "CLASS");
    write.key = ActionText(action, "KEY");
    write.subkey = ActionText(action, "SUBKEY");
    write.value = ActionText(action, "value");
    return write;
}

// One pass: deletes what it can of path's subtree under root, then path.
// True when it found subkeys; deleted counts every key removed at any depth,
// so passes go on while any of them makes progress.
bool DeleteKeyPass(HKEY root, const std::wstring& path, int& deleted)
{
    bool found = false;
    {
        UniqueHKey key;
        if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS) {
            wchar_t name[519];
            for (DWORD index = 0;; ++index) {
                DWORD length = 519;
                if (::RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS)
                    break;
                found = true;
                std::wstring child(name, length);
                DeleteKeyPass(root, path + L"\\" + child, deleted);
                if (::RegDeleteKeyW(key.get(), child.c_str()) == ERROR_SUCCESS)
                    ++deleted;
            }
        }
    }
    if (::RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS)
        ++deleted;
    return found;
}

}  // namespace

bool Installer::WriteReg(std::shared_ptr<Json::Value> action, std::string&)
{
    RegWrite write = ReadRegWrite(*action);
    write.bCover = ActionBool(*action, "bCover", true);
    write.value = ExpandKey(*action, "writereg", "value", write.value);
    write.key = ExpandKey(*action, "writereg", "KEY", write.key);
    PerformWriteReg(*action, write);
    return true;
}

bool Installer::WriteRegSilent(std::shared_ptr<Json::Value> action, std::string& result)
{
    if (m_pManager->IsNoSc())
        WriteReg(action, result);
    return true;
}

bool Installer::WriteConfig(std::shared_ptr<Json::Value> action, std::string& result)
{
    auto component = CurrentComponent();
    (*action)["CLASS"] = "HKLM";
    (*action)["KEY"] = "$REGKEY$";
    (*action)["SUBKEY"] = "bNoShortCut";
    (*action)["value"] = (component && component->bNoShortCut) ? "1" : "0";
    return WriteReg(action, result);
}

bool Installer::WriteInstallTime(std::shared_ptr<Json::Value> action, std::string& result)
{
    (*action)["value"] = Utf8(m_wstrInstallTime);
    return WriteReg(action, result);
}

bool Uninstaller::WriteReg(std::shared_ptr<Json::Value> action, std::string&)
{
    RegWrite write = ReadRegWrite(*action);
    write.value = ExpandKey(*action, "writereg", "value", write.value);
    PerformWriteReg(*action, write);
    return true;
}

bool Uninstaller::DeleteRegKey(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring key = ExpandedText(*action, "delregkey", "KEY");
    HKEY root = RootKeyFromClass(ActionText(*action, "CLASS"));
    if (root != nullptr && !key.empty())
        ::RegDeleteKeyW(root, key.c_str());
    return true;
}

bool Uninstaller::DeleteRegValue(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring key = ExpandedText(*action, "delregvalue", "KEY");
    std::wstring subkey = ActionText(*action, "SUBKEY");
    HKEY root = RootKeyFromClass(ActionText(*action, "CLASS"));
    UniqueHKey opened;
    LONG error = root ? ::RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS, opened.put()) : ERROR_INVALID_HANDLE;
    if (error != ERROR_SUCCESS) {
        DebugLineA("stagehand.exe=>delregkey RegOpenKeyExA:%ld%s", static_cast<long>(error),
                   (",key=" + ActionStyled(*action) + "\n").c_str());
        return true;
    }
    ::RegDeleteValueW(opened.get(), subkey.c_str());
    return true;
}

bool Uninstaller::DeleteRegKeyEx(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring key = ExpandedText(*action, "delregkeyex", "KEY");
    HKEY root = RootKeyFromClass(ActionText(*action, "CLASS"));
    // An empty path would name the root itself.
    if (root == nullptr || key.empty())
        return true;
    for (;;) {
        int deleted = 0;
        if (!DeleteKeyPass(root, key, deleted) || deleted == 0)
            break;
    }
    return true;
}
