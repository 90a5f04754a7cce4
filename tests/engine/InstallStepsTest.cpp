// The install steps with a real SetupManager and a scripted UI that answers
// each question from inside its slot, as the page UI may.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "common/MediumStart.h"
#include "engine/InstallEngine.h"
#include "engine/SetupManager.h"
#include "tests/support/TestSupport.h"

namespace {

struct ScriptedUi {
    std::vector<Json::Value> seen;
    // Answers a message by type; returns null for no answer.
    std::function<MessagePtr(const Json::Value&)> answer;

    void Attach(const SetupManagerPtr& manager)
    {
        manager->UiSignal().connect([this, manager](MessagePtr message) {
            seen.push_back(*message);
            if (!answer)
                return;
            if (MessagePtr reply = answer(*message))
                manager->OnCommand(reply);
        });
    }
    std::vector<std::string> Types() const
    {
        std::vector<std::string> types;
        for (const auto& message : seen)
            types.push_back(message["type"].asString() +
                            (message.isMember("action") ? ":" + message["action"].asString() : ""));
        return types;
    }
};

SetupListPtr Component(const std::string& name, const std::string& dir)
{
    auto record = std::make_shared<_SetupList>();
    record->strName = name;
    record->strId = name + "_Class";
    record->strInstallDir = dir;
    return record;
}

class InstallSteps : public ::testing::Test {
protected:
    void TearDown() override { CInstallEngine::ResetSettings(); }
};

}  // namespace

TEST_F(InstallSteps, SkipSelectSkipsTheFolderQuestion)
{
    CInstallEngine::m_bSkipSelect = true;
    SetupRun run;
    run.vecSelected.push_back(Component("Larkspur", "C:\\nowhere"));
    auto manager = std::make_shared<SetupManager>(run);
    ScriptedUi ui;
    ui.Attach(manager);
    manager->AskInstallPath();
    EXPECT_EQ(ui.Types(), (std::vector<std::string> {"waitforpath:skip", "changestatus"}));
    EXPECT_EQ(manager->State().nStatus, STATUS_INSTALL_UNINSTALL);
}

TEST_F(InstallSteps, FolderQuestionProposesTheApplicationFolderAndLoopsOnAnInvalidAnswer)
{
    ScratchFolder scratch;
    SetupRun run;
    run.vecSelected.push_back(Component("Service", "C:\\service-dir"));
    run.vecSelected.push_back(Component("Larkspur", "C:\\proposed"));
    auto manager = std::make_shared<SetupManager>(run);
    ScriptedUi ui;
    int asked = 0;
    const std::string good = Utf8(scratch / L"Orbisoft");
    ui.answer = [&](const Json::Value& message) -> MessagePtr {
        if (message["type"].asString() != "waitforpath")
            return nullptr;
        MessagePtr reply = MakeMessage("installparameter");
        (*reply)["action"] = "install";
        (*reply)["path"] = ++asked == 1 ? "relative\\folder" : good;
        (*reply)["desktop"] = false;
        return reply;
    };
    ui.Attach(manager);
    manager->AskInstallPath();
    ASSERT_EQ(ui.Types(),
              (std::vector<std::string> {"setinstallpath", "waitforpath:ask", "waitforpath:invalid", "changestatus"}));
    EXPECT_EQ(ui.seen[0]["path"].asString(), "C:\\proposed");
    EXPECT_EQ(ui.seen[2]["error"].asString(), "write");
    EXPECT_EQ(manager->State().nStatus, STATUS_INSTALL_UNINSTALL);
    EXPECT_EQ(manager->State().pInstallParam->strInstallPath, good);
    EXPECT_FALSE(manager->State().pInstallParam->bDesktop);
    // The answer moves the application, never the shared service.
    EXPECT_EQ(manager->State().vecSelected[1]->strInstallDir, good);
    EXPECT_EQ(manager->State().vecSelected[0]->strInstallDir, "C:\\service-dir");
}

