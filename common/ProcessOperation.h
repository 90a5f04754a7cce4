#pragma once
// Process launchers: a normal start, a start at medium integrity for an
// elevated caller, a hidden start for helper commands, and the finder of a
// running program by its full path.
#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace ProcessOperation {

// Starts the command; an elevated caller on Vista or later starts it at
// medium integrity. Does not wait.
HRESULT RunNormalProcessW(const wchar_t* pszCmdline, const wchar_t* pszWorkDir);
// Starts the command with the caller's token and returns once it started.
HRESULT RunProcessAndWait(const wchar_t* pszCmd, const wchar_t* pszWorkDir);
// Starts the command with a copy of the caller's token lowered to medium integrity.
HRESULT CreateProcessWithIntegrityLevel(const wchar_t* strCmdline, const wchar_t* pszWorkDir);

}  // namespace ProcessOperation

// The relative identifier of the process's mandatory label (0x2000 medium, 0x3000 high).
HRESULT GetProcessIntegrityLevel(HANDLE hProcess, DWORD* pdwIntegrityLevel);
bool IsVistaOrLater();

// Starts the command with its main window shown as `show` (SW_SHOW, SW_HIDE,
// ...); empty handles when it did not start (the last error says why).
// `workDir` as below.
ProcessHandles StartProcess(const std::wstring& command, const wchar_t* workDir, WORD show, bool inheritHandles);
// Starts the command without a window, inheriting handles.
ProcessHandles StartHiddenProcess(const std::wstring& command, const wchar_t* workDir);
// Starts the command without a window; with bWait, blocks until it ends.
// Returns whether the command started (the last error says why not).
// `workDir` (null: the caller's) is the program's working folder.
bool RunHiddenProcess(const std::wstring& command, bool bWait, const wchar_t* workDir = nullptr);

// The first running process whose image is exactly this file (case ignored),
// opened with all access; empty when there is none.
UniqueHandle FindProcessByPath(const std::wstring& path);
