// Reading the setup lists into _SetupList records, and the install check.
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>

#include "common/CodeChange.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/ComponentRecords.h"
#include "engine/model/FolderName.h"
#include "engine/InstallEngine.h"
#include "engine/model/InstallPath.h"
#include "engine/model/JsonFields.h"
#include "engine/RegistryRead.h"
#include "engine/SetupListFile.h"
#include "engine/SetupRun.h"

namespace {

// The Program Files folder of the running (32-bit) program with the company folder.
std::string DefaultCompanyFolder()
{
    return Utf8(FileSystem::GetSpecialFolderPath(CSIDL_PROGRAM_FILES) + L"\\" + kCompanyFolder);
}

// The list's root object and its "installs" array; false when the text is
// not JSON or its root is not an object.
bool ReadListRoot(const std::string& text, Json::Value& root)
{
    if (!ParseListText(text, root))
        return false;
    if (!root.isObject()) {
        DebugLine(L"stagehand.exe=>setup list: the root is not an object");
        return false;
    }
    return true;
}

const Json::Value& Installs(const Json::Value& root)
{
    const Json::Value& installs = JsonMember(root, "installs");
    return installs.isArray() ? installs : Json::Value::nullSingleton();
}

// The pieces of a version text split at ".", with no piece after a final ".".
std::vector<std::string> VersionPieces(const std::string& text)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t dot = text.find('.', start);
        if (dot == std::string::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, dot - start));
        start = dot + 1;
    }
    return pieces;
}

long LeadingNumber(const std::string& piece)
{
    return std::strtol(piece.c_str(), nullptr, 10);
}

}  // namespace

SetupListPtr ReadComponent(const Json::Value& element)
{
    auto record = std::make_shared<_SetupList>();
    record->strId = JsonString(element, "id");
    record->strName = JsonString(element, "name");
    record->nOrder = JsonInt(element, "order");
    record->strVersion = JsonString(element, "version");
    record->strRegKey = JsonString(element, "regkey");
    record->strMutex = JsonString(element, "mutex");
    record->bSelected = true;
    record->bNoShortCut = false;
    return record;
}

// Elements are copied whatever their type: an action that is not an object
// fails when the executor reaches it.
void CopyElements(const Json::Value& element, const char* key, std::vector<std::shared_ptr<Json::Value>>& out)
{
    const Json::Value& list = JsonMember(element, key);
    if (!list.isArray())
        return;
    for (const Json::Value& item : list)
        out.push_back(std::make_shared<Json::Value>(item));
}

void InsertInOrder(std::vector<SetupListPtr>& records, SetupListPtr record)
{
    auto at = records.begin();
    while (at != records.end() && (*at)->nOrder <= record->nOrder)
        ++at;
    records.insert(at, std::move(record));
}

bool ParseSetupList(SetupRun& run)
{
    Json::Value root;
    if (!ReadListRoot(run.strSetupList, root))
        return false;
    const Json::Value& mode = JsonMember(root, "mode");
    if (mode.isString())
        run.strMode = mode.asString();

    run.vecSelected.clear();
    run.vecAll.clear();
    for (const Json::Value& element : Installs(root)) {
        if (!element.isObject()) {
            DebugLine(L"stagehand.exe=>setup list: a component that is not an object is skipped");
            continue;
        }
        SetupListPtr record = ReadComponent(element);
        bool fromSwitch = false;
        if (!IsServiceComponent(*record) && !CInstallEngine::m_wstrInstallDir.empty()) {
            std::wstring code;
            if (CheckInstallPath(CInstallEngine::m_wstrInstallDir, code)) {
                record->strInstallDir = Utf8(CInstallEngine::m_wstrInstallDir);
                fromSwitch = true;
            }
        }
        if (!fromSwitch)
            record->strInstallDir = JsonString(element, "installDir");
        if (record->strInstallDir.empty())
            record->strInstallDir = DefaultCompanyFolder();
        CopyElements(element, "actions", record->vecActions);
        CopyElements(element, "runlist", record->vecRunList);
        InsertInOrder(run.vecAll, std::move(record));
    }
    return true;
}

bool ParseUninstallList(SetupRun& run)
{
    Json::Value root;
    if (!ReadListRoot(run.strSetupList, root))
        return false;

    run.vecSelected.clear();
    run.vecAll.clear();
    const std::wstring& unloadType = CInstallEngine::m_wstrUnloadType;
    for (const Json::Value& element : Installs(root)) {
        if (!element.isObject()) {
            DebugLine(L"stagehand.exe=>setup list: a component that is not an object is skipped");
            continue;
        }
        SetupListPtr record = ReadComponent(element);
        const bool isService = IsServiceComponent(*record);

        if (UniqueHKey key = OpenMachineKey(Utf16(record->strRegKey), KEY_READ)) {
            std::wstring folder;
            if (ReadRegString(key.get(), L"InstallDir", 599, 599, folder))
                record->strInstallDir = Utf8(folder);
        }
        if (record->strInstallDir.empty()) {
            if (isService) {
                record->strInstallDir = DefaultCompanyFolder();
            } else {
                std::wstring parent = ParentFolderOf(FileSystem::GetModuleDirectory());
                while (!parent.empty() && (parent.back() == L'\\' || parent.back() == L'/'))
                    parent.pop_back();
                record->strInstallDir = Utf8(parent);
            }
        }
        CopyElements(element, "actions", record->vecActions);

        if (!unloadType.empty() && unloadType != L"All" && !isService && Utf16(record->strName) != unloadType)
            continue;
        InsertInOrder(run.vecAll, std::move(record));
    }
    return true;
}

bool ReadInstalledState(SetupRun& run)
{
    for (const SetupListPtr& record : run.vecAll) {
        const bool isService = IsServiceComponent(*record);
        if (UniqueHKey key = OpenMachineKey(Utf16(record->strRegKey), KEY_READ)) {
            std::wstring appPath;
            if (ReadRegString(key.get(), L"AppInstallPath", 519, 519, appPath) && !appPath.empty() &&
                ::PathFileExistsW(appPath.c_str())) {
                std::wstring text;
                if (isService && ReadRegString(key.get(), L"Version", 520, 520, text))
                    record->bSelected = CompareVersion(Utf8(text), record->strVersion) == -1;
                std::wstring folder;
                if (ReadRegString(key.get(), L"InstallDir", 520, 520, folder)) {
                    record->strInstallDir = Utf8(folder);
                    if (!isService)
                        CInstallEngine::m_bSkipSelect = true;
                }
                std::wstring noShortcut;
                if (ReadRegString(key.get(), L"bNoShortCut", 520, 520, noShortcut) && noShortcut == L"1")
                    record->bNoShortCut = true;
            }
        }
        if (isService)
            run.pInstallParam->strServiceDir = record->strInstallDir;
        else
            run.pInstallParam->strInstallPath = record->strInstallDir;
    }
    run.vecSelected.clear();
    for (const SetupListPtr& record : run.vecAll) {
        if (record->bSelected)
            run.vecSelected.push_back(record);
    }
    return true;
}

int CompareVersion(const std::string& a, const std::string& b)
{
    const std::vector<std::string> left = VersionPieces(a);
    const std::vector<std::string> right = VersionPieces(b);
    if (left.size() != 4)
        return -1;
    if (right.size() != 4)
        return 1;
    for (size_t i = 0; i < 4; ++i) {
        const long x = LeadingNumber(left[i]);
        const long y = LeadingNumber(right[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}
