#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/MachineIdentity.h"
#include "tests/support/TestSupport.h"

namespace {

const wchar_t kClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";

// Registers fake adapters' connection keys and removes them again.
class FakeAdapters {
public:
    ~FakeAdapters()
    {
        for (const auto& name : m_names)
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + name).c_str());
    }
    void Add(const std::wstring& name, const wchar_t* pnp, const DWORD* mediaSubType, const DWORD* nameResource)
    {
        m_names.push_back(name);
        UniqueHKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClassKey) + name + L"\\Connection").c_str(), 0,
                                    nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        if (pnp)
            ::RegSetValueExW(key.get(), L"PnpInstanceID", 0, REG_SZ, reinterpret_cast<const BYTE*>(pnp),
                             static_cast<DWORD>((wcslen(pnp) + 1) * sizeof(wchar_t)));
        if (mediaSubType)
            ::RegSetValueExW(key.get(), L"MediaSubType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(mediaSubType), 4);
        if (nameResource)
            ::RegSetValueExW(key.get(), L"DefaultNameResourceId", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(nameResource), 4);
    }

private:
    std::vector<std::wstring> m_names;
};

// A linked adapter list as the system returns it.
std::vector<IP_ADAPTER_INFO> AdapterList(const std::vector<std::pair<std::string, std::vector<unsigned char>>>& items)
{
    std::vector<IP_ADAPTER_INFO> list(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        std::memset(&list[i], 0, sizeof(IP_ADAPTER_INFO));
        std::strncpy(list[i].AdapterName, items[i].first.c_str(), MAX_ADAPTER_NAME_LENGTH);
        list[i].AddressLength = static_cast<UINT>(items[i].second.size());
        std::memcpy(list[i].Address, items[i].second.data(), items[i].second.size());
    }
    for (size_t i = 0; i + 1 < list.size(); ++i)
        list[i].Next = &list[i + 1];
    return list;
}

const char kA[] = "{7E5A0001-LKTEST-0000-0000-000000000001}";
const char kB[] = "{7E5A0001-LKTEST-0000-0000-000000000002}";
const char kC[] = "{7E5A0001-LKTEST-0000-0000-000000000003}";

}  // namespace

TEST(MachineIdentity, AddressFormatIsLowercaseHexWithoutSeparators)
{
    const unsigned char bytes[] = {0x0A, 0xFF, 0x00, 0x1b, 0x2C, 0x3d};
    EXPECT_EQ(FormatHardwareAddress(bytes, 6), "0aff001b2c3d");
    const unsigned char many[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(FormatHardwareAddress(many, 10), "0102030405060708");
}

TEST(MachineIdentity, OnlyPciAdaptersWithAcceptedMediaQualify)
{
    FakeAdapters fake;
    DWORD one = 1, r1900 = 1900, r1901 = 1901;
    fake.Add(WidenAscii(kA), L"ROOT\\VIRTUAL\\0000", &one, nullptr);          // virtual
    fake.Add(WidenAscii(kB), L"PCI\\VEN_8086&DEV_100E\\1", nullptr, &r1901);  // wrong resource id
    fake.Add(WidenAscii(kC), L"PCI\\VEN_10EC&DEV_8168\\2", nullptr, &r1900);  // qualifies
    auto list = AdapterList({{kA, {1, 1, 1, 1, 1, 1}}, {kB, {2, 2, 2, 2, 2, 2}}, {kC, {0x0a, 0xff, 3, 3, 3, 3}}});
    EXPECT_EQ(MacAddressFromAdapters(list.data()), "0aff03030303");

    auto onlyVirtual = AdapterList({{kA, {1, 1, 1, 1, 1, 1}}, {kB, {2, 2, 2, 2, 2, 2}}});
    EXPECT_EQ(MacAddressFromAdapters(onlyVirtual.data()), "");

    std::wstring key;
    ASSERT_TRUE(FindAdapterConnectionKey(WidenAscii(kC), key));
    EXPECT_EQ(key, std::wstring(kClassKey) + WidenAscii(kC) + L"\\Connection");
    EXPECT_FALSE(FindAdapterConnectionKey(WidenAscii(kA), key));
    // Names compare case-sensitively.
    std::wstring lower = WidenAscii(kC);
    for (auto& c : lower)
        c = static_cast<wchar_t>(towlower(c));
    EXPECT_FALSE(FindAdapterConnectionKey(lower, key));
}

TEST(MachineIdentity, MediaSubTypeDecidesBeforeTheResourceId)
{
    FakeAdapters fake;
    DWORD two = 2, one = 1, r1803 = 1803;
    fake.Add(WidenAscii(kA), L"PCI\\X", &two, &r1803);     // rejected: the first value exists
    fake.Add(WidenAscii(kB), L"PCI\\Y", &one, nullptr);    // qualifies
    fake.Add(WidenAscii(kC), L"PCI\\Z", nullptr, &r1803);  // also qualifies, but comes later
    auto list = AdapterList({{kA, {9, 9, 9, 9, 9, 9}}, {kB, {0xbb, 1, 2, 3, 4, 5}}, {kC, {0xcc, 1, 2, 3, 4, 5}}});
    EXPECT_EQ(MacAddressFromAdapters(list.data()), "bb0102030405");
    EXPECT_FALSE(IsPhysicalMediaConnection(std::wstring(kClassKey) + WidenAscii(kA) + L"\\Connection"));
    EXPECT_TRUE(IsPhysicalMediaConnection(std::wstring(kClassKey) + WidenAscii(kC) + L"\\Connection"));
    EXPECT_FALSE(IsPhysicalMediaConnection(std::wstring(kClassKey) + L"{no-such-adapter}\\Connection"));
}

TEST(MachineIdentity, TheRealQueryGivesTheFirstAdapterThatQualifies)
{
    // The machine's own adapters; the first one is made to qualify.
    ULONG size = 0;
    ASSERT_NE(::GetAdaptersInfo(nullptr, &size), ERROR_NOT_SUPPORTED);
    std::vector<unsigned char> buffer(size ? size : 1);
    auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (size == 0 || ::GetAdaptersInfo(adapters, &size) != ERROR_SUCCESS)
        GTEST_SKIP() << "this machine has no network adapter";
    const std::wstring name = WidenAscii(adapters->AdapterName);
    std::wstring existing;
    if (FindAdapterConnectionKey(name, existing))
        GTEST_SKIP() << "the adapter has a connection key of its own: " << NarrowAscii(existing);
    const std::string expected = FormatHardwareAddress(adapters->Address, adapters->AddressLength);
    ASSERT_FALSE(expected.empty());

    EXPECT_NE(GetMacAddress(), expected) << "the adapter qualifies only once its key exists";
    FakeAdapters fake;
    DWORD wired = 1;
    fake.Add(name, L"PCI\\VEN_8086&DEV_100E\\LKTEST", &wired, nullptr);
    EXPECT_EQ(GetMacAddress(), expected);
}
