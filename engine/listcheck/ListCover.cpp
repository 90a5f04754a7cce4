// The checks that look past one list: sources in the product folder, and
// whether the uninstall list takes away what the install list puts in place.
#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>

#include "actions/VerbKeys.h"
#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "engine/listcheck/ListCheck.h"
#include "engine/model/JsonFields.h"
#include "engine/model/SetupList.h"

namespace {

// Files the package always places next to the engine, whatever the product holds.
const wchar_t* const kEngineFolderFiles[] = {L"stagehand.exe", L"sciter32.dll", L"setup.ini", L"uninst.ini"};

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

// Paths compare without regard to ASCII case, "/" or a trailing backslash.
std::wstring NormalPath(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c == L'/')
            c = L'\\';
    }
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\\' && !out.empty() && out.back() == L'\\')
            continue;
        out += c;
    }
    while (!out.empty() && out.back() == L'\\')
        out.pop_back();
    return Lower(out);
}

std::wstring RegistryRoot(const std::string& cls)
{
    const std::wstring text = Lower(Utf16(cls));
    if (text == L"hkey_local_machine")
        return L"hklm";
    if (text == L"hkey_current_user")
        return L"hkcu";
    if (text == L"hkey_classes_root")
        return L"hkcr";
    return text;
}

struct ListAction {
    std::string verb;
    const Json::Value* action;
    std::string location;
    const VerbEntry* verbEntry;
    PlaceholderValues values;
    int32_t order;  // the component's, for the run order
};

// Every action of the list with symbolic placeholder values: folders are
// named after their component, so both lists' texts meet.
std::vector<ListAction> Walk(const Json::Value& root, ExecutorKind kind)
{
    std::vector<ListAction> out;
    const Json::Value& installs = JsonMember(root, "installs");
    if (!installs.isArray())
        return out;
    std::wstring appDir = L"<application folder>";
    for (const Json::Value& component : installs) {
        const std::string name = JsonString(component, "name");
        if (component.isObject() && !IsServiceComponentName(name))
            appDir = L"<" + Utf16(name) + L" folder>";
    }
    for (Json::ArrayIndex c = 0; c < installs.size(); ++c) {
        const Json::Value& component = installs[c];
        const Json::Value& actions = JsonMember(component, "actions");
        if (!actions.isArray())
            continue;
        const std::string name = JsonString(component, "name");
        PlaceholderValues values = {
            {PlaceholderSource::ComponentDir, L"<" + Utf16(name) + L" folder>"},
            {PlaceholderSource::InstallServiceDir, L"<Service folder>"},
            {PlaceholderSource::UninstallServiceDir, L"<Service folder>"},
            {PlaceholderSource::InstallAppDir, appDir},
            {PlaceholderSource::UninstallAppDir, appDir},
            {PlaceholderSource::SetupDir, L"<engine folder>\\"},
            {PlaceholderSource::RegKey, Utf16(JsonString(component, "regkey"))},
            {PlaceholderSource::Version, Utf16(JsonString(component, "version"))},
            {PlaceholderSource::StartMenu, L"<start menu>"},
            {PlaceholderSource::MyDocuments, L"<documents>"},
            {PlaceholderSource::TempDir, L"<temp>\\"},
        };
        for (Json::ArrayIndex a = 0; a < actions.size(); ++a) {
            const Json::Value& action = actions[a];
            const std::string verb = JsonString(action, "action");
            const VerbEntry* verbEntry = FindVerbEntry(kind, verb);
            if (!verbEntry)
                continue;
            out.push_back({verb, &action, "installs[" + std::to_string(c) + "].actions[" + std::to_string(a) + "]",
                           verbEntry, values, JsonInt(component, "order")});
        }
    }
    return out;
}

