// The wait that replaces sleeps in tests of "nothing happens later".
#include <gtest/gtest.h>

#include "common/Handles.h"
#include "tests/support/ChildProcesses.h"

namespace {

using namespace std::chrono_literals;

ProcessHandles StartSuspended(const wchar_t* command)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line(command);
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr,
                          nullptr, &si, &pi))
        return {};
    return ProcessHandles(pi);
}

}  // namespace

TEST(ChildProcessWatch, WaitsForProgramsStartedAfterItOnly)
{
    ProcessHandles older = StartSuspended(L"cmd.exe /c exit 0");
    ASSERT_TRUE(older.process);
    ChildProcessWatch watch;
    EXPECT_TRUE(watch.WaitForNewOnesToEnd(5s)) << "a program that ran before the watch is not waited for";

    ProcessHandles newer = StartSuspended(L"cmd.exe /c exit 0");
    ASSERT_TRUE(newer.process);
    EXPECT_TRUE(RunningDescendants().count(::GetProcessId(newer.process.get())));
    EXPECT_FALSE(watch.WaitForNewOnesToEnd(300ms)) << "a program started since is still running";
    ::ResumeThread(newer.thread.get());
    EXPECT_TRUE(watch.WaitForNewOnesToEnd());

    ::TerminateProcess(older.process.get(), 0);
    ::WaitForSingleObject(older.process.get(), 10000);
}
