#pragma once
// The workflow object of one install or uninstall run: holds the run's data,
// talks with the UI over the message signals and runs the worker thread.
#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "common/Win32Sync.h"
#include "engine/SetupRun.h"
#include "engine/model/MessageSignal.h"
#include "engine/model/WorkerStop.h"

class SetupManager : public std::enable_shared_from_this<SetupManager> {
public:
    // A run over this data; start-up fills in the list text and the setup folder.
    explicit SetupManager(SetupRun run = SetupRun());
    ~SetupManager();
    SetupManager(const SetupManager&) = delete;
    SetupManager& operator=(const SetupManager&) = delete;

    // Engine to UI. The UI connects its OnEngineMessage here.
    MessageSignal& UiSignal() { return *m_pMessageSignal; }
    // The run's data as it stands; the executor's host and tests read it.
    const SetupRun& State() const { return m_run; }

    // --- Messages -----------------------------------------------------
    // The engine's slot on the UI's signal. Runs on the sender's thread and
    // never blocks.
    void OnCommand(MessagePtr message);
    void SendToUI(MessagePtr message);
    void ChangeStatus(int32_t status);
    void SendLanguage();
    // One "processlist" message for an action of the action list.
    void ReportAction(int32_t nProgress, std::shared_ptr<Json::Value> action);

    // --- Worker and questions -----------------------------------------
    void StartInstall();
    void StartUninstall();
    // Runs body on a new worker thread that holds an owner of this object;
    // a stop request ends it at the body's next interruption point.
    void StartWorker(std::function<void()> body);
    // Blocks until the current worker thread has ended (none: returns).
    void JoinWorker();
    bool HasWorker() const { return m_pWorker != nullptr; }
    // Sends the question and waits for its answer (or a cancel).
    void Ask(MessagePtr question);
    // Whether the worker waits for an answer now.
    bool IsWaiting() const { return m_bWaiting.load(); }
    void Cancel();
    // Starts the questionnaire sender with the stored reason.
    void StartQuestionnaireSender();

    // --- Steps that ask the UI ----------------------------------------
    void AskInstallPath();
    // False when the product files will not come (a failed body, setup gone).
    bool WaitForBody();
    void RunList();
    void RunComponentList(const _SetupList& record);
    // Asks running components to quit; false with answer "retry" or "cancel".
    bool StopRunningProduct(std::string& answer);
    void CheckChannelID();
    bool SendQuestionnaire(const Json::Value& reason);
    // Ends the whole process 3 seconds from now (silent uninstalls).
    void StartWatchdog();

private:
    void InstallWorker();
    void UninstallWorker();
    void ApplyInstallParameter(const Json::Value& message);
    void ApplyUninstallParameter(const Json::Value& message);
    // Ends the pending question's wait; ignored when no question is open.
    void ReleaseWait();
    // Sends the run's error status after an unexpected failure.
    void EndWithError() noexcept;

    SetupRun m_run;
    std::shared_ptr<MessageSignal> m_pMessageSignal;
    std::shared_ptr<std::thread> m_pWorker;
    std::shared_ptr<WorkerStopSignal> m_pWorkerStop;  // stop request of m_pWorker
    std::shared_ptr<CSemaphore> m_pAnswerGate;        // single permit, free at creation
    std::atomic<bool> m_bWaiting {false};             // the worker waits for an answer
    // True from the moment a question takes the gate until one answer has
    // released it, so that each question gets exactly one release.
    std::atomic<bool> m_bAnswerOpen {false};
    std::atomic<bool> m_bCancelled {false};  // Cancel has been called
};

using SetupManagerPtr = std::shared_ptr<SetupManager>;