// The key's text after the operation's expansions ("" when not a string).
std::wstring Expanded(const ListAction& item, const char* keyName)
{
    const Json::Value& value = JsonMember(*item.action, keyName);
    if (!value.isString())
        return std::wstring();
    for (const VerbKey& key : item.verbEntry->keys) {
        if (std::string(key.name) == keyName)
            return ExpandVerbKey(key, Utf16(value.asString()), *item.action, item.values);
    }
    return Utf16(value.asString());
}

struct Placed {
    std::string what;      // "folder", "registry key", ...
    std::wstring id;       // normalised identity
    std::wstring shown;    // as the warning shows it
    std::string location;  // where the install list puts it in place
};

bool UnderOrSame(const std::wstring& path, const std::wstring& folder)
{
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == L'\\');
}

// Where a copy puts its files: the destination folder, and the file's name
// for a single-file copy ("" when it copies a whole folder).
void CopyTarget(const ListAction& item, std::wstring& folder, std::wstring& file)
{
    const std::wstring src = Utf16(JsonString(*item.action, "src"));
    std::wstring dst = Expanded(item, "dst");
    const bool wholeFolder = src.find(L"*.*") != std::wstring::npos;
    if (!dst.empty() && dst.back() == L'\\') {
        folder = dst;
        file = wholeFolder ? std::wstring() : src.substr(src.find_last_of(L"\\/") + 1);
    } else {
        const size_t slash = dst.find_last_of(L"\\/");
        folder = slash == std::wstring::npos ? std::wstring() : dst.substr(0, slash);
        file = slash == std::wstring::npos ? dst : dst.substr(slash + 1);
    }
}

}  // namespace