TEST_F(InstallSteps, CancelOfTheFolderQuestionEndsInInstallError)
{
    SetupRun run;
    run.vecSelected.push_back(Component("Larkspur", ""));
    run.nStatus = STATUS_INSTALL_WAIT;
    auto manager = std::make_shared<SetupManager>(run);
    ScriptedUi ui;
    ui.answer = [](const Json::Value& message) -> MessagePtr {
        if (message["type"].asString() != "waitforpath")
            return nullptr;
        MessagePtr reply = MakeMessage("installparameter");
        (*reply)["action"] = "cancel";
        return reply;
    };
    ui.Attach(manager);
    manager->AskInstallPath();
    EXPECT_EQ(ui.Types(), (std::vector<std::string> {"waitforpath:ask", "changestatus"}));
    EXPECT_EQ(manager->State().nStatus, STATUS_INSTALL_ERROR);
}

// A page's cancel of the whole run while the folder question is open
// releases the question without an answer.
TEST_F(InstallSteps, RunCancelDuringAnInvalidFolderEndsWithoutAskingAgain)
{
    SetupRun run;
    run.vecSelected.push_back(Component("Larkspur", ""));
    run.nStatus = STATUS_INSTALL_WAIT;
    auto manager = std::make_shared<SetupManager>(run);
    ScriptedUi ui;
    int invalid = 0;
    ScratchFolder scratch;
    const std::string good = Utf8(scratch / L"Orbisoft");
    ui.answer = [&](const Json::Value& message) -> MessagePtr {
        if (message["type"].asString() != "waitforpath")
            return nullptr;
        if (message["action"].asString() == "ask") {
            MessagePtr reply = MakeMessage("installparameter");
            (*reply)["action"] = "install";
            (*reply)["path"] = "relative\\folder";
            return reply;
        }
        // A fault re-asks at once: give a valid folder after a few rounds so
        // that the test ends (and fails) instead of spinning.
        if (++invalid > 3) {
            MessagePtr reply = MakeMessage("installparameter");
            (*reply)["action"] = "install";
            (*reply)["path"] = good;
            return reply;
        }
        return MakeMessage("cancel");
    };
    ui.Attach(manager);
    manager->AskInstallPath();
    EXPECT_EQ(ui.Types(), (std::vector<std::string> {"waitforpath:ask", "waitforpath:invalid"}));
    EXPECT_EQ(invalid, 1);
    EXPECT_EQ(manager->State().nStatus, STATUS_INSTALL_WAIT);
}

TEST_F(InstallSteps, RunCancelWithAValidFolderReportsNoStatus)
{
    ScratchFolder scratch;
    SetupRun run;
    run.vecSelected.push_back(Component("Larkspur", ""));
    run.nStatus = STATUS_INSTALL_WAIT;
    run.pInstallParam->strInstallPath = Utf8(scratch / L"Orbisoft");
    auto manager = std::make_shared<SetupManager>(run);
    ScriptedUi ui;
    ui.answer = [](const Json::Value& message) -> MessagePtr {
        return message["type"].asString() == "waitforpath" ? MakeMessage("cancel") : nullptr;
    };
    ui.Attach(manager);
    manager->AskInstallPath();
    EXPECT_EQ(ui.Types(), (std::vector<std::string> {"waitforpath:ask"}));
    EXPECT_EQ(manager->State().nStatus, STATUS_INSTALL_WAIT);
}

TEST_F(InstallSteps, SilentRunChecksTheGivenFolderWithoutAsking)
{
    ScratchFolder scratch;
    SetupRun run;
    run.bSilent = true;
    run.vecSelected.push_back(Component("Larkspur", "C:\\proposed"));
    run.pInstallParam->strInstallPath = Utf8(scratch / L"Orbisoft");
    auto manager = std::make_shared<SetupManager>(run);
    ScriptedUi ui;
    ui.Attach(manager);
    manager->AskInstallPath();
    EXPECT_EQ(ui.Types(), (std::vector<std::string> {"changestatus"}));
    EXPECT_EQ(manager->State().nStatus, STATUS_INSTALL_UNINSTALL);
}

namespace {

// A run list over two programs that exist in the scratch folder; the starts
// go to programs that end at once (cmd.exe /c exit is not needed: the
// programs are copies of a console tool that exits on unknown arguments).
struct RunListFixture {
    ScratchFolder scratch;
    SetupRun run;
    SetupManagerPtr manager;
    ScriptedUi ui;

