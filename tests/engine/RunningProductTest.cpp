// The running-product check before files change: who is found running, the
// question and what each answer does.
#include <gtest/gtest.h>

#include "common/CodeChange.h"
#include "common/Handles.h"
#include "engine/InstallEngine.h"
#include "engine/QuitRequest.h"
#include "engine/SetupManager.h"
#include "sample/SampleNames.h"
#include "tests/engine/MessageRecorder.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring ThisProgram()
{
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

// A component that this test program stands in for: its mutex is held here
// and its AppInstallPath, under a key of its own, names this program (or
// `image`).
class RunningComponent {
public:
    explicit RunningComponent(bool holdMutex, const std::string& name = "Larkspur",
                              const std::wstring& image = ThisProgram())
        : m_name(name),
          m_tag(Utf16(name) + std::to_wstring(::GetCurrentProcessId())),
          m_key(L"SOFTWARE\\LarkspurRunningTest" + m_tag)
    {
        if (holdMutex)
            m_mutex.reset(::CreateMutexW(nullptr, FALSE, (L"LarkspurRunningTest_Mutex" + m_tag).c_str()));
        UniqueHKey key;
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr);
        ::RegSetValueExW(key.get(), L"AppInstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(image.c_str()),
                         static_cast<DWORD>((image.size() + 1) * sizeof(wchar_t)));
    }
    ~RunningComponent() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_key.c_str()); }
    // The program quits: its mutex goes.
    void Quit() { m_mutex.reset(); }
    std::string Id() const { return m_name + "RunningTest_Class"; }
    std::string Mutex() const { return Utf8(L"LarkspurRunningTest_Mutex" + m_tag); }
    std::string Key() const { return Utf8(m_key); }
    SetupListPtr Record() const
    {
        auto record = std::make_shared<_SetupList>();
        record->strName = m_name;
        record->strId = Id();
        record->strRegKey = Key();
        record->strMutex = Mutex();
        return record;
    }

private:
    std::string m_name;
    std::wstring m_tag;
    std::wstring m_key;
    UniqueHandle m_mutex;
};

// A stand-in for the device service's window, on the test's thread: records
// the texts it is sent.
class DeviceServiceWindow {
public:
    DeviceServiceWindow()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kDeviceServiceWindowClass;
        ::RegisterClassW(&windowClass);
        m_window = ::CreateWindowExW(0, kDeviceServiceWindowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     windowClass.hInstance, nullptr);
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~DeviceServiceWindow()
    {
        ::DestroyWindow(m_window);
        ::UnregisterClassW(kDeviceServiceWindowClass, ::GetModuleHandleW(nullptr));
    }
    // Whether this is the window the engine finds.
    bool Found() const { return m_window && ::FindWindowW(kDeviceServiceWindowClass, nullptr) == m_window; }
    std::vector<std::string> received;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<DeviceServiceWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            self->received.push_back(std::to_string(wParam) + "," + std::to_string(data->dwData) + ":" +
                                     std::string(static_cast<const char*>(data->lpData), data->cbData));
            return TRUE;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    HWND m_window = nullptr;
};

// What the window receives for a text sent as the engine sends it.
std::string Sent(const std::string& text)
{
    return "999,0:" + text;
}

struct StopRun {
    SetupManagerPtr manager;
    std::vector<std::string> questions;
    StopRun(const RunningComponent& component, const std::string& reply, std::vector<SetupListPtr> more = {})
    {
        SetupRun run;
        run.vecSelected.push_back(component.Record());
        for (auto& record : more)
            run.vecSelected.push_back(std::move(record));
        manager = std::make_shared<SetupManager>(run);
        manager->UiSignal().connect([this, reply](MessagePtr message) {
            questions.push_back((*message)["type"].asString());
            if ((*message)["type"].asString() != "waitforstopservice")
                return;
            MessagePtr answer = MakeMessage("stopservice");
            (*answer)["stop"] = reply;
            manager->OnCommand(answer);
        });
    }
};

}  // namespace

TEST(RunningProduct, NothingRunningAsksNothing)
{
    // The program is there but its mutex is not held: not running.
    RunningComponent component(false);
    StopRun run(component, "stop");
    std::string answer;
    EXPECT_TRUE(run.manager->StopRunningProduct(answer));
    EXPECT_TRUE(run.questions.empty());
}

