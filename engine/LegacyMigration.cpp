#include "engine/LegacyMigration.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/InstallEngine.h"

const wchar_t kLegacyUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{02B934E4-C574-4605-842B-01CD16295185}_is1";

void CopyV3Configure()
{
    const std::wstring publicDocuments = FileSystem::GetSpecialFolderPath(CSIDL_COMMON_DOCUMENTS);
    const std::wstring myDocuments = FileSystem::GetSpecialFolderPath(CSIDL_PERSONAL);
    const std::wstring commonAppData = FileSystem::GetSpecialFolderPath(CSIDL_COMMON_APPDATA);
    if (publicDocuments.empty()) {
        DebugLine(L"stagehand.exe=>CopyV3Configure wstrPublicDocumentPath is null");
        return;
    }
    const std::wstring migration = publicDocuments + L"\\Quayside";
    const std::wstring oldFiles = migration + L"\\OldFiles";
    FileSystem::CreateDirectoryTree(oldFiles);

    const std::wstring dataCopy = oldFiles + L"\\UserDataStorage.db";
    const std::wstring configCopy = oldFiles + L"\\ProductCfg.ini";
    // A source folder that is unknown names no file; missing sources are skipped.
    if (!myDocuments.empty())
        ::CopyFileW((myDocuments + L"\\Pellworth\\UserDataStorage\\UserDataStorage.db").c_str(), dataCopy.c_str(),
                    FALSE);
    if (!commonAppData.empty())
        ::CopyFileW((commonAppData + L"\\Pellworth\\ProductCfg.ini").c_str(), configCopy.c_str(), FALSE);

    const std::wstring index = migration + L"\\OldConfig.ini";
    FileSystem::WriteIniString(index, L"Files", L"IsStartquayMigration", L"0");
    FileSystem::WriteIniString(index, L"Files", L"MydocumentsV3Dir", myDocuments);
    FileSystem::WriteIniString(index, L"Files", L"ProductCfgFile", configCopy);
    FileSystem::WriteIniString(index, L"Files", L"UserDataStorageFile", dataCopy);
}

void SilentUninstallV3()
{
    const std::wstring& from = CInstallEngine::m_wstrFrom;
    if (from != L"v3update" && from != L"v3onlineinstaller")
        return;
    CopyV3Configure();
    DebugLine(L"stagehand.exe=>SilentUninstallV3 begin");

    std::wstring command;
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLegacyUninstallKey, 0, KEY_READ, &raw) == ERROR_SUCCESS) {
        UniqueHKey key(raw);
        std::vector<wchar_t> buffer(520 / sizeof(wchar_t) + 1, L'\0');
        DWORD type = 0;
        DWORD size = 519;
        if (::RegQueryValueExW(key.get(), L"UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                               &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ))
            command.assign(buffer.data());
    }
    if (!command.empty()) {
        const std::wstring parameters = L" /NDSILENT /VERYSILENT";
        DebugLine(L"stagehand.exe=>SilentUninstall path=" + command + L",parameter=" + parameters);
        ::ShellExecuteW(nullptr, nullptr, command.c_str(), parameters.c_str(), nullptr, SW_HIDE);
    }
    DebugLine(L"stagehand.exe=>SilentUninstallV3 end");
}
