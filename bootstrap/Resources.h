#pragma once
// setup's resources written to files or read as text.
#include <windows.h>

#include <string>

#include "common/Handles.h"

// Writes resource `id` of `type` from `module` to `path`, creating missing
// parent folders. A resource that does not exist leaves an empty file and
// still succeeds; false when the file cannot be created or fully written.
bool WriteResourceToFile(HMODULE module, const std::wstring& path, const wchar_t* type, int id);

// Writes resource `id` to a new file (never an existing one) and returns the
// read handle of PrivateFiles::WritePinnedFile (missing parent folders are
// created; a missing resource gives an empty file); empty on any failure.
UniqueHandle WritePinnedResource(HMODULE module, const std::wstring& path, const wchar_t* type, int id);

// The bytes of resource 112 of `type`, up to the first zero byte.
std::string ReadResourceText(HMODULE module, const wchar_t* type);
