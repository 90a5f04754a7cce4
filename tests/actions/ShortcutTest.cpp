#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <filesystem>

#include "actions/CreateInstaller.h"
#include "tests/actions/FakeHost.h"
#include "tests/actions/ShellTestSupport.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/TestSupport.h"

namespace {

const wchar_t kQuick[] = L"\\Microsoft\\Internet Explorer\\Quick Launch";

std::string Quoted(const std::wstring& text)
{
    return "\"" + JsonPath(text) + "\"";
}

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override
    {
        product = scratch.Path() + L"Product";
        std::filesystem::create_directories(product);
        // A real program as the target, so a verb that opened it would show.
        target = product + L"\\Larkspur.exe";
        ::CopyFileW((TestExeDirectory() + L"..\\actions\\arg_recorder.exe").c_str(), target.c_str(), FALSE);
        component = host->AddComponent("Larkspur", {});
        component->strInstallDir = Utf8(product);
        quick = ShellFolder(CSIDL_APPDATA) + kQuick;
        name = UniqueName(L"LarkspurTest");
    }
    void TearDown() override
    {
        for (const auto& file : created)
            ::DeleteFileW(file.c_str());
    }
    std::shared_ptr<Json::Value> Action(const std::string& text) { return ParseAction(text); }
    template <typename Executor>
    bool Run(Executor& executor, bool (Executor::*op)(std::shared_ptr<Json::Value>, std::string&),
             const std::string& text)
    {
        std::string result;
        return (executor.*op)(Action(text), result);
    }
    std::wstring Remember(const std::wstring& file)
    {
        created.push_back(file);
        return file;
    }

    ComScope com;
    ScratchFolder scratch;
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
    std::shared_ptr<_SetupList> component;
    std::wstring product;
    std::wstring target;
    std::wstring quick;
    std::wstring name;
    std::vector<std::wstring> created;
};

}  // namespace

TEST_F(Shortcuts, DesktopLinkCarriesTargetArgumentsIconCommentAndWorkingFolderAndUninstallRemovesIt)
{
    Probed<InstallerForWin7> installer(host);
    const std::wstring link = Remember(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\" + name + L".lnk");
    DebugCapture capture;
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateMyDesktop,
                               "{\"action\":\"desktop\",\"name\":\"" + Utf8(name) +
                                   "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"params\":\"-from=desktop\","
                                   "\"icon\":\"$PROGRAMDIR$\\\\app.ico\"}"));
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring> {L"stagehand.exe=>CreateMyDesktop begin",
                                                           L"stagehand.exe=>CreateMyDesktop middle"}));
    LinkInfo info = ReadLink(link);
    ASSERT_TRUE(info.loaded);
    EXPECT_EQ(info.target, target);
    EXPECT_EQ(info.arguments, L"-from=desktop");
    EXPECT_EQ(info.icon, product + L"\\app.ico");
    EXPECT_EQ(info.iconIndex, 0);
    EXPECT_EQ(info.description, target);
    EXPECT_EQ(info.workingFolder, product);
    EXPECT_EQ(info.showCmd, SW_SHOWNORMAL);

    host->uninstall = true;
    Probed<UninstallerForWin7> uninstaller(host);
    DebugCapture removal;
    EXPECT_TRUE(Run<Uninstaller>(uninstaller, &Uninstaller::DeleteMyDesktop,
                                 "{\"action\":\"desktop\",\"name\":\"" + Utf8(name) + "\"}"));
    EXPECT_FALSE(Exists(link));
    EXPECT_EQ(removal.Lines(), (std::vector<std::wstring> {L"stagehand.exe=>deldesktop DeleteShortCut path:" + link}));
}

