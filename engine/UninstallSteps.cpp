// The uninstall check, the questionnaire sender, the silent watchdog, and the
// channel record written after an install.
#include <windows.h>

#include <thread>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/HttpClient.h"
#include "common/MachineIdentity.h"
#include "engine/InstallEngine.h"
#include "engine/Questionnaire.h"
#include "engine/RegistryRead.h"
#include "engine/SetupManager.h"
#include "engine/UninstallCleanUp.h"

namespace {

const char kDefaultChannel[] = "Qm9ndXNDaGFubmVsVmFsdWVGb3JTcGVjT25seTEyMzQ=";

// A string value of up to 259 units; anything else (another type, no room
// for the terminator) reads as missing.
bool ReadString(HKEY key, const wchar_t* name, std::wstring& value)
{
    return ReadRegString(key, name, 520, 519, value);
}

bool WriteChannel(HKEY key, const std::wstring& channel)
{
    return ::RegSetValueExW(key, L"ChannelID", 0, REG_SZ, reinterpret_cast<const BYTE*>(channel.c_str()),
                            static_cast<DWORD>(channel.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Whether a product other than the given ones is registered under the service key and still installed.
bool AnotherProductUsesService(const std::wstring& serviceKey, const std::vector<std::wstring>& products)
{
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, serviceKey.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        return false;
    for (DWORD index = 0;; ++index) {
        wchar_t name[260] = {};
        DWORD nameSize = 260;
        if (::RegEnumKeyExW(key.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        bool own = false;
        for (const auto& product : products)
            own = own || product == name;
        if (own)
            continue;
        UniqueHKey entry;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (serviceKey + L"\\" + name).c_str(), 0, KEY_QUERY_VALUE, entry.put()) !=
            ERROR_SUCCESS)
            continue;
        std::wstring path;
        if (ReadString(entry.get(), L"AppInstallPath", path) && !path.empty() && FileSystem::PathExists(path.c_str()))
            return true;
    }
    return false;
}

}  // namespace

bool CheckUninstallComponents(SetupRun& run)
{
    std::wstring serviceKey;
    std::vector<std::wstring> products;
    for (const auto& record : run.vecAll) {
        std::wstring regKey = CCodeChange::StringUTF8toUTF16(record->strRegKey);
        if (IsServiceComponent(*record)) {
            serviceKey = regKey;
        } else {
            size_t slash = regKey.rfind(L'\\');
            products.push_back(slash == std::wstring::npos ? std::wstring() : regKey.substr(slash + 1));
        }
    }
    bool anotherProduct = !serviceKey.empty() && AnotherProductUsesService(serviceKey, products);
    for (const auto& record : run.vecAll) {
        if (!record->bSelected)
            continue;
        if (IsServiceComponent(*record)) {
            if (!anotherProduct) {
                g_bRemoveServiceDir = true;
                g_wstrServiceDir = CCodeChange::StringUTF8toUTF16(record->strInstallDir);
                run.vecSelected.push_back(record);
            }
            run.pUninstallParam->strServiceDir = record->strInstallDir;
        } else {
            run.vecSelected.push_back(record);
            run.pUninstallParam->strInstallPath = record->strInstallDir;
        }
    }
    return true;
}

void SetupManager::StartQuestionnaireSender()
{
    std::shared_ptr<SetupManager> self = shared_from_this();
    Json::Value reason = m_run.pUninstallParam->jsReason;
    std::thread([self, reason]() {
        try {
            self->SendQuestionnaire(reason);
        } catch (...) {
            // The questionnaire never affects the uninstall.
        }
    }).detach();
}

bool SetupManager::SendQuestionnaire(const Json::Value& reason)
{
    std::string clientVersion;
    for (const auto& record : m_run.vecSelected) {
        if (!IsServiceComponent(*record)) {
            clientVersion = record->strVersion;
            break;
        }
    }
    HttpPost(SurveyUrl(), BuildQuestionnaireBody(reason, GetMacAddress(), clientVersion));
    return true;
}

void SetupManager::StartWatchdog()
{
    std::thread([] {
        ::Sleep(3000);
        ::TerminateProcess(::GetCurrentProcess(), 0);
    }).detach();
}

void SetupManager::CheckChannelID()
{
    std::wstring& channel = CInstallEngine::m_wstrChannelId;
    const std::wstring defaultChannel = CCodeChange::StringUTF8toUTF16(kDefaultChannel);
    if (channel.empty() || channel == defaultChannel) {
        UniqueHKey service;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orbisoft\\Service", 0, KEY_QUERY_VALUE, service.put()) ==
            ERROR_SUCCESS) {
            std::wstring recorded;
            if (ReadString(service.get(), L"ChannelID", recorded))
                channel = recorded;
        }
    }
    if (channel.empty() || channel == defaultChannel)
        return;
    UniqueHKey app;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orbisoft\\Larkspur", 0, KEY_ALL_ACCESS, app.put()) !=
        ERROR_SUCCESS)
        return;
    std::wstring recorded;
    if (ReadString(app.get(), L"ChannelID", recorded) && !recorded.empty())
        return;
    if (!WriteChannel(app.get(), channel))
        DebugLine(L"stagehand.exe=>SetupManager::CheckChannelID() rewrite aQuayside ChannelID error");
    UniqueHKey entry;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orbisoft\\Service\\Larkspur", 0, KEY_ALL_ACCESS, entry.put()) ==
        ERROR_SUCCESS) {
        if (!WriteChannel(entry.get(), channel))
            DebugLine(L"stagehand.exe=>SetupManager::CheckChannelID() rewrite under Service Larkspur ChannelID error");
    }
}
