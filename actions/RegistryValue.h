#pragma once
// Registry reads and writes shared by the registry and channel verbs.
#include <windows.h>

#include <string>

// Reads a string value; false when it is missing or not readable.
// maxBytes limits what is read (0: the whole value).
bool ReadRegText(HKEY key, const std::wstring& name, std::wstring& text, DWORD maxBytes = 0);
// Stores text as REG_SZ of twice its length in bytes (no terminator stored).
LONG WriteRegText(HKEY key, const std::wstring& name, const std::wstring& text);