    RunListFixture()
    {
        wchar_t system[MAX_PATH] = {};
        ::GetSystemDirectoryW(system, MAX_PATH);
        ::CreateDirectoryW((scratch / L"app").c_str(), nullptr);
        ::CreateDirectoryW((scratch / L"svc").c_str(), nullptr);
        // hostname.exe prints a name and ends, whatever it is given.
        ::CopyFileW((std::wstring(system) + L"\\hostname.exe").c_str(), (scratch / L"app\\Tool.exe").c_str(), FALSE);
        ::CopyFileW((std::wstring(system) + L"\\hostname.exe").c_str(), (scratch / L"svc\\Svc.exe").c_str(), FALSE);
        ui.answer = [](const Json::Value& message) -> MessagePtr {
            return message["type"].asString() == "waitforrunnow" ? MakeMessage("runnow") : nullptr;
        };
    }
    // The workflow object over the run as built so far, made on first use.
    const SetupManagerPtr& Manager()
    {
        if (!manager) {
            manager = std::make_shared<SetupManager>(run);
            ui.Attach(manager);
        }
        return manager;
    }
    void Add(const std::string& name, const std::string& dir, const std::string& runlist)
    {
        SetupListPtr record = Component(name, dir);
        Json::Value list;
        Json::Reader().parse(runlist, list);
        for (const auto& entry : list)
            record->vecRunList.push_back(std::make_shared<Json::Value>(entry));
        run.vecSelected.push_back(record);
    }
    std::vector<std::wstring> Starts(const DebugCapture& capture) const
    {
        std::vector<std::wstring> starts;
        for (const auto& line : capture.Lines())
            if (line.rfind(L"stagehand.exe=>Start the program:", 0) == 0)
                starts.push_back(line);
        return starts;
    }
};

}  // namespace

TEST_F(InstallSteps, RunListStartsRunnowOneEntriesOnlyWhenNostartIsGiven)
{
    RunListFixture f;
    const std::string app = Utf8(f.scratch / L"app");
    f.run.pInstallParam->strServiceDir = Utf8(f.scratch / L"svc");
    f.Add("Service", app, R"([{"path":"$SERVICEDIR$\\Svc.exe","runnow":1,"integrity_level":"high","para":"-run"}])");
    f.Add("Larkspur", app, R"([{"path":"$PROGRAMDIR$\\Tool.exe","runnow":0,"integrity_level":"high","para":"-x"},
                              {"path":"$PROGRAMDIR$\\Missing.exe","runnow":1,"para":""}])");
    CInstallEngine::m_bNoStart = true;
    DebugCapture capture;
    f.Manager()->RunList();
    const std::wstring svc = f.scratch / L"svc\\Svc.exe";
    // With -nostart no product list is built and the runnow-0 entry stays unstarted.
    EXPECT_EQ(f.Starts(capture), (std::vector<std::wstring> {L"stagehand.exe=>Start the program:" + svc + L"  -run "}));
    EXPECT_EQ(f.ui.Types(), (std::vector<std::string> {"waitforrunnow"}));
}

TEST_F(InstallSteps, RunListWithoutNostartStartsEveryEntryWithTheProductList)
{
    RunListFixture f;
    const std::string app = Utf8(f.scratch / L"app");
    f.run.pInstallParam->strServiceDir = Utf8(f.scratch / L"svc");
    f.Add("Service", app, R"([{"path":"$SERVICEDIR$\\Svc.exe","runnow":1,"para":"-run"}])");
    f.Add(
        "Larkspur", app,
        R"([{"path":"$PROGRAMDIR$\\Tool.exe","runnow":0,"integrity_level":"high","bAddExternalPara":true,"para":"-x"}])");
    f.Add("Other", app, R"([{"path":"$PROGRAMDIR$\\Tool.exe","runnow":"1","integrity_level":"high","para":""}])");
    f.run.vecSelected.back()->bNoShortCut = true;
    CInstallEngine::m_wstrCmdLine = L"-verysilent -from=web";
    DebugCapture capture;
    f.Manager()->RunList();
    const std::wstring svc = f.scratch / L"svc\\Svc.exe";
    const std::wstring tool = f.scratch / L"app\\Tool.exe";
    // The service never joins the product list, nor a component without shortcuts.
    EXPECT_EQ(f.Manager()->State().wstrProductList, L"-productlist=\"Larkspur\"");
    EXPECT_EQ(f.Starts(capture),
              (std::vector<std::wstring> {
                  L"stagehand.exe=>Start the program:" + svc + L"  -run -productlist=\"Larkspur\"",
                  L"stagehand.exe=>Start the program:\"" + tool +
                      L"\" -verysilent -from=web  -verysilent -from=web -x -productlist=\"Larkspur\"",
                  L"stagehand.exe=>Start the program:" + tool + L"   -productlist=\"Larkspur\"",
              }));
}

