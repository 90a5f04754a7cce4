#include "ui/SilentSetupUI.h"

#include <chrono>

#include "engine/model/JsonFields.h"
#include "engine/model/WorkerStop.h"

CSilentSetupUI::CSilentSetupUI(const std::wstring& uiFolder) : iSetupUI(uiFolder) { }

void CSilentSetupUI::ShowPage(const std::wstring& /*page*/, const std::wstring& /*params*/) { }

void CSilentSetupUI::Run()
{
    while (!m_bFinished.load())
        InterruptibleSleep(std::chrono::milliseconds(100));
}

void CSilentSetupUI::OnEngineMessage(MessagePtr message)
{
    if (!message)
        return;
    const std::string type = JsonString(*message, "type");
    if (type == "waitforpath") {
        if (JsonString(*message, "action") == "invalid") {
            MessagePtr answer = MakeMessage("installparameter");
            (*answer)["action"] = "cancel";
            SendToEngine(answer);
        }
    } else if (type == "waitforstopservice") {
        MessagePtr answer = MakeMessage("stopservice");
        (*answer)["stop"] = "stop";
        SendToEngine(answer);
    } else if (type == "waitforrunnow") {
        MessagePtr answer = MakeMessage("runnow");
        (*answer)["runnow"] = false;
        SendToEngine(answer);
    } else if (type == "changestatus") {
        const std::string status = JsonString(*message, "new");
        if (status == "install_success" || status == "uninstall_success") {
            m_bResult.store(true);
            m_bFinished.store(true);
        } else if (status == "install_error" || status == "uninstall_error") {
            m_bFinished.store(true);
        }
    } else if (type == "waitforuninstall") {
        MessagePtr answer = MakeMessage("uninstallparameter");
        (*answer)["action"] = "ok";
        (*answer)["deleteall"] = true;
        (*answer)["deleteservice"] = true;
        Json::Value reason(Json::arrayValue);
        reason.append(" ");
        (*answer)["reason"] = reason;
        SendToEngine(answer);
    }
}
