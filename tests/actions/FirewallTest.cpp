#include <gtest/gtest.h>

#include "actions/CreateInstaller.h"
#include "actions/FirewallTools.h"
#include "tests/actions/FakeHost.h"
#include "tests/actions/FakeFirewall.h"
#include "tests/actions/ShellTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace FirewallTools;

namespace {

const wchar_t kApp[] = L"C:\\Orbisoft\\Larkspur\\Larkspur.exe";

typedef int(WINAPI* TakeFn)(wchar_t*, int);

// Assertion records reach the logging library only when it is loaded; the
// test stand-in keeps them.
std::wstring TakeAssertRecords()
{
    HMODULE module = ::GetModuleHandleW(L"vellog.dll");
    if (!module)
        module = ::LoadLibraryW((TestExeDirectory() + L"..\\common\\vellog.dll").c_str());
    if (!module)
        return L"<no vellog>";
    auto take = reinterpret_cast<TakeFn>(reinterpret_cast<void*>(::GetProcAddress(module, "FakeVellogTake")));
    std::wstring buffer(65536, L'\0');
    take(buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.c_str());
}

class Firewall : public ::testing::Test {
protected:
    void SetUp() override { TakeAssertRecords(); }
    void TearDown() override { EXPECT_EQ(fake.live, 0) << "an interface was not released"; }
    // The calls that touched entries, in order.
    std::vector<std::string> Changes() const
    {
        std::vector<std::string> changes;
        for (const auto& call : fake.calls)
            if (call.rfind("Add:", 0) == 0 || call.rfind("Remove:", 0) == 0)
                changes.push_back(call);
        return changes;
    }

    FakeFirewall fake;
    ComScope com;
};

}  // namespace

TEST(FirewallSelectors, TypeSelectsProfilesByExactName)
{
    EXPECT_EQ(ProfileSelectors(L"Current"), (std::vector<int> {0}));
    EXPECT_EQ(ProfileSelectors(L"Domain"), (std::vector<int> {1}));
    EXPECT_EQ(ProfileSelectors(L"Standard"), (std::vector<int> {2}));
    EXPECT_EQ(ProfileSelectors(L""), (std::vector<int> {0, 1, 2}));
    EXPECT_EQ(ProfileSelectors(L"current"), (std::vector<int> {0, 1, 2}));
}

TEST_F(Firewall, EmptyTypeAddsToCurrentThenDomainThenStandardAndMeetsTheCurrentOneTwice)
{
    FirewallScope scope(&fake);
    EXPECT_TRUE(AddFirewall(L"Larkspur", kApp, L""));
    EXPECT_EQ(Changes(), (std::vector<std::string> {"Add:C:\\Orbisoft\\Larkspur\\Larkspur.exe=Larkspur@1",
                                                    "Add:C:\\Orbisoft\\Larkspur\\Larkspur.exe=Larkspur@0"}));
    const std::string path = "C:\\Orbisoft\\Larkspur\\Larkspur.exe";
    EXPECT_EQ(scope.output, "Authorized application " + path +
                                " is disabled in the firewall.\n"
                                "Authorized application " +
                                path +
                                " is now enabled in the firewall.\n"
                                "Authorized application " +
                                path +
                                " is enabled in the firewall.\n"
                                "Authorized application " +
                                path +
                                " is disabled in the firewall.\n"
                                "Authorized application " +
                                path +
                                " is now enabled in the firewall.\n"
                                "Authorized application " +
                                path +
                                " is enabled in the firewall.\n"
                                "Authorized application " +
                                path +
                                " is enabled in the firewall.\n"
                                "Authorized application " +
                                path + " is enabled in the firewall.\n");
    EXPECT_EQ(fake.profiles[NET_FW_PROFILE_DOMAIN].at(kApp).name, L"Larkspur");
}

TEST_F(Firewall, EnabledEntryKeepsItsNameAndADisabledOneIsAddedAgain)
{
    fake.profiles[NET_FW_PROFILE_STANDARD][kApp] = {L"Old name", true};
    fake.profiles[NET_FW_PROFILE_DOMAIN][kApp] = {L"Old name", false};
    FirewallScope scope(&fake);
    EXPECT_TRUE(AddFirewall(L"Larkspur", kApp, L""));
    EXPECT_EQ(fake.profiles[NET_FW_PROFILE_STANDARD].at(kApp).name, L"Old name");
    EXPECT_EQ(fake.profiles[NET_FW_PROFILE_DOMAIN].at(kApp).name, L"Larkspur");
    EXPECT_EQ(Changes(), (std::vector<std::string> {"Add:C:\\Orbisoft\\Larkspur\\Larkspur.exe=Larkspur@0"}));
}

