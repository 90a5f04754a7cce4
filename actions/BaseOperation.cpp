#include "actions/BaseOperation.h"

#include "common/DebugOutput.h"
#include "common/Handles.h"

namespace {

void ReportValueStep(const wchar_t* step, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                     LONG error)
{
    DebugLine(std::wstring(L"BaseOperation::SetRegValue() ") + step + L" key:'" + key + L"' valueName:'" + name +
              L"' value:'" + value + L"' error:" + std::to_wstring(error));
}

void ReportKeyStep(const wchar_t* step, const std::wstring& key, LONG error)
{
    DebugLine(std::wstring(L"BaseOperation::RegDeleteKeyRecursive() ") + step + L" key:'" + key + L"' error:" +
              std::to_wstring(error));
}

}  // namespace

namespace BaseOperation {

bool SetRegValue(const std::wstring& key, const std::wstring& valueName, const std::wstring& value, HKEY root)
{
    // Owned until the reported close below, so that no exit path leaks it.
    UniqueHKey hKey;
    LONG error = ::RegCreateKeyW(root, key.c_str(), hKey.put());
    if (error != ERROR_SUCCESS) {
        ReportValueStep(L"RegCreateKey", key, valueName, value, error);
        return false;
    }
    bool ok = true;
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t) + sizeof(wchar_t));
    error =
        ::RegSetValueExW(hKey.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    if (error != ERROR_SUCCESS) {
        ReportValueStep(L"RegSetValueEx", key, valueName, value, error);
        ok = false;
    }
    error = ::RegCloseKey(hKey.release());
    if (error != ERROR_SUCCESS) {
        ReportValueStep(L"RegCloseKey", key, valueName, value, error);
        ok = false;
    }
    return ok;
}

bool RegDeleteKeyRecursive(const std::wstring& key, HKEY root)
{
    // An empty path would open the root itself and empty it.
    UniqueHKey hKey;
    LONG error = key.empty() ? ERROR_INVALID_PARAMETER : ::RegOpenKeyW(root, key.c_str(), hKey.put());
    if (error != ERROR_SUCCESS) {
        ReportKeyStep(L"RegOpenKey", key, error);
        return false;
    }
    wchar_t name[512];
    while (::RegEnumKeyW(hKey.get(), 0, name, 512) == ERROR_SUCCESS) {
        if (!RegDeleteKeyRecursive(name, hKey.get()))
            break;
    }
    error = ::RegCloseKey(hKey.release());
    if (error != ERROR_SUCCESS) {
        ReportKeyStep(L"RegCloseKey", key, error);
        return false;
    }
    error = ::RegDeleteKeyW(root, key.c_str());
    if (error != ERROR_SUCCESS) {
        ReportKeyStep(L"RegDeleteKey", key, error);
        return false;
    }
    return true;
}

}  // namespace BaseOperation
