// Run-time loads of libraries that are not KnownDLLs.
#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/SystemLibrary.h"
#include "tests/support/TestSupport.h"

TEST(SystemLibrary, APlantedCopyBesideTheProgramIsNeverLoaded)
{
    // What an attacker leaves in the elevated program's (temporary) folder.
    const std::wstring planted = TestExeDirectory() + L"dwmapi.dll";
    ASSERT_GT(FileSystem::WriteStringToFile(planted, "MZ planted"), 0u);
    ScopeExit remove([&planted] { ::DeleteFileW(planted.c_str()); });

    HMODULE module = LoadSystemLibrary(L"dwmapi.dll");
    ASSERT_TRUE(module);
    wchar_t loaded[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(module, loaded, MAX_PATH), 0u);
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(_wcsicmp(loaded, (std::wstring(system) + L"\\dwmapi.dll").c_str()), 0) << loaded;
    EXPECT_EQ(LoadSystemLibrary(L"dwmapi.dll"), module) << "loaded once and kept";
    EXPECT_TRUE(SystemFunction<FARPROC>(L"dwmapi.dll", "DwmEnableBlurBehindWindow"));
    EXPECT_FALSE(SystemFunction<FARPROC>(L"dwmapi.dll", "NoSuchExport"));
    EXPECT_FALSE(LoadSystemLibrary(L""));
}
