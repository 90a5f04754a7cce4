#pragma once
// Messages to windows of other processes. A window found by its class name
// may belong to a hung or hostile program: nothing here waits without limit.
#include <windows.h>

#include <string>

// How long a cross-process send waits for the receiver before giving up.
constexpr UINT kCrossProcessSendTimeoutMs = 5000;

// Sends `bytes` (no terminator, dwData 0) as WM_COPYDATA with `wParam`. False
// when the window is hung, does not answer within `timeoutMs`, or the send fails.
bool SendCopyData(HWND window, WPARAM wParam, const std::string& bytes, UINT timeoutMs = kCrossProcessSendTimeoutMs);

// The full path of a program in the system folder (for example L"cmd.exe"),
// so that a program of that name planted elsewhere is never started instead.
std::wstring SystemProgramPath(const wchar_t* name);
