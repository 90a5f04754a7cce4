#include <gtest/gtest.h>

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
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        gone = !FileSystem::PathExists(copy.c_str());
        if (!gone)
            ::Sleep(100);
    }
    EXPECT_TRUE(gone);
}
