#include "actions/iInstaller.h"

#include <exception>

#include "actions/ActionFields.h"
#include "common/DebugOutput.h"

namespace {

bool IsShortcutVerb(const std::string& verb)
{
    return verb == "desktop" || verb == "quickstart" || verb == "menu";
}

}  // namespace

iInstaller::iInstaller(const std::shared_ptr<iInstallerHost>& manager)
    : m_vecComponents(manager->GetSelectedComponents()), m_pManager(manager.get()), m_pManagerOwner(manager)
{
}

std::shared_ptr<_SetupList> iInstaller::CurrentComponent() const
{
    if (m_nComponent < 0 || static_cast<size_t>(m_nComponent) >= m_vecComponents.size())
        return nullptr;
    return m_vecComponents[m_nComponent];
}

std::wstring iInstaller::ComponentDir() const
{
    auto component = CurrentComponent();
    return component ? Utf16(component->strInstallDir) : std::wstring();
}

PlaceholderValues iInstaller::Placeholders() const
{
    auto component = CurrentComponent();
    return {
        {PlaceholderSource::ComponentDir, ComponentDir()},
        {PlaceholderSource::RegKey, component ? Utf16(component->strRegKey) : std::wstring()},
        {PlaceholderSource::Version, component ? Utf16(component->strVersion) : std::wstring()},
        {PlaceholderSource::Mode, Utf16(m_pManager->GetMode())},
    };
}

std::wstring iInstaller::ExpandKey(const Json::Value& action, const char* verb, const char* key, std::wstring text,
                                   const PlaceholderValues& extra) const
{
    const VerbEntry* verbEntry = FindVerbEntry(Kind(), verb);
    if (!verbEntry)
        return text;
    for (const VerbKey& entry : verbEntry->keys) {
        if (std::string(entry.name) != key)
            continue;
        PlaceholderValues values = Placeholders();
        for (const auto& [source, value] : extra)
            values[source] = value;
        return ExpandVerbKey(entry, std::move(text), action, values);
    }
    return text;
}

std::wstring iInstaller::ExpandedText(const Json::Value& action, const char* verb, const char* key) const
{
    return ExpandKey(action, verb, key, ActionText(action, key));
}

void iInstaller::AddAction(const std::string& verb, ActionOperation operation)
{
    m_mapActions[verb] = std::move(operation);
}

bool iInstaller::DoAction(const std::string& verb, std::string& result, const std::shared_ptr<Json::Value>& action)
{
    auto found = m_mapActions.find(verb);
    if (found == m_mapActions.end())
        return false;
    try {
        return found->second(action, result);
    } catch (const std::exception& e) {
        // A key of the wrong JSON type (or any other fault of the list's
        // data): the action fails, the process goes on.
        DebugLineA("stagehand.exe=>iInstaller::DoAction %s exception:%s\n", verb.c_str(), e.what());
        return false;
    }
}

bool iInstaller::IsSkipped(const std::string& verb, const Json::Value& action) const
{
    if (m_pManager->IsUninstallRun())
        return false;
    if (m_pManager->IsNoShortcut() && IsShortcutVerb(verb))
        return true;
    auto component = CurrentComponent();
    if (component && component->bNoShortCut && IsShortcutVerb(verb)) {
        DebugLine(L"stagehand.exe=>iInstaller::ProcessList bNoShortCut is true");
        return true;
    }
    const Json::Value& disabled = action.isObject() ? action["disable_mode"] : Json::Value::nullSingleton();
    if (disabled.isArray()) {
        std::string mode = m_pManager->GetMode();
        for (const Json::Value& element : disabled) {
            if (element.isConvertibleTo(Json::stringValue) && element.asString() == mode)
                return true;
        }
    }
    return false;
}

bool iInstaller::ProcessList()
{
    m_nComponent = 0;
    m_nAction = -1;
    std::shared_ptr<Json::Value> lastAction;
    m_pManager->InterruptionPoint();
    const size_t componentCount = m_vecComponents.size();
    while (static_cast<size_t>(m_nComponent) < componentCount) {
        const auto& actions = m_vecComponents[m_nComponent]->vecActions;
        if (static_cast<size_t>(m_nAction + 1) < actions.size()) {
            ++m_nAction;
        } else {
            size_t next = static_cast<size_t>(m_nComponent) + 1;
            while (next < componentCount && m_vecComponents[next]->vecActions.empty())
                ++next;
            if (next >= componentCount)
                break;
            m_nComponent = static_cast<int>(next);
            m_nAction = 0;
        }
        const auto& component = m_vecComponents[m_nComponent];
        std::shared_ptr<Json::Value> action = component->vecActions[m_nAction];

        std::string verb;
        bool readable = true;
        try {
            const Json::Value& verbValue = action->isObject() ? (*action)["action"] : Json::Value::nullSingleton();
            verb = verbValue.asString();
        } catch (const std::exception& e) {
            DebugLineA("stagehand.exe=>iInstaller::ProcessList action exception:%s\n", e.what());
            readable = false;
        }

        if (!readable || !IsSkipped(verb, *action)) {
            std::string result;
            bool ok = readable && DoAction(verb, result, action);
            const unsigned C = static_cast<unsigned>(m_nComponent);
            const unsigned A = static_cast<unsigned>(m_nAction);
            const unsigned N = static_cast<unsigned>(componentCount);
            const unsigned M = static_cast<unsigned>(component->vecActions.size());
            const unsigned progress = (C * 70) / N + 30 + ((A * 70) / N) / M;
            m_pManager->ReportAction(static_cast<int>(progress), action);
            lastAction = action;
            if (!ok)
                return false;
        }
        m_pManager->InterruptionPoint();
    }
    if (lastAction)
        m_pManager->ReportAction(99, lastAction);
    return true;
}
