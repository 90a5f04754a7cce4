#pragma once
// A page that cannot be shown (its window not made, its file not loaded, its
// script stopped before the page said it was ready) must never leave an
// invisible run behind: the user is told, in the page's language, and the UI
// ends without success.
#include <windows.h>

#include <string>

// How long a loaded page has to call the native function "PageReady".
inline constexpr UINT kPageReadyWaitMs = 3000;

// The error text in `language` as the pages choose it (one of the six page
// languages; any other code gives the pages' default, zh_CN).
std::wstring PageFailureText(const std::wstring& language);

// Logs "stagehand.exe=>page <page> failed: <reason>" and shows the error text
// in a message box owned by nobody (the page's windows may not exist).
void ReportPageFailure(const std::wstring& page, const std::wstring& reason, const std::wstring& language);
