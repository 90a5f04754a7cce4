#include <gtest/gtest.h>

#include "actions/CreateInstaller.h"
#include "actions/Placeholders.h"
#include "common/FileSystem.h"
#include "tests/actions/FakeHost.h"
#include "tests/support/TestSupport.h"

namespace {

std::string MkdirAction(const std::wstring& dir, const std::string& extra = "")
{
    return "{\"action\":\"mkdir\",\"dirname\":\"" + JsonPath(dir) + "\"" + extra + "}";
}

class Dispatch : public ::testing::Test {
protected:
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
    ScratchFolder scratch;
};

}  // namespace

TEST_F(Dispatch, ProgressDividesSeventyPointsAmongComponentsAndActionsAndClosesWith99)
{
    host->AddComponent("Service",
                       {MkdirAction(scratch / L"a"), MkdirAction(scratch / L"b"), MkdirAction(scratch / L"c")});
    host->AddComponent("Larkspur", {MkdirAction(scratch / L"d"), MkdirAction(scratch / L"e")});
    auto executor = CreateInstaller("install", host);
    EXPECT_TRUE(executor->ProcessList());
    EXPECT_EQ(host->progress, (std::vector<int> {30, 41, 53, 65, 82, 99}));
    EXPECT_EQ(host->reported.back(), host->components[1]->vecActions[1]);
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"e").c_str()));
}

TEST_F(Dispatch, ComponentsWithoutActionsArePassedOverAndAnEmptyRunReportsNothing)
{
    host->AddComponent("A", {});
    host->AddComponent("B", {});
    EXPECT_TRUE(CreateInstaller("install", host)->ProcessList());
    EXPECT_TRUE(host->progress.empty());

    host->AddComponent("C", {MkdirAction(scratch / L"x")});
    host->progress.clear();
    EXPECT_TRUE(CreateInstaller("install", host)->ProcessList());
    // C = 2, N = 3: 140 / 3 + 30.
    EXPECT_EQ(host->progress, (std::vector<int> {76, 99}));
}

TEST_F(Dispatch, UnknownVerbReportsItsProgressAndStopsWithoutTheClosingReport)
{
    host->uninstall = true;
    host->AddComponent("Larkspur", {"{\"action\":\"delregkey\",\"CLASS\":\"HKCU\",\"KEY\":\"\"}",
                                    MkdirAction(scratch / L"never"), MkdirAction(scratch / L"later")});
    EXPECT_FALSE(CreateInstaller("uninstall", host)->ProcessList());
    EXPECT_EQ(host->progress, (std::vector<int> {30, 53}));
    EXPECT_FALSE(FileSystem::PathExists((scratch / L"never").c_str()));
}

TEST_F(Dispatch, EachTableHoldsItsOwnVerbs)
{
    auto installer = CreateInstaller("install", host);
    auto uninstaller = CreateInstaller("uninstall", host);
    for (const char* verb : {"desktop", "quickstart", "menu", "addfirewall", "setfileassociation", "deletedesktop"})
        EXPECT_TRUE(installer->HasAction(verb)) << verb;
    for (const char* verb : {"desktop", "quickstart", "menu", "unpin", "removefirewall", "removefileassociation"})
        EXPECT_TRUE(uninstaller->HasAction(verb)) << verb;
    for (const char* verb :
         {"mkdir", "copyfile", "writereg", "channel", "killprocess", "instservice", "uninstservice", "writeregsilent",
          "silentmini", "writeconfig", "createlog", "writeinstalltime", "aesencode"})
        EXPECT_TRUE(installer->HasAction(verb)) << verb;
    for (const char* verb : {"deldir", "delfile", "delregkeyex", "delregkey", "delregvalue", "killprocess", "deluser",
                             "uninstservice", "writereg", "rewritechannelid"})
        EXPECT_TRUE(uninstaller->HasAction(verb)) << verb;
    EXPECT_FALSE(uninstaller->HasAction("mkdir"));
    EXPECT_FALSE(installer->HasAction("delfile"));
}

TEST_F(Dispatch, NoShortcutSettingSkipsShortcutVerbsOnlyDuringInstall)
{
    host->noShortcut = true;
    host->AddComponent("Larkspur", {"{\"action\":\"desktop\"}", "{\"action\":\"quickstart\"}", "{\"action\":\"menu\"}",
                                    MkdirAction(scratch / L"m")});
    DebugCapture capture;
    EXPECT_TRUE(CreateInstaller("install", host)->ProcessList());
    // Only the mkdir (A = 3 of M = 4) is reported.
    EXPECT_EQ(host->progress, (std::vector<int> {82, 99}));

    // An uninstall never skips: every shortcut verb is dispatched.
    host->uninstall = true;
    host->progress.clear();
    EXPECT_FALSE(CreateInstaller("uninstall", host)->ProcessList());
    EXPECT_EQ(host->progress, (std::vector<int> {30, 47, 65, 82}));
}

