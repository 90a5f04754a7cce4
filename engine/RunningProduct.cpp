// Asking running components to quit before their files change.
#include <windows.h>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "common/Handles.h"
#include "common/ProcessOperation.h"
#include "common/WindowMessage.h"
#include "engine/QuitRequest.h"
#include "engine/RegistryRead.h"
#include "engine/SetupManager.h"

namespace {

const wchar_t kDeviceServiceWindowClass[] = L"Larkspur_DeviceProxy_MainWindow_123456789";

bool IsRunning(const _SetupList& record)
{
    UniqueHandle mutex(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, CCodeChange::StringUTF8toUTF16(record.strMutex).c_str()));
    if (!mutex)
        return false;
    mutex.reset();
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, CCodeChange::StringUTF8toUTF16(record.strRegKey).c_str(), 0,
                        KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return false;
    std::wstring path;
    if (!ReadRegString(key.get(), L"AppInstallPath", 520, 519, path))
        return false;
    return static_cast<bool>(FindProcessByPath(path));
}

void SendFramework(const std::string& text)
{
    HWND window = ::FindWindowW(kDeviceServiceWindowClass, nullptr);
    if (!window)
        return;
    // A hung receiver must not hold the install: the send gives up after a time-out.
    SendCopyData(window, 999, text);
}

}  // namespace

bool SetupManager::StopRunningProduct(std::string& answer)
{
    bool serviceTakesPart = false;
    std::string serviceId;
    std::vector<std::string> running;
    for (const auto& record : m_run.vecSelected) {
        if (IsServiceComponent(*record)) {
            if (record->bSelected) {
                serviceTakesPart = true;
                serviceId = record->strId;
            }
            continue;
        }
        if (IsRunning(*record))
            running.push_back(record->strId);
    }
    if (running.empty())
        return true;

    Ask(MakeMessage("waitforstopservice"));
    if (m_run.strStopAnswer == "retry" || m_run.strStopAnswer == "cancel") {
        answer = m_run.strStopAnswer;
        return false;
    }
    for (const auto& id : running) {
        if (!::FindWindowW(kDeviceServiceWindowClass, nullptr))
            continue;
        std::string message = QuitRequest(id);
        DebugLineA("stagehand.exe=>Send a message to the client, let it off:%s", message.c_str());
        SendFramework(message);
    }
    if (serviceTakesPart && !serviceId.empty() && ::FindWindowW(kDeviceServiceWindowClass, nullptr)) {
        std::string message = ServiceQuitRequest();
        DebugLineA("stagehand.exe=>To send a message to the agent, let it off:%s", message.c_str());
        SendFramework(message);
    }
    return true;
}
