#include "engine/listcheck/ListCheck.h"

#include <exception>
#include <memory>
#include <set>

#include "actions/ActionFields.h"
#include "actions/Placeholders.h"
#include "actions/ShortcutPaths.h"
#include "common/CodeChange.h"
#include "engine/listcheck/PlanHost.h"
#include "engine/model/JsonFields.h"

namespace {

const char* TypeName(const Json::Value& value)
{
    switch (value.type()) {
    case Json::nullValue:
        return "null";
    case Json::intValue:
    case Json::uintValue:
        return "an integer";
    case Json::realValue:
        return "a number";
    case Json::stringValue:
        return "a string";
    case Json::booleanValue:
        return "a boolean";
    case Json::arrayValue:
        return "an array";
    case Json::objectValue:
        return "an object";
    }
    return "a value";
}

std::string Indexed(const std::string& base, const char* member, Json::ArrayIndex index)
{
    return (base.empty() ? std::string() : base + ".") + member + "[" + std::to_string(index) + "]";
}

class Checker {
public:
    Checker(ExecutorKind kind, const std::string& label, ListFindings& findings)
        : m_kind(kind), m_label(label), m_findings(findings)
    {
    }

    void Root(const Json::Value& root)
    {
        if (!root.isObject()) {
            Error("", std::string("the root is ") + TypeName(root) + ", not an object (the engine rejects the list)");
            return;
        }
        const Json::Value& mode = JsonMember(root, "mode");
        if (!mode.isNull()) {
            if (m_kind == ExecutorKind::Uninstall)
                Warning("mode", "an uninstall list's \"mode\" is not read");
            else if (!mode.isString())
                Error("mode", std::string("\"mode\" is ") + TypeName(mode) + ", not a string; it is ignored");
        }
        const Json::Value& installs = JsonMember(root, "installs");
        if (installs.isNull()) {
            Error("installs", "\"installs\" is missing: the list has no components");
            return;
        }
        if (!installs.isArray()) {
            Error("installs", std::string("\"installs\" is ") + TypeName(installs) + ", not an array of components");
            return;
        }
        if (installs.empty())
            Warning("installs", "the list has no components");
        for (Json::ArrayIndex i = 0; i < installs.size(); ++i)
            Component(installs[i], Indexed("", "installs", i));
    }

private:
    void Error(const std::string& at, const std::string& message)
    {
        m_findings.push_back({FindingLevel::Error, m_label, at, message});
    }
    void Warning(const std::string& at, const std::string& message)
    {
        m_findings.push_back({FindingLevel::Warning, m_label, at, message});
    }

    void Field(const Json::Value& component, const std::string& at, const char* key, bool isText)
    {
        const Json::Value& value = JsonMember(component, key);
        const std::string where = at + "." + key;
        if (value.isNull())
            Error(where, std::string("component field \"") + key + "\" is missing");
        else if (isText && !value.isString())
            Error(where,
                  std::string("\"") + key + "\" is " + TypeName(value) + ", not a string; the engine reads \"\"");
        else if (!isText && !(value.isIntegral() && value.isInt()))
            Error(where,
                  std::string("\"") + key + "\" is " + TypeName(value) + ", not a 32-bit integer; the engine reads 0");
    }

