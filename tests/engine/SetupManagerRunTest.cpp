#include <gtest/gtest.h>

#include <stop_token>

#include "actions/Uninstaller.h"
#include "common/FileSystem.h"
#include "engine/InstallEngine.h"
#include "engine/SetupManager.h"
#include "engine/SetupManagerHost.h"
#include "engine/model/WorkerStop.h"
#include "tests/actions/FakeHost.h"
#include "tests/support/TestSupport.h"

namespace {

std::shared_ptr<_SetupList> Component(const std::vector<std::string>& actions)
{
    auto component = std::make_shared<_SetupList>();
    for (const auto& text : actions)
        component->vecActions.push_back(ParseAction(text));
    return component;
}

std::string Mkdir(const std::wstring& dir)
{
    return "{\"action\":\"mkdir\",\"dirname\":\"" + JsonPath(dir) + "\"}";
}

}  // namespace

TEST(SetupManagerRun, ProgressReachesTheUiAsProcesslistMessages)
{
    ScratchFolder scratch;
    SetupRun run;
    run.vecSelected.push_back(Component({Mkdir(scratch / L"a"), Mkdir(scratch / L"b")}));
    auto manager = std::make_shared<SetupManager>(run);
    std::vector<int> progress;
    manager->UiSignal().connect([&progress](MessagePtr message) {
        if ((*message)["type"].asString() == "processlist")
            progress.push_back((*message)["progress"].asInt());
    });
    auto executor = CreateInstaller("install", manager);
    EXPECT_TRUE(executor->ProcessList());
    EXPECT_EQ(progress, (std::vector<int> {30, 65, 99}));
}

TEST(SetupManagerRun, StopRequestOfTheWorkerEndsTheWalkAtTheNextCheck)
{
    ScratchFolder scratch;
    SetupRun run;
    run.vecSelected.push_back(Component({Mkdir(scratch / L"one"), Mkdir(scratch / L"two")}));
    auto manager = std::make_shared<SetupManager>(run);
    std::stop_source source;
    WorkerStopScope scope(source.get_token());
    manager->UiSignal().connect([&source](MessagePtr) { source.request_stop(); });
    auto executor = CreateInstaller("install", manager);
    EXPECT_THROW(executor->ProcessList(), WorkerStopped);
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"one").c_str()));
    EXPECT_FALSE(FileSystem::PathExists((scratch / L"two").c_str()));
}

TEST(SetupManagerRun, TheManagersRunKindDecidesWhetherShortcutVerbsAreSkipped)
{
    CInstallEngine::m_bNoShortcut = true;
    SetupRun run;
    run.vecSelected.push_back(Component({R"({"action":"desktop","name":"LarkspurNoSuchLink"})"}));
    // An install skips the verb; an uninstall dispatches it.
    DebugCapture skipped;
    EXPECT_TRUE(CreateInstaller("install", std::make_shared<SetupManager>(run))->ProcessList());
    EXPECT_TRUE(skipped.Lines().empty());
    run.bUninstall = true;
    auto executor = CreateInstaller("uninstall", std::make_shared<SetupManager>(run));
    EXPECT_TRUE(std::dynamic_pointer_cast<Uninstaller>(executor));
    DebugCapture dispatched;
    EXPECT_TRUE(executor->ProcessList());
    ASSERT_FALSE(dispatched.Lines().empty());
    EXPECT_EQ(dispatched.Lines()[0].rfind(L"stagehand.exe=>deldesktop DeleteShortCut path:", 0), 0u);
    CInstallEngine::ResetSettings();
}

TEST(SetupManagerRun, TheCommandLinesChannelReachesTheExecutorsHost)
{
    CInstallEngine::m_wstrChannelId = L"Y2hhbm5lbA==";
    SetupManagerHost host(std::make_shared<SetupManager>());
    EXPECT_EQ(host.GetChannelId(), L"Y2hhbm5lbA==");
    EXPECT_FALSE(host.IsNoShortcut());
    CInstallEngine::ResetSettings();
    EXPECT_EQ(host.GetChannelId(), L"");
}

TEST(SetupManagerRun, SilentMiniRunsItsDetailOnlyWithNoscAndARecordForTheMiniComponent)
{
    ScratchFolder scratch;
    SetupRun run;
    auto mini = Component({"{\"action\":\"silentmini\",\"detail\":[" + Mkdir(scratch / L"nested") +
                           ",{\"action\":\"nosuchverb\"}," + Mkdir(scratch / L"after") + "]}"});
    mini->strName = "mini";
    run.vecSelected.push_back(mini);
    run.jsComponentRecords["mini"] = "recorded";
    EXPECT_TRUE(CreateInstaller("install", std::make_shared<SetupManager>(run))->ProcessList());
    EXPECT_FALSE(FileSystem::PathExists((scratch / L"nested").c_str()));

    run.bNoSc = true;
    EXPECT_TRUE(CreateInstaller("install", std::make_shared<SetupManager>(run))->ProcessList());
    // Results of the nested actions are ignored: an unknown one does not stop the rest.
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"nested").c_str()));
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"after").c_str()));
}