TEST(RunningProduct, EachAnswerOfTheStopQuestion)
{
    RunningComponent component(true);
    for (const char* reply : {"retry", "cancel"}) {
        StopRun run(component, reply);
        std::string answer;
        EXPECT_FALSE(run.manager->StopRunningProduct(answer)) << reply;
        EXPECT_EQ(answer, reply);
        EXPECT_EQ(run.questions, (std::vector<std::string> {"waitforstopservice"}));
    }
    StopRun run(component, "stop");
    std::string answer;
    EXPECT_TRUE(run.manager->StopRunningProduct(answer));
    EXPECT_EQ(answer, "");
    EXPECT_EQ(run.questions, (std::vector<std::string> {"waitforstopservice"}));
}

TEST(RunningProduct, AHeldMutexWithoutAProcessOfTheRecordedImageIsNotRunning)
{
    // This program holds the mutex, but the recorded program is another one.
    RunningComponent component(true, "Larkspur", TestExeDirectory() + L"args_probe.exe");
    StopRun run(component, "stop");
    std::string answer;
    EXPECT_TRUE(run.manager->StopRunningProduct(answer));
    EXPECT_TRUE(run.questions.empty());
}

TEST(RunningProduct, StopAsksTheRunningApplicationAndThenTheServiceToQuit)
{
    DeviceServiceWindow service;
    ASSERT_TRUE(service.Found());
    RunningComponent component(true);
    auto serviceRecord = std::make_shared<_SetupList>();
    serviceRecord->strName = "Service";
    serviceRecord->strId = "ServiceRunningTest_Class";
    {
        StopRun run(component, "stop", {serviceRecord});
        std::string answer;
        EXPECT_TRUE(run.manager->StopRunningProduct(answer));
        EXPECT_EQ(service.received,
                  (std::vector<std::string> {Sent(QuitRequest(component.Id())), Sent(ServiceQuitRequest())}));
    }
    // A service that does not take part is not asked.
    service.received.clear();
    serviceRecord->bSelected = false;
    StopRun run(component, "stop", {serviceRecord});
    std::string answer;
    EXPECT_TRUE(run.manager->StopRunningProduct(answer));
    EXPECT_EQ(service.received, (std::vector<std::string> {Sent(QuitRequest(component.Id()))}));
}

TEST(RunningProduct, AServiceOnlyRunAsksAndSendsNothing)
{
    DeviceServiceWindow window;
    ASSERT_TRUE(window.Found());
    // The service component is never checked for running, even when it runs.
    RunningComponent service(true, "Service");
    RunningComponent application(false);
    StopRun run(application, "stop", {service.Record()});
    std::string answer;
    EXPECT_TRUE(run.manager->StopRunningProduct(answer));
    EXPECT_TRUE(run.questions.empty());
    EXPECT_TRUE(window.received.empty());
}

TEST(RunningProduct, RetryRunsTheCheckAgainAndGoesOnWithoutAskingOnceTheProgramHasQuit)
{
    RunningComponent component(true);
    Json::Value record;
    record["id"] = component.Id();
    record["name"] = "Larkspur";
    record["order"] = 1;
    record["version"] = "1.0.0.17";
    record["regkey"] = component.Key();
    record["mutex"] = component.Mutex();
    Json::Value list;
    list["installs"].append(record);
    SetupRun run;
    run.strSetupList = Json::FastWriter().write(list);
    auto manager = std::make_shared<SetupManager>(std::move(run));
    MessageRecorder recorder(manager->UiSignal());
    int stopQuestions = 0;
    recorder.onMessage = [&](const Json::Value& message) {
        const std::string type = message["type"].asString();
        if (type == "waitforstopservice") {
            // Retry with the program still running, then close it and retry;
            // a third question is cancelled.
            ++stopQuestions;
            if (stopQuestions == 2)
                component.Quit();
            MessagePtr reply = MakeMessage("stopservice");
            (*reply)["stop"] = stopQuestions <= 2 ? "retry" : "cancel";
            manager->OnCommand(reply);
        } else if (type == "waitforpath") {
            MessagePtr reply = MakeMessage("installparameter");
            (*reply)["action"] = "cancel";
            manager->OnCommand(reply);
        }
    };
    MessagePtr start = MakeMessage("startinstall");
    (*start)["silent"] = false;
    (*start)["nosc"] = false;
    manager->OnCommand(start);
    manager->JoinWorker();
    std::vector<std::string> steps;
    for (const Json::Value& message : recorder.Messages()) {
        const std::string type = message["type"].asString();
        if (type == "changestatus")
            steps.push_back(message["new"].asString());
        else if (type == "waitforstopservice" || type == "waitforpath")
            steps.push_back(type);
    }
    EXPECT_EQ(steps, (std::vector<std::string> {"install_setlanguage", "install_checkopen", "install_check",
                                                "waitforstopservice", "waitforstopservice", "install_wait",
                                                "waitforpath", "install_error"}));
    CInstallEngine::ResetSettings();
}
