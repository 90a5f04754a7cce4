#include "actions/FileAssociation.h"

#include "actions/BaseOperation.h"
#include "common/DebugOutput.h"
#include "common/Handles.h"

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kUserChoice[] = L"UserChoice";
constexpr wchar_t kProgid[] = L"Progid";
// Values are read into buffers of 520 bytes; longer ones cannot be read.
constexpr DWORD kValueBytes = 520;

// Folds A to Z only; every other unit must match exactly.
wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualFolded(const std::wstring& a, size_t offset, const std::wstring& b, size_t count)
{
    if (a.size() < offset + count || b.size() < count)
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (FoldAscii(a[offset + i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

bool EqualFolded(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && EqualFolded(a, 0, b, b.size());
}

// Reads a text value; ERROR_SUCCESS, or why it cannot be read.
LONG ReadText(HKEY key, const wchar_t* name, std::wstring& text)
{
    wchar_t buffer[kValueBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = 0;
    DWORD bytes = kValueBytes;
    LONG error = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (error != ERROR_SUCCESS)
        return error;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    text.assign(buffer, bytes / sizeof(wchar_t));
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos)
        text.resize(end);
    return ERROR_SUCCESS;
}

// One key name under Software\Classes or a FileExts base: never empty (that
// would name the parent itself) and never a path.
bool IsSingleName(const std::wstring& name)
{
    return !name.empty() && name.find(L'\\') == std::wstring::npos;
}

void DeleteIfNamed(const std::wstring& parent, const std::wstring& name, HKEY root)
{
    if (IsSingleName(name)) {
        BaseOperation::RegDeleteKeyRecursive(parent + name, root);
    } else {
        DebugLine(L"BaseOperation::DeleteFileAssociation() skipped key:'" + parent + name + L"'");
    }
}

}  // namespace

namespace BaseOperation {

std::wstring OpenCommand(const std::wstring& appPath, const std::wstring& commandArg)
{
    std::wstring command = L"\"" + appPath + L"\" -appbind=\"%1\" " + commandArg;
    while (!command.empty() && command.back() == L' ')
        command.pop_back();
    return command;
}

bool CheckFileAssociation(const std::wstring& ext, const std::wstring& appKey, const std::wstring& appPath)
{
    UniqueHKey extKey;
    if (::RegOpenKeyW(HKEY_CLASSES_ROOT, ext.c_str(), extKey.put()) != ERROR_SUCCESS) {
        DebugLine(L"CheckFileAssociation HKEY_CLASSES_ROOT not exist key:" + ext);
        return false;
    }
    std::wstring progId;
    LONG error = ReadText(extKey.get(), nullptr, progId);
    extKey.reset();
    if (error != ERROR_SUCCESS || !EqualFolded(progId, appKey))
        return false;

    const std::wstring commandPath = appKey + L"\\Shell\\Open\\Command";
    UniqueHKey commandKey;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, commandPath.c_str(), 0, KEY_ALL_ACCESS, commandKey.put()) != ERROR_SUCCESS) {
        DebugLine(L"CheckFileAssociation HKEY_CLASSES_ROOT not exist key:" + commandPath);
        return false;
    }
    std::wstring command;
    error = ReadText(commandKey.get(), nullptr, command);
    commandKey.reset();
    if (error != ERROR_SUCCESS)
        return false;
    size_t start = command.find_first_not_of(L" \"");
    std::wstring rest = start == std::wstring::npos ? std::wstring() : command.substr(start);
    if (rest.size() <= appPath.size() || !EqualFolded(rest, 0, appPath, appPath.size()))
        return false;
    const wchar_t after = rest[appPath.size()];
    if (after != L' ' && after != L'"')
        return false;

    bool exists = false;
    if (!CheckExtUserChoice(ext, appKey, kExplorerFileExts, exists))
        return false;
    if (!CheckExtUserChoice(ext, appKey, kRoamingFileExts, exists) && exists)
        return false;
    return true;
}

bool CheckExtUserChoice(const std::wstring& ext, const std::wstring& appKey, const std::wstring& base, bool& keyExists)
{
    keyExists = false;
    const std::wstring path = base + L"\\" + ext;
    UniqueHKey key;
    if (::RegOpenKeyW(HKEY_CURRENT_USER, path.c_str(), key.put()) != ERROR_SUCCESS) {
        DebugLine(L"CheckExtUserChoice HKEY_CURRENT_USER not exist key:" + path);
        return false;
    }
    keyExists = true;
    std::wstring progId;
    LONG error = ReadText(key.get(), kProgid, progId);
    key.reset();
    if (error == ERROR_SUCCESS ? !EqualFolded(progId, appKey) : error != ERROR_FILE_NOT_FOUND)
        return false;

    const std::wstring choicePath = path + L"\\" + kUserChoice;
    UniqueHKey choice;
    if (::RegOpenKeyW(HKEY_CURRENT_USER, choicePath.c_str(), choice.put()) != ERROR_SUCCESS) {
        DebugLine(L"CheckExtUserChoice HKEY_CURRENT_USER not exist key : " + choicePath);
        return false;
    }
    std::wstring chosen;
    error = ReadText(choice.get(), kProgid, chosen);
    return error == ERROR_SUCCESS && EqualFolded(chosen, appKey);
}

bool WriteFileAssociation(const std::vector<std::wstring>& extensions, const std::wstring& appPath,
                          const std::wstring& appKey, const std::wstring& iconPath, const std::wstring& description,
                          const std::wstring& commandName, const std::wstring& commandArg)
{
    if (!WriteFileAssociationUnder(extensions, appPath, appKey, iconPath, description, commandName, commandArg,
                                   HKEY_CURRENT_USER))
        return false;
    return WriteFileAssociationUnder(extensions, appPath, appKey, iconPath, description, commandName, commandArg,
                                     HKEY_LOCAL_MACHINE);
}

bool WriteFileAssociationUnder(const std::vector<std::wstring>& extensions, const std::wstring& appPath,
                               const std::wstring& appKey, const std::wstring& iconPath,
                               const std::wstring& description, const std::wstring& commandName,
                               const std::wstring& commandArg, HKEY root)
{
    // Without a class name the values would land on Software\Classes itself.
    if (!IsSingleName(appKey)) {
        DebugLine(L"BaseOperation::WriteFileAssociationUnder() invalid app_key:'" + appKey + L"'");
        return false;
    }
    const std::wstring classKey = kClasses + appKey;
    if (!SetDefaultValue(classKey, description, root))
        return false;
    if (!SetDefaultValue(classKey + L"\\DefaultIcon", L"\"" + iconPath + L"\"", root))
        return false;
    if (!SetDefaultValue(classKey + L"\\Shell", L"Open", root))
        return false;
    if (!commandName.empty())
        SetDefaultValue(classKey + L"\\Shell\\Open", commandName, root);
    if (!SetDefaultValue(classKey + L"\\Shell\\Open\\Command", OpenCommand(appPath, commandArg), root))
        return false;
    for (const std::wstring& ext : extensions) {
        if (!IsSingleName(ext)) {
            DebugLine(L"BaseOperation::WriteFileAssociationUnder() invalid ext:'" + ext + L"'");
            continue;
        }
        SetDefaultValue(kClasses + ext, appKey, root);
        if (root == HKEY_CURRENT_USER) {
            ResetExtUserChoice(ext, appKey, kExplorerFileExts);
            ResetExtUserChoice(ext, appKey, kRoamingFileExts);
        }
    }
    return true;
}

bool SetDefaultValue(const std::wstring& key, const std::wstring& value, HKEY root)
{
    return SetRegValue(key, L"", value, root);
}

bool ResetExtUserChoice(const std::wstring& ext, const std::wstring& appKey, const std::wstring& base)
{
    {
        UniqueHKey baseKey;
        if (::RegOpenKeyW(HKEY_CURRENT_USER, base.c_str(), baseKey.put()) != ERROR_SUCCESS) {
            DebugLine(L"BaseOperation::ResetExtUserChoice() FileExtsPath not found. FileExtsPath:'" + base + L"'");
            return false;
        }
    }
    const std::wstring path = base + L"\\" + ext;
    // Owned until the reported close at the end, so that no exit path leaks it.
    UniqueHKey owner;
    LONG error = ::RegCreateKeyW(HKEY_CURRENT_USER, path.c_str(), owner.put());
    if (error != ERROR_SUCCESS) {
        DebugLine(L"BaseOperation::ResetExtUserChoice() RegOpenKey key:'" + path + L"' error:" +
                  std::to_wstring(error));
        return false;
    }
    const HKEY key = owner.get();
    UniqueHKey choice;
    if (::RegOpenKeyW(key, kUserChoice, choice.put()) == ERROR_SUCCESS) {
        error = ::RegCloseKey(choice.release());
        if (error != ERROR_SUCCESS)
            DebugLine(L"BaseOperation::ResetExtUserChoice() RegCloseKey key:'" + path + L"' subkey:'" + kUserChoice +
                      L"' error:" + std::to_wstring(error));
        RegDeleteKeyRecursive(kUserChoice, key);
    }
    bool progIdFailed = false;
    std::wstring progId;
    if (ReadText(key, kProgid, progId) == ERROR_SUCCESS) {
        error = ::RegSetValueExW(key, kProgid, 0, REG_SZ, reinterpret_cast<const BYTE*>(appKey.c_str()),
                                 static_cast<DWORD>(appKey.size() * sizeof(wchar_t) + sizeof(wchar_t)));
        if (error != ERROR_SUCCESS) {
            DebugLine(L"BaseOperation::ResetExtUserChoice() RegSetValueEx key:'" + path + L"' valueName:'" + kProgid +
                      L"' value:'" + appKey + L"' error:" + std::to_wstring(error));
            progIdFailed = true;
        }
    }
    const bool chosen = SetRegValue(kUserChoice, kProgid, appKey, key);
    error = ::RegCloseKey(owner.release());
    if (error != ERROR_SUCCESS) {
        DebugLine(L"BaseOperation::ResetExtUserChoice() RegCloseKey key:'" + path + L"' subkey:'" + kUserChoice +
                  L"' value:'" + appKey + L"' error:" + std::to_wstring(error));
        return false;
    }
    return chosen && !progIdFailed;
}

bool DeleteFileAssociation(const std::wstring& ext, const std::wstring& appKey)
{
    const std::wstring explorer =
        std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts") + L"\\";
    const std::wstring roaming = std::wstring(kRoamingFileExts) + L"\\";
    DeleteIfNamed(kClasses, ext, HKEY_CURRENT_USER);
    DeleteIfNamed(kClasses, appKey, HKEY_CURRENT_USER);
    DeleteIfNamed(explorer, ext, HKEY_CURRENT_USER);
    DeleteIfNamed(roaming, ext, HKEY_CURRENT_USER);
    DeleteIfNamed(kClasses, ext, HKEY_LOCAL_MACHINE);
    DeleteIfNamed(kClasses, appKey, HKEY_LOCAL_MACHINE);
    return true;
}

}  // namespace BaseOperation
