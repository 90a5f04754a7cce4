#include "actions/RegistryRoot.h"

HKEY RootKeyFromClass(const std::wstring& name)
{
    if (name == L"HKCU")
        return HKEY_CURRENT_USER;
    if (name == L"HKLM")
        return HKEY_LOCAL_MACHINE;
    if (name == L"HKCR")
        return HKEY_CLASSES_ROOT;
    if (name == L"HKU")
        return HKEY_USERS;
    if (name == L"HKCC")
        return HKEY_CURRENT_CONFIG;
    return nullptr;
}