TEST_F(Shortcuts, DesktopRespectsTheAnswerAndIgnoresParamsAndIconThatAreNotTexts)
{
    Probed<InstallerForWin7> installer(host);
    const std::wstring link = Remember(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\" + name + L".lnk");
    const std::string action = "{\"action\":\"desktop\",\"name\":\"" + Utf8(name) +
                               "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"params\":5,\"icon\":null}";
    host->installParam->bDesktop = false;
    {
        DebugCapture capture;
        EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateMyDesktop, action));
        EXPECT_EQ(capture.Lines(), (std::vector<std::wstring> {L"stagehand.exe=>CreateMyDesktop begin"}));
        EXPECT_FALSE(Exists(link));
    }
    host->installParam->bDesktop = true;
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateMyDesktop, action));
    LinkInfo info = ReadLink(link);
    ASSERT_TRUE(info.loaded);
    EXPECT_EQ(info.arguments, L"");
    EXPECT_EQ(info.icon, L"");
}

TEST_F(Shortcuts, DesktopFailuresAreDebugLinesWithTheAction)
{
    Probed<InstallerForWin7> installer(host);
    const std::string action = "{\"action\":\"desktop\",\"name\":\"x\",\"path\":\"C:\\\\x.exe\"}";
    const std::wstring styled =
        L"{\n   \"action\" : \"desktop\",\n   \"name\" : \"x\",\n   \"path\" : \"C:\\\\x.exe\"\n}\n";
    installer.failLocation.insert(CSIDL_COMMON_DESKTOPDIRECTORY);
    {
        DebugCapture capture;
        EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateMyDesktop, action));
        EXPECT_TRUE(
            capture.Contains(L"stagehand.exe=>desktop SHGetSpecialFolderLocation:-2147024809,key=" + styled + L"\n"));
    }
    installer.failLocation.clear();
    installer.failPath.insert(CSIDL_COMMON_DESKTOPDIRECTORY);
    {
        DebugCapture capture;
        Run<Installer>(installer, &Installer::CreateMyDesktop, action);
        EXPECT_TRUE(capture.Contains(L"stagehand.exe=>desktop SHGetPathFromIDList error,key=" + styled + L"\n"));
    }
    installer.failPath.clear();
    installer.replace[CSIDL_COMMON_DESKTOPDIRECTORY] = scratch.Path() + L"no\\such\\folder";
    {
        DebugCapture capture;
        Run<Installer>(installer, &Installer::CreateMyDesktop, action);
        EXPECT_TRUE(capture.Contains(L"stagehand.exe=>desktop CreateFileShortcut error,key=" + styled + L"\n"));
    }
}

TEST_F(Shortcuts, QuickstartOnWindows7ReplacesTheOlderPinnedCopyThenUnpinsAndPins)
{
    Probed<InstallerForWin7> installer(host);
    const std::wstring link = Remember(quick + L"\\" + name + L".lnk");
    const std::wstring pinned = Remember(quick + L"\\User Pinned\\TaskBar\\" + name + L".lnk");
    Touch(pinned);
    DebugCapture capture;
    EXPECT_TRUE(
        Run<Installer>(installer, &Installer::CreateQuickstart,
                       "{\"action\":\"quickstart\",\"name\":\"" + Utf8(name) +
                           "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"pin\":\"need\",\"checklist\":\"\"}"));
    EXPECT_EQ(ReadLink(link).target, target);
    EXPECT_FALSE(Exists(pinned));
    EXPECT_EQ(installer.verbs, (std::vector<VerbCall> {{L"taskbarunpin", link}, {L"TaskbarPin", link}}));
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring> {L"stagehand.exe=>CreateQuickstart begin",
                                                           L"stagehand.exe=>CreateQuickstart middle",
                                                           L"stagehand.exe=>CreateQuickstart lnk_fullpath=" + link}));
}

