#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "engine/SetupManager.h"
#include "engine/model/WorkerStop.h"
#include "ui/SilentSetupUI.h"

namespace {

using namespace std::chrono_literals;

Json::Value Parse(const std::string& text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, nullptr)) << text;
    return value;
}

// What the silent UI sends back for one engine message.
struct Reaction {
    std::vector<Json::Value> answers;
    bool result = false;
    bool finished = false;
};

Reaction React(const std::string& messageText)
{
    CSilentSetupUI ui(L"C:\\engine\\setupui");
    Reaction reaction;
    boost::signals2::scoped_connection c =
        ui.m_pMessageSignal->connect([&reaction](MessagePtr m) { reaction.answers.push_back(*m); });
    ui.OnEngineMessage(std::make_shared<Json::Value>(Parse(messageText)));
    reaction.result = ui.m_bResult.load();
    reaction.finished = ui.m_bFinished.load();
    return reaction;
}

}  // namespace

TEST(SilentSetupUITest, AnswersEveryQuestionWithItsDefault)
{
    Reaction stop = React(R"({"type":"waitforstopservice"})");
    ASSERT_EQ(stop.answers.size(), 1u);
    EXPECT_EQ(stop.answers[0], Parse(R"({"type":"stopservice","stop":"stop"})"));

    Reaction runnow = React(R"({"type":"waitforrunnow"})");
    ASSERT_EQ(runnow.answers.size(), 1u);
    EXPECT_EQ(runnow.answers[0], Parse(R"({"type":"runnow","runnow":false})"));
    EXPECT_TRUE(runnow.answers[0]["runnow"].isBool());

    Reaction uninstall = React(R"({"type":"waitforuninstall"})");
    ASSERT_EQ(uninstall.answers.size(), 1u);
    EXPECT_EQ(uninstall.answers[0], Parse(R"({"type":"uninstallparameter","action":"ok","deleteall":true,)"
                                          R"("deleteservice":true,"reason":[" "]})"));

    Reaction invalid = React(R"({"type":"waitforpath","action":"invalid","error":"write"})");
    ASSERT_EQ(invalid.answers.size(), 1u);
    EXPECT_EQ(invalid.answers[0], Parse(R"({"type":"installparameter","action":"cancel"})"));

    for (const char* silent :
         {R"({"type":"waitforpath","action":"ask"})", R"({"type":"waitforpath","action":"skip"})",
          R"({"type":"waitforpath","action":"Invalid"})", R"({"type":"waitforpath"})",
          R"({"type":"processlist","progress":40})", R"({"type":"setlanguage","lan":"en_US"})",
          R"({"type":"setinstallpath","path":"C:\\x"})", R"({"action":"invalid"})", R"({"type":7})", R"([1])"}) {
        Reaction none = React(silent);
        EXPECT_TRUE(none.answers.empty()) << silent;
        EXPECT_FALSE(none.finished) << silent;
    }
}

TEST(SilentSetupUITest, FinalStatusesFinishTheRun)
{
    struct Case {
        const char* status;
        bool result;
        bool finished;
    } cases[] = {{"install_success", true, true},     {"uninstall_success", true, true},
                 {"install_error", false, true},      {"uninstall_error", false, true},
                 {"install_uninstall", false, false}, {"install_processlist", false, false},
                 {"Install_success", false, false}};
    for (const Case& c : cases) {
        Reaction r = React(std::string(R"({"type":"changestatus","old":"x","new":")") + c.status + "\"}");
        EXPECT_TRUE(r.answers.empty());
        EXPECT_EQ(r.result, c.result) << c.status;
        EXPECT_EQ(r.finished, c.finished) << c.status;
    }
    Reaction noNew = React(R"({"type":"changestatus","old":"install_start"})");
    EXPECT_FALSE(noNew.finished);
}

TEST(SilentSetupUITest, RunPollsEvery100msAndReturnsAtThePollAfterAFinalStatus)
{
    CSilentSetupUI ui(L"");
    ui.ShowPage(L"install", L"");
    // The waits between polls, with the engine's messages arriving during them.
    std::vector<std::chrono::milliseconds> waits;
    SleepHookScope hook([&](std::chrono::milliseconds wait) {
        waits.push_back(wait);
        if (waits.size() == 2)
            ui.OnEngineMessage(
                std::make_shared<Json::Value>(Parse(R"({"type":"changestatus","new":"install_uninstall"})")));
        if (waits.size() == 4)
            ui.OnEngineMessage(
                std::make_shared<Json::Value>(Parse(R"({"type":"changestatus","new":"install_success"})")));
        if (waits.size() == 50)
            ui.m_bFinished.store(true);  // a Run that misses the status fails here instead of hanging
    });
    ui.Run();
    EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>(4, 100ms))
        << "a status on the way does not end Run; the final one ends it at the next poll";
    EXPECT_TRUE(ui.m_bResult.load());
}

TEST(SilentSetupUITest, FactoryMakesTheSilentUIAndDrivesARunToItsEnd)
{
    SetupUIPtr ui = CreateSetupUI(true, ::GetModuleHandleW(nullptr), L"C:\\engine\\setupui", L"install");
    ASSERT_TRUE(ui);
    ASSERT_TRUE(dynamic_cast<CSilentSetupUI*>(ui.get()));

    // Wired as the engine wires them: both directions, first page, start, Run.
    auto manager = std::make_shared<SetupManager>();
    iSetupUI* raw = ui.get();
    manager->UiSignal().connect([raw](MessagePtr m) { raw->OnEngineMessage(m); });
    ui->m_pMessageSignal->connect([manager](MessagePtr m) { manager->OnCommand(m); });
    ui->ShowPage(L"install", L"");
    MessagePtr start = MakeMessage("startinstall");
    (*start)["silent"] = true;
    (*start)["nosc"] = false;
    ui->SendToEngine(start);
    ui->Run();
    EXPECT_FALSE(ui->m_bResult.load()) << "an empty list ends the run in install_error";
    manager->JoinWorker();
    ui->m_pMessageSignal->disconnect_all_slots();
}
