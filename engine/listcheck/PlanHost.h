#pragma once
// A run that touches nothing: the executors' host for the checker and the
// plan. It hands out the components and answers; reports and stop checks
// do nothing.
#include "actions/InstallerHost.h"
#include "actions/VerbKeys.h"

class PlanHost : public iInstallerHost {
public:
    std::vector<std::shared_ptr<_SetupList>> components;
    std::shared_ptr<_InstallParameter> installParam = std::make_shared<_InstallParameter>();
    std::shared_ptr<_UninstallParameter> uninstallParam = std::make_shared<_UninstallParameter>();
    bool uninstall = false;
    std::string mode;

    std::vector<std::shared_ptr<_SetupList>> GetSelectedComponents() const override { return components; }
    std::shared_ptr<_InstallParameter> GetInstallParameter() const override { return installParam; }
    std::shared_ptr<_UninstallParameter> GetUninstallParameter() const override { return uninstallParam; }
    bool IsUninstallRun() const override { return uninstall; }
    bool IsNoSc() const override { return false; }
    bool IsNoShortcut() const override { return false; }
    std::wstring GetChannelId() const override { return std::wstring(); }
    std::string GetMode() const override { return mode; }
    void ReportAction(int, const std::shared_ptr<Json::Value>&) override { }
    void InterruptionPoint() override { }
    std::string GetComponentRecord(const std::string&) const override { return std::string(); }
};

// Whether the executor of that kind registers the verb (asked of the real
// executors of both Windows generations; they must agree).
bool ExecutorKnowsVerb(ExecutorKind kind, const std::string& verb);
