// Which route a start at medium integrity takes, with the system's parts
// injected, and what the real desktop-shell route does under Wine.
#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "common/MediumStart.h"
#include "common/SecureFolders.h"
#include "tests/support/TestSupport.h"

namespace {

class RecordingStarter : public MediumStart::Starter {
public:
    HRESULT shell = S_OK;
    HRESULT lowered = S_OK;
    std::vector<std::wstring> calls;

    HRESULT ThroughDesktopShell(const MediumStart::Program& p) override
    {
        calls.push_back(L"shell:" + p.file + L"|" + p.parameters + L"|" + p.folder);
        return shell;
    }
    HRESULT WithLoweredToken(const std::wstring& commandLine, const std::wstring& folder) override
    {
        calls.push_back(L"token:" + commandLine + L"|" + folder);
        return lowered;
    }
};

const MediumStart::Program kProgram {L"C:\\Program Files\\My Apps\\Larkspur.exe", L"-from=web \"a b\"",
                                     L"C:\\Program Files\\My Apps\\"};

}  // namespace

TEST(MediumStart, WhereADesktopShellRunsItAloneStartsTheProgramEvenWhenItRefuses)
{
    RecordingStarter starter;
    MediumStart::ScopedStarter scoped(starter);
    EXPECT_EQ(MediumStart::Start(kProgram), MediumStart::Route::DesktopShell);
    const std::wstring shellCall =
        L"shell:C:\\Program Files\\My Apps\\Larkspur.exe|-from=web \"a b\"|C:\\Program Files\\My Apps\\";
    EXPECT_EQ(starter.calls, std::vector<std::wstring> {shellCall});

    // A shell that runs but refuses is never bypassed with this run's token.
    starter.calls.clear();
    starter.shell = E_ACCESSDENIED;
    DebugCapture capture;
    EXPECT_EQ(MediumStart::Start(kProgram), MediumStart::Route::NotStarted);
    EXPECT_EQ(starter.calls, std::vector<std::wstring> {shellCall});
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>the desktop shell did not start the program (0x80070005); it is "
                                 L"not started with this run's token"));
}

TEST(MediumStart, OnlyWhereNoShellRunsTheLoweredTokenStartsTheQuotedFile)
{
    RecordingStarter starter;
    starter.shell = S_FALSE;
    MediumStart::ScopedStarter scoped(starter);
    EXPECT_EQ(MediumStart::Start(kProgram), MediumStart::Route::LoweredToken);
    ASSERT_EQ(starter.calls.size(), 2u);
    EXPECT_EQ(starter.calls[1],
              L"token:\"C:\\Program Files\\My Apps\\Larkspur.exe\" -from=web \"a b\"|C:\\Program Files\\My Apps\\");
    starter.lowered = E_FAIL;
    EXPECT_EQ(MediumStart::Start(kProgram), MediumStart::Route::NotStarted);
    EXPECT_EQ(MediumStart::CommandLine({L"C:\\a b\\c.exe", L"", L""}), L"\"C:\\a b\\c.exe\"");
}

TEST(MediumStart, UnderWineTheDesktopShellStartsTheProgramWithItsParametersAndFolder)
{
    if (!SecureFolders::RunningOnWine())
        GTEST_SKIP() << "what Wine's shell offers";
    ScratchFolder scratch;
    ::CreateDirectoryW((scratch / L"A b").c_str(), nullptr);
    const std::wstring program = scratch / L"A b\\Larkspur.exe";
    ASSERT_TRUE(::CopyFileW(DecoyProgram().c_str(), program.c_str(), FALSE));
    FileSystem::WriteStringToFile(program + L".ran", "");
    // Wine 8's explorer offers the desktop view and its dispatch object.
    EXPECT_EQ(MediumStart::SystemStarter().ThroughDesktopShell({program, L"-x \"y z\"", scratch / L"A b"}), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !FileSystem::ReadFileToString(program + L".ran", true).empty(); }));
    const std::string ran = FileSystem::ReadFileToString(program + L".ran", true);
    EXPECT_NE(ran.find("-x \"y z\""), std::string::npos) << ran;
}