    void Component(const Json::Value& component, const std::string& at)
    {
        if (!component.isObject()) {
            Error(at, std::string("a component is ") + TypeName(component) + ", not an object; the engine skips it");
            return;
        }
        for (const char* key : {"id", "name", "version", "regkey", "mutex"})
            Field(component, at, key, true);
        Field(component, at, "order", false);
        const Json::Value& version = JsonMember(component, "version");
        if (version.isString() && !IsFourPartVersion(version.asString())) {
            std::string message = "\"";
            message += version.asString();
            message += "\" is not four dot-separated numbers; version comparisons treat it as lowest";
            Warning(at + ".version", message);
        }

        const Json::Value& installDir = JsonMember(component, "installDir");
        const Json::Value& runlist = JsonMember(component, "runlist");
        if (m_kind == ExecutorKind::Install) {
            if (!installDir.isNull() && !installDir.isString())
                Error(at + ".installDir", std::string("\"installDir\" is ") + TypeName(installDir) + ", not a string");
            if (!runlist.isNull() && !runlist.isArray())
                Error(at + ".runlist",
                      std::string("\"runlist\" is ") + TypeName(runlist) + ", not an array; it is ignored");
            if (runlist.isArray()) {
                for (Json::ArrayIndex i = 0; i < runlist.size(); ++i)
                    RunEntry(runlist[i], Indexed(at, "runlist", i));
            }
        } else {
            if (!installDir.isNull())
                Warning(at + ".installDir", "an uninstall list's \"installDir\" is not read (the registry's is)");
            if (!runlist.isNull())
                Warning(at + ".runlist", "an uninstall list's \"runlist\" is not read");
        }

        const Json::Value& actions = JsonMember(component, "actions");
        if (actions.isNull()) {
            Error(at + ".actions", "component field \"actions\" is missing");
            return;
        }
        if (!actions.isArray()) {
            Error(at + ".actions",
                  std::string("\"actions\" is ") + TypeName(actions) + ", not an array; it is ignored");
            return;
        }
        for (Json::ArrayIndex i = 0; i < actions.size(); ++i)
            Action(actions[i], Indexed(at, "actions", i));
    }

    static bool IsFourPartVersion(const std::string& text)
    {
        int parts = 1;
        bool digit = false;
        for (char c : text) {
            if (c == '.') {
                if (!digit)
                    return false;
                ++parts;
                digit = false;
            } else if (c >= '0' && c <= '9') {
                digit = true;
            } else {
                return false;
            }
        }
        return digit && parts == 4;
    }

    void RunEntry(const Json::Value& entry, const std::string& at)
    {
        if (!entry.isObject()) {
            Error(at, std::string("a run-list entry is ") + TypeName(entry) + ", not an object");
            return;
        }
        const Json::Value& path = JsonMember(entry, "path");
        if (!path.isString()) {
            Error(at + ".path", path.isNull() ? std::string("\"path\" is missing")
                                              : std::string("\"path\" is ") + TypeName(path) + ", not a string");
            return;
        }
        Placeholders(Utf16(path.asString()), at + ".path", {Placeholder::kProgramDir, Placeholder::kServiceDir});
    }

    // Every $NAME$ token: unknown ones are errors, known ones that this key
    // does not expand stay as written (a warning).
    void Placeholders(const std::wstring& text, const std::string& at, const std::set<std::wstring>& expanded)
    {
        for (size_t start = text.find(L'$'); start != std::wstring::npos;) {
            size_t end = text.find(L'$', start + 1);
            if (end == std::wstring::npos)
                break;
            const std::wstring name = text.substr(start + 1, end - start - 1);
            bool isToken = !name.empty();
            for (wchar_t c : name)
                isToken = isToken && ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' ||
                                      (c >= L'0' && c <= L'9'));
            if (!isToken) {
                start = end;
                continue;
            }
            const std::wstring token = L"$" + name + L"$";
            bool known = false;
            for (const std::wstring& placeholder : KnownPlaceholders())
                known = known || placeholder == token;
            if (!known)
                Error(at, "unknown placeholder " + Utf8(token) + "; it stays as written");
            else if (!expanded.count(token))
                Warning(at, "placeholder " + Utf8(token) + " is not expanded in this key; it stays as written");
            start = text.find(L'$', end + 1);
        }
    }

