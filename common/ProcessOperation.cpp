#include "common/ProcessOperation.h"

#include <sddl.h>
#include <tlhelp32.h>

#include <vector>

#include "common/Handles.h"
#include "common/SystemLibrary.h"
#include "common/XLog.h"

namespace {

// Assertion records of this group name the file and the line of the check
// they stand for, so the records read the same from build to build.
constexpr wchar_t kRecordFile[] = L"ProcessOperation";

bool IsEmpty(const wchar_t* text)
{
    return text == nullptr || *text == L'\0';
}

using UniqueDesktop = UniqueWinHandle<NullHandleTraits<HDESK, ::CloseDesktop>>;

STARTUPINFOW PlainStartupInfo()
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    return si;
}

}  // namespace

namespace ProcessOperation {

HRESULT RunNormalProcessW(const wchar_t* pszCmdline, const wchar_t* pszWorkDir)
{
    if (IsEmpty(pszCmdline)) {
        XASSERT_TEXT_AT(false, L"pszCmdline && *pszCmdline", kRecordFile, 64);
        // Nothing was started: callers must not take this for a launch.
        return E_INVALIDARG;
    }
    XTRACE_FUNC_ARGS(L"FUNCTION: %s(pszCmdline=%s)", L"ProcessOperation::RunNormalProcessW", pszCmdline);
    if (IsVistaOrLater()) {
        DWORD level = 0;
        if (FAILED(GetProcessIntegrityLevel(::GetCurrentProcess(), &level)))
            level = 0;
        if (level >= SECURITY_MANDATORY_HIGH_RID)
            return CreateProcessWithIntegrityLevel(pszCmdline, pszWorkDir);
    }
    return RunProcessAndWait(pszCmdline, pszWorkDir);
}

HRESULT RunProcessAndWait(const wchar_t* pszCmd, const wchar_t* pszWorkDir)
{
    if (IsEmpty(pszCmd))
        return E_INVALIDARG;
    XTRACE_FUNC_ARGS(L"FUNCTION: %s( pszCmd=%s , dwMilliseconds=%d )", L"ProcessOperation::RunProcessAndWait", pszCmd,
                     0);
    // Only a test that the interactive desktop is reachable; the new process
    // is not told to use it.
    UniqueDesktop hdesk(
        ::OpenDesktopW(L"default", 0, FALSE, DESKTOP_READOBJECTS | DESKTOP_WRITEOBJECTS | READ_CONTROL | WRITE_DAC));
    if (!hdesk) {
        XASSERT_TEXT_AT(false, L"hdesk", kRecordFile, 23);
        return E_ACCESSDENIED;
    }
    UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ::SetLastError(0);
    std::wstring command(pszCmd);
    STARTUPINFOW si = PlainStartupInfo();
    PROCESS_INFORMATION pi = {};
    HRESULT hr = E_FAIL;
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, pszWorkDir, &si, &pi)) {
        ProcessHandles started(pi);
        ::SetLastError(0);
        hr = S_OK;
    } else {
        XASSERT_TEXT_AT(false,
                        L"CreateProcess(NULL, const_cast<WCHAR*>(pszCmd), NULL, NULL, FALSE, 0, NULL, pszWorkDir, &si, "
                        L"&pi)",
                        kRecordFile, 28);
    }
    ::SetErrorMode(oldMode);
    return hr;
}

HRESULT CreateProcessWithIntegrityLevel(const wchar_t* strCmdline, const wchar_t* pszWorkDir)
{
    if (IsEmpty(strCmdline)) {
        XASSERT_TEXT_AT(false, L"strCmdline && *strCmdline", kRecordFile, 81);
        return E_INVALIDARG;
    }
    wchar_t wszIntegritySid[MAX_PATH] = L"S-1-16-8192";
    XTRACE_FUNC_ARGS(L"FUNCTION: %s( strCmdline=%s , pwszIntegritySid=%s )",
                     L"ProcessOperation::CreateProcessWithIntegrityLevel", strCmdline, wszIntegritySid);

    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), MAXIMUM_ALLOWED, token.put())) {
        XASSERT_TEXT_AT(false, L"OpenProcessToken(GetCurrentProcess(),MAXIMUM_ALLOWED, &hToken)", kRecordFile, 87);
        return E_FAIL;
    }
    UniqueHandle newToken;
    if (!::DuplicateTokenEx(token.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                            newToken.put())) {
        XASSERT_TEXT_AT(false,
                        L"DuplicateTokenEx(hToken, MAXIMUM_ALLOWED, NULL, SecurityImpersonation, TokenPrimary, "
                        L"&hNewToken)",
                        kRecordFile, 92);
        return E_FAIL;
    }
    UniqueLocal integritySid;
    if (!::ConvertStringSidToSidW(wszIntegritySid, integritySid.put()) || !integritySid) {
        XASSERT_TEXT_AT(false, L"ConvertStringSidToSid(wszIntegritySid, &pIntegritySid) && pIntegritySid", kRecordFile,
                        95);
        return E_FAIL;
    }
    HRESULT hr = E_FAIL;
    TOKEN_MANDATORY_LABEL TIL = {};
    TIL.Label.Attributes = SE_GROUP_INTEGRITY;
    PSID pIntegritySid = integritySid.get();
    TIL.Label.Sid = pIntegritySid;
    if (!::SetTokenInformation(newToken.get(), TokenIntegrityLevel, &TIL,
                               sizeof(TOKEN_MANDATORY_LABEL) + ::GetLengthSid(pIntegritySid))) {
        XASSERT_TEXT_AT(false,
                        L"SetTokenInformation(hNewToken, TokenIntegrityLevel, &TIL, sizeof(TOKEN_MANDATORY_LABEL) + "
                        L"GetLengthSid(pIntegritySid))",
                        kRecordFile, 100);
    } else {
        wchar_t szCmdLine[520] = {};
        lstrcpynW(szCmdLine, strCmdline, 520);
        STARTUPINFOW si = PlainStartupInfo();
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessAsUserW(newToken.get(), nullptr, szCmdLine, nullptr, nullptr, FALSE, 0, nullptr, pszWorkDir,
                                   &si, &pi)) {
            ProcessHandles started(pi);
            hr = S_OK;
        } else {
            XASSERT_TEXT_AT(false,
                            L"CreateProcessAsUser(hNewToken, NULL, szCmdLine, NULL, NULL, FALSE, 0, NULL, pszWorkDir, "
                            L"&si, &pi)",
                            kRecordFile, 104);
        }
    }
    return hr;
}

}  // namespace ProcessOperation