TEST_F(Firewall, EmptyNameFailsTheFirstProfileAndAddsNothing)
{
    FirewallScope scope(&fake);
    EXPECT_FALSE(AddFirewall(L"", kApp, L""));
    EXPECT_TRUE(Changes().empty());
    EXPECT_EQ(scope.output, "Authorized application C:\\Orbisoft\\Larkspur\\Larkspur.exe is disabled in the firewall.\n"
                            "SysAllocString failed: 0x8007000e\n"
                            "WindowsFirewallAddApp failed: 0x8007000e\n");
}

TEST_F(Firewall, EachFailingStepOfAnAddIsPrintedAndEndsTheWalk)
{
    const std::string disabled =
        "Authorized application C:\\Orbisoft\\Larkspur\\Larkspur.exe is disabled in the firewall.\n";
    struct Case {
        const char* method;
        int call;
        std::string output;
    };
    const std::vector<Case> cases = {
        {"CreateManager", 0, "CoCreateInstance failed: 0x80070005\nWindowsFirewallInitialize failed: 0x80070005\n"},
        {"get_LocalPolicy", 0, "get_localPolicy failed: 0x80070005\nWindowsFirewallInitialize failed: 0x80070005\n"},
        {"get_CurrentProfile", 0,
         "get_CurrentProfile failed: 0x80070005\nWindowsFirewallInitialize failed: 0x80070005\n"},
        {"get_AuthorizedApplications", 1,
         "WindowsFirewallAppIsEnabled failed: 0x80004005\nWindowsFirewallAddApp failed: 0x80004005\n"},
        {"get_AuthorizedApplications", 2,
         disabled + "get_AuthorizedApplications failed: 0x80070005\nWindowsFirewallAddApp failed: 0x80070005\n"},
        {"CreateApplication", 0,
         disabled + "CoCreateInstance failed: 0x80070005\nWindowsFirewallAddApp failed: 0x80070005\n"},
        {"put_ProcessImageFileName", 0,
         disabled + "put_ProcessImageFileName failed: 0x80070005\nWindowsFirewallAddApp failed: 0x80070005\n"},
        {"put_Name", 0, disabled + "put_Name failed: 0x80070005\nWindowsFirewallAddApp failed: 0x80070005\n"},
        {"Add", 0, disabled + "Add failed: 0x80070005\nWindowsFirewallAddApp failed: 0x80070005\n"},
    };
    for (const Case& c : cases) {
        FakeFirewall local;
        local.failOn[c.method] = c.call;
        {
            FirewallScope scope(&local);
            EXPECT_FALSE(AddFirewall(L"Larkspur", kApp, L"")) << c.method;
            EXPECT_EQ(scope.output, c.output) << c.method << " call " << c.call;
        }
        EXPECT_TRUE(local.profiles[0].empty() && local.profiles[1].empty()) << c.method;
        EXPECT_EQ(local.live, 0) << c.method;
    }
}

TEST_F(Firewall, LookupFailureCountsAsDisabledButAFailingEnabledReadStops)
{
    fake.failOn["Item"] = 1;
    fake.profiles[NET_FW_PROFILE_STANDARD][kApp] = {L"Old", true};
    {
        FirewallScope scope(&fake);
        EXPECT_TRUE(AddFirewall(L"Larkspur", kApp, L"Current"));
        // The failed lookup read as disabled, so the entry was handed to Add.
        EXPECT_EQ(Changes(), (std::vector<std::string> {"Add:C:\\Orbisoft\\Larkspur\\Larkspur.exe=Larkspur@1"}));
    }
    FakeFirewall local;
    local.failOn["get_Enabled"] = 0;
    local.profiles[NET_FW_PROFILE_STANDARD][kApp] = {L"Old", true};
    FirewallScope scope(&local);
    EXPECT_FALSE(AddFirewall(L"Larkspur", kApp, L"Standard"));
    EXPECT_EQ(scope.output, "get_Enabled failed: 0x80070005\nWindowsFirewallAppIsEnabled failed: 0x80070005\n"
                            "WindowsFirewallAddApp failed: 0x80070005\n");
}

