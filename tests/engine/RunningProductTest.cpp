// The running-product check before files change: who is found running, the
// question and what each answer does.
#include <gtest/gtest.h>

#include "common/CodeChange.h"
#include "common/Handles.h"
#include "engine/SetupManager.h"
#include "tests/support/TestSupport.h"

namespace {

// A component that this test program stands in for: its mutex is held here
// and its AppInstallPath, under a key of its own, names this program.
class RunningComponent {
public:
    explicit RunningComponent(bool holdMutex)
        : m_tag(std::to_wstring(::GetCurrentProcessId())), m_key(L"SOFTWARE\\LarkspurRunningTest" + m_tag)
    {
        if (holdMutex)
            m_mutex.reset(::CreateMutexW(nullptr, FALSE, (L"LarkspurRunningTest_Mutex" + m_tag).c_str()));
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        UniqueHKey key;
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr);
        ::RegSetValueExW(key.get(), L"AppInstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(self),
                         static_cast<DWORD>((wcslen(self) + 1) * sizeof(wchar_t)));
    }
    ~RunningComponent() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_key.c_str()); }
    SetupListPtr Record() const
    {
        auto record = std::make_shared<_SetupList>();
        record->strName = "Larkspur";
        record->strId = "LarkspurRunningTest_Class";
        record->strRegKey = CCodeChange::StringUTF16toUTF8(m_key);
        record->strMutex = CCodeChange::StringUTF16toUTF8(L"LarkspurRunningTest_Mutex" + m_tag);
        return record;
    }

private:
    std::wstring m_tag;
    std::wstring m_key;
    UniqueHandle m_mutex;
};

struct StopRun {
    SetupManagerPtr manager;
    std::vector<std::string> questions;
    StopRun(const RunningComponent& component, const std::string& reply)
    {
        SetupRun run;
        run.vecSelected.push_back(component.Record());
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
