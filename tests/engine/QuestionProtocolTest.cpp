// The question protocol between the worker thread and the UI, under threads.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>

#include "engine/SetupManager.h"
#include "engine/model/WorkerStop.h"
#include "tests/engine/MessageRecorder.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

MessagePtr Question(const char* type)
{
    return MakeMessage(type);
}

MessagePtr StopAnswer(const char* value)
{
    MessagePtr answer = MakeMessage("stopservice");
    (*answer)["stop"] = value;
    return answer;
}

SetupListPtr Component(const char* name, const char* folder, bool noShortcut = false)
{
    auto record = std::make_shared<_SetupList>();
    record->strName = name;
    record->strInstallDir = folder;
    record->bNoShortCut = noShortcut;
    return record;
}

class QuestionProtocolTest : public ::testing::Test {
protected:
    explicit QuestionProtocolTest(SetupRun run = SetupRun()) : manager(std::make_shared<SetupManager>(std::move(run)))
    {
    }

    SetupManagerPtr manager;
    MessageRecorder ui {manager->UiSignal()};
    std::promise<void> done;
    std::future<void> finished = done.get_future();

    // Starts a worker that runs body and then signals completion.
    void StartWorker(std::function<void(SetupManager&)> body)
    {
        SetupManager* raw = manager.get();
        manager->StartWorker([this, raw, body] {
            body(*raw);
            done.set_value();
        });
    }
    bool Finishes(std::chrono::milliseconds timeout = 20s)
    {
        return finished.wait_for(timeout) == std::future_status::ready;
    }
    void TearDown() override
    {
        if (manager->HasWorker()) {
            manager->Cancel();
            manager->JoinWorker();
        }
    }
};

}  // namespace

TEST_F(QuestionProtocolTest, WorkerWaitsUntilAnotherThreadAnswers)
{
    StartWorker([](SetupManager& m) { m.Ask(Question("waitforstopservice")); });
    ASSERT_TRUE(WaitUntil([&] { return manager->IsWaiting(); }));
    EXPECT_FALSE(Finishes(50ms)) << "no answer yet";
    std::thread answerer([&] { manager->OnCommand(StopAnswer("retry")); });
    answerer.join();
    ASSERT_TRUE(Finishes());
    EXPECT_EQ(manager->State().strStopAnswer, "retry");
    EXPECT_FALSE(manager->IsWaiting());
    EXPECT_EQ(ui.Types(), (std::vector<std::string> {"waitforstopservice"}));
}

TEST_F(QuestionProtocolTest, AnswerDeliveredInsideTheSendDoesNotBlock)
{
    ui.onMessage = [this](const Json::Value& message) {
        if (message["type"] == "waitforstopservice")
            manager->OnCommand(StopAnswer("stop"));
        if (message["type"] == "waitforrunnow") {
            MessagePtr answer = MakeMessage("runnow");
            (*answer)["runnow"] = false;
            manager->OnCommand(answer);
        }
    };
    StartWorker([](SetupManager& m) {
        m.Ask(Question("waitforstopservice"));
        m.Ask(Question("waitforrunnow"));
        m.Ask(Question("waitforstopservice"));
    });
    ASSERT_TRUE(Finishes());
    EXPECT_EQ(manager->State().strStopAnswer, "stop");
    EXPECT_FALSE(manager->IsWaiting());
}

TEST_F(QuestionProtocolTest, EachOfTwoQuestionsWaitsForItsOwnAnswer)
{
    std::atomic<int> asked {0};
    std::promise<void> goOn;
    std::shared_future<void> mayGoOn = goOn.get_future().share();
    StartWorker([&asked, mayGoOn](SetupManager& m) {
        m.Ask(Question("waitforstopservice"));
        asked = 1;
        mayGoOn.wait();
        m.Ask(Question("waitforrunnow"));
        asked = 2;
    });
    ASSERT_TRUE(WaitUntil([&] { return manager->IsWaiting(); }));
    std::thread answerer([&] { manager->OnCommand(StopAnswer("stop")); });
    answerer.join();
    ASSERT_TRUE(WaitUntil([&] { return asked.load() == 1; }));
    // A second answer to the first question, between the questions, must not
    // pre-answer the next one.
    std::thread late([&] { manager->OnCommand(StopAnswer("cancel")); });
    late.join();
    goOn.set_value();
    ASSERT_TRUE(ui.WaitForCount(2));
    ASSERT_TRUE(WaitUntil([&] { return manager->IsWaiting(); }));
    EXPECT_FALSE(Finishes(100ms)) << "the second question still waits";
    EXPECT_EQ(asked.load(), 1);
    EXPECT_EQ(manager->State().strStopAnswer, "stop");
    std::thread second([&] { manager->OnCommand(MakeMessage("runnow")); });
    second.join();
    ASSERT_TRUE(Finishes());
    EXPECT_EQ(asked.load(), 2);
}

