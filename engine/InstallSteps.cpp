// The install run's folder question, the wait for the product files and the run list.
#include <windows.h>
#include <shellapi.h>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/MediumStart.h"
#include "engine/BodyWait.h"
#include "engine/InstallEngine.h"
#include "engine/model/InstallPath.h"
#include "engine/SetupManager.h"
#include "engine/model/WorkerStop.h"

namespace {

void ReplaceFirst(std::wstring& text, const std::wstring& token, const std::wstring& value)
{
    size_t pos = text.find(token);
    if (pos != std::wstring::npos)
        text.replace(pos, token.size(), value);
}

}  // namespace

std::wstring ProductListArgument(const SetupRun& run)
{
    std::wstring names;
    for (const auto& record : run.vecSelected) {
        if (IsServiceComponent(*record) || record->bNoShortCut)
            continue;
        if (!names.empty())
            names += L",";
        names += CCodeChange::StringUTF8toUTF16(record->strName);
    }
    return L"-productlist=\"" + names + L"\"";
}

void SetupManager::AskInstallPath()
{
    if (CInstallEngine::m_bSkipSelect) {
        MessagePtr skip = MakeMessage("waitforpath");
        (*skip)["action"] = "skip";
        SendToUI(skip);
        ChangeStatus(STATUS_INSTALL_UNINSTALL);
        return;
    }
    if (!m_run.bSilent) {
        for (const auto& record : m_run.vecSelected) {
            if (!IsServiceComponent(*record) && !record->strInstallDir.empty()) {
                MessagePtr proposal = MakeMessage("setinstallpath");
                (*proposal)["path"] = record->strInstallDir;
                SendToUI(proposal);
                break;
            }
        }
        MessagePtr ask = MakeMessage("waitforpath");
        (*ask)["action"] = "ask";
        Ask(ask);
    }
    for (;;) {
        // A cancel of the run releases the question without an answer: the
        // run ends here, with no further status and no new question.
        if (m_bCancelled.load()) {
            ::InterruptionPoint();
            return;
        }
        if (m_run.strParamAnswer == "cancel") {
            ChangeStatus(STATUS_INSTALL_ERROR);
            return;
        }
        std::wstring code;
        if (CheckInstallPath(CCodeChange::StringUTF8toUTF16(m_run.pInstallParam->strInstallPath), code)) {
            ChangeStatus(STATUS_INSTALL_UNINSTALL);
            return;
        }
        MessagePtr invalid = MakeMessage("waitforpath");
        (*invalid)["action"] = "invalid";
        (*invalid)["error"] = CCodeChange::StringUTF16toUTF8(code);
        Ask(invalid);
    }
}

bool SetupManager::WaitForBody()
{
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder = module;
    folder.erase(folder.rfind(L'\\') == std::wstring::npos ? 0 : folder.rfind(L'\\') + 1);
    DebugLine(L"stagehand.exe=>Judge body decompression is completed");
    // setup started the engine and unpacks the body: when it ends without a
    // marker nobody will ever write one.
    UniqueHandle setup = OpenParentProcess();
    switch (WaitForBodyFiles(folder, setup.get())) {
    case BodyState::Ready:
        DebugLine(L"stagehand.exe=>Body unzip");
        return true;
    case BodyState::Failed:
        DebugLine(L"stagehand.exe=>The product files did not unpack completely");
        return false;
    case BodyState::SetupGone:
        DebugLine(L"stagehand.exe=>setup ended before the product files were complete");
        return false;
    }
    return false;
}

void SetupManager::RunList()
{
    Ask(MakeMessage("waitforrunnow"));
    if (!CInstallEngine::m_bNoStart)
        m_run.wstrProductList = ProductListArgument(m_run);
    for (const auto& record : m_run.vecSelected)
        RunComponentList(*record);
}

void SetupManager::RunComponentList(const _SetupList& record)
{
    for (const auto& entryPtr : record.vecRunList) {
        const Json::Value& entry = *entryPtr;
        if (!entry.isObject())
            continue;
        const Json::Value& runnow = entry["runnow"];
        bool runNow = runnow.isIntegral() && !runnow.isBool() && runnow.asInt64() == 1;
        if (!runNow && CInstallEngine::m_bNoStart)
            continue;
        bool addExternal = entry.isMember("bAddExternalPara") && entry["bAddExternalPara"].isBool() &&
                           entry["bAddExternalPara"].asBool();
        const Json::Value& pathValue = entry["path"];
        std::wstring path = pathValue.isString() ? CCodeChange::StringUTF8toUTF16(pathValue.asString()) : L"";
        ReplaceFirst(path, L"$PROGRAMDIR$", CCodeChange::StringUTF8toUTF16(record.strInstallDir));
        ReplaceFirst(path, L"$SERVICEDIR$", CCodeChange::StringUTF8toUTF16(m_run.pInstallParam->strServiceDir));
        if (path.empty() || !FileSystem::PathExists(path.c_str()))
            continue;
        std::string level = entry["integrity_level"].isString() ? entry["integrity_level"].asString() : "high";

        std::wstring command = path;
        std::wstring parameters;
        if (addExternal) {
            command = L"\"" + path + L"\" " + CInstallEngine::m_wstrCmdLine;
            parameters = L" " + CInstallEngine::m_wstrCmdLine;
        }
        parameters += L" ";
        if (entry["para"].isString())
            parameters += CCodeChange::StringUTF8toUTF16(entry["para"].asString());
        parameters += L" " + m_run.wstrProductList;

        DebugLine(L"stagehand.exe=>Start the program:" + command + L" " + parameters);
        // Programs left running work in their own folder, never in the
        // engine's work folder, which setup must be able to remove.
        std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
        if (level == "medium") {
            // As the user at the desktop: through the desktop shell where one
            // runs (MediumStart.h). The file is never split at a blank.
            MediumStart::Start({path, addExternal ? CInstallEngine::m_wstrCmdLine : std::wstring(), folder});
        } else {
            const wchar_t* workDir = folder.empty() ? nullptr : folder.c_str();
            ::ShellExecuteW(nullptr, L"open", path.c_str(), parameters.c_str(), workDir, SW_SHOWDEFAULT);
        }
    }
}
