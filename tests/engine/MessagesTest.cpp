#include <gtest/gtest.h>

#include "engine/InstallEngine.h"
#include "engine/SetupManager.h"
#include "tests/engine/MessageRecorder.h"
#include "tests/support/TestSupport.h"

namespace {

std::shared_ptr<Json::Value> Action(const Json::Value& fields)
{
    return std::make_shared<Json::Value>(fields);
}

Json::Value Parse(const char* text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    reader->parse(text, text + strlen(text), &value, &errors);
    return value;
}

std::string Detail(const char* actionText)
{
    SetupManager manager;
    MessageRecorder ui(manager.UiSignal());
    manager.ReportAction(42, Action(Parse(actionText)));
    const Json::Value message = ui.Messages().at(0);
    EXPECT_EQ(message["type"].asString(), "processlist");
    EXPECT_EQ(message["progress"].asInt(), 42);
    return message.isMember("detail") ? message["detail"].asString() : std::string("<none>");
}

}  // namespace

TEST(MessagesTest, StatusChangesCarryNamesAndDeleteOnlyForUninstallSuccess)
{
    SetupRun run;
    run.nStatus = STATUS_INSTALL_START;
    SetupManager manager(run);
    MessageRecorder ui(manager.UiSignal());
    manager.ChangeStatus(STATUS_INSTALL_SETLANGUAGE);
    const Json::Value first = ui.Messages().at(0);
    EXPECT_EQ(first.getMemberNames(), (std::vector<std::string> {"new", "old", "type"}));
    EXPECT_EQ(first["type"].asString(), "changestatus");
    EXPECT_EQ(first["old"].asString(), "install_start");
    EXPECT_EQ(first["new"].asString(), "install_setlanguage");
    EXPECT_EQ(manager.State().nOldStatus, STATUS_INSTALL_START);
    EXPECT_EQ(manager.State().nStatus, STATUS_INSTALL_SETLANGUAGE);

    const char* names[] = {"install_error",         "install_start",      "install_setlanguage",
                           "install_checkopen",     "install_check",      "install_wait",
                           "install_uninstall",     "install_setupmutex", "install_processlist",
                           "install_runlist",       "install_success",    "",
                           "uninstall_error",       "uninstall_start",    "uninstall_setlanguage",
                           "uninstall_checkopen",   "uninstall_check",    "uninstall_wait",
                           "uninstall_processlist", "uninstall_success",  ""};
    for (int status = 0; status <= 20; ++status) {
        EXPECT_STREQ(StatusName(status), names[status]);
        manager.ChangeStatus(status);
        const Json::Value message = ui.Messages().back();
        EXPECT_EQ(message["new"].asString(), names[status]);
        EXPECT_EQ(message.isMember("delete"), status == STATUS_UNINSTALL_SUCCESS) << status;
    }
    EXPECT_TRUE(ui.Messages()[1 + STATUS_UNINSTALL_SUCCESS]["delete"].asBool());
}

TEST(MessagesTest, ProgressDetailsFollowTheVerbTable)
{
    EXPECT_EQ(Detail(R"({"action":"mkdir","dirname":"$PROGRAMDIR$\\bin"})"), "mkdir:$PROGRAMDIR$\\bin");
    EXPECT_EQ(Detail(R"({"action":"copyfile","src":"$CURRENTPATH$A","dst":"$PROGRAMDIR$B"})"),
              "copy:$CURRENTPATH$A -> $PROGRAMDIR$B");
    EXPECT_EQ(Detail(R"({"action":"writereg","CLASS":"HKLM","KEY":"SOFTWARE\\X","SUBKEY":"V","value":"1"})"),
              "writereg:HKLM SOFTWARE\\X V 1");
    EXPECT_EQ(Detail(R"({"action":"desktop","name":"Larkspur"})"), "createdesktop:Larkspur");
    EXPECT_EQ(Detail(R"({"action":"quickstart","name":"Larkspur"})"), "create taskbar:Larkspur");
    EXPECT_EQ(Detail(R"({"action":"menu","path":"Orbisoft\\Larkspur"})"), "create startmenu:Orbisoft\\Larkspur");
    EXPECT_EQ(Detail(R"({"action":"killprocess","path":"a.exe"})"), "killexe:a.exe");
    EXPECT_EQ(Detail(R"({"action":"delregvalue","CLASS":"HKLM","KEY":"SOFTWARE\\X","SUBKEY":"Y"})"),
              "del reg value:HKLMSOFTWARE\\X Y");
    EXPECT_EQ(Detail(R"({"action":"delregkey","CLASS":"HKLM","KEY":"SOFTWARE\\X"})"), "del reg key:HKLM SOFTWARE\\X");
    EXPECT_EQ(Detail(R"({"action":"delfile","path":"f"})"), "del file:f");
    EXPECT_EQ(Detail(R"({"action":"deldir","path":"d"})"), "del dir:d");
    // Missing fields and fields of another type read as "".
    EXPECT_EQ(Detail(R"({"action":"copyfile","src":5})"), "copy: -> ");
    EXPECT_EQ(Detail(R"({"action":"deletedesktop","name":"Larkspur"})"), "<none>");
    EXPECT_EQ(Detail(R"({"action":"MKDIR","dirname":"x"})"), "<none>");
    EXPECT_EQ(Detail(R"({"dirname":"x"})"), "<none>");
    EXPECT_EQ(Detail(R"([1, 2])"), "<none>");

    SetupManager manager;
    MessageRecorder ui(manager.UiSignal());
    manager.ReportAction(99, nullptr);
    EXPECT_FALSE(ui.Messages().at(0).isMember("detail"));
}

