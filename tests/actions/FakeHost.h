#pragma once
// A run for executors under test: components, answers and flags set by the
// test; progress reports recorded. (Stop requests: SetupManagerRunTest.)
#include <memory>
#include <string>
#include <vector>

#include "actions/InstallerHost.h"
#include "common/CodeChange.h"

class FakeHost : public iInstallerHost {
public:
    std::vector<std::shared_ptr<_SetupList>> GetSelectedComponents() const override { return components; }
    std::shared_ptr<_InstallParameter> GetInstallParameter() const override { return installParam; }
    std::shared_ptr<_UninstallParameter> GetUninstallParameter() const override { return uninstallParam; }
    bool IsUninstallRun() const override { return uninstall; }
    bool IsNoSc() const override { return noSc; }
    bool IsNoShortcut() const override { return noShortcut; }
    std::wstring GetChannelId() const override { return channelId; }
    std::string GetMode() const override { return mode; }
    void ReportAction(int nProgress, const std::shared_ptr<Json::Value>& pAction) override
    {
        progress.push_back(nProgress);
        reported.push_back(pAction);
    }
    void InterruptionPoint() override { }
    std::string GetComponentRecord(const std::string&) const override { return std::string(); }

    // Adds a component with these actions (JSON texts).
    std::shared_ptr<_SetupList> AddComponent(const std::string& name, const std::vector<std::string>& actions);

    std::vector<std::shared_ptr<_SetupList>> components;
    std::shared_ptr<_InstallParameter> installParam = std::make_shared<_InstallParameter>();
    std::shared_ptr<_UninstallParameter> uninstallParam = std::make_shared<_UninstallParameter>();
    bool uninstall = false;
    bool noSc = false;
    bool noShortcut = false;
    std::wstring channelId;
    std::string mode;
    std::vector<int> progress;
    std::vector<std::shared_ptr<Json::Value>> reported;
};

std::shared_ptr<Json::Value> ParseAction(const std::string& text);
// Runs one action (JSON text) with the executor of the host's run kind.
bool RunAction(const std::shared_ptr<FakeHost>& host, const std::string& action);
// The path with every backslash doubled, for JSON texts.
std::string JsonPath(const std::wstring& path);