HRESULT GetProcessIntegrityLevel(HANDLE hProcess, DWORD* pdwIntegrityLevel)
{
    if (hProcess == nullptr) {
        XASSERT_TEXT_AT(false, L"hProcess", kRecordFile, 111);
        return E_INVALIDARG;
    }
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) && version.dwMajorVersion <= 5)
        return E_FAIL;
    UniqueHandle token;
    if (!::OpenProcessToken(hProcess, TOKEN_QUERY, token.put()))
        return E_FAIL;
    DWORD level = 0;
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size) &&
        ::GetLastError() == ERROR_INSUFFICIENT_BUFFER && size != 0) {
        std::vector<BYTE> buffer(size);
        if (::GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size)) {
            PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
            UCHAR count = *::GetSidSubAuthorityCount(sid);
            if (count > 0)
                level = *::GetSidSubAuthority(sid, count - 1);
        }
    }
    if (pdwIntegrityLevel)
        *pdwIntegrityLevel = level;
    return S_OK;
}

bool IsVistaOrLater()
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
        return false;
    return version.dwPlatformId > VER_PLATFORM_WIN32_WINDOWS && version.dwMajorVersion >= 6;
}

ProcessHandles StartProcess(const std::wstring& command, const wchar_t* workDir, WORD show, bool inheritHandles)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = show;
    PROCESS_INFORMATION pi = {};
    std::wstring line(command);
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, inheritHandles ? TRUE : FALSE, 0, nullptr, workDir,
                          &si, &pi))
        return {};
    return ProcessHandles(pi);
}

ProcessHandles StartHiddenProcess(const std::wstring& command, const wchar_t* workDir)
{
    return StartProcess(command, workDir, SW_HIDE, true);
}

bool RunHiddenProcess(const std::wstring& command, bool bWait, const wchar_t* workDir)
{
    ProcessHandles started = StartHiddenProcess(command, workDir);
    if (!started.process)
        return false;
    if (bWait)
        ::WaitForSingleObject(started.process.get(), INFINITE);
    return true;
}

UniqueHandle FindProcessByPath(const std::wstring& path)
{
    std::wstring devicePath = path;
    if (path.size() >= 2 && path[1] == L':') {
        wchar_t device[MAX_PATH] = {};
        std::wstring drive = path.substr(0, 2);
        if (::QueryDosDeviceW(drive.c_str(), device, MAX_PATH) != 0)
            devicePath = std::wstring(device) + path.substr(2);
    }
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return {};
    // psapi.dll is not a KnownDLL on Windows XP: never imported, it is taken
    // from the system folder (Windows 7 and later have the same function in
    // kernel32 as K32GetProcessImageFileNameW).
    using ImageNameFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto imageName = kernel ? reinterpret_cast<ImageNameFn>(
                                  reinterpret_cast<void*>(::GetProcAddress(kernel, "K32GetProcessImageFileNameW")))
                            : nullptr;
    if (!imageName)
        imageName = SystemFunction<ImageNameFn>(L"psapi.dll", "GetProcessImageFileNameW");
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        UniqueHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID));
        if (!process)
            continue;
        wchar_t image[MAX_PATH] = {};
        if (!imageName || imageName(process.get(), image, MAX_PATH) == 0)
            continue;
        if (_wcsicmp(image, devicePath.c_str()) == 0)
            return process;
    }
    return {};
}
