#include "engine/RegistryRead.h"

#include <vector>

UniqueHKey OpenMachineKey(const std::wstring& subKey, REGSAM access)
{
    UniqueHKey key;
    // An empty name would open the root itself, which is no component's record.
    if (!subKey.empty() && ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, access, key.put()) != ERROR_SUCCESS)
        key.release();
    return key;
}

bool ReadRegString(HKEY key, const wchar_t* name, DWORD bufferBytes, DWORD sizeBytes, std::wstring& value)
{
    if (!key)
        return false;
    // Two spare units keep the text terminated whatever the query wrote.
    std::vector<wchar_t> buffer(bufferBytes / sizeof(wchar_t) + 2, L'\0');
    DWORD type = 0;
    DWORD size = sizeBytes;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    value.assign(buffer.data());
    return true;
}
