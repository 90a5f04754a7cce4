#include "common/MachineIdentity.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/CodeChange.h"
#include "common/Handles.h"
#include "common/SystemLibrary.h"

namespace {

const wchar_t kNetworkClassKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";

bool ReadDword(HKEY key, const wchar_t* name, DWORD& value)
{
    DWORD size = sizeof(value);
    DWORD type = 0;
    value = 0;
    return ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           size == sizeof(DWORD);
}

}  // namespace

std::string FormatHardwareAddress(const unsigned char* bytes, unsigned length)
{
    if (length > 8)
        length = 8;
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof(digits), "%02x", bytes[i]);
        text += digits;
    }
    return text;
}

bool FindAdapterConnectionKey(const std::wstring& adapterName, std::wstring& keyPath)
{
    UniqueHKey classKey;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNetworkClassKey, 0, KEY_ALL_ACCESS, classKey.put()) != ERROR_SUCCESS)
        return false;
    for (DWORD index = 0;; ++index) {
        wchar_t name[50] = {};
        DWORD nameSize = 50;
        if (::RegEnumKeyExW(classKey.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (adapterName != name)
            continue;
        std::wstring path = std::wstring(kNetworkClassKey) + name + L"\\Connection";
        UniqueHKey connection;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, connection.put()) != ERROR_SUCCESS)
            continue;
        wchar_t pnp[130] = {};  // 260 bytes
        DWORD size = sizeof(pnp) - sizeof(wchar_t);
        if (::RegQueryValueExW(connection.get(), L"PnpInstanceID", nullptr, nullptr, reinterpret_cast<BYTE*>(pnp),
                               &size) != ERROR_SUCCESS)
            continue;
        if (std::wstring(pnp).find(L"PCI") != std::wstring::npos) {
            keyPath = path;
            return true;
        }
    }
    return false;
}

bool IsPhysicalMediaConnection(const std::wstring& keyPath)
{
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        return false;
    DWORD value = 0;
    if (ReadDword(key.get(), L"MediaSubType", value))
        return value == 1;
    if (ReadDword(key.get(), L"DefaultNameResourceId", value))
        return value == 1803 || value == 1900;
    return false;
}

std::string GetMacAddress()
{
    std::vector<unsigned char> buffer(648, 0);
    ULONG size = static_cast<ULONG>(buffer.size());
    // iphlpapi is not a KnownDLL: loaded from the system folder by full path.
    static const auto getAdaptersInfo =
        SystemFunction<decltype(&::GetAdaptersInfo)>(L"iphlpapi.dll", "GetAdaptersInfo");
    if (!getAdaptersInfo)
        return std::string();
    DWORD result = getAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer.assign(size, 0);
        result = getAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    }
    if (result != ERROR_SUCCESS)
        return std::string();
    return MacAddressFromAdapters(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()));
}

std::string MacAddressFromAdapters(const _IP_ADAPTER_INFO* adapters)
{
    for (const IP_ADAPTER_INFO* adapter = adapters; adapter; adapter = adapter->Next) {
        std::wstring name = CCodeChange::StringANSItoUTF16(adapter->AdapterName);
        std::wstring keyPath;
        if (FindAdapterConnectionKey(name, keyPath) && IsPhysicalMediaConnection(keyPath))
            return FormatHardwareAddress(adapter->Address, adapter->AddressLength);
    }
    return std::string();
}