void CheckCopySources(const Json::Value& setupRoot, const std::wstring& productFolder, const std::string& label,
                      ListFindings& findings)
{
    std::wstring base = productFolder;
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/')
        base += L'\\';
    for (const ListAction& item : Walk(setupRoot, ExecutorKind::Install)) {
        if (item.verb != "copyfile" && item.verb != "aesencode")
            continue;
        const std::wstring raw = Utf16(JsonString(*item.action, "src"));
        const std::wstring token = L"$CURRENTPATH$";
        if (raw.compare(0, token.size(), token) != 0) {
            findings.push_back({FindingLevel::Warning, label, item.location + ".src",
                                "the source is not under $CURRENTPATH$; the product folder cannot vouch for it"});
            continue;
        }
        std::wstring relative = raw.substr(token.size());
        const size_t wildcard = relative.find(L"*.*");
        if (wildcard != std::wstring::npos) {
            relative.erase(wildcard, 3);
            const std::wstring folder = base + relative;
            DWORD attributes = ::GetFileAttributesW(folder.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                findings.push_back({FindingLevel::Error, label, item.location + ".src",
                                    "the product folder has no folder \"" + Utf8(relative) + "\" to copy from"});
            continue;
        }
        bool engineFile = false;
        for (const wchar_t* name : kEngineFolderFiles)
            engineFile = engineFile || Lower(relative) == name;
        if (engineFile)
            continue;
        DWORD attributes = ::GetFileAttributesW((base + relative).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            findings.push_back({FindingLevel::Error, label, item.location + ".src",
                                "the product folder has no file \"" + Utf8(relative) + "\""});
    }
}

// "deldir" removes only an empty folder: the files copied into a folder must
// be deleted, and a folder's files and subfolders before the folder itself.
void CheckRemovalOrder(const Json::Value& setupRoot, const Json::Value& uninstRoot, const std::string& uninstLabel,
                       ListFindings& findings)
{
    struct Removal {
        std::wstring id;
        bool files;  // "delfile" of a folder's files (or of one file), else "deldir"
        std::string location;
        size_t step;
    };
    std::vector<ListAction> run = Walk(uninstRoot, ExecutorKind::Uninstall);
    std::stable_sort(run.begin(), run.end(),
                     [](const ListAction& a, const ListAction& b) { return a.order < b.order; });
    std::vector<Removal> removals;
    for (size_t step = 0; step < run.size(); ++step) {
        const ListAction& item = run[step];
        if (item.verb != "delfile" && item.verb != "deldir")
            continue;
        std::wstring path = Expanded(item, "path");
        const size_t wildcard = path.find(L"*.*");
        if (wildcard != std::wstring::npos)
            path.erase(wildcard, 3);
        removals.push_back({NormalPath(path), item.verb == "delfile", item.location, step});
    }
    auto removedFiles = [&](const std::wstring& folder, const std::wstring& file) {
        for (const Removal& removal : removals) {
            if (removal.files && (removal.id == folder || (!file.empty() && removal.id == folder + L"\\" + file)))
                return true;
        }
        return false;
    };
    std::map<std::wstring, bool> reported;
    for (const ListAction& item : Walk(setupRoot, ExecutorKind::Install)) {
        if (item.verb != "copyfile" && item.verb != "aesencode")
            continue;
        std::wstring folder, file;
        if (item.verb == "copyfile") {
            CopyTarget(item, folder, file);
        } else {
            const std::wstring dst = Expanded(item, "dst");
            const size_t slash = dst.find_last_of(L"\\/");
            folder = slash == std::wstring::npos ? std::wstring() : dst.substr(0, slash);
            file = slash == std::wstring::npos ? dst : dst.substr(slash + 1);
        }
        const std::wstring id = NormalPath(folder);
        if (id.empty() || removedFiles(id, Lower(file)) || reported[id])
            continue;
        reported[id] = true;
        while (!folder.empty() && folder.back() == L'\\')
            folder.pop_back();
        findings.push_back({FindingLevel::Warning, uninstLabel, "",
                            "does not delete the files that the install list copies into \"" + Utf8(folder) + "\" at " +
                                item.location + " (\"delfile\" with \"" + Utf8(folder) +
                                "\\*.*\"); \"deldir\" leaves a folder that holds files"});
    }
    for (const Removal& folder : removals) {
        if (folder.files)
            continue;
        for (const Removal& later : removals) {
            if (later.step <= folder.step || !UnderOrSame(later.id, folder.id) ||
                (!later.files && later.id == folder.id))
                continue;
            findings.push_back({FindingLevel::Warning, uninstLabel, folder.location,
                                std::string("\"deldir\" runs before the ") +
                                    (later.files ? "\"delfile\"" : "\"deldir\" of a subfolder") + " at " +
                                    later.location + "; it removes only an empty folder, so the folder stays"});
            break;
        }
    }
}

void CheckUninstallCovers(const Json::Value& setupRoot, const Json::Value& uninstRoot, const std::string& uninstLabel,
                          ListFindings& findings)
{
    std::vector<Placed> placed;
    for (const ListAction& item : Walk(setupRoot, ExecutorKind::Install)) {
        auto put = [&](const char* what, const std::wstring& id, const std::wstring& shown) {
            placed.push_back({what, id, shown, item.location});
        };
        const std::string& verb = item.verb;
        if (verb == "mkdir") {
            const std::wstring folder = Expanded(item, "dirname");
            put("folder", NormalPath(folder), folder);
        } else if (verb == "writereg" || verb == "writeregsilent" || verb == "writeinstalltime" || verb == "channel") {
            const std::wstring key = Expanded(item, "KEY");
            const std::wstring subkey = Utf16(JsonString(*item.action, "SUBKEY"));
            const std::wstring root = RegistryRoot(JsonString(*item.action, "CLASS"));
            put("registry key", root + L"\\" + NormalPath(key) + L"|" + Lower(subkey), key);
        } else if (verb == "writeconfig") {
            const std::wstring key = item.values.at(PlaceholderSource::RegKey);
            put("registry key", L"hklm\\" + NormalPath(key) + L"|bnoshortcut", key);
        } else if (verb == "desktop" || verb == "quickstart") {
            const std::wstring name = Utf16(JsonString(*item.action, "name"));
            put(verb == "desktop" ? "desktop link" : "quick-launch link", Lower(name), name);
        } else if (verb == "menu") {
            const std::wstring path = Expanded(item, "path");
            put("start-menu link", NormalPath(path), path);
        } else if (verb == "addfirewall") {
            const std::wstring path = Expanded(item, "path");
            put("firewall exception", NormalPath(path), path);
        } else if (verb == "setfileassociation") {
            const std::wstring ext = Utf16(JsonString(*item.action, "ext"));
            put("file association", Lower(ext), ext);
        } else if (verb == "instservice") {
            const std::wstring path = Expanded(item, "path");
            put("service", NormalPath(path), path);
        }
    }

    std::vector<std::wstring> folders, keysRemoved, keysExact, values, desktop, quick, menus, firewall, associations,
        services;
    for (const ListAction& item : Walk(uninstRoot, ExecutorKind::Uninstall)) {
        const std::string& verb = item.verb;
        const std::wstring root = RegistryRoot(JsonString(*item.action, "CLASS"));
        if (verb == "deldir")
            folders.push_back(NormalPath(Expanded(item, "path")));
        else if (verb == "delregkeyex")
            keysRemoved.push_back(root + L"\\" + NormalPath(Expanded(item, "KEY")));
        else if (verb == "delregkey")
            keysExact.push_back(root + L"\\" + NormalPath(Expanded(item, "KEY")));
        else if (verb == "delregvalue")
            values.push_back(root + L"\\" + NormalPath(Expanded(item, "KEY")) + L"|" +
                             Lower(Utf16(JsonString(*item.action, "SUBKEY"))));
        else if (verb == "desktop")
            desktop.push_back(Lower(Utf16(JsonString(*item.action, "name"))));
        else if (verb == "quickstart")
            quick.push_back(Lower(Utf16(JsonString(*item.action, "name"))));
        else if (verb == "menu")
            menus.push_back(NormalPath(Expanded(item, "path")));
        else if (verb == "removefirewall")
            firewall.push_back(NormalPath(Expanded(item, "path")));
        else if (verb == "removefileassociation")
            associations.push_back(Lower(Utf16(JsonString(*item.action, "ext"))));
        else if (verb == "uninstservice")
            services.push_back(NormalPath(Expanded(item, "path")));
    }
    auto contains = [](const std::vector<std::wstring>& list, const std::wstring& id) {
        for (const std::wstring& entry : list) {
            if (entry == id)
                return true;
        }
        return false;
    };

    std::map<std::wstring, bool> reportedKeys;
    for (const Placed& item : placed) {
        bool covered = false;
        if (item.what == "folder") {
            covered = contains(folders, item.id);
        } else if (item.what == "registry key") {
            const std::wstring key = item.id.substr(0, item.id.find(L'|'));
            covered = contains(values, item.id) || contains(keysExact, key);
            for (const std::wstring& removed : keysRemoved)
                covered = covered || UnderOrSame(key, removed);
            if (!covered) {
                // One warning per key, not per value.
                if (reportedKeys[key])
                    continue;
                reportedKeys[key] = true;
            }
        } else if (item.what == "desktop link") {
            covered = contains(desktop, item.id);
        } else if (item.what == "quick-launch link") {
            covered = contains(quick, item.id);
        } else if (item.what == "start-menu link") {
            for (const std::wstring& removed : menus)
                covered = covered || UnderOrSame(item.id, removed);
        } else if (item.what == "firewall exception") {
            covered = contains(firewall, item.id);
        } else if (item.what == "file association") {
            covered = contains(associations, item.id);
        } else if (item.what == "service") {
            covered = contains(services, item.id);
        }
        if (!covered)
            findings.push_back({FindingLevel::Warning, uninstLabel, "",
                                "does not take away the " + item.what + " \"" + Utf8(item.shown) +
                                    "\" that the install list puts in place at " + item.location});
    }

    CheckRemovalOrder(setupRoot, uninstRoot, uninstLabel, findings);
}