TEST_F(Shortcuts, QuickstartChecklistPinsTheExistingLinkAndFallsBackWhenItIsMissing)
{
    Probed<InstallerForWin7> installer(host);
    const std::wstring link = Remember(quick + L"\\" + name + L".lnk");
    const std::wstring other = Remember(quick + L"\\" + name + L"Old.lnk");
    const std::wstring pinnedOther = Remember(quick + L"\\User Pinned\\TaskBar\\" + name + L"Old.lnk");
    Touch(other);
    Touch(pinnedOther);
    const std::string base = "{\"action\":\"quickstart\",\"name\":\"" + Utf8(name) +
                             "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"pin\":\"need\",\"checklist\":\"\\\\" +
                             Utf8(name);
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateQuickstart, base + "Old\"}"));
    EXPECT_EQ(installer.verbs, (std::vector<VerbCall> {{L"taskbarunpin", other}, {L"TaskbarPin", other}}));
    EXPECT_FALSE(Exists(pinnedOther));
    EXPECT_TRUE(Exists(link));

    installer.verbs.clear();
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateQuickstart, base + "Gone\"}"));
    EXPECT_EQ(installer.verbs, (std::vector<VerbCall> {{L"taskbarunpin", link}, {L"TaskbarPin", link}}));
}

TEST_F(Shortcuts, QuickstartWithoutPinOrWithoutTheAnswerPinsNothing)
{
    Probed<InstallerForWin7> installer(host);
    const std::wstring link = Remember(quick + L"\\" + name + L".lnk");
    const std::string action =
        "{\"action\":\"quickstart\",\"name\":\"" + Utf8(name) + "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\"}";
    host->installParam->bQuick = false;
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateQuickstart, action));
    EXPECT_FALSE(Exists(link));
    host->installParam->bQuick = true;
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateQuickstart, action));
    EXPECT_TRUE(Exists(link));
    EXPECT_TRUE(installer.verbs.empty());
}

TEST_F(Shortcuts, MenuCreatesItsFolderAndPinsToTheStartMenu)
{
    Probed<InstallerForWin7> installer(host);
    const std::wstring folder = ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + name;
    const std::wstring link = Remember(folder + L"\\Larkspur.lnk");
    const std::wstring pinned = Remember(quick + L"\\User Pinned\\StartMenu\\Larkspur.lnk");
    Touch(pinned);
    DebugCapture capture;
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateMenuSC,
                               "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + Utf8(name) +
                                   "\\\\Larkspur.lnk\",\"dst\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"params\":\"-m\","
                                   "\"pin\":\"need\",\"checklist\":\"\"}"));
    LinkInfo info = ReadLink(link);
    EXPECT_EQ(info.target, target);
    EXPECT_EQ(info.arguments, L"-m");
    EXPECT_FALSE(Exists(pinned));
    EXPECT_EQ(installer.verbs, (std::vector<VerbCall> {{L"startunpin", link}, {L"StartPin", link}}));
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring> {L"stagehand.exe=>CreateMenuSC lnk_fullpath=" + link}));

    // The uninstall's two passes: links, then the folder once it is empty.
    host->uninstall = true;
    Probed<UninstallerForWin7> uninstaller(host);
    const std::wstring userFolder = ShellFolder(CSIDL_PROGRAMS) + L"\\" + name;
    const std::wstring userLink = Remember(userFolder + L"\\Larkspur.lnk");
    Touch(userLink);
    const std::string folderAction = "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + Utf8(name) + "\\\\\"}";
    EXPECT_TRUE(
        Run<Uninstaller>(uninstaller, &Uninstaller::DeleteMenuSC,
                         "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + Utf8(name) + "\\\\Larkspur.lnk\"}"));
    EXPECT_FALSE(Exists(link));
    EXPECT_FALSE(Exists(userLink));
    EXPECT_EQ(uninstaller.verbs, (std::vector<VerbCall> {{L"startunpin", link},
                                                         {L"taskbarunpin", link},
                                                         {L"startunpin", userLink},
                                                         {L"taskbarunpin", userLink}}));
    Touch(userFolder + L"\\keep.txt");
    EXPECT_TRUE(Run<Uninstaller>(uninstaller, &Uninstaller::DeleteMenuSC, folderAction));
    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(Exists(userFolder + L"\\keep.txt"));
    ::DeleteFileW((userFolder + L"\\keep.txt").c_str());
    EXPECT_TRUE(Run<Uninstaller>(uninstaller, &Uninstaller::DeleteMenuSC, folderAction));
    EXPECT_FALSE(Exists(userFolder));
}

