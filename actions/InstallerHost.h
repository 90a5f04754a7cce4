#pragma once
// What an executor needs of the run that owns it: the selected components,
// the user's answers, the run's flags, progress reports and stop checks.
// The workflow object of a run implements it.
#include <json/json.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/model/SetupList.h"

class iInstallerHost {
public:
    virtual ~iInstallerHost() = default;

    virtual std::vector<std::shared_ptr<_SetupList>> GetSelectedComponents() const = 0;
    virtual std::shared_ptr<_InstallParameter> GetInstallParameter() const = 0;
    virtual std::shared_ptr<_UninstallParameter> GetUninstallParameter() const = 0;
    virtual bool IsUninstallRun() const = 0;
    virtual bool IsNoSc() const = 0;
    // The command line's "noshortcut": every shortcut action is skipped.
    virtual bool IsNoShortcut() const = 0;
    // The command line's channel, or "" when none was given.
    virtual std::wstring GetChannelId() const = 0;
    virtual std::string GetMode() const = 0;

    // Sends one "processlist" message for the action.
    virtual void ReportAction(int nProgress, const std::shared_ptr<Json::Value>& pAction) = 0;
    // Leaves by the run's stop exception when a stop was requested; returns otherwise.
    virtual void InterruptionPoint() = 0;
    // The text recorded under a component's name for "silentmini"; "" when none.
    virtual std::string GetComponentRecord(const std::string& strName) const = 0;
};