TEST(MessagesTest, SendLanguageCarriesTheLanguageSetting)
{
    CInstallEngine::ResetSettings();
    CInstallEngine::m_wstrLanguage = L"en_US";
    SetupManager manager;
    MessageRecorder ui(manager.UiSignal());
    manager.SendLanguage();
    CInstallEngine::ResetSettings();
    const Json::Value message = ui.Messages().at(0);
    EXPECT_EQ(message["type"].asString(), "setlanguage");
    EXPECT_EQ(message["lan"].asString(), "en_US");
}

TEST(MessagesTest, StartCommandsSetTheRunFlagsAndRunTheWorker)
{
    struct Case {
        const char* type;
        bool uninstall;
        const char* first;
        const char* final;
    } cases[] = {{"startinstall", false, "install_start", "install_error"},
                 {"startuninstall", true, "uninstall_start", "uninstall_error"}};
    for (const Case& c : cases) {
        auto manager = std::make_shared<SetupManager>();
        MessageRecorder ui(manager->UiSignal());
        MessagePtr start = Command(c.type);
        (*start)["silent"] = true;
        (*start)["nosc"] = true;
        (*start)["un_type"] = "";
        manager->OnCommand(start);
        EXPECT_EQ(manager->State().bUninstall, c.uninstall);
        EXPECT_TRUE(manager->State().bSilent);
        EXPECT_TRUE(manager->State().bNoSc);
        ASSERT_TRUE(ui.WaitForCount(1));
        manager->JoinWorker();
        const Json::Value status = ui.Messages().at(0);
        EXPECT_EQ(status["old"].asString(), c.first);
        EXPECT_EQ(status["new"].asString(), c.final);
        EXPECT_EQ(ui.Messages().size(), 1u) << "a run whose list does not parse ends at once";
    }
    // Booleans of another type count as false.
    auto manager = std::make_shared<SetupManager>();
    MessageRecorder ui(manager->UiSignal());
    MessagePtr start = Command("startinstall");
    (*start)["silent"] = 1;
    (*start)["nosc"] = "true";
    manager->OnCommand(start);
    EXPECT_FALSE(manager->State().bSilent);
    EXPECT_FALSE(manager->State().bNoSc);
    manager->JoinWorker();
}

TEST(MessagesTest, CommandsWithoutAQuestionOrOfUnknownTypeChangeNothing)
{
    DebugCapture debug;
    SetupRun run;
    run.vecSelected.push_back(std::make_shared<_SetupList>());
    run.vecSelected[0]->strName = "Larkspur";
    run.vecSelected[0]->strInstallDir = "C:\\Before";
    auto manager = std::make_shared<SetupManager>(run);
    MessageRecorder ui(manager->UiSignal());

    MessagePtr parameter = Command("installparameter");
    (*parameter)["action"] = "ok";
    (*parameter)["path"] = "D:\\After";
    manager->OnCommand(parameter);
    MessagePtr stop = Command("stopservice");
    (*stop)["stop"] = "retry";
    manager->OnCommand(stop);
    manager->OnCommand(Command("installcontrol"));
    manager->OnCommand(Command("somethingelse"));
    manager->OnCommand(std::make_shared<Json::Value>(Json::objectValue));
    manager->OnCommand(std::make_shared<Json::Value>(17));
    manager->OnCommand(nullptr);

    EXPECT_EQ(manager->State().vecSelected[0]->strInstallDir, "C:\\Before");
    EXPECT_EQ(manager->State().pInstallParam->strInstallPath, "");
    EXPECT_EQ(manager->State().strParamAnswer, "");
    EXPECT_EQ(manager->State().strStopAnswer, "");
    EXPECT_FALSE(manager->HasWorker());
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_TRUE(debug.Contains(L"stagehand.exe=>SetupManager::OnCommand no question waits for installparameter"));
}
