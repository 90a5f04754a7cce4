#include "engine/listcheck/ListPlan.h"

#include <memory>

#include "actions/CreateInstaller.h"
#include "actions/Placeholders.h"
#include "common/CodeChange.h"
#include "engine/ComponentRecords.h"
#include "engine/listcheck/PlanHost.h"
#include "engine/model/FolderName.h"
#include "engine/model/JsonFields.h"

namespace {

struct WindowsFolders {
    const char* name;
    std::wstring programFiles;
    std::wstring startMenu;
    std::wstring documents;
    std::wstring temp;
};

WindowsFolders FoldersOf(const std::string& winver)
{
    if (winver == "xp") {
        return {"Windows XP", L"C:\\Program Files", L"C:\\Documents and Settings\\All Users\\Start Menu\\Programs",
                L"C:\\Documents and Settings\\%USERNAME%\\My Documents",
                L"C:\\Documents and Settings\\%USERNAME%\\Local Settings\\Temp\\"};
    }
    return {winver == "7" ? "Windows 7" : "Windows 10", L"C:\\Program Files",
            L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", L"C:\\Users\\%USERNAME%\\Documents",
            L"C:\\Users\\%USERNAME%\\AppData\\Local\\Temp\\"};
}

std::string VariantName(const std::shared_ptr<iInstaller>& executor)
{
    if (dynamic_cast<InstallerForWin7*>(executor.get()))
        return "InstallerForWin7";
    if (dynamic_cast<InstallerForXP*>(executor.get()))
        return "InstallerForXP";
    if (dynamic_cast<UninstallerForWin7*>(executor.get()))
        return "UninstallerForWin7";
    if (dynamic_cast<UninstallerForXP*>(executor.get()))
        return "UninstallerForXP";
    return "?";
}

// The components as the engine orders them: ascending order, equal orders
// in file order. Base folders follow the engine's rules for a first install.
std::vector<SetupListPtr> ReadComponents(const Json::Value& root, const PlanOptions& options,
                                         const WindowsFolders& folders)
{
    std::vector<SetupListPtr> records;
    const Json::Value& installs = JsonMember(root, "installs");
    if (!installs.isArray())
        return records;
    const std::wstring dir = WithCompanyFolder(options.installDir);
    for (const Json::Value& element : installs) {
        if (!element.isObject())
            continue;
        SetupListPtr record = ReadComponent(element);
        if (!IsServiceComponent(*record) && !dir.empty())
            record->strInstallDir = Utf8(dir);
        else if (options.kind == ExecutorKind::Install)
            record->strInstallDir = JsonString(element, "installDir");
        if (record->strInstallDir.empty())
            record->strInstallDir = Utf8(folders.programFiles + L"\\" + kCompanyFolder);
        CopyElements(element, "actions", record->vecActions);
        InsertInOrder(records, std::move(record));
    }
    return records;
}

std::string Shown(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

// The programs a successful install starts, as the install's last step
// finds them: first "$PROGRAMDIR$" and "$SERVICEDIR$" expanded.
void WriteRunList(const Json::Value& root, const PlanHost& host, std::string& out)
{
    std::string lines;
    for (const SetupListPtr& record : host.components) {
        for (const Json::Value& component : JsonMember(root, "installs")) {
            if (!component.isObject() || JsonString(component, "name") != record->strName)
                continue;
            const Json::Value& runlist = JsonMember(component, "runlist");
            if (!runlist.isArray())
                break;
            for (const Json::Value& entry : runlist) {
                if (!entry.isObject())
                    continue;
                std::wstring path = Utf16(JsonString(entry, "path"));
                ReplaceFirst(path, Placeholder::kProgramDir, Utf16(record->strInstallDir));
                ReplaceFirst(path, Placeholder::kServiceDir, Utf16(host.installParam->strServiceDir));
                const Json::Value& runnow = JsonMember(entry, "runnow");
                const bool always = runnow.isIntegral() && !runnow.isBool() && runnow.asInt64() == 1;
                const std::string level = JsonString(entry, "integrity_level");
                lines += "  start \"" + Utf8(path) + "\"";
                if (JsonMember(entry, "para").isString())
                    lines += " para=\"" + JsonString(entry, "para") + "\"";
                lines += " integrity " + (level.empty() ? std::string("high") : level) +
                         (always ? "" : ", not with -verysilent or -nostart") + "\n";
            }
            break;
        }
    }
    if (!lines.empty())
        out += "Then, when the files are there and the user agrees to start:\n" + lines;
}

}  // namespace

std::string PlanVersionText(const std::string& winver)
{
    if (winver == "xp")
        return "xp";
    if (winver == "7" || winver == "10")
        return "win7";
    return std::string();
}

bool WritePlan(const Json::Value& root, const PlanOptions& options, std::string& out, std::string& problem)
{
    const std::string versionText = PlanVersionText(options.winver);
    if (versionText.empty()) {
        problem = "--winver must be xp, 7 or 10";
        return false;
    }
    const WindowsFolders folders = FoldersOf(options.winver);
    auto host = std::make_shared<PlanHost>();
    host->uninstall = options.kind == ExecutorKind::Uninstall;
    if (!host->uninstall && JsonMember(root, "mode").isString())
        host->mode = JsonMember(root, "mode").asString();
    host->components = ReadComponents(root, options, folders);
    for (const SetupListPtr& record : host->components) {
        std::string& service =
            host->uninstall ? host->uninstallParam->strServiceDir : host->installParam->strServiceDir;
        std::string& app = host->uninstall ? host->uninstallParam->strInstallPath : host->installParam->strInstallPath;
        (IsServiceComponent(*record) ? service : app) = record->strInstallDir;
    }
    std::wstring setupDir = options.setupDir;
    if (!setupDir.empty() && setupDir.back() != L'\\')
        setupDir += L'\\';
    host->installParam->strSetupDir = Utf8(setupDir);
    const std::shared_ptr<iInstaller> executor =
        CreateInstallerFor(host->uninstall ? "uninstall" : "install", versionText, host);

    out = std::string("Plan of the ") + (host->uninstall ? "uninstall" : "install") + " list for " + folders.name +
          ": executor " + VariantName(executor) + "; nothing is touched.\n";
    if (!host->uninstall)
        out += "Mode \"" + host->mode + "\", engine folder ($CURRENTPATH$) " + Utf8(setupDir) + "\n";

    const ExecutorKind kind = options.kind;
    const unsigned componentCount = static_cast<unsigned>(host->components.size());
    int step = 0;
    bool ran = false;
    for (unsigned c = 0; c < componentCount; ++c) {
        const _SetupList& component = *host->components[c];
        out += "Component \"" + component.strName + "\" (order " + std::to_string(component.nOrder) + ") in " +
               component.strInstallDir + "\n";
        const PlaceholderValues values = {
            {PlaceholderSource::ComponentDir, Utf16(component.strInstallDir)},
            {PlaceholderSource::InstallServiceDir, Utf16(host->installParam->strServiceDir)},
            {PlaceholderSource::InstallAppDir, Utf16(host->installParam->strInstallPath)},
            {PlaceholderSource::UninstallServiceDir, Utf16(host->uninstallParam->strServiceDir)},
            {PlaceholderSource::UninstallAppDir, Utf16(host->uninstallParam->strInstallPath)},
            {PlaceholderSource::SetupDir, setupDir},
            {PlaceholderSource::RegKey, Utf16(component.strRegKey)},
            {PlaceholderSource::Version, Utf16(component.strVersion)},
            {PlaceholderSource::Mode, Utf16(host->mode)},
            {PlaceholderSource::StartMenu, folders.startMenu},
            {PlaceholderSource::MyDocuments, folders.documents},
            {PlaceholderSource::TempDir, folders.temp},
        };
        const unsigned actionCount = static_cast<unsigned>(component.vecActions.size());
        for (unsigned a = 0; a < actionCount; ++a) {
            const Json::Value& action = *component.vecActions[a];
            const std::string verb = JsonString(action, "action");
            const std::string number = "  " + std::to_string(++step) + ". ";
            if (!action.isObject() || !executor->HasAction(verb)) {
                out += number + "\"" + verb + "\": unknown to " + VariantName(executor) +
                       "; the run stops here with an error\n";
                return true;
            }
            if (!host->uninstall) {
                const Json::Value& disabled = JsonMember(action, "disable_mode");
                bool skipped = false;
                if (disabled.isArray()) {
                    for (const Json::Value& element : disabled)
                        skipped =
                            skipped || (element.isConvertibleTo(Json::stringValue) && element.asString() == host->mode);
                }
                if (skipped) {
                    out += number + verb + ": skipped in mode \"" + host->mode + "\"\n";
                    continue;
                }
            }
            const unsigned progress = (c * 70) / componentCount + 30 + ((a * 70) / componentCount) / actionCount;
            const VerbEntry* verbEntry = FindVerbEntry(kind, verb);
            out += number + "[" + std::to_string(progress) + "%] " + verb + " -> " +
                   (verbEntry ? verbEntry->operation : "?");
            if (verbEntry) {
                for (const VerbKey& key : verbEntry->keys) {
                    const Json::Value& value = JsonMember(action, key.name);
                    if (value.isNull())
                        continue;
                    out += std::string(" ") + key.name + "=";
                    if (value.isString())
                        out += "\"" + Utf8(ExpandVerbKey(key, Utf16(value.asString()), action, values)) + "\"";
                    else
                        out += Shown(value);
                }
            }
            out += "\n";
            ran = true;
        }
    }
    if (ran)
        out += "Progress closes at 99%.\n";
    if (!host->uninstall)
        WriteRunList(root, *host, out);
    return true;
}
