// Runs in a prefix set to Windows XP (the shell_tests_xp test); skipped elsewhere.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>

#include "actions/CreateInstaller.h"
#include "tests/actions/FakeHost.h"
#include "tests/actions/ShellTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

class ShortcutsXP : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (WindowsVersionText() != "xp")
            GTEST_SKIP() << "needs a Windows XP prefix";
        product = scratch.Path() + L"Product";
        std::filesystem::create_directories(product);
        target = product + L"\\Larkspur.exe";
        Touch(target);
        quick = ShellFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
        name = UniqueName(L"LarkspurXP");
    }

    ComScope com;
    ScratchFolder scratch;
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
    std::wstring product, target, quick, name;
};

}  // namespace

TEST_F(ShortcutsXP, LinksAreMadeAndRemovedAndNothingIsPinned)
{
    const std::wstring quickLink = quick + L"\\" + name + L".lnk";
    const std::wstring pinnedTask = quick + L"\\User Pinned\\TaskBar\\" + name + L".lnk";
    const std::wstring menuFolder = ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + name;
    const std::wstring menuLink = menuFolder + L"\\Larkspur.lnk";
    const std::wstring pinnedStart = quick + L"\\User Pinned\\StartMenu\\Larkspur.lnk";
    // Pinned copies that a pinning variant would remove first.
    Touch(pinnedTask);
    Touch(pinnedStart);

    const std::string n = Utf8(name);
    auto component = host->AddComponent(
        "Larkspur",
        {"{\"action\":\"quickstart\",\"name\":\"" + n +
             "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"pin\":\"need\",\"checklist\":\"\"}",
         "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + n +
             "\\\\Larkspur.lnk\",\"dst\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"pin\":\"need\",\"checklist\":\"\"}"});
    component->strInstallDir = Utf8(product);
    auto installer = CreateInstaller("install", host);
    ASSERT_NE(dynamic_cast<InstallerForXP*>(installer.get()), nullptr);
    DebugCapture capture;
    EXPECT_TRUE(installer->ProcessList());
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(ReadLink(quickLink).target, target);
    EXPECT_EQ(ReadLink(menuLink).target, target);
    EXPECT_EQ(ReadLink(menuLink).description, target);
    EXPECT_TRUE(Exists(pinnedTask));
    EXPECT_TRUE(Exists(pinnedStart));

    auto uninstallHost = std::make_shared<FakeHost>();
    uninstallHost->uninstall = true;
    uninstallHost->AddComponent("Larkspur",
                                {"{\"action\":\"quickstart\",\"name\":\"" + n + "\"}",
                                 "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + n + "\\\\Larkspur.lnk\"}",
                                 "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + n + "\\\\\"}"});
    auto uninstaller = CreateInstaller("uninstall", uninstallHost);
    ASSERT_NE(dynamic_cast<UninstallerForXP*>(uninstaller.get()), nullptr);
    EXPECT_TRUE(uninstaller->ProcessList());
    EXPECT_FALSE(Exists(quickLink));
    EXPECT_FALSE(Exists(menuLink));
    EXPECT_FALSE(Exists(menuFolder));
    ::DeleteFileW(pinnedTask.c_str());
    ::DeleteFileW(pinnedStart.c_str());
}

TEST_F(ShortcutsXP, LookupFailuresStopThePassWithTheirLines)
{
    Probed<UninstallerForXP> uninstaller(host);
    uninstaller.failPath.insert(CSIDL_COMMON_PROGRAMS);
    uninstaller.failLocation.insert(CSIDL_PROGRAMS);
    uninstaller.failPath.insert(CSIDL_APPDATA);
    DebugCapture capture;
    std::string result;
    uninstaller.DeleteMenuSC(ParseAction("{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\x.lnk\"}"), result);
    uninstaller.DeleteQuickstart(ParseAction("{\"action\":\"quickstart\",\"name\":\"x\"}"), result);
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::wstring> {L"stagehand.exe=>delmenu_xp SHGetPathFromIDList error",
                                          L"stagehand.exe=>delmenu_xp SHGetSpecialFolderLocation :-2147024809\n",
                                          L"stagehand.exe=>delquickstart_xp SHGetPathFromIDList error"}));
    EXPECT_TRUE(uninstaller.verbs.empty());
}