    void Action(const Json::Value& action, const std::string& at)
    {
        if (!action.isObject()) {
            Error(at, std::string("an action is ") + TypeName(action) + ", not an object; the run stops there");
            return;
        }
        const Json::Value& verbValue = JsonMember(action, "action");
        if (!verbValue.isString()) {
            Error(at + ".action",
                  verbValue.isNull()
                      ? std::string("the action has no \"action\" verb; the run stops there")
                      : std::string("\"action\" is ") + TypeName(verbValue) + ", not a verb; the run stops there");
            return;
        }
        const std::string verb = verbValue.asString();
        const ExecutorKind other = m_kind == ExecutorKind::Install ? ExecutorKind::Uninstall : ExecutorKind::Install;
        if (!ExecutorKnowsVerb(m_kind, verb)) {
            std::string message = "verb \"" + verb + "\" is unknown to the " +
                                  (m_kind == ExecutorKind::Install ? "install" : "uninstall") +
                                  " executor; the run stops there";
            if (ExecutorKnowsVerb(other, verb))
                message += std::string(" (it is a verb of the ") +
                           (m_kind == ExecutorKind::Install ? "uninstall" : "install") + " list)";
            Error(at, message);
            return;
        }
        const VerbEntry* verbEntry = FindVerbEntry(m_kind, verb);
        if (!verbEntry) {
            Error(at, "verb \"" + verb + "\" has no key description (a fault of the checker's table)");
            return;
        }
        std::set<std::string> known;
        for (const VerbKey& key : CommonActionKeys(m_kind)) {
            known.insert(key.name);
            if (std::string(key.name) != "action")
                Key(action, key, at, verb);
        }
        for (const VerbKey& key : verbEntry->keys) {
            known.insert(key.name);
            Key(action, key, at, verb);
        }
        for (const std::string& name : action.getMemberNames()) {
            if (known.count(name))
                continue;
            Warning(at + "." + name, "key \"" + name + "\" is not read by \"" + verb + "\"" +
                                         (m_kind == ExecutorKind::Uninstall && name == "disable_mode"
                                              ? " (an uninstall run never skips actions)"
                                              : ""));
            const Json::Value& value = action[name];
            if (value.isString())
                Placeholders(Utf16(value.asString()), at + "." + name, {});
        }
    }

    void Key(const Json::Value& action, const VerbKey& key, const std::string& at, const std::string& verb)
    {
        const std::string where = at + "." + key.name;
        if (!action.isMember(key.name)) {
            if (key.required)
                Error(at, "\"" + verb + "\" needs the key \"" + key.name + "\"");
            return;
        }
        const Json::Value& value = action[key.name];
        // The operation's own reader decides what fails the action.
        try {
            switch (key.reader) {
            case KeyReader::Text:
                ActionText(action, key.name);
                break;
            case KeyReader::Bool:
                ActionBool(action, key.name, false);
                break;
            case KeyReader::TextIfString:
                ShortcutPaths::StringOnly(action, key.name);
                break;
            case KeyReader::Array:
                break;
            }
        } catch (const std::exception& e) {
            Error(where, std::string("\"") + key.name + "\" is " + TypeName(value) + "; the engine fails the action (" +
                             e.what() + ")");
            return;
        }
        const bool expectText = key.reader == KeyReader::Text || key.reader == KeyReader::TextIfString;
        if (expectText && !value.isString()) {
            Warning(where, std::string("\"") + key.name + "\" is " + TypeName(value) +
                               (key.reader == KeyReader::Text ? ", read as its text" : ", not a string: read as \"\""));
        } else if (key.reader == KeyReader::Bool && !value.isBool()) {
            Warning(where, std::string("\"") + key.name + "\" is " + TypeName(value) + ", read as a boolean");
        } else if (key.reader == KeyReader::Array && !value.isArray()) {
            Warning(where, std::string("\"") + key.name + "\" is " + TypeName(value) + ", not an array: it is ignored");
        }
        if (value.isString()) {
            std::set<std::wstring> expanded;
            for (const KeyExpansion& expansion : key.expansions)
                expanded.insert(expansion.token);
            Placeholders(Utf16(value.asString()), where, expanded);
        }
    }

    ExecutorKind m_kind;
    std::string m_label;
    ListFindings& m_findings;
};

}  // namespace

void CheckList(const Json::Value& root, ExecutorKind kind, const std::string& label, ListFindings& findings)
{
    Checker(kind, label, findings).Root(root);
}
