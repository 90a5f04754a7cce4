#pragma once
// setup's resources written to files or read as text.
#include <windows.h>

#include <string>

// Writes resource `id` of `type` from `module` to `path`, creating missing
// parent folders. A resource that does not exist leaves an empty file and
// still succeeds; false when the file cannot be created or fully written.
bool WriteResourceToFile(HMODULE module, const std::wstring& path, const wchar_t* type, int id);

// The bytes of resource 112 of `type`, up to the first zero byte.
std::string ReadResourceText(HMODULE module, const wchar_t* type);