TEST_F(InstallSteps, ProductListNamesTheSelectedProductsThatKeepTheirShortcuts)
{
    SetupRun run;
    EXPECT_EQ(ProductListArgument(run), L"-productlist=\"\"");
    run.vecSelected = {Component("Service", "C:\\svc"), Component("Larkspur", "C:\\app"),
                       Component("aQuayside", "C:\\app"), Component("iQuayside", "C:\\app")};
    run.vecSelected[2]->bNoShortCut = true;
    // The shared service is never a product; the list keeps processing order.
    EXPECT_EQ(ProductListArgument(run), L"-productlist=\"Larkspur,iQuayside\"");
}

namespace {

// The starts of the shipped list's kind: a program at medium integrity whose
// path holds blanks, with a decoy wherever an unquoted command line would be
// cut ("C:\Program.exe", "...\My.exe"). Program Files is the folder asked of
// the system; the test's own folder in it has a unique name and goes at the end.
struct QuotingFixture {
    std::wstring base;
    std::wstring program;
    std::vector<std::wstring> decoys;

    QuotingFixture()
    {
        base = CCodeChange::StringUTF8toUTF16(FileSystem::GetProgramFilesPathA()) + L"\\LarkspurQuoting-" +
               std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount());
        ::CreateDirectoryW(base.c_str(), nullptr);
        ::CreateDirectoryW((base + L"\\My Apps").c_str(), nullptr);
        program = base + L"\\My Apps\\Larkspur.exe";
        Plant(program);
        for (size_t blank = program.find(L' '); blank != std::wstring::npos; blank = program.find(L' ', blank + 1)) {
            decoys.push_back(program.substr(0, blank) + L".exe");
            Plant(decoys.back());
        }
    }
    ~QuotingFixture()
    {
        for (const auto& decoy : decoys) {
            ::DeleteFileW(decoy.c_str());
            ::DeleteFileW((decoy + L".ran").c_str());
        }
        FileSystem::DeleteDirectoryTree(base);
    }
    static void Plant(const std::wstring& at)
    {
        ::CopyFileW(DecoyProgram().c_str(), at.c_str(), FALSE);
        FileSystem::WriteStringToFile(at + L".ran", "");
    }
    static std::string Ran(const std::wstring& at) { return FileSystem::ReadFileToString(at + L".ran", true); }
};

// No desktop shell: the run's own token, lowered, starts the command line.
class NoDesktopShell : public MediumStart::Starter {
public:
    HRESULT ThroughDesktopShell(const MediumStart::Program&) override { return S_FALSE; }
    HRESULT WithLoweredToken(const std::wstring& commandLine, const std::wstring& folder) override
    {
        return MediumStart::SystemStarter().WithLoweredToken(commandLine, folder);
    }
};

}  // namespace

TEST_F(InstallSteps, AMediumIntegrityStartOfAPathWithBlanksNeverStartsADecoyOnEitherRoute)
{
    QuotingFixture q;
    ASSERT_GE(q.decoys.size(), 1u);
    ASSERT_TRUE(FileSystem::PathExists(q.program.c_str()));
    NoDesktopShell noShell;
    for (bool shell : {true, false}) {
        std::optional<MediumStart::ScopedStarter> route;
        if (!shell)
            route.emplace(noShell);
        RunListFixture f;
        const std::wstring dir = q.base + L"\\My Apps";
        f.Add(
            "Larkspur", CCodeChange::StringUTF16toUTF8(dir),
            R"([{"path":"$PROGRAMDIR$\\Larkspur.exe","runnow":0,"integrity_level":"medium","bAddExternalPara":true}])");
        CInstallEngine::m_wstrCmdLine = L"-from=web";
        FileSystem::WriteStringToFile(q.program + L".ran", "");
        f.Manager()->RunList();
        EXPECT_TRUE(WaitUntil([&] { return !QuotingFixture::Ran(q.program).empty(); })) << "shell route " << shell;
        EXPECT_NE(QuotingFixture::Ran(q.program).find("-from=web"), std::string::npos)
            << QuotingFixture::Ran(q.program);
        for (const auto& decoy : q.decoys)
            EXPECT_EQ(QuotingFixture::Ran(decoy), "") << "shell route " << shell;
    }
}
