#include <gtest/gtest.h>

#include <thread>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/BodyWait.h"
#include "tests/support/TestSupport.h"

namespace {

// A process that ends by itself at once, standing in for a setup that was killed.
UniqueHandle EndedProcess()
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ProcessHandles started = StartProgram(L"\"" + std::wstring(system) + L"\\cmd.exe\" /c exit 0", CREATE_NO_WINDOW);
    if (started.process)
        ::WaitForSingleObject(started.process.get(), 30000);
    return std::move(started.process);
}

}  // namespace

TEST(BodyWait, TheFinishMarkerEndsTheWaitWhenItComesLater)
{
    ScratchFolder scratch;
    std::thread setup([&] {
        ::Sleep(300);
        FileSystem::WriteStringToFile(scratch / L"finish.bin", "");
    });
    EXPECT_EQ(WaitForBodyFiles(scratch.Path(), nullptr), BodyState::Ready);
    setup.join();
}

TEST(BodyWait, AFailedBodyEndsTheWaitWithoutTheFinishMarker)
{
    ScratchFolder scratch;
    std::thread setup([&] {
        ::Sleep(300);
        FileSystem::WriteStringToFile(scratch / L"bodyfailed.bin", "");
    });
    EXPECT_EQ(WaitForBodyFiles(scratch.Path(), nullptr), BodyState::Failed);
    setup.join();
}

TEST(BodyWait, ASetupThatEndedWithoutAMarkerEndsTheWait)
{
    ScratchFolder scratch;
    UniqueHandle ended = EndedProcess();
    ASSERT_TRUE(ended);
    EXPECT_EQ(WaitForBodyFiles(scratch.Path(), ended.get()), BodyState::SetupGone);
    // The marker written just before setup ended still counts.
    FileSystem::WriteStringToFile(scratch / L"finish.bin", "");
    EXPECT_EQ(WaitForBodyFiles(scratch.Path(), ended.get()), BodyState::Ready);
}
