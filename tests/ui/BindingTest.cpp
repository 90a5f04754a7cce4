#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "ui/SciterBinding.h"

namespace {

bool Copy(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

}  // namespace

TEST(SciterBinding, ProcessEndsWithMinusOneWhenTheEngineIsMissing)
{
    ScratchFolder without, with;
    ASSERT_TRUE(Copy(TestExeDirectory() + L"binding_probe.exe", without / L"binding_probe.exe"));
    ASSERT_TRUE(Copy(TestExeDirectory() + L"binding_probe.exe", with / L"binding_probe.exe"));
    ASSERT_TRUE(Copy(TestExeDirectory() + L"sciter32.dll", with / L"sciter32.dll"));
    EXPECT_EQ(RunAndWait(L"\"" + (with / L"binding_probe.exe") + L"\""), 0);
    EXPECT_EQ(static_cast<DWORD>(RunAndWait(L"\"" + (without / L"binding_probe.exe") + L"\"")), 0xFFFFFFFFu);
}

TEST(SciterBinding, LoadsByFullPathAndFreesADllWithoutTheExport)
{
    ScratchFolder empty;
    EXPECT_EQ(CSciterBinding::LoadFrom(empty.Path()), nullptr);
    std::wstring noExport = TestExeDirectory() + L"noexport\\";
    EXPECT_EQ(CSciterBinding::LoadFrom(noExport), nullptr);
    EXPECT_EQ(GetModuleHandleW((noExport + L"sciter32.dll").c_str()), nullptr);  // freed again
    EXPECT_FALSE(CSciterBinding::OpenInspector(nullptr));                        // nothing bound yet
    ISciterAPI* api = CSciterBinding::LoadFrom(TestExeDirectory());
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(CSciterBinding::Api(), api);
    EXPECT_NE(CSciterBinding::ScriptApi(), nullptr);
    // No inspector next to the engine: F12 does nothing.
    EXPECT_FALSE(CSciterBinding::OpenInspector(GetDesktopWindow()));
}
