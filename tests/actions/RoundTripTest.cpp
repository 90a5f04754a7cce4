// An install and an uninstall list of the shipped shape, run through the
// executors the factory picks (Windows 7 variants in the default prefix).
#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>

#include "actions/ActionFields.h"
#include "actions/CreateInstaller.h"
#include "actions/FileAssociation.h"
#include "common/Handles.h"
#include "tests/actions/FakeHost.h"
#include "tests/actions/FakeFirewall.h"
#include "tests/actions/ShellTestSupport.h"
#include "tests/support/TestSupport.h"

TEST(ShellRoundTrip, UninstallListTakesAwayWhatTheInstallListMade)
{
    ComScope com;
    ScratchFolder scratch;
    const std::wstring product = scratch.Path() + L"Larkspur";
    std::filesystem::create_directories(product);
    const std::wstring app = product + L"\\Larkspur.exe";
    Touch(app);
    const std::string name = Utf8(UniqueName(L"LarkspurTrip"));
    const std::string ext = "." + Utf8(UniqueName(L"ipt"));
    const std::string appKey = "Larkspur.Trip" + Utf8(UniqueName(L""));
    FakeFirewall firewall;
    FirewallScope scope(&firewall);
    // Every Windows profile has the shell's record of extensions; Wine's may not.
    UniqueHKey created;
    DWORD disposition = 0;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, BaseOperation::kExplorerFileExts, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, created.put(), &disposition),
              ERROR_SUCCESS);

    auto host = std::make_shared<FakeHost>();
    host->AddComponent(
        "Larkspur",
        {"{\"action\":\"deletedesktop\",\"name\":\"" + name + "\"}",
         "{\"action\":\"desktop\",\"name\":\"" + name +
             "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"params\":\"\","
             "\"icon\":\"$PROGRAMDIR$\\\\Larkspur.exe\"}",
         "{\"action\":\"quickstart\",\"name\":\"" + name +
             "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"params\":\"\","
             "\"icon\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"pin\":\"need\",\"checklist\":\"\"}",
         "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + name +
             "\\\\Larkspur.lnk\",\"dst\":\"$PROGRAMDIR$\\\\Larkspur.exe\","
             "\"params\":\"\",\"icon\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"pin\":\"need\",\"checklist\":\"\"}",
         "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + name +
             "\\\\Uninstall Larkspur.lnk\","
             "\"dst\":\"$PROGRAMDIR$\\\\uninst.exe\",\"params\":\"\",\"icon\":\"$PROGRAMDIR$\\\\uninst.exe\",\"pin\":"
             "\"\"}",
         "{\"action\":\"addfirewall\",\"name\":\"Larkspur\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"type\":\"\"}",
         "{\"action\":\"setfileassociation\",\"ext\":\"" + ext + "\",\"app_key\":\"" + appKey +
             "\",\"app_path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"icon_path\":\"$PROGRAMDIR$\\\\Larkspur.exe\","
             "\"description\":\"Larkspur package\",\"command_name\":\"Larkspur package\",\"strCommandArg\":\"\"}"});
    host->components[0]->strInstallDir = Utf8(product);
    auto installer = CreateInstaller("install", host);
    ASSERT_NE(dynamic_cast<InstallerForWin7*>(installer.get()), nullptr);
    EXPECT_TRUE(installer->ProcessList());

    const std::wstring wname = UniqueName(L"LarkspurTrip");
    const std::wstring desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\" + wname + L".lnk";
    const std::wstring quick =
        ShellFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch\\" + wname + L".lnk";
    const std::wstring menu = ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + wname;
    EXPECT_EQ(ReadLink(desktop).target, app);
    EXPECT_EQ(ReadLink(quick).target, app);
    EXPECT_EQ(ReadLink(menu + L"\\Larkspur.lnk").target, app);
    EXPECT_EQ(ReadLink(menu + L"\\Uninstall Larkspur.lnk").target, product + L"\\uninst.exe");
    EXPECT_EQ(firewall.profiles[NET_FW_PROFILE_STANDARD].count(app), 1u);
    EXPECT_TRUE(BaseOperation::CheckFileAssociation(Utf16(ext), Utf16(appKey), app));

    auto uninstallHost = std::make_shared<FakeHost>();
    uninstallHost->uninstall = true;
    uninstallHost->AddComponent(
        "Larkspur", {"{\"action\":\"unpin\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"option\":\"taskbarunpin\"}",
                     "{\"action\":\"desktop\",\"name\":\"" + name + "\"}",
                     "{\"action\":\"quickstart\",\"name\":\"" + name + "\",\"pin\":\"need\"}",
                     "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + name + "\\\\Larkspur.lnk\",\"pin\":\"need\"}",
                     "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + name + "\\\\Uninstall Larkspur.lnk\"}",
                     "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + name + "\\\\\"}",
                     "{\"action\":\"removefirewall\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\"}",
                     "{\"action\":\"removefileassociation\",\"ext\":\"" + ext + "\",\"app_key\":\"" + appKey + "\"}"});
    uninstallHost->components[0]->strInstallDir = Utf8(product);
    EXPECT_TRUE(CreateInstaller("uninstall", uninstallHost)->ProcessList());

    EXPECT_FALSE(Exists(desktop));
    EXPECT_FALSE(Exists(quick));
    EXPECT_FALSE(Exists(menu));
    EXPECT_TRUE(firewall.profiles[0].empty() && firewall.profiles[1].empty());
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        UniqueHKey key;
        EXPECT_NE(::RegOpenKeyExW(root, (L"Software\\Classes\\" + Utf16(appKey)).c_str(), 0, KEY_READ, key.put()),
                  ERROR_SUCCESS);
    }
    if (disposition == REG_CREATED_NEW_KEY)
        ::RegDeleteKeyW(HKEY_CURRENT_USER, BaseOperation::kExplorerFileExts);
}
