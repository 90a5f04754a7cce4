#pragma once
// The common executor: walks the components' actions in order, dispatches
// each verb through the verb table and reports progress to the run.
#include <json/json.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "actions/InstallTools.h"
#include "actions/InstallerHost.h"
#include "actions/VerbKeys.h"

using ActionOperation = std::function<bool(std::shared_ptr<Json::Value>, std::string&)>;

class iInstaller : public InstallTools {
public:
    explicit iInstaller(const std::shared_ptr<iInstallerHost>& manager);
    ~iInstaller() override = default;

    // True when every action of every component ran; false at the first
    // action whose verb is unknown or that failed on malformed input.
    bool ProcessList();
    bool DoAction(const std::string& verb, std::string& result, const std::shared_ptr<Json::Value>& action);
    void AddAction(const std::string& verb, ActionOperation operation);
    bool HasAction(const std::string& verb) const { return m_mapActions.count(verb) != 0; }

protected:
    // The component whose actions run now (the first before the walk).
    std::shared_ptr<_SetupList> CurrentComponent() const;
    // The current component's strInstallDir in UTF-16 ("" without components).
    std::wstring ComponentDir() const;

    // Which verb table the executor's operations follow.
    virtual ExecutorKind Kind() const { return ExecutorKind::Install; }
    // The placeholder values of the current component and the run's answers.
    virtual PlaceholderValues Placeholders() const;
    // text with the placeholders the verb's entry in VerbKeys lists for key
    // expanded, in that order; extra adds or replaces values.
    std::wstring ExpandKey(const Json::Value& action, const char* verb, const char* key, std::wstring text,
                           const PlaceholderValues& extra = {}) const;
    // The same for the key's own text (ActionText).
    std::wstring ExpandedText(const Json::Value& action, const char* verb, const char* key) const;

    std::vector<std::shared_ptr<_SetupList>> m_vecComponents;
    iInstallerHost* m_pManager = nullptr;
    std::shared_ptr<iInstallerHost> m_pManagerOwner;
    std::map<std::string, ActionOperation> m_mapActions;
    int m_nComponent = 0;
    int m_nAction = -1;

private:
    bool IsSkipped(const std::string& verb, const Json::Value& action) const;
};