TEST_F(Dispatch, ComponentWithoutShortcutsSkipsThemWithOneLineEach)
{
    auto component = host->AddComponent(
        "Larkspur", {"{\"action\":\"desktop\"}", MkdirAction(scratch / L"n"), "{\"action\":\"menu\"}"});
    component->bNoShortCut = true;
    DebugCapture capture;
    EXPECT_TRUE(CreateInstaller("install", host)->ProcessList());
    EXPECT_EQ(host->progress, (std::vector<int> {53, 99}));
    int skipped = 0;
    for (const auto& line : capture.Lines())
        skipped += line == L"stagehand.exe=>iInstaller::ProcessList bNoShortCut is true";
    EXPECT_EQ(skipped, 2);
}

TEST_F(Dispatch, DisableModeSkipsOnlyWhenAnArrayNamesTheMode)
{
    host->mode = "silent";
    host->AddComponent("Larkspur", {MkdirAction(scratch / L"array", ",\"disable_mode\":[\"other\",\"silent\"]"),
                                    MkdirAction(scratch / L"text", ",\"disable_mode\":\"silent\""),
                                    MkdirAction(scratch / L"empty", ",\"disable_mode\":[]")});
    EXPECT_TRUE(CreateInstaller("install", host)->ProcessList());
    EXPECT_FALSE(FileSystem::PathExists((scratch / L"array").c_str()));
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"text").c_str()));
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"empty").c_str()));
    EXPECT_EQ(host->progress, (std::vector<int> {53, 76, 99}));

    host->mode = "normal";
    host->progress.clear();
    ::RemoveDirectoryW((scratch / L"text").c_str());
    EXPECT_TRUE(CreateInstaller("install", host)->ProcessList());
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"array").c_str()));
}

TEST_F(Dispatch, KeyOfTheWrongTypeFailsTheActionWithoutEndingTheProcess)
{
    host->AddComponent("Larkspur", {"{\"action\":\"mkdir\",\"dirname\":[\"x\"]}", MkdirAction(scratch / L"after")});
    DebugCapture capture;
    EXPECT_FALSE(CreateInstaller("install", host)->ProcessList());
    EXPECT_EQ(host->progress, (std::vector<int> {30}));
    EXPECT_FALSE(FileSystem::PathExists((scratch / L"after").c_str()));
    bool logged = false;
    for (const auto& line : capture.Lines())
        logged |= line.rfind(L"stagehand.exe=>iInstaller::DoAction mkdir exception:", 0) == 0;
    EXPECT_TRUE(logged);

    // A verb that is not text, and an action that is not an object.
    host->components.clear();
    host->AddComponent("Larkspur", {"{\"action\":{\"x\":1}}"});
    EXPECT_FALSE(CreateInstaller("install", host)->ProcessList());
    host->components.clear();
    host->AddComponent("Larkspur", {"[1,2]"});
    EXPECT_FALSE(CreateInstaller("install", host)->ProcessList());
}

TEST_F(Dispatch, SilentMiniSucceedsWithoutRunningItsDetailWhileNothingIsRecorded)
{
    host->noSc = true;
    host->AddComponent("mini", {"{\"action\":\"silentmini\",\"detail\":[" + MkdirAction(scratch / L"mini") + "]}"});
    EXPECT_TRUE(CreateInstaller("install", host)->ProcessList());
    EXPECT_FALSE(FileSystem::PathExists((scratch / L"mini").c_str()));
}

TEST(Placeholders, FirstOccurrenceOrAllWithoutReexpandingInsertedValues)
{
    std::wstring text = L"$X$\\a\\$X$";
    EXPECT_TRUE(ReplaceFirst(text, L"$X$", L"C:\\p"));
    EXPECT_EQ(text, L"C:\\p\\a\\$X$");
    EXPECT_FALSE(ReplaceFirst(text, L"$Y$", L"-"));

    text = L"$X$-$X$";
    ReplaceAll(text, L"$X$", L"[$X$]");
    EXPECT_EQ(text, L"[$X$]-[$X$]");
    text = L"$x$";
    ReplaceAll(text, L"$X$", L"v");
    EXPECT_EQ(text, L"$x$");
}

TEST_F(Dispatch, MkdirExpandsTheFirstProgramDirOnly)
{
    auto component =
        host->AddComponent("Larkspur", {"{\"action\":\"mkdir\",\"dirname\":\"$PROGRAMDIR$\\\\$PROGRAMDIR$\"}"});
    component->strInstallDir = Utf8(scratch.Path() + L"base");
    EXPECT_TRUE(CreateInstaller("install", host)->ProcessList());
    EXPECT_TRUE(FileSystem::PathExists((scratch.Path() + L"base\\$PROGRAMDIR$").c_str()));
}
