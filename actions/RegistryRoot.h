#pragma once
// Root keys named by an action's "CLASS".
#include <windows.h>

#include <string>

// "HKCU", "HKLM", "HKCR", "HKU" or "HKCC" (exact case); null for any other text.
HKEY RootKeyFromClass(const std::wstring& name);
