#include "actions/RegistryValue.h"

#include <cwchar>
#include <vector>

bool ReadRegText(HKEY key, const std::wstring& name, std::wstring& text, DWORD maxBytes)
{
    DWORD type = 0;
    DWORD size = 0;
    if (maxBytes == 0) {
        if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
    } else {
        size = maxBytes;
    }
    std::vector<BYTE> buffer(size + sizeof(wchar_t), 0);
    DWORD read = size;
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, buffer.data(), &read) != ERROR_SUCCESS)
        return false;
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(buffer.data());
    text.assign(chars, wcsnlen(chars, read / sizeof(wchar_t)));
    return true;
}

LONG WriteRegText(HKEY key, const std::wstring& name, const std::wstring& text)
{
    return ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}
