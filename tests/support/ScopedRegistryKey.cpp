#include "tests/support/ScopedRegistryKey.h"

#include <atomic>

#include "common/CodeChange.h"
#include "common/Handles.h"

namespace {

const wchar_t kParent[] = L"Software\\LarkspurTest";

}  // namespace

ScopedRegistryKey::ScopedRegistryKey(HKEY root) : m_root(root)
{
    static std::atomic<unsigned> counter {0};
    m_path =
        std::wstring(kParent) + L"\\k" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(counter++);
    ::RegDeleteTreeW(m_root, m_path.c_str());
}

ScopedRegistryKey::~ScopedRegistryKey()
{
    ::RegDeleteTreeW(m_root, m_path.c_str());
    ::RegDeleteKeyW(m_root, kParent);
}

std::string ScopedRegistryKey::PathUtf8() const
{
    return Utf8(m_path);
}

std::string ScopedRegistryKey::Json() const
{
    std::string json;
    for (char c : PathUtf8()) {
        json += c;
        if (c == '\\')
            json += '\\';
    }
    return json;
}

bool ScopedRegistryKey::SetString(const std::wstring& name, const std::wstring& value, const std::wstring& subkey) const
{
    return Set(subkey, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool ScopedRegistryKey::SetDword(const std::wstring& name, DWORD value, const std::wstring& subkey) const
{
    return Set(subkey, name, REG_DWORD, &value, sizeof(value));
}

bool ScopedRegistryKey::Set(const std::wstring& subkey, const std::wstring& name, DWORD type, const void* data,
                            DWORD size) const
{
    const std::wstring path = subkey.empty() ? m_path : m_path + L"\\" + subkey;
    UniqueHKey key;
    if (::RegCreateKeyExW(m_root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}
