#pragma once
// The workflow object of one install or uninstall run: the setup list, the
// user's answers, the run's status and its worker thread.
#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/MessageSignal.h"
#include "engine/model/SetupList.h"
#include "engine/model/SetupStatus.h"
#include "common/Win32Sync.h"
#include "engine/model/WorkerStop.h"

class SetupManager : public std::enable_shared_from_this<SetupManager> {
public:
    SetupManager();
    ~SetupManager();
    SetupManager(const SetupManager&) = delete;
    SetupManager& operator=(const SetupManager&) = delete;

    // Engine to UI. The UI connects its OnEngineMessage here.
    std::shared_ptr<MessageSignal> m_pMessageSignal;
    std::string m_strMode;  // "mode" of the install list
    std::shared_ptr<_InstallParameter> m_pInstallParam;
    std::shared_ptr<_UninstallParameter> m_pUninstallParam;
    std::vector<SetupListPtr> m_vecSelected;  // components taking part, in processing order
    std::vector<SetupListPtr> m_vecAll;       // every component read, in processing order
    std::shared_ptr<std::thread> m_pWorker;
    std::shared_ptr<WorkerStopSignal> m_pWorkerStop;  // stop request of m_pWorker
    int32_t m_nStatus = STATUS_INSTALL_ERROR;
    int32_t m_nOldStatus = STATUS_INSTALL_ERROR;
    std::shared_ptr<CSemaphore> m_pAnswerGate;  // single permit, free at creation
    std::atomic<bool> m_bWaiting {false};       // the worker waits for an answer
    bool m_bUninstall = false;
    bool m_bNoSc = false;
    bool m_bSilent = false;
    std::string m_strStopAnswer;     // last "stop" of "stopservice"
    std::string m_strVersionAnswer;  // last "action" of "versioncheck"
    std::string m_strParamAnswer;    // last "action" of "installparameter" / "uninstallparameter"
    std::string m_strSetupList;      // the list text
    std::wstring m_wstrProductList;  // product-list argument of the run list

    // Per-component texts, by component name; no step of the engine fills it.
    Json::Value m_jsComponentRecords {Json::objectValue};
    std::string GetComponentRecord(const std::string& name) const;

    // --- Messages -----------------------------------------------------
    // The engine's slot on the UI's signal. Runs on the sender's thread and
    // never blocks.
    void OnCommand(MessagePtr message);
    void SendToUI(MessagePtr message);
    void ChangeStatus(int32_t status);
    void SendLanguage();

    // --- Setup list ---------------------------------------------------
    bool ParseSetupList();
    bool ParseUninstallList();
    bool ReadInstalledState();
    // -1, 0 or 1 on two dotted four-part version texts.
    static int CompareVersion(const std::string& a, const std::string& b);

    // --- Worker and questions -----------------------------------------
    void StartInstall();
    void StartUninstall();
    void InstallWorker();
    void UninstallWorker();
    // Runs body on a new worker thread that holds an owner of this object;
    // a stop request ends it at the body's next interruption point.
    void StartWorker(std::function<void()> body);
    // Sends the question and waits for its answer (or a cancel).
    void Ask(MessagePtr question);
    void Cancel();
    // Starts the questionnaire sender with the stored reason.
    void StartQuestionnaireSender();

    // --- Install steps ------------------------------------------------
    void AskInstallPath();
    // False when the product files will not come (a failed body, setup gone).
    bool WaitForBody();
    void RunList();
    void RunComponentList(const _SetupList& record);
    // Asks running components to quit; false with answer "retry" or "cancel".
    bool StopRunningProduct(std::string& answer);
    void CheckChannelID();

    // --- Uninstall steps ----------------------------------------------
    bool CheckUninstallComponents();
    bool SendQuestionnaire(const Json::Value& reason);
    // Ends the whole process 3 seconds from now (silent uninstalls).
    void StartWatchdog();

    // One "processlist" message for an action of the action list.
    void ReportAction(int32_t nProgress, std::shared_ptr<Json::Value> action);

private:
    void ApplyInstallParameter(const Json::Value& message);
    void ApplyUninstallParameter(const Json::Value& message);
    // Ends the pending question's wait; ignored when no question is open.
    void ReleaseWait();
    // Sends the run's error status after an unexpected failure.
    void EndWithError() noexcept;

    // True from the moment a question takes the gate until one answer has
    // released it, so that each question gets exactly one release.
    std::atomic<bool> m_bAnswerOpen {false};
    std::atomic<bool> m_bCancelled {false};  // Cancel has been called
};

using SetupManagerPtr = std::shared_ptr<SetupManager>;