TEST_F(Firewall, AnEntryLeftDisabledAfterAddFailsTheCheckWithASuccessCode)
{
    fake.addLeavesDisabled = true;
    FirewallScope scope(&fake);
    EXPECT_FALSE(AddFirewall(L"Larkspur", kApp, L"Domain"));
    const std::string path = "C:\\Orbisoft\\Larkspur\\Larkspur.exe";
    EXPECT_EQ(scope.output, "Authorized application " + path +
                                " is disabled in the firewall.\n"
                                "Authorized application " +
                                path +
                                " is now enabled in the firewall.\n"
                                "Authorized application " +
                                path +
                                " is disabled in the firewall.\n"
                                "WindowsFirewallAddApp failed: 0x00000000\n");
    EXPECT_EQ(fake.calls.front(), "CreateManager");
    EXPECT_EQ(fake.calls[2], "GetProfileByType:0");
}

TEST_F(Firewall, MissingObjectsAndArgumentsAreAssertedWithTheirLines)
{
    fake.nullOn["CreateManager"] = true;
    {
        FirewallScope scope(&fake);
        INetFwProfile* profile = reinterpret_cast<INetFwProfile*>(1);
        EXPECT_EQ(WindowsFirewallInitialize(&profile, 0), E_FAIL);
        EXPECT_EQ(profile, nullptr);
    }
    std::wstring records = TakeAssertRecords();
    EXPECT_NE(records.find(L"ASSERT(fwMgr) LastError="), std::wstring::npos) << records;
    EXPECT_NE(records.find(L"@ FirewallTools.cpp(44)"), std::wstring::npos) << records;

    int enabled = 5;
    FirewallScope quiet(&fake);
    EXPECT_EQ(WindowsFirewallAppIsEnabled(nullptr, kApp, &enabled), E_INVALIDARG);
    EXPECT_EQ(WindowsFirewallAddApp(nullptr, kApp, L"n"), E_INVALIDARG);
    EXPECT_FALSE(AddAppToProfile(nullptr, L"n", kApp));
    EXPECT_FALSE(WindowsFirewallRemoveApp(nullptr, kApp));
    records = TakeAssertRecords();
    EXPECT_NE(records.find(L"ASSERT(fwProfile) LastError="), std::wstring::npos) << records;
    EXPECT_NE(records.find(L"FirewallTools.cpp(187)"), std::wstring::npos) << records;
    EXPECT_NE(records.find(L"FirewallTools.cpp(269)"), std::wstring::npos) << records;

    FakeFirewall local;
    local.failOn["get_AuthorizedApplications"] = 1;
    {
        FirewallScope scope(&local);
        AddFirewall(L"Larkspur", kApp, L"Current");
    }
    records = TakeAssertRecords();
    EXPECT_NE(records.find(L"ASSERT((hr = fwProfile->get_AuthorizedApplications(&fwApps))) LastError="),
              std::wstring::npos)
        << records;
    EXPECT_NE(records.find(L"FirewallTools.cpp(204)HR=0X80070005"), std::wstring::npos) << records;
}

TEST_F(Firewall, RemoveWalksAllThreeProfilesAndStopsAtTheFirstFailure)
{
    fake.profiles[NET_FW_PROFILE_STANDARD][kApp] = {L"Larkspur", true};
    fake.profiles[NET_FW_PROFILE_DOMAIN][kApp] = {L"Larkspur", true};
    {
        FirewallScope scope(&fake);
        EXPECT_TRUE(RemoveFirewall(kApp));
        EXPECT_EQ(scope.output, "");
    }
    EXPECT_EQ(Changes(), (std::vector<std::string> {"Remove:C:\\Orbisoft\\Larkspur\\Larkspur.exe@1",
                                                    "Remove:C:\\Orbisoft\\Larkspur\\Larkspur.exe@0",
                                                    "Remove:C:\\Orbisoft\\Larkspur\\Larkspur.exe@1"}));
    EXPECT_TRUE(fake.profiles[0].empty() && fake.profiles[1].empty());

    FakeFirewall local;
    local.failOn["Remove"] = 2;
    local.profiles[NET_FW_PROFILE_STANDARD][kApp] = {L"Larkspur", true};
    local.profiles[NET_FW_PROFILE_DOMAIN][kApp] = {L"Larkspur", true};
    FirewallScope scope(&local);
    EXPECT_FALSE(RemoveFirewall(kApp));
    EXPECT_EQ(scope.output, "RemoveFirewall Remove failed: 0x80070005\n");
    EXPECT_EQ(local.profiles[NET_FW_PROFILE_DOMAIN].count(kApp), 1u);
    EXPECT_EQ(local.live, 0);
}

