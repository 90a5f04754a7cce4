#pragma once
// Helpers of the engine tests: a throw-away registry key under HKLM and
// small builders for setup lists.
#include <windows.h>

#include <json/json.h>

#include <atomic>
#include <string>

#include "common/CodeChange.h"

// HKLM\SOFTWARE\LarkspurTest\<pid>_<n>, removed with its subkeys at the end.
class TestMachineKey {
public:
    TestMachineKey()
    {
        static std::atomic<unsigned> counter{0};
        m_path = L"SOFTWARE\\LarkspurTest\\k" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                 std::to_wstring(counter++);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
    }
    ~TestMachineKey()
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str());
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LarkspurTest");
    }
    const std::wstring& Path() const { return m_path; }
    std::string PathUtf8() const { return CCodeChange::StringUTF16toUTF8(m_path); }

    bool SetString(const std::wstring& name, const std::wstring& value) const
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return false;
        LONG rc = ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }
    bool SetDword(const std::wstring& name, DWORD value) const
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return false;
        LONG rc = ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        ::RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }

private:
    std::wstring m_path;
};

inline Json::Value Component(const char* name, int order, const std::string& regkey = std::string())
{
    Json::Value c(Json::objectValue);
    c["id"] = std::string("id_") + name;
    c["name"] = name;
    c["order"] = order;
    c["version"] = "1.0.0.17";
    c["regkey"] = regkey;
    c["mutex"] = std::string("mutex_") + name;
    return c;
}

inline std::string ListText(const Json::Value& components, const char* mode = nullptr)
{
    Json::Value root(Json::objectValue);
    if (mode)
        root["mode"] = mode;
    root["installs"] = components;
    Json::StreamWriterBuilder writer;
    return Json::writeString(writer, root);
}