TEST_F(Shortcuts, MenuChecklistPinsTheNamedLinkAndAFolderThatCannotBeMadeIsLogged)
{
    Probed<InstallerForWin7> installer(host);
    const std::wstring folder = ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + name;
    const std::wstring existing = Remember(folder + L"\\Old.lnk");
    Remember(folder + L"\\Larkspur.lnk");
    Touch(existing);
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateMenuSC,
                               "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + Utf8(name) +
                                   "\\\\Larkspur.lnk\",\"dst\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"pin\":\"need\","
                                   "\"checklist\":\"$STARTMENU$\\\\" +
                                   Utf8(name) + "\\\\Old.lnk\"}"));
    EXPECT_EQ(installer.verbs, (std::vector<VerbCall> {{L"startunpin", existing}, {L"StartPin", existing}}));
    ::DeleteFileW((folder + L"\\Larkspur.lnk").c_str());
    ::DeleteFileW(existing.c_str());
    ::RemoveDirectoryW(folder.c_str());

    // A file where the folder should be.
    const std::wstring blocker = scratch.Path() + L"blocker";
    Touch(blocker);
    DebugCapture capture;
    EXPECT_TRUE(
        Run<Installer>(installer, &Installer::CreateMenuSC,
                       "{\"action\":\"menu\",\"path\":" + Quoted(blocker + L"\\sub\\x.lnk") + ",\"dst\":\"a\"}"));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"stagehand.exe=>menu_Win7 create_directories :", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(L",key={\n   \"action\" : \"menu\""), std::wstring::npos) << lines[0];
}

TEST_F(Shortcuts, DeleteDesktopDuringInstallTouchesOnlyTheUsersDesktop)
{
    Probed<InstallerForWin7> installer(host);
    const std::wstring mine = Remember(ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + name + L".lnk");
    const std::wstring common = Remember(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\" + name + L".lnk");
    ASSERT_NE(mine, common);
    Touch(mine);
    Touch(common);
    EXPECT_TRUE(Run<Installer>(installer, &Installer::DeleteDesktop,
                               "{\"action\":\"deletedesktop\",\"name\":\"" + Utf8(name) + "\"}"));
    EXPECT_FALSE(Exists(mine));
    EXPECT_TRUE(Exists(common));

    DebugCapture capture;
    Run<Installer>(installer, &Installer::DeleteDesktop,
                   "{\"action\":\"deletedesktop\",\"name\":\"" + Utf8(name) + "\"}");
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring> {L"stagehand.exe=>deldesktop DeleteShortCut path:" + mine,
                                                           L"stagehand.exe=>InstallTools::DeleteShortCut :2",
                                                           L",file=" + mine + L"\n"}));
    installer.failLocation.insert(CSIDL_DESKTOP);
    DebugCapture failed;
    Run<Installer>(installer, &Installer::DeleteDesktop, "{\"action\":\"deletedesktop\",\"name\":\"n\"}");
    EXPECT_EQ(failed.Lines(), (std::vector<std::wstring> {
                                  L"stagehand.exe=>deldesktop SHGetSpecialFolderLocation:-2147024809,name=n\n"}));
}

