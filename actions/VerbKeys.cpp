#include "actions/VerbKeys.h"

#include "actions/Placeholders.h"
#include "engine/model/JsonFields.h"

namespace {

using P = PlaceholderSource;
using R = KeyReader;
namespace T = Placeholder;

const KeyExpansion kProgramDirFirst {T::kProgramDir, P::ComponentDir, false};
const KeyExpansion kProgramDirAll {T::kProgramDir, P::ComponentDir, true};
const KeyExpansion kRegKeyAll {T::kRegKey, P::RegKey, true};
const KeyExpansion kVersionAll {T::kVersionCode, P::Version, true};
const KeyExpansion kModeAll {T::kMode, P::Mode, true};
const KeyExpansion kStartMenuFirst {T::kStartMenu, P::StartMenu, false};

VerbKey Key(const char* name, KeyReader reader, bool required, std::vector<KeyExpansion> expansions = {})
{
    return VerbKey {name, reader, required, std::move(expansions)};
}

VerbKey FolderPartKey(const char* name, KeyReader reader, bool required, std::vector<KeyExpansion> expansions)
{
    VerbKey key = Key(name, reader, required, std::move(expansions));
    key.folderPartOnly = true;
    return key;
}

std::vector<VerbEntry> InstallEntries()
{
    const std::vector<VerbKey> regWrite = {
        Key("CLASS", R::Text, true),   Key("KEY", R::Text, true, {kRegKeyAll}),
        Key("SUBKEY", R::Text, true),  Key("value", R::Text, true, {kVersionAll, kModeAll, kProgramDirAll}),
        Key("bCover", R::Bool, false),
    };
    const std::vector<VerbKey> link = {
        Key("name", R::Text, true),
        Key("path", R::Text, true, {kProgramDirFirst}),
        Key("params", R::TextIfString, false),
        Key("icon", R::TextIfString, false, {kProgramDirFirst}),
    };
    std::vector<VerbKey> quick = link;
    quick.push_back(Key("pin", R::Text, false));
    quick.push_back(Key("checklist", R::TextIfString, false));
    const std::vector<VerbKey> service = {
        Key("path", R::Text, true, {kProgramDirFirst, {T::kServiceDir, P::InstallServiceDir, false}}),
        Key("para", R::Text, false),
        Key("bWait", R::Bool, false),
    };
    const std::vector<KeyExpansion> associationPath = {{T::kServiceDir, P::InstallServiceDir, false}, kProgramDirFirst};
    return {
        {"mkdir",
         "MakeDir",
         {Key("dirname", R::Text, true, {kProgramDirFirst, {T::kServiceDir, P::InstallServiceDir, false}})}},
        {"copyfile",
         "CopyFiles",
         {Key("src", R::Text, true, {{T::kCurrentPath, P::SetupDir, false}}),
          Key("dst", R::Text, true, {kProgramDirFirst, {T::kServiceDir, P::ComponentDir, false}})}},
        {"writereg", "WriteReg", regWrite},
        {"channel",
         "WriteChannel",
         {Key("CLASS", R::Text, true), Key("KEY", R::Text, true, {kRegKeyAll}), Key("SUBKEY", R::Text, false),
          Key("value", R::Text, false, {kProgramDirAll})}},
        {"killprocess",
         "KillProcess",
         {Key(
             "path", R::Text, true,
             {kProgramDirFirst, {T::kPcSuitDir, P::InstallAppDir, false}, {T::kServiceDir, P::InstallAppDir, false}})}},
        {"aesencode",
         "AesEncode",
         {Key("src", R::Text, true, {{T::kCurrentPath, P::SetupDir, false}}),
          Key("dst", R::Text, true, {kProgramDirFirst})}},
        {"instservice", "InstService", service},
        {"uninstservice", "UninstService", service},
        {"writeregsilent", "WriteRegSilent", regWrite},
        {"silentmini", "SilentMini", {Key("detail", R::Array, false)}},
        {"writeconfig", "WriteConfig", {}},
        {"createlog",
         "CreateLog",
         {Key("CLASS", R::Text, true), Key("KEY", R::Text, true),
          Key("path", R::Text, true, {{T::kServiceDir, P::InstallServiceDir, false}, kProgramDirFirst})}},
        {"writeinstalltime",
         "WriteInstallTime",
         {Key("CLASS", R::Text, true), Key("KEY", R::Text, true, {kRegKeyAll}), Key("SUBKEY", R::Text, true),
          Key("bCover", R::Bool, false)}},
        {"desktop", "CreateMyDesktop", link},
        {"quickstart", "CreateQuickstart", quick},
        {"menu",
         "CreateMenuSC",
         {FolderPartKey("path", R::Text, true, {kStartMenuFirst}), Key("dst", R::Text, true, {kProgramDirFirst}),
          Key("params", R::TextIfString, false), Key("icon", R::TextIfString, false, {kProgramDirFirst}),
          Key("pin", R::Text, false), Key("checklist", R::TextIfString, false, {kStartMenuFirst})}},
        {"deletedesktop", "DeleteDesktop", {Key("name", R::Text, true)}},
        {"addfirewall",
         "AddToFirewall",
         {Key("name", R::Text, true),
          Key("path", R::Text, true, {kProgramDirFirst, {T::kServiceDir, P::ComponentDir, false}}),
          Key("type", R::Text, false)}},
        {"setfileassociation",
         "SetFileAssociation",
         {Key("ext", R::Text, true), Key("app_key", R::Text, true), Key("app_path", R::Text, true, associationPath),
          Key("icon_path", R::Text, false, associationPath), Key("description", R::Text, false),
          Key("command_name", R::Text, false), Key("command_arg", R::Text, false)}},
    };
}

std::vector<VerbEntry> UninstallEntries()
{
    const std::vector<VerbKey> regKey = {Key("CLASS", R::Text, true), Key("KEY", R::Text, true, {kRegKeyAll})};
    std::vector<VerbKey> regValue = regKey;
    regValue.push_back(Key("SUBKEY", R::Text, true));
    return {
        {"deldir", "DeleteDir", {Key("path", R::Text, true, {kProgramDirFirst}), Key("empty", R::Text, false)}},
        {"delfile", "DeleteFiles", {Key("path", R::Text, true, {kProgramDirFirst})}},
        {"delregkeyex", "DeleteRegKeyEx", regKey},
        {"delregkey", "DeleteRegKey", regKey},
        {"delregvalue", "DeleteRegValue", regValue},
        {"killprocess",
         "KillProcess",
         {Key("path", R::Text, true, {kProgramDirFirst, {T::kPcSuitDir, P::UninstallAppDir, false}})}},
        {"deluser",
         "DeleteUserData",
         {Key("location", R::Text, true),
          Key("path", R::Text, true,
              {{T::kMyDocuments, P::MyDocuments, false, ExpansionWhen::LocationIsMyDocument},
               {T::kAppData, P::TempDir, false, ExpansionWhen::LocationIsOther}})}},
        {"uninstservice",
         "UninstService",
         {Key("path", R::Text, true, {kProgramDirFirst, {T::kServiceDir, P::UninstallServiceDir, false}}),
          Key("para", R::Text, false), Key("bWait", R::Bool, false)}},
        {"writereg",
         "WriteReg",
         {Key("CLASS", R::Text, true), Key("KEY", R::Text, true), Key("SUBKEY", R::Text, true),
          Key("value", R::Text, true, {kVersionAll, kModeAll})}},
        {"rewritechannelid",
         "RewriteChannelID",
         {Key("CLASS", R::Text, true), Key("KEY", R::Text, true), Key("SUBKEY", R::Text, false),
          Key("CURKEYNAME", R::Text, true)}},
        {"desktop", "DeleteMyDesktop", {Key("name", R::Text, true)}},
        {"quickstart", "DeleteQuickstart", {Key("name", R::Text, true), Key("pin", R::Text, false)}},
        {"menu", "DeleteMenuSC", {Key("path", R::Text, true, {kStartMenuFirst}), Key("pin", R::Text, false)}},
        {"unpin", "Unpin", {Key("path", R::Text, true, {kProgramDirFirst}), Key("option", R::Text, true)}},
        {"removefirewall", "RemoveFromFirewall", {Key("path", R::Text, true, {kProgramDirFirst})}},
        {"removefileassociation", "RemoveFileAssociation", {Key("ext", R::Text, true), Key("app_key", R::Text, true)}},
    };
}

}  // namespace