TEST_F(Firewall, RemoveWithoutAPathOrWithAFailingStepPrintsItsMessage)
{
    {
        FirewallScope scope(&fake);
        EXPECT_FALSE(RemoveFirewall(L""));
        EXPECT_EQ(scope.output, "RemoveFirewall strExePath is null");
        EXPECT_TRUE(fake.calls.empty());
        INetFwProfile* profile = nullptr;
        FirewallScope inner(&fake);
        ASSERT_TRUE(SUCCEEDED(WindowsFirewallInitialize(&profile, 2)));
        EXPECT_FALSE(WindowsFirewallRemoveApp(profile, L""));
        profile->Release();
        EXPECT_EQ(inner.output, "RemoveFirewall bstrProcessImageFileName\xB3\xA4\xB6\xC8\xCE\xAA"
                                "0");
    }
    FakeFirewall local;
    local.failOn["get_AuthorizedApplications"] = 0;
    FirewallScope scope(&local);
    EXPECT_FALSE(RemoveFirewall(kApp));
    EXPECT_EQ(scope.output, "get_AuthorizedApplications failed: 0x80070005\n");
}

TEST_F(Firewall, VerbsExpandTheirPathsAndAlwaysSucceed)
{
    auto host = std::make_shared<FakeHost>();
    host->AddComponent("Service", {})->strInstallDir = "C:\\Orbisoft\\Service";
    host->installParam->strServiceDir = "C:\\Elsewhere";
    FirewallScope scope(&fake);
    std::string result;
    auto installer = CreateInstaller("install", host);
    EXPECT_TRUE(installer->DoAction("addfirewall", result,
                                    ParseAction("{\"action\":\"addfirewall\",\"name\":\"Svc\",\"path\":"
                                                "\"$SERVICEDIR$\\\\svc.exe\",\"type\":\"Standard\"}")));
    EXPECT_EQ(Changes(), (std::vector<std::string> {"Add:C:\\Orbisoft\\Service\\svc.exe=Svc@1"}));
    // A failing firewall never fails the verb.
    fake.failOn["CreateManager"] = 0;
    EXPECT_TRUE(installer->DoAction("addfirewall", result, ParseAction("{\"action\":\"addfirewall\"}")));
    fake.failOn.clear();

    host->uninstall = true;
    auto uninstaller = CreateInstaller("uninstall", host);
    EXPECT_TRUE(uninstaller->DoAction("removefirewall", result,
                                      ParseAction("{\"action\":\"removefirewall\",\"path\":"
                                                  "\"$PROGRAMDIR$\\\\svc.exe\"}")));
    EXPECT_TRUE(fake.profiles[NET_FW_PROFILE_STANDARD].empty());
    EXPECT_TRUE(uninstaller->DoAction("removefirewall", result, ParseAction("{\"action\":\"removefirewall\"}")));
    EXPECT_NE(scope.output.find("RemoveFirewall strExePath is null"), std::string::npos);
}

// Wine's firewall accepts the entry but then reports it disabled, so the
// add ends at the check of the profile in effect; it removes an entry from
// that profile but offers no profile by type, which ends the removal there.
TEST_F(Firewall, AgainstWinesFirewall)
{
    const std::wstring path = L"C:\\Orbisoft\\" + UniqueName(L"FirewallTest") + L"\\app.exe";
    const std::string shown = NarrowAscii(path);
    std::string output;
    SetOutputSink([&output](const std::string& text) { output += text; });
    EXPECT_FALSE(AddFirewall(L"Larkspur test", path, L"Current"));
    EXPECT_EQ(output, "Authorized application " + shown +
                          " is disabled in the firewall.\n"
                          "Authorized application " +
                          shown +
                          " is now enabled in the firewall.\n"
                          "Authorized application " +
                          shown +
                          " is disabled in the firewall.\n"
                          "WindowsFirewallAddApp failed: 0x00000000\n");
    output.clear();
    EXPECT_FALSE(RemoveFirewall(path));
    EXPECT_EQ(output, "get_CurrentProfile failed: 0x80004001\nWindowsFirewallInitialize failed: 0x80004001\n");
    SetOutputSink(nullptr);
}
