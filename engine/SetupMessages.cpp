// The message vocabulary of SetupManager: commands from the UI, status and
// progress messages to it.
#include <utility>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "engine/InstallEngine.h"
#include "engine/model/InstallPath.h"
#include "engine/model/JsonFields.h"
#include "engine/SetupManager.h"

namespace {

// "processlist" detail texts by verb; fields are inserted as written.
std::string ActionDetail(const Json::Value& action)
{
    const std::string verb = JsonString(action, "action");
    auto f = [&action](const char* key) { return JsonString(action, key); };
    if (verb == "mkdir")
        return "mkdir:" + f("dirname");
    if (verb == "copyfile")
        return "copy:" + f("src") + " -> " + f("dst");
    if (verb == "writereg")
        return "writereg:" + f("CLASS") + " " + f("KEY") + " " + f("SUBKEY") + " " + f("value");
    if (verb == "desktop")
        return "createdesktop:" + f("name");
    if (verb == "quickstart")
        return "create taskbar:" + f("name");
    if (verb == "menu")
        return "create startmenu:" + f("path");
    if (verb == "killprocess")
        return "killexe:" + f("path");
    if (verb == "delregvalue")
        return "del reg value:" + f("CLASS") + f("KEY") + " " + f("SUBKEY");
    if (verb == "delregkey")
        return "del reg key:" + f("CLASS") + " " + f("KEY");
    if (verb == "delfile")
        return "del file:" + f("path");
    if (verb == "deldir")
        return "del dir:" + f("path");
    return std::string();
}

bool HasDetail(const std::string& verb)
{
    static const char* const kVerbs[] = {"mkdir",       "copyfile",    "writereg",  "desktop", "quickstart", "menu",
                                         "killprocess", "delregvalue", "delregkey", "delfile", "deldir"};
    for (const char* known : kVerbs) {
        if (verb == known)
            return true;
    }
    return false;
}

}  // namespace

void SetupManager::SendToUI(MessagePtr message)
{
    (*m_pMessageSignal)(std::move(message));
}

void SetupManager::ChangeStatus(int32_t status)
{
    m_run.nOldStatus = m_run.nStatus;
    m_run.nStatus = status;
    MessagePtr message = MakeMessage("changestatus");
    (*message)["old"] = StatusName(m_run.nOldStatus);
    (*message)["new"] = StatusName(m_run.nStatus);
    if (status == STATUS_UNINSTALL_SUCCESS)
        (*message)["delete"] = true;
    SendToUI(std::move(message));
}

void SetupManager::ReportAction(int32_t nProgress, std::shared_ptr<Json::Value> action)
{
    MessagePtr message = MakeMessage("processlist");
    (*message)["progress"] = nProgress;
    if (action && HasDetail(JsonString(*action, "action")))
        (*message)["detail"] = ActionDetail(*action);
    SendToUI(std::move(message));
}

void SetupManager::SendLanguage()
{
    MessagePtr message = MakeMessage("setlanguage");
    (*message)["lan"] = CCodeChange::StringUTF16toUTF8(CInstallEngine::m_wstrLanguage);
    SendToUI(std::move(message));
}

void SetupManager::OnCommand(MessagePtr message)
{
    if (!message)
        return;
    const Json::Value& command = *message;
    const std::string type = JsonString(command, "type");

    // An answer is taken only while a question is open: its fields are then
    // written while the worker waits, and read by it after the release.
    auto answerable = [this, &type] {
        if (!m_bCancelled.load() && m_bAnswerOpen.load())
            return true;
        DebugLineA("stagehand.exe=>SetupManager::OnCommand no question waits for %s", type.c_str());
        return false;
    };

    if (type == "startinstall") {
        m_run.bUninstall = false;
        m_run.bNoSc = JsonBool(command, "nosc");
        m_run.bSilent = JsonBool(command, "silent");
        StartInstall();
    } else if (type == "startuninstall") {
        m_run.bUninstall = true;
        m_run.bSilent = JsonBool(command, "silent");
        m_run.bNoSc = JsonBool(command, "nosc");
        StartUninstall();
    } else if (type == "cancel") {
        Cancel();
    } else if (type == "stopservice") {
        if (answerable()) {
            m_run.strStopAnswer = JsonString(command, "stop");
            ReleaseWait();
        }
    } else if (type == "versioncheck") {
        if (answerable()) {
            m_run.strVersionAnswer = JsonString(command, "action");
            ReleaseWait();
        }
    } else if (type == "runnow") {
        if (answerable())
            ReleaseWait();
    } else if (type == "installparameter") {
        if (answerable()) {
            m_run.strParamAnswer = JsonString(command, "action");
            if (m_run.strParamAnswer != "cancel")
                ApplyInstallParameter(command);
            ReleaseWait();
        }
    } else if (type == "uninstallparameter") {
        if (answerable()) {
            m_run.strParamAnswer = JsonString(command, "action");
            if (m_run.strParamAnswer == "cancel") {
                ReleaseWait();
            } else {
                ApplyUninstallParameter(command);
                ReleaseWait();
                StartQuestionnaireSender();
            }
        }
    }
    // "installcontrol" and unknown types change nothing.
}

void SetupManager::ApplyInstallParameter(const Json::Value& command)
{
    m_run.pInstallParam->bDesktop = JsonBool(command, "desktop");
    m_run.pInstallParam->bQuick = JsonBool(command, "quick");
    const std::string path = CleanPathName(JsonString(command, "path"));
    m_run.pInstallParam->strInstallPath = path;
    const bool aNoShortcut = JsonBool(command, "anoshortcut");
    const bool iNoShortcut = JsonBool(command, "inoshortcut");
    for (const SetupListPtr& record : m_run.vecSelected) {
        if (!IsServiceComponent(*record))
            record->strInstallDir = path;
        if (record->strName == "aQuayside")
            record->bNoShortCut = aNoShortcut;
        else if (record->strName == "iQuayside")
            record->bNoShortCut = iNoShortcut;
    }
}

void SetupManager::ApplyUninstallParameter(const Json::Value& command)
{
    m_run.pUninstallParam->bDeleteAll = JsonBool(command, "deleteall");
    m_run.pUninstallParam->bDeleteService = JsonBool(command, "deleteservice");
    m_run.pUninstallParam->jsReason = JsonMember(command, "reason");
}