const std::vector<VerbEntry>& VerbEntries(ExecutorKind kind)
{
    static const std::vector<VerbEntry> install = InstallEntries();
    static const std::vector<VerbEntry> uninstall = UninstallEntries();
    return kind == ExecutorKind::Install ? install : uninstall;
}

const VerbEntry* FindVerbEntry(ExecutorKind kind, const std::string& verb)
{
    for (const VerbEntry& verbEntry : VerbEntries(kind)) {
        if (verb == verbEntry.verb)
            return &verbEntry;
    }
    return nullptr;
}

const std::vector<VerbKey>& CommonActionKeys(ExecutorKind kind)
{
    static const std::vector<VerbKey> install = {Key("action", R::Text, true), Key("disable_mode", R::Array, false)};
    static const std::vector<VerbKey> uninstall = {Key("action", R::Text, true)};
    return kind == ExecutorKind::Install ? install : uninstall;
}

const std::vector<std::wstring>& KnownPlaceholders()
{
    static const std::vector<std::wstring> tokens = {T::kProgramDir,  T::kServiceDir,  T::kPcSuitDir, T::kCurrentPath,
                                                     T::kRegKey,      T::kVersionCode, T::kMode,      T::kStartMenu,
                                                     T::kMyDocuments, T::kAppData};
    return tokens;
}

std::wstring ExpandVerbKey(const VerbKey& key, std::wstring text, const Json::Value& action,
                           const PlaceholderValues& values)
{
    if (key.folderPartOnly) {
        const size_t slash = text.rfind(L'\\');
        if (slash == std::wstring::npos)
            return text;
        VerbKey whole = key;
        whole.folderPartOnly = false;
        return ExpandVerbKey(whole, text.substr(0, slash), action, values) + text.substr(slash);
    }
    const bool myDocument = JsonString(action, "location") == "MyDocument";
    for (const KeyExpansion& expansion : key.expansions) {
        if ((expansion.when == ExpansionWhen::LocationIsMyDocument && !myDocument) ||
            (expansion.when == ExpansionWhen::LocationIsOther && myDocument))
            continue;
        auto found = values.find(expansion.source);
        const std::wstring value = found == values.end() ? std::wstring() : found->second;
        if (expansion.all)
            ReplaceAll(text, expansion.token, value);
        else
            ReplaceFirst(text, expansion.token, value);
    }
    return text;
}
