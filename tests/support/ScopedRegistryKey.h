#pragma once
// A throw-away registry key for tests: <root>\Software\LarkspurTest\k<pid>_<n>,
// removed with its subtree at the end (and the parent, once it is empty).
#include <windows.h>

#include <string>

class ScopedRegistryKey {
public:
    explicit ScopedRegistryKey(HKEY root = HKEY_LOCAL_MACHINE);
    ~ScopedRegistryKey();
    ScopedRegistryKey(const ScopedRegistryKey&) = delete;
    ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

    HKEY Root() const { return m_root; }
    const std::wstring& Path() const { return m_path; }
    std::string PathUtf8() const;
    // The path with every backslash doubled, for JSON texts.
    std::string Json() const;

    // Values of the key itself, or of a subkey below it; the key is created as needed.
    bool SetString(const std::wstring& name, const std::wstring& value, const std::wstring& subkey = L"") const;
    bool SetDword(const std::wstring& name, DWORD value, const std::wstring& subkey = L"") const;

private:
    bool Set(const std::wstring& subkey, const std::wstring& name, DWORD type, const void* data, DWORD size) const;

    HKEY m_root;
    std::wstring m_path;
};