TEST_F(Shortcuts, UninstallQuickstartUnpinsThenDeletesAndUnpinRunsTheGivenVerb)
{
    host->uninstall = true;
    Probed<UninstallerForWin7> uninstaller(host);
    const std::wstring link = Remember(quick + L"\\" + name + L".lnk");
    Touch(link);
    EXPECT_TRUE(Run<Uninstaller>(uninstaller, &Uninstaller::DeleteQuickstart,
                                 "{\"action\":\"quickstart\",\"name\":\"" + Utf8(name) + "\",\"pin\":\"need\"}"));
    EXPECT_FALSE(Exists(link));
    EXPECT_EQ(uninstaller.verbs, (std::vector<VerbCall> {{L"taskbarunpin", link}, {L"startunpin", link}}));

    uninstaller.verbs.clear();
    EXPECT_TRUE(Run<Uninstaller>(uninstaller, &Uninstaller::Unpin,
                                 "{\"action\":\"unpin\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\","
                                 "\"option\":\"taskbarunpin\"}"));
    // Without a verb the shell would start the program: nothing runs.
    EXPECT_TRUE(Run<Uninstaller>(uninstaller, &Uninstaller::Unpin,
                                 "{\"action\":\"unpin\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\"}"));
    EXPECT_EQ(uninstaller.verbs, (std::vector<VerbCall> {{L"taskbarunpin", target}}));
}

TEST_F(Shortcuts, UninstallMenuPassWithoutItsFolderIsSkippedInsteadOfReachingTheDriveRoot)
{
    host->uninstall = true;
    Probed<UninstallerForWin7> uninstaller(host);
    const std::wstring userLink = Remember(ShellFolder(CSIDL_PROGRAMS) + L"\\" + name + L".lnk");
    Touch(userLink);
    uninstaller.failLocation.insert(CSIDL_COMMON_PROGRAMS);
    DebugCapture capture;
    EXPECT_TRUE(Run<Uninstaller>(uninstaller, &Uninstaller::DeleteMenuSC,
                                 "{\"action\":\"menu\",\"path\":\"$STARTMENU$\\\\" + Utf8(name) + ".lnk\"}"));
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::wstring> {L"stagehand.exe=>delmenu_win7 SHGetSpecialFolderLocation :-2147024809\n"}));
    EXPECT_FALSE(Exists(userLink));
    EXPECT_EQ(uninstaller.verbs.size(), 2u);
}

TEST_F(Shortcuts, TheShellsOwnPinningVerbsNeverStartTheTarget)
{
    Probed<InstallerForWin7> installer(host);
    installer.runVerbs = true;
    const std::wstring link = Remember(quick + L"\\" + name + L".lnk");
    ChildProcessWatch started;
    EXPECT_TRUE(Run<Installer>(installer, &Installer::CreateQuickstart,
                               "{\"action\":\"quickstart\",\"name\":\"" + Utf8(name) +
                                   "\",\"path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"pin\":\"need\"}"));
    ASSERT_TRUE(Exists(link));
    // A started target is a program of this process: once every one has ended,
    // the recorder would have written its arguments.
    EXPECT_TRUE(started.WaitForNewOnesToEnd());
    EXPECT_FALSE(Exists(target + L".args"));
}

TEST_F(Shortcuts, ExecutorsRegisterEveryShortcutVerb)
{
    auto installer = CreateInstaller("install", host);
    for (const char* verb : {"desktop", "quickstart", "menu", "deletedesktop", "addfirewall", "setfileassociation"})
        EXPECT_TRUE(installer->HasAction(verb)) << verb;
    host->uninstall = true;
    auto uninstaller = CreateInstaller("uninstall", host);
    for (const char* verb : {"desktop", "quickstart", "menu", "unpin", "removefirewall", "removefileassociation"})
        EXPECT_TRUE(uninstaller->HasAction(verb)) << verb;
    EXPECT_FALSE(uninstaller->HasAction("deletedesktop"));
}

// Run in the default prefix (Windows 7) and in a Windows 10 prefix.
TEST(PinningVerbs, AreRunBeforeWindows10AndSkippedFromIt)
{
    const char* expected = std::getenv("LARKSPUR_EXPECT_PINNING");
    EXPECT_EQ(InstallTools::PinningVerbsOffered(), expected == nullptr || std::string(expected) == "1");
}
