#pragma once
// The run's workflow object as the host of its executor: reads the run's data
// as it is when asked, forwards progress reports, and stops at the
// worker thread's interruption points.
#include "actions/InstallerHost.h"
#include "actions/iInstaller.h"
#include "engine/SetupManager.h"

class SetupManagerHost : public iInstallerHost {
public:
    explicit SetupManagerHost(std::shared_ptr<SetupManager> manager) : m_pManager(std::move(manager)) { }

    std::vector<std::shared_ptr<_SetupList>> GetSelectedComponents() const override;
    std::shared_ptr<_InstallParameter> GetInstallParameter() const override;
    std::shared_ptr<_UninstallParameter> GetUninstallParameter() const override;
    bool IsUninstallRun() const override;
    bool IsNoSc() const override;
    bool IsNoShortcut() const override;
    std::wstring GetChannelId() const override;
    std::string GetMode() const override;
    void ReportAction(int nProgress, const std::shared_ptr<Json::Value>& pAction) override;
    void InterruptionPoint() override;
    std::string GetComponentRecord(const std::string& strName) const override;

private:
    std::shared_ptr<SetupManager> m_pManager;
};

// The executor of a run of this workflow object.
std::shared_ptr<iInstaller> CreateInstaller(const std::string& mode, const std::shared_ptr<SetupManager>& manager);
