#include "engine/SetupManager.h"

#include <exception>

#include "common/DebugOutput.h"
#include "engine/WorkerStop.h"

SetupManager::SetupManager()
    : m_pMessageSignal(std::make_shared<MessageSignal>()),
      m_pInstallParam(std::make_shared<_InstallParameter>()),
      m_pUninstallParam(std::make_shared<_UninstallParameter>()),
      m_pAnswerGate(std::make_shared<std::binary_semaphore>(1))
{
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

std::string SetupManager::GetComponentRecord(const std::string& name) const
{
    const Json::Value& value = m_jsComponentRecords.isObject() ? m_jsComponentRecords[name] : Json::Value::nullSingleton();
    return value.isString() ? value.asString() : std::string();
}

void SetupManager::StartInstall()
{
    m_nStatus = STATUS_INSTALL_START;
    StartWorker([this] { InstallWorker(); });
}

void SetupManager::StartUninstall()
{
    m_nStatus = STATUS_UNINSTALL_START;
    StartWorker([this] { UninstallWorker(); });
}

void SetupManager::StartWorker(std::function<void()> body)
{
    std::shared_ptr<SetupManager> self = shared_from_this();
    auto worker = std::make_shared<std::jthread>(
        [self, body = std::move(body)](std::stop_token token) mutable {
            {
                WorkerStopScope scope(token);
                try {
                    body();
                } catch (const WorkerStopped&) {
                    DebugLine(L"stagehand.exe=>SetupManager worker stopped");
                } catch (const std::exception& e) {
                    DebugLineA("stagehand.exe=>SetupManager worker failed: %s", e.what());
                    self->ChangeStatus(self->m_bUninstall ? STATUS_UNINSTALL_ERROR : STATUS_INSTALL_ERROR);
                } catch (...) {
                    DebugLine(L"stagehand.exe=>SetupManager worker failed");
                    self->ChangeStatus(self->m_bUninstall ? STATUS_UNINSTALL_ERROR : STATUS_INSTALL_ERROR);
                }
            }
            body = nullptr;
            self.reset();  // may be the last owner: the manager then ends on this thread
        });
    // A replaced worker runs on by itself; it holds its own owner.
    if (m_pWorker && m_pWorker->joinable())
        m_pWorker->detach();
    m_pWorker = std::move(worker);
}

void SetupManager::Ask(MessagePtr question)
{
    m_pAnswerGate->acquire();  // free: every question gives it back before it ends
    m_bAnswerOpen.store(true);
    SendToUI(std::move(question));  // a UI may answer from inside its slot
    m_bWaiting.store(true);
    // A cancel that came before the question was open has released nothing;
    // release it here so the worker does not wait for an answer that never comes.
    if (m_bCancelled.load())
        ReleaseWait();
    m_pAnswerGate->acquire();
    m_pAnswerGate->release();
    m_bWaiting.store(false);
}

void SetupManager::ReleaseWait()
{
    if (m_bAnswerOpen.exchange(false))
        m_pAnswerGate->release();
}

void SetupManager::Cancel()
{
    m_bCancelled.store(true);
    ReleaseWait();
    if (m_pWorker)
        m_pWorker->request_stop();
}
