#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "common/DebugOutput.h"
#include "common/Handles.h"
#include "common/WindowMessage.h"
#include "common/XLog.h"
#include "engine/InstallEngine.h"

bool UpPrivilege()
{
    HANDLE hToken = nullptr;
    if (!XCHECK(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken)))
        return false;
    UniqueHandle token(hToken);
    TOKEN_PRIVILEGES tkp = {};
    if (!XCHECK(LookupPrivilegeValue(NULL, SE_DEBUG_NAME, &tkp.Privileges[0].Luid)))
        return false;
    tkp.PrivilegeCount = 1;
    tkp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    return ::AdjustTokenPrivileges(hToken, FALSE, &tkp, 0, nullptr, nullptr) != FALSE;
}

void DeleteSelf()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ::SetPriorityClass(::GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    ::SHChangeNotify(SHCNE_DELETE, SHCNF_PATH, path, nullptr);
    std::wstring parameters = std::wstring(L"/c del /q ") + L"\"" + path + L"\"";
    DebugLine(L"stagehand.exe=>Delete your own:" + parameters);
    ::ShellExecuteW(nullptr, L"open", SystemProgramPath(L"cmd.exe").c_str(), parameters.c_str(), nullptr, SW_HIDE);
    ::ExitProcess(0);
}
