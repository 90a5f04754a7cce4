// The run bodies of the worker thread: the install and uninstall statuses.
#include <objbase.h>
#include <shlobj.h>

#include "common/DebugOutput.h"
#include "engine/LegacyMigration.h"
#include "engine/SetupManager.h"
#include "engine/SetupManagerHost.h"
#include "engine/model/WorkerStop.h"

namespace {

// COM for the executor's shell and firewall calls, for one action list.
class ComScope {
public:
    ComScope() : m_ok(SUCCEEDED(::CoInitialize(nullptr))) { }
    ~ComScope()
    {
        if (m_ok)
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool m_ok;
};

}  // namespace

void SetupManager::InstallWorker()
{
    for (;;) {
        ::InterruptionPoint();
        switch (m_run.nStatus) {
        case STATUS_INSTALL_START:
            ChangeStatus(ParseSetupList(m_run) ? STATUS_INSTALL_SETLANGUAGE : STATUS_INSTALL_ERROR);
            break;
        case STATUS_INSTALL_SETLANGUAGE:
            if (!m_run.bSilent)
                SendLanguage();
            ChangeStatus(STATUS_INSTALL_CHECKOPEN);
            break;
        case STATUS_INSTALL_CHECKOPEN:
            ReadInstalledState(m_run);
            ChangeStatus(STATUS_INSTALL_CHECK);
            break;
        case STATUS_INSTALL_CHECK: {
            std::string answer;
            if (StopRunningProduct(answer))
                ChangeStatus(STATUS_INSTALL_WAIT);
            else if (answer == "cancel")
                ChangeStatus(STATUS_INSTALL_ERROR);
            break;  // "retry": the step runs again
        }
        case STATUS_INSTALL_WAIT:
            AskInstallPath();
            break;
        case STATUS_INSTALL_UNINSTALL:
            ChangeStatus(STATUS_INSTALL_SETUPMUTEX);
            break;
        case STATUS_INSTALL_SETUPMUTEX:
            ChangeStatus(WaitForBody() ? STATUS_INSTALL_PROCESSLIST : STATUS_INSTALL_ERROR);
            break;
        case STATUS_INSTALL_PROCESSLIST: {
            bool ok = false;
            {
                ComScope com;
                std::shared_ptr<iInstaller> installer = CreateInstaller("install", shared_from_this());
                ok = installer && installer->ProcessList();
            }
            if (ok) {
                CheckChannelID();
                SilentUninstallV3();
            }
            ChangeStatus(ok ? STATUS_INSTALL_RUNLIST : STATUS_INSTALL_ERROR);
            break;
        }
        case STATUS_INSTALL_RUNLIST:
            ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
            RunList();
            ChangeStatus(STATUS_INSTALL_SUCCESS);
            break;
        case STATUS_INSTALL_SUCCESS:
        case STATUS_INSTALL_ERROR:
            return;
        default:
            // Not a status of this run: wait for the stop request.
            InterruptibleSleep(std::chrono::milliseconds(100));
            break;
        }
    }
}

void SetupManager::UninstallWorker()
{
    for (;;) {
        ::InterruptionPoint();
        switch (m_run.nStatus) {
        case STATUS_UNINSTALL_START:
            ChangeStatus(ParseUninstallList(m_run) ? STATUS_UNINSTALL_SETLANGUAGE : STATUS_UNINSTALL_ERROR);
            break;
        case STATUS_UNINSTALL_SETLANGUAGE:
            if (!m_run.bSilent)
                SendLanguage();
            ChangeStatus(STATUS_UNINSTALL_CHECK);
            break;
        case STATUS_UNINSTALL_CHECK:
            CheckUninstallComponents(m_run);
            ChangeStatus(STATUS_UNINSTALL_CHECKOPEN);
            break;
        case STATUS_UNINSTALL_CHECKOPEN: {
            std::string answer;
            if (StopRunningProduct(answer))
                ChangeStatus(STATUS_UNINSTALL_WAIT);
            else if (answer == "cancel")
                ChangeStatus(STATUS_UNINSTALL_ERROR);
            break;
        }
        case STATUS_UNINSTALL_WAIT:
            Ask(MakeMessage("waitforuninstall"));
            ChangeStatus(m_run.strParamAnswer == "cancel" ? STATUS_UNINSTALL_ERROR : STATUS_UNINSTALL_PROCESSLIST);
            break;
        case STATUS_UNINSTALL_PROCESSLIST: {
            {
                ComScope com;
                std::shared_ptr<iInstaller> uninstaller = CreateInstaller("uninstall", shared_from_this());
                if (uninstaller)
                    uninstaller->ProcessList();  // a failing action still ends in success
            }
            ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
            if (m_run.bSilent)
                StartWatchdog();
            ChangeStatus(STATUS_UNINSTALL_SUCCESS);
            break;
        }
        case STATUS_UNINSTALL_SUCCESS:
        case STATUS_UNINSTALL_ERROR:
            return;
        default:
            InterruptibleSleep(std::chrono::milliseconds(100));
            break;
        }
    }
}
