#include <gtest/gtest.h>

#include <string>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "sample/SampleNames.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring SampleLogFolder()
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"LarkspurSample\\";
}

std::string ReadLog(const wchar_t* name)
{
    return FileSystem::ReadFileToString(SampleLogFolder() + name + L".log", true);
}

HWND WaitForWindow(const wchar_t* cls, bool present, int tenths = 100)
{
    WaitUntil([cls, present] { return (::FindWindowW(cls, nullptr) != nullptr) == present; },
              std::chrono::milliseconds(100 * tenths), std::chrono::milliseconds(100));
    return ::FindWindowW(cls, nullptr);
}

void SendFramework(HWND window, const std::string& text)
{
    COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size()), const_cast<char*>(text.data())};
    ::SendMessageW(window, WM_COPYDATA, 999, reinterpret_cast<LPARAM>(&data));
}

UniqueHandle Start(const std::wstring& command)
{
    return StartProgram(command).process;
}

}  // namespace

// The sample programs speak the framework protocol the engine relies on.
TEST(SampleProduct, ServicePassesQuitToTheApplicationAndStopsOnItsOwnQuit)
{
    FileSystem::DeleteDirectoryTree(SampleLogFolder());
    std::wstring dir = TestExeDirectory();
    ASSERT_EQ(RunAndWait(L"\"" + dir + L"LarkspurService.exe\" -i"), 0);
    HWND proxy = WaitForWindow(kDeviceServiceWindowClass, true);
    ASSERT_NE(proxy, nullptr);

    UniqueHandle app = Start(L"\"" + dir + L"Larkspur.exe\" -fromtest");
    ASSERT_TRUE(app);
    ASSERT_NE(WaitForWindow(kAppWindowClass, true), nullptr);
    UniqueHandle mutex(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kAppMutex));
    EXPECT_TRUE(mutex);
    mutex.reset();

    std::string message =
        std::string("{\"protocol_type\":\"framework\",\"pass_message\":true,\"target_class_name\":\"") +
        "Larkspur_MainWindow_Class\",\"protocol_content\":{\"op_type\":\"quit\"}}";
    SendFramework(proxy, message);
    EXPECT_EQ(::WaitForSingleObject(app.get(), 10000), WAIT_OBJECT_0);
    EXPECT_NE(ReadLog(L"app").find("copydata " + message), std::string::npos);

    ASSERT_EQ(RunAndWait(L"\"" + dir + L"LarkspurService.exe\" -u"), 0);
    EXPECT_EQ(::FindWindowW(kDeviceServiceWindowClass, nullptr), nullptr);
    std::string service = ReadLog(L"service");
    EXPECT_NE(service.find("installed"), std::string::npos);
    EXPECT_NE(service.find("removed"), std::string::npos);
    EXPECT_NE(
        service.find("copydata 999 {\"protocol_type\":\"framework\",\"protocol_content\":{\"op_type\":\"quit\"}}"),
        std::string::npos);
}

TEST(SampleProduct, ApplicationQuitsOnClose)
{
    UniqueHandle app = Start(L"\"" + TestExeDirectory() + L"Larkspur.exe\"");
    ASSERT_TRUE(app);
    HWND window = WaitForWindow(kAppWindowClass, true);
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(app.get(), 10000), WAIT_OBJECT_0);
}