TEST_F(QuestionProtocolTest, AnswerWithoutAQuestionDoesNotAnswerTheNextOne)
{
    DebugCapture debug;
    manager->OnCommand(MakeMessage("runnow"));
    manager->OnCommand(StopAnswer("stop"));
    StartWorker([](SetupManager& m) { m.Ask(Question("waitforrunnow")); });
    ASSERT_TRUE(WaitUntil([&] { return manager->IsWaiting(); }));
    EXPECT_FALSE(Finishes(100ms));
    EXPECT_EQ(manager->State().strStopAnswer, "") << "a stray answer stores nothing";
    manager->OnCommand(MakeMessage("runnow"));
    ASSERT_TRUE(Finishes());
    EXPECT_TRUE(debug.Contains(L"stagehand.exe=>SetupManager::OnCommand no question waits for runnow"));
}

TEST_F(QuestionProtocolTest, CancelReleasesAWaitingWorkerWhichStopsAtTheNextPoint)
{
    DebugCapture debug;
    std::atomic<bool> stepFinished {false};
    std::atomic<bool> pastPoint {false};
    manager->StartWorker([&] {
        manager->Ask(Question("waitforpath"));
        stepFinished = true;  // the step ends with the answers as they are
        InterruptionPoint();
        pastPoint = true;
        manager->ChangeStatus(STATUS_INSTALL_UNINSTALL);
    });
    ASSERT_TRUE(WaitUntil([&] { return manager->IsWaiting(); }));
    std::thread canceller([&] { manager->OnCommand(MakeMessage("cancel")); });
    canceller.join();
    manager->JoinWorker();
    EXPECT_TRUE(stepFinished.load());
    EXPECT_FALSE(pastPoint.load());
    EXPECT_EQ(ui.Types(), (std::vector<std::string> {"waitforpath"})) << "no status follows a cancel";
    EXPECT_EQ(manager->State().strParamAnswer, "");
    EXPECT_TRUE(debug.Contains(L"stagehand.exe=>SetupManager worker stopped"));
}

TEST_F(QuestionProtocolTest, CancelDuringTheSendOrBeforeTheQuestionDoesNotStrandTheWorker)
{
    // The cancel arrives while the question is still being sent.
    ui.onMessage = [this](const Json::Value& message) {
        if (message["type"] == "waitforuninstall")
            manager->Cancel();
    };
    std::atomic<int> asked {0};
    StartWorker([&asked](SetupManager& m) {
        m.Ask(Question("waitforuninstall"));
        asked = 1;
        // A later question after the cancel does not wait either.
        m.Ask(Question("waitforrunnow"));
        asked = 2;
    });
    ASSERT_TRUE(Finishes());
    EXPECT_EQ(asked.load(), 2);
    // Answers after a cancel are not taken.
    MessagePtr parameter = MakeMessage("uninstallparameter");
    (*parameter)["action"] = "ok";
    (*parameter)["deleteall"] = true;
    manager->OnCommand(parameter);
    EXPECT_FALSE(manager->State().pUninstallParam->bDeleteAll);
}

namespace {

// A run of four components that the folder answer changes.
SetupRun FourComponents()
{
    SetupRun run;
    run.vecSelected = {Component("Service", "C:\\Svc"), Component("Larkspur", "C:\\Old"),
                       Component("aQuayside", "C:\\Old"), Component("iQuayside", "C:\\Old", true)};
    run.pInstallParam->bDesktop = true;
    return run;
}

class InstallParameterAnswer : public QuestionProtocolTest {
protected:
    InstallParameterAnswer() : QuestionProtocolTest(FourComponents()) { }
    const _SetupList& Record(size_t index) const { return *manager->State().vecSelected.at(index); }
};

}  // namespace

TEST_F(InstallParameterAnswer, IsAppliedWhileTheWorkerWaits)
{
    StartWorker([](SetupManager& m) { m.Ask(Question("waitforpath")); });
    ASSERT_TRUE(WaitUntil([&] { return manager->IsWaiting(); }));
    std::thread answerer([&] {
        MessagePtr answer = MakeMessage("installparameter");
        (*answer)["action"] = "ok";
        (*answer)["desktop"] = false;
        (*answer)["quick"] = true;
        (*answer)["anoshortcut"] = true;
        (*answer)["path"] = "D:\\Apps\\my.files\\";
        manager->OnCommand(answer);
    });
    answerer.join();
    ASSERT_TRUE(Finishes());
    EXPECT_EQ(manager->State().strParamAnswer, "ok");
    EXPECT_FALSE(manager->State().pInstallParam->bDesktop);
    EXPECT_TRUE(manager->State().pInstallParam->bQuick);
    EXPECT_EQ(manager->State().pInstallParam->strInstallPath, "D:\\Apps\\myfiles");
    EXPECT_EQ(Record(0).strInstallDir, "C:\\Svc");
    EXPECT_EQ(Record(1).strInstallDir, "D:\\Apps\\myfiles");
    EXPECT_EQ(Record(2).strInstallDir, "D:\\Apps\\myfiles");
    EXPECT_TRUE(Record(2).bNoShortCut);
    EXPECT_FALSE(Record(3).bNoShortCut) << "a missing inoshortcut reads as false";
    EXPECT_FALSE(Record(1).bNoShortCut);
}

