#pragma once
// Registry helpers without state, shared by the file-association operations.
// Failures are reported as wide debug lines and returned as false.
#include <windows.h>

#include <string>

namespace BaseOperation {

// Creates or opens key under root and stores value (REG_SZ, with its terminator).
bool SetRegValue(const std::wstring& key, const std::wstring& valueName, const std::wstring& value, HKEY root);
// Deletes key under root together with every subkey.
bool RegDeleteKeyRecursive(const std::wstring& key, HKEY root);

}  // namespace BaseOperation
