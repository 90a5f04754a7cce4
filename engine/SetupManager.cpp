#include "engine/SetupManager.h"

#include <exception>

#include "common/DebugOutput.h"
#include "engine/model/WorkerStop.h"

SetupManager::SetupManager(SetupRun run)
    : m_run(std::move(run)),
      m_pMessageSignal(std::make_shared<MessageSignal>()),
      m_pAnswerGate(std::make_shared<CSemaphore>(1, 1))
{
    if (!m_run.pInstallParam)
        m_run.pInstallParam = std::make_shared<_InstallParameter>();
    if (!m_run.pUninstallParam)
        m_run.pUninstallParam = std::make_shared<_UninstallParameter>();
}

SetupManager::~SetupManager()
{
    if (!m_pWorker || !m_pWorker->joinable())
        return;
    // The worker holds an owner while it runs, so it is past its body here.
    // When its own owner was the last one, the thread cannot join itself.
    if (m_pWorker->get_id() == std::this_thread::get_id())
        m_pWorker->detach();
    else
        m_pWorker->join();
}

std::string SetupRun::GetComponentRecord(const std::string& name) const
{
    const Json::Value& value = jsComponentRecords.isObject() ? jsComponentRecords[name] : Json::Value::nullSingleton();
    return value.isString() ? value.asString() : std::string();
}

void SetupManager::StartInstall()
{
    m_run.nStatus = STATUS_INSTALL_START;
    StartWorker([this] { InstallWorker(); });
}

void SetupManager::StartUninstall()
{
    m_run.nStatus = STATUS_UNINSTALL_START;
    StartWorker([this] { UninstallWorker(); });
}

void SetupManager::StartWorker(std::function<void()> body)
{
    std::shared_ptr<SetupManager> self = shared_from_this();
    auto stop = std::make_shared<WorkerStopSignal>();
    // The body starts once m_pWorker names its thread, so a stop request
    // made from inside the body finds the thread object in place.
    auto ready = std::make_shared<CManualEvent>();
    auto worker = std::make_shared<std::thread>([self, stop, ready, body = std::move(body)]() mutable {
        ready->Wait();
        {
            WorkerStopScope scope(stop);
            try {
                body();
            } catch (const WorkerStopped&) {
                DebugLine(L"stagehand.exe=>SetupManager worker stopped");
            } catch (const std::exception& e) {
                DebugLineA("stagehand.exe=>SetupManager worker failed: %s", e.what());
                self->EndWithError();
            } catch (...) {
                DebugLine(L"stagehand.exe=>SetupManager worker failed");
                self->EndWithError();
            }
        }
        body = nullptr;
        self.reset();  // may be the last owner: the manager then ends on this thread
    });
    // A replaced worker runs on by itself; it holds its own owner.
    if (m_pWorker && m_pWorker->joinable())
        m_pWorker->detach();
    m_pWorker = std::move(worker);
    m_pWorkerStop = std::move(stop);
    ready->Set();
}

void SetupManager::JoinWorker()
{
    if (m_pWorker && m_pWorker->joinable() && m_pWorker->get_id() != std::this_thread::get_id())
        m_pWorker->join();
}

void SetupManager::EndWithError() noexcept
{
    // The UI waits for a final status; a run that failed unexpectedly still ends.
    try {
        ChangeStatus(m_run.bUninstall ? STATUS_UNINSTALL_ERROR : STATUS_INSTALL_ERROR);
    } catch (...) {
        DebugLine(L"stagehand.exe=>SetupManager the final status could not be sent");
    }
}

void SetupManager::Ask(MessagePtr question)
{
    m_pAnswerGate->Acquire();  // free: every question gives it back before it ends
    m_bAnswerOpen.store(true);
    try {
        SendToUI(std::move(question));  // a UI may answer from inside its slot
    } catch (...) {
        // No answer will come to a question that was not delivered.
        if (!m_bAnswerOpen.exchange(false))
            m_pAnswerGate->Acquire();
        m_pAnswerGate->Release();
        throw;
    }
    m_bWaiting.store(true);
    // A cancel that came before the question was open has released nothing;
    // release it here so the worker does not wait for an answer that never comes.
    if (m_bCancelled.load())
        ReleaseWait();
    m_pAnswerGate->Acquire();
    m_pAnswerGate->Release();
    m_bWaiting.store(false);
}

void SetupManager::ReleaseWait()
{
    if (m_bAnswerOpen.exchange(false))
        m_pAnswerGate->Release();
}

void SetupManager::Cancel()
{
    // The stop is requested before the wait is released, so that a released
    // worker cannot run past its next interruption point first.
    m_bCancelled.store(true);
    if (m_pWorker && m_pWorkerStop)
        m_pWorkerStop->Request();
    ReleaseWait();
}