TEST_F(InstallParameterAnswer, WhenCancelledOnlyStoresTheAction)
{
    ui.onMessage = [this](const Json::Value&) {
        MessagePtr answer = MakeMessage("installparameter");
        (*answer)["action"] = "cancel";
        (*answer)["path"] = "D:\\Else";
        manager->OnCommand(answer);
    };
    StartWorker([](SetupManager& m) { m.Ask(Question("waitforpath")); });
    ASSERT_TRUE(Finishes());
    EXPECT_EQ(manager->State().strParamAnswer, "cancel");
    EXPECT_EQ(Record(1).strInstallDir, "C:\\Old");
    EXPECT_TRUE(Record(3).bNoShortCut);
    EXPECT_EQ(manager->State().pInstallParam->strInstallPath, "");
}

TEST_F(QuestionProtocolTest, UninstallParameterStoresTheAnswersAndTheReason)
{
    StartWorker([](SetupManager& m) { m.Ask(Question("waitforuninstall")); });
    ASSERT_TRUE(WaitUntil([&] { return manager->IsWaiting(); }));
    std::thread answerer([&] {
        MessagePtr answer = MakeMessage("uninstallparameter");
        (*answer)["action"] = "ok";
        (*answer)["deleteall"] = true;
        (*answer)["reason"]["paperID"] = 1829;
        manager->OnCommand(answer);
    });
    answerer.join();
    ASSERT_TRUE(Finishes());
    EXPECT_EQ(manager->State().strParamAnswer, "ok");
    EXPECT_TRUE(manager->State().pUninstallParam->bDeleteAll);
    EXPECT_FALSE(manager->State().pUninstallParam->bDeleteService);
    EXPECT_EQ(manager->State().pUninstallParam->jsReason["paperID"].asInt(), 1829);
}

TEST_F(QuestionProtocolTest, InterruptibleSleepEndsEarlyOnAStopRequest)
{
    std::atomic<bool> woke {false};
    manager->StartWorker([&] {
        InterruptibleSleep(std::chrono::hours(1));
        woke = true;
    });
    std::this_thread::sleep_for(20ms);
    manager->Cancel();
    manager->JoinWorker();
    EXPECT_FALSE(woke.load());
    // Outside a worker the points never throw.
    EXPECT_NO_THROW(InterruptionPoint());
    EXPECT_NO_THROW(InterruptibleSleep(1ms));
}

TEST(SetupManagerLifetimeTest, WorkerHoldingTheLastOwnerEndsCleanly)
{
    std::promise<void> released;
    std::weak_ptr<SetupManager> weak;
    {
        auto manager = std::make_shared<SetupManager>();
        weak = manager;
        manager->StartWorker([&released] { released.get_future().wait(); });
    }
    EXPECT_FALSE(weak.expired()) << "the worker keeps the manager alive";
    released.set_value();
    EXPECT_TRUE(WaitUntil([&] { return weak.expired(); }));
}

TEST_F(QuestionProtocolTest, FailingUIEndsTheRunAndFreesTheGate)
{
    DebugCapture debug;
    bool fail = true;
    ui.onMessage = [&fail, this](const Json::Value& message) {
        if (message["type"] == "waitforpath" && fail)
            throw std::runtime_error("page gone");
        if (message["type"] == "waitforstopservice")
            manager->OnCommand(StopAnswer("stop"));
    };
    manager->StartWorker([this] { manager->Ask(Question("waitforpath")); });
    manager->JoinWorker();
    ASSERT_EQ(ui.Types(), (std::vector<std::string> {"waitforpath", "changestatus"}));
    EXPECT_EQ(ui.Messages()[1]["new"].asString(), "install_error");
    EXPECT_TRUE(debug.Contains(L"stagehand.exe=>SetupManager worker failed: page gone"));
    // The next question is asked and answered as usual.
    fail = false;
    StartWorker([](SetupManager& m) { m.Ask(Question("waitforstopservice")); });
    ASSERT_TRUE(Finishes());
    EXPECT_EQ(manager->State().strStopAnswer, "stop");
}

TEST(WorkerStopScopeTest, AStopTokenAlsoDrivesTheInterruptionPoints)
{
    std::stop_source source;
    std::thread sleeper;
    std::atomic<int> outcome {0};
    sleeper = std::thread([&] {
        WorkerStopScope scope(source.get_token());
        try {
            InterruptibleSleep(std::chrono::hours(1));
            outcome = 1;
        } catch (const WorkerStopped&) {
            outcome = 2;
        }
        EXPECT_THROW(InterruptionPoint(), WorkerStopped);
    });
    std::this_thread::sleep_for(20ms);
    source.request_stop();
    sleeper.join();
    EXPECT_EQ(outcome.load(), 2);
    EXPECT_FALSE(WorkerStopRequested()) << "the scope binds only its own thread";
}
