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
    EXPECT_TRUE(WaitUntil([&copy] { return !FileSystem::PathExists(copy.c_str()); }, std::chrono::seconds(10)));
}
