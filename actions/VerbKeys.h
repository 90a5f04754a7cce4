#pragma once
// What each verb of each executor reads from its action object: the keys,
// how each is read, whether a list must give it, and which placeholders the
// operation expands in it (in order). The operations' own reads agree with
// this table; the list checker and the run plan work from it.
#include <json/json.h>

#include <map>
#include <string>
#include <vector>

enum class ExecutorKind { Install, Uninstall };

// How an operation reads a key (see ActionFields.h and ShortcutPaths.h).
enum class KeyReader {
    Text,          // ActionText: numbers and booleans convert, arrays and objects fail the action
    Bool,          // ActionBool: only booleans and numbers; anything else fails the action
    TextIfString,  // only a string is used; another type reads as ""
    Array,         // only an array is used; another type is ignored
};

// Where a placeholder's value comes from.
enum class PlaceholderSource {
    ComponentDir,         // the current component's base folder
    InstallServiceDir,    // the service component's folder (install answers)
    InstallAppDir,        // the application's base folder (install answers)
    UninstallServiceDir,  // the service component's folder (uninstall answers)
    UninstallAppDir,      // the application's base folder (uninstall answers)
    SetupDir,             // the running engine's folder, ending with a backslash
    RegKey,
    Version,
    Mode,
    StartMenu,    // the start-menu programs folder
    MyDocuments,  // the user's documents folder
    TempDir,      // the user's temporary folder
};

// An expansion applies only when the action's "location" says so ("deluser").
enum class ExpansionWhen { Always, LocationIsMyDocument, LocationIsOther };

struct KeyExpansion {
    const wchar_t* token;
    PlaceholderSource source;
    bool all;  // every occurrence, else the first only
    ExpansionWhen when = ExpansionWhen::Always;
};

struct VerbKey {
    const char* name;
    KeyReader reader;
    bool required;
    std::vector<KeyExpansion> expansions;
    // The expansions apply to the text before the last backslash only (an
    // install "menu" path: folder, then the link's name).
    bool folderPartOnly = false;
};

struct VerbEntry {
    const char* verb;
    const char* operation;  // the executor's operation bound to the verb
    std::vector<VerbKey> keys;
};

// Every verb of the executor, in the order its table registers them.
const std::vector<VerbEntry>& VerbEntries(ExecutorKind kind);
// The verb's entry, or nullptr when the executor does not know it.
const VerbEntry* FindVerbEntry(ExecutorKind kind, const std::string& verb);
// Keys every action may carry besides its verb's: "action" and (install
// only) "disable_mode".
const std::vector<VerbKey>& CommonActionKeys(ExecutorKind kind);
// Every placeholder token any operation knows.
const std::vector<std::wstring>& KnownPlaceholders();

using PlaceholderValues = std::map<PlaceholderSource, std::wstring>;
// The key's text with its expansions applied, as the operation applies them;
// a source missing from values expands to "".
std::wstring ExpandVerbKey(const VerbKey& key, std::wstring text, const Json::Value& action,
                           const PlaceholderValues& values);
