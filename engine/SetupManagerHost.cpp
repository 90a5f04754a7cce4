#include "engine/SetupManagerHost.h"

#include "actions/CreateInstaller.h"
#include "engine/InstallEngine.h"
#include "engine/model/WorkerStop.h"

std::vector<std::shared_ptr<_SetupList>> SetupManagerHost::GetSelectedComponents() const
{
    return m_pManager->State().vecSelected;
}

std::shared_ptr<_InstallParameter> SetupManagerHost::GetInstallParameter() const
{
    return m_pManager->State().pInstallParam;
}

std::shared_ptr<_UninstallParameter> SetupManagerHost::GetUninstallParameter() const
{
    return m_pManager->State().pUninstallParam;
}

bool SetupManagerHost::IsUninstallRun() const
{
    return m_pManager->State().bUninstall;
}

bool SetupManagerHost::IsNoSc() const
{
    return m_pManager->State().bNoSc;
}

bool SetupManagerHost::IsNoShortcut() const
{
    return CInstallEngine::m_bNoShortcut;
}

std::wstring SetupManagerHost::GetChannelId() const
{
    return CInstallEngine::m_wstrChannelId;
}

std::string SetupManagerHost::GetMode() const
{
    return m_pManager->State().strMode;
}

void SetupManagerHost::ReportAction(int nProgress, const std::shared_ptr<Json::Value>& pAction)
{
    m_pManager->ReportAction(nProgress, pAction);
}

void SetupManagerHost::InterruptionPoint()
{
    ::InterruptionPoint();
}

std::string SetupManagerHost::GetComponentRecord(const std::string& strName) const
{
    return m_pManager->State().GetComponentRecord(strName);
}

std::shared_ptr<iInstaller> CreateInstaller(const std::string& mode, const std::shared_ptr<SetupManager>& manager)
{
    return CreateInstaller(mode, std::make_shared<SetupManagerHost>(manager));
}
