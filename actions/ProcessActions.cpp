// Ending running programs, starting the service program, the log marker.
#include <windows.h>

#include "actions/ActionFields.h"
#include "actions/Installer.h"
#include "actions/RegistryRoot.h"
#include "actions/RegistryValue.h"
#include "actions/Uninstaller.h"
#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/ProcessOperation.h"

namespace {

constexpr int kKillRounds = 10;
constexpr DWORD kKillWaitMs = 5000;

// Ends up to ten running instances of exactly this executable.
void EndProcesses(const std::wstring& path)
{
    for (int round = 0; round < kKillRounds; ++round) {
        UniqueHandle process = FindProcessByPath(path);
        if (!process)
            break;
        ::TerminateProcess(process.get(), 0);
        ::WaitForSingleObject(process.get(), kKillWaitMs);
    }
}

// Runs the service program (path already expanded) hidden with its switch,
// waiting when bWait says so.
void RunServiceCommand(const Json::Value& action, const std::wstring& path, const wchar_t* defaultPara,
                       const wchar_t* linePrefix)
{
    std::wstring para = ActionText(action, "para");
    bool bWait = ActionBool(action, "bWait", false);
    if (para.empty())
        para = defaultPara;
    std::wstring command = L"\"" + path + L"\" " + para;
    DebugLine(linePrefix + command);
    // A service program that cannot start leaves the service as it was; say so.
    // The service program works in its own folder, never in the engine's work folder.
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    if (!RunHiddenProcess(command, bWait, folder.empty() ? nullptr : folder.c_str()))
        DebugLine(L"stagehand.exe=>RunHiddenProcess CreateProcess:" + std::to_wstring(::GetLastError()) + L",cmd=" +
                  command + L"\n");
}

}  // namespace

bool Installer::KillProcess(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring path = ExpandedText(*action, "killprocess", "path");
    EndProcesses(path);
    return true;
}

bool Uninstaller::KillProcess(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring path = ExpandedText(*action, "killprocess", "path");
    EndProcesses(path);
    return true;
}

bool Installer::InstService(std::shared_ptr<Json::Value> action, std::string&)
{
    RunServiceCommand(*action, ExpandedText(*action, "instservice", "path"), L"-i",
                      L"stagehand.exe=>Installer::InstService:");
    return true;
}

bool Installer::UninstService(std::shared_ptr<Json::Value> action, std::string&)
{
    RunServiceCommand(*action, ExpandedText(*action, "uninstservice", "path"), L"-u",
                      L"stagehand.exe=>Installer::UninstService:");
    return true;
}

bool Uninstaller::UninstService(std::shared_ptr<Json::Value> action, std::string&)
{
    RunServiceCommand(*action, ExpandedText(*action, "uninstservice", "path"), L"-u",
                      L"stagehand.exe=>Uninstaller::UninstService:");
    return true;
}

bool Installer::CreateLog(std::shared_ptr<Json::Value> action, std::string&)
{
    HKEY root = RootKeyFromClass(ActionText(*action, "CLASS"));
    std::wstring key = ActionText(*action, "KEY");
    std::wstring path = ExpandedText(*action, "createlog", "path");
    UniqueHKey opened;
    if (root == nullptr || ::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, opened.put()) != ERROR_SUCCESS)
        return true;
    std::wstring mode;
    if (!ReadRegText(opened.get(), L"EnvMode", mode, 519))
        return true;
    if (mode == L"1")
        FileSystem::WriteStringToFile(path, std::string());
    return true;
}
