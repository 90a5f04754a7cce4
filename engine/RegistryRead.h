#pragma once
// Reads of string values of the earlier installations' registry records.
#include <windows.h>

#include <string>

#include "common/Handles.h"

// Opens HKEY_LOCAL_MACHINE\subKey with the given access; empty when it fails
// or when subKey is empty.
UniqueHKey OpenMachineKey(const std::wstring& subKey, REGSAM access);

// A REG_SZ / REG_EXPAND_SZ value read into a zero-filled buffer of
// bufferBytes bytes, of which sizeBytes are offered to the query. A value
// that does not fit, is missing or is not a string cannot be read: false,
// and value is left unchanged.
bool ReadRegString(HKEY key, const wchar_t* name, DWORD bufferBytes, DWORD sizeBytes, std::wstring& value);
