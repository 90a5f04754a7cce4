#include <gtest/gtest.h>

#include <chrono>

#include "common/FileSystem.h"
#include "engine/InstallEngine.h"
#include "tests/support/TestSupport.h"

TEST(Privilege, DebugPrivilegeCanBeEnabled)
{
    EXPECT_TRUE(UpPrivilege());
}

TEST(DeleteSelf, ACopyOfTheProgramDeletesItselfAndExitsWithZero)
{
    ScratchFolder scratch;
    std::wstring copy = scratch / L"uninst probe.exe";
    ASSERT_TRUE(::CopyFileW((TestExeDirectory() + L"deleteself_probe.exe").c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(RunAndWait(L"\"" + copy + L"\""), 0);
    EXPECT_TRUE(WaitUntil([&copy] { return !FileSystem::PathExists(copy.c_str()); }, std::chrono::seconds(10)));
}

namespace {

// How long the process ran, from its start to its end.
std::chrono::milliseconds Lifetime(HANDLE process)
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user))
        return std::chrono::milliseconds(-1);
    auto ticks = [](const FILETIME& t) { return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return std::chrono::milliseconds((ticks(exited) - ticks(created)) / 10000);
}

}  // namespace

TEST(SilentUninstallWatchdog, EndsASilentRunWithExitCodeZeroAfterThreeSecondsAndLeavesOtherRuns)
{
    // Both at once; the probe's own waits outlast the watchdog.
    const std::wstring probe = L"\"" + TestExeDirectory() + L"watchdog_probe.exe\"";
    ProcessHandles silent = StartProgram(probe + L" silent");
    ProcessHandles loud = StartProgram(probe + L" loud");
    ASSERT_TRUE(silent.process);
    ASSERT_TRUE(loud.process);
    EXPECT_EQ(WaitForExitCode(silent.process.get(), 40000), 0) << "7: not ended by the watchdog";
    EXPECT_GE(Lifetime(silent.process.get()), std::chrono::milliseconds(2900)) << "ended before its 3 seconds";
    EXPECT_EQ(WaitForExitCode(loud.process.get(), 40000), 7) << "0: a watchdog in a run that is not silent";
}
