#include <gtest/gtest.h>

#include <windows.h>
#define PSAPI_VERSION 1
#include <psapi.h>
#include <sddl.h>

#include <iostream>
#include <vector>

#include "actions/CreateInstaller.h"
#include "actions/BaseOperation.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/ProcessOperation.h"
#include "tests/actions/FakeHost.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring Helper(const wchar_t* name)
{
    return TestExeDirectory() + name;
}

// Starts a program and keeps its process handle.
UniqueHandle Start(const std::wstring& path)
{
    return StartProgram(L"\"" + path + L"\"").process;
}

// Waits until the system reports the started program's image (it is then
// visible to the process finder).
bool WaitUntilRunning(const UniqueHandle& process)
{
    return WaitUntil(
        [&process] {
            wchar_t image[MAX_PATH] = {};
            return ::GetProcessImageFileNameW(process.get(), image, MAX_PATH) != 0 && image[0] != L'\0';
        },
        std::chrono::seconds(5), std::chrono::milliseconds(50));
}

bool HasEnded(const UniqueHandle& process, DWORD waitMs = 0)
{
    return ::WaitForSingleObject(process.get(), waitMs) == WAIT_OBJECT_0;
}

// The recorder's output: command line, then integrity level; "" while absent.
std::wstring Recorded(const std::wstring& exe)
{
    std::string bytes = FileSystem::ReadFileToString(exe + L".args", true);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

std::wstring WaitForRecord(const std::wstring& exe)
{
    std::wstring text;
    WaitUntil([&] { return !(text = Recorded(exe)).empty(); }, std::chrono::seconds(10),
              std::chrono::milliseconds(100));
    return text;
}

class ProcessActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileSystem::CreateDirectoryTree(scratch / L"app\\Service");
        FileSystem::CreateDirectoryTree(scratch / L"other");
        component = host->AddComponent("Service", {});
        component->strInstallDir = Utf8(scratch / L"app");
    }
    void TearDown() override
    {
        for (auto& process : started)
            ::TerminateProcess(process.get(), 0);
    }
    bool Run(const std::string& action) { return RunAction(host, action); }

    ScratchFolder scratch;
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
    std::shared_ptr<_SetupList> component;
    std::vector<UniqueHandle> started;
};

}  // namespace

TEST_F(ProcessActions, FindProcessByPathMatchesTheExactFileIgnoringCase)
{
    std::wstring mine = scratch / L"app\\Service\\Helper.exe";
    std::wstring other = scratch / L"other\\Helper.exe";
    ASSERT_TRUE(::CopyFileW(Helper(L"waiter.exe").c_str(), mine.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(Helper(L"waiter.exe").c_str(), other.c_str(), FALSE));
    started.push_back(Start(other));
    ASSERT_TRUE(started.back());
    ASSERT_TRUE(WaitUntilRunning(started.back()));
    EXPECT_FALSE(FindProcessByPath(mine));

    started.push_back(Start(mine));
    ASSERT_TRUE(started.back());
    ASSERT_TRUE(WaitUntilRunning(started.back()));
    std::wstring upper = mine;
    for (auto& c : upper)
        c = static_cast<wchar_t>(::towupper(c));
    UniqueHandle found = FindProcessByPath(upper);
    ASSERT_TRUE(found);
    EXPECT_EQ(::GetProcessId(found.get()), ::GetProcessId(started.back().get()));
    EXPECT_FALSE(FindProcessByPath(L"app\\Service\\Helper.exe"));
    EXPECT_FALSE(FindProcessByPath(L"\\\\server\\share\\Helper.exe"));
}

TEST_F(ProcessActions, KillprocessEndsEveryInstanceOfThatFileAndNoOther)
{
    std::wstring mine = scratch / L"app\\Service\\svc.exe";
    std::wstring other = scratch / L"other\\svc.exe";
    ASSERT_TRUE(::CopyFileW(Helper(L"waiter.exe").c_str(), mine.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(Helper(L"waiter.exe").c_str(), other.c_str(), FALSE));
    started.push_back(Start(mine));
    started.push_back(Start(mine));
    started.push_back(Start(other));
    for (auto& process : started)
        ASSERT_TRUE(process && WaitUntilRunning(process));
    host->uninstall = true;
    EXPECT_TRUE(Run(R"({"action":"killprocess","path":"$PROGRAMDIR$\\Service\\svc.exe"})"));
    EXPECT_TRUE(HasEnded(started[0], 5000));
    EXPECT_TRUE(HasEnded(started[1], 5000));
    EXPECT_FALSE(HasEnded(started[2]));
    DWORD code = 1;
    ::GetExitCodeProcess(started[0].get(), &code);
    EXPECT_EQ(code, 0u);

    // With none running it returns at once; the install executor expands
    // the application folder too.
    host->uninstall = false;
    host->installParam->strInstallPath = Utf8(scratch / L"other");
    EXPECT_TRUE(Run(R"({"action":"killprocess","path":"$PCSUITDIR$\\svc.exe"})"));
    EXPECT_TRUE(HasEnded(started[2], 5000));
}

TEST_F(ProcessActions, UninstserviceWithWaitRunsTheProgramHiddenAndWaitsForIt)
{
    std::wstring exe = scratch / L"app\\Service\\svc.exe";
    ASSERT_TRUE(::CopyFileW(Helper(L"arg_recorder.exe").c_str(), exe.c_str(), FALSE));
    host->uninstall = true;
    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"uninstservice","path":"$PROGRAMDIR$\\Service\\svc.exe","para":"-u","bWait":true})"));
    std::wstring record = Recorded(exe);
    ASSERT_FALSE(record.empty()) << "returned before the program ended";
    EXPECT_EQ(record.substr(0, record.find(L'\n')), L"\"" + exe + L"\" -u");
    EXPECT_EQ(capture.Lines(),
              std::vector<std::wstring> {L"stagehand.exe=>Uninstaller::UninstService:\"" + exe + L"\" -u"});
}

TEST_F(ProcessActions, InstserviceDefaultsToItsSwitchAndDoesNotWaitUnlessAsked)
{
    std::wstring exe = scratch / L"svc\\svc.exe";
    FileSystem::CreateDirectoryTree(scratch / L"svc");
    ASSERT_TRUE(::CopyFileW(Helper(L"arg_recorder.exe").c_str(), exe.c_str(), FALSE));
    host->installParam->strServiceDir = Utf8(scratch / L"svc");
    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"instservice","path":"$SERVICEDIR$\\svc.exe","para":""})"));
    EXPECT_TRUE(Recorded(exe).empty());
    std::wstring record = WaitForRecord(exe);
    EXPECT_EQ(record.substr(0, record.find(L'\n')), L"\"" + exe + L"\" -i");
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>Installer::InstService:\"" + exe + L"\" -i"));
    // It works in its own folder, not in the engine's (the work folder that setup removes).
    std::string cwd = FileSystem::ReadFileToString(exe + L".cwd", true);
    std::wstring folder(reinterpret_cast<const wchar_t*>(cwd.data()), cwd.size() / sizeof(wchar_t));
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    EXPECT_EQ(_wcsicmp(folder.c_str(), (scratch / L"svc\\").c_str()), 0) << NarrowAscii(folder);

    ::DeleteFileW((exe + L".args").c_str());
    EXPECT_TRUE(Run(R"({"action":"uninstservice","path":"$SERVICEDIR$\\svc.exe","bWait":true})"));
    record = Recorded(exe);
    EXPECT_EQ(record.substr(0, record.find(L'\n')), L"\"" + exe + L"\" -u");
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>Installer::UninstService:\"" + exe + L"\" -u"));
}

TEST_F(ProcessActions, MissingServiceProgramIsLoggedAndNeitherBlocksNorStopsTheList)
{
    host->uninstall = true;
    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"uninstservice","path":"$PROGRAMDIR$\\none.exe","bWait":true})"));
    const std::wstring command = L"\"" + (scratch / L"app\\none.exe") + L"\" -u";
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::wstring> {L"stagehand.exe=>Uninstaller::UninstService:" + command,
                                          L"stagehand.exe=>RunHiddenProcess CreateProcess:2,cmd=" + command + L"\n"}));
    EXPECT_FALSE(RunHiddenProcess(L"\"" + (scratch / L"none.exe") + L"\"", true));
}

TEST_F(ProcessActions, CreatelogWritesAnEmptyFileOnlyWhenTheMarkerReadsExactlyOne)
{
    std::wstring key = L"Software\\LarkspurTestLog" + std::to_wstring(::GetCurrentProcessId());
    std::wstring file = scratch / L"app\\log.on";
    const std::string action = "{\"action\":\"createlog\",\"CLASS\":\"HKCU\",\"KEY\":\"" + JsonPath(key) +
                               "\",\"SUBKEY\":\"EnvMode\",\"path\":\"$PROGRAMDIR$\\\\log.on\"}";
    EXPECT_TRUE(Run(action));
    EXPECT_FALSE(FileSystem::PathExists(file.c_str()));
    for (const wchar_t* value : {L"01", L"1 ", L" 1", L"0"}) {
        ASSERT_TRUE(BaseOperation::SetRegValue(key, L"EnvMode", value, HKEY_CURRENT_USER));
        EXPECT_TRUE(Run(action));
        EXPECT_FALSE(FileSystem::PathExists(file.c_str())) << value;
    }
    FileSystem::WriteStringToFile(file + L".x", "");
    ASSERT_TRUE(BaseOperation::SetRegValue(key, L"EnvMode", L"1", HKEY_CURRENT_USER));
    FileSystem::WriteStringToFile(file, "old content");
    EXPECT_TRUE(Run(action));
    EXPECT_TRUE(FileSystem::PathExists(file.c_str()));
    EXPECT_EQ(FileSystem::ReadFileToString(file, true), "");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}

namespace {

// Whether this system keeps a lowered integrity label on a token (Wine
// accepts the call but keeps the label as it was).
bool SystemHonoursIntegrityLabels()
{
    UniqueHandle token;
    UniqueHandle copy;
    if (!::OpenProcessToken(::GetCurrentProcess(), MAXIMUM_ALLOWED, token.put()) ||
        !::DuplicateTokenEx(token.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, copy.put()))
        return false;
    UniqueLocal sidOwner;
    if (!::ConvertStringSidToSidW(L"S-1-16-8192", sidOwner.put()))
        return false;
    PSID sid = sidOwner.get();
    TOKEN_MANDATORY_LABEL label = {};
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    label.Label.Sid = sid;
    BOOL set = ::SetTokenInformation(copy.get(), TokenIntegrityLevel, &label, sizeof(label) + ::GetLengthSid(sid));
    BYTE buffer[256] = {};
    DWORD size = 0;
    if (!set || !::GetTokenInformation(copy.get(), TokenIntegrityLevel, buffer, sizeof(buffer), &size))
        return false;
    PSID read = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
    return *::GetSidSubAuthority(read, *::GetSidSubAuthorityCount(read) - 1) == SECURITY_MANDATORY_MEDIUM_RID;
}

}  // namespace

TEST(ProcessOperation, ElevatedCallerStartsAtMediumIntegrity)
{
    ScratchFolder scratch;
    std::wstring exe = scratch / L"rec.exe";
    ASSERT_TRUE(::CopyFileW(Helper(L"arg_recorder.exe").c_str(), exe.c_str(), FALSE));
    DWORD own = 0;
    ASSERT_EQ(GetProcessIntegrityLevel(::GetCurrentProcess(), &own), S_OK);
    EXPECT_TRUE(IsVistaOrLater());
    EXPECT_EQ(ProcessOperation::RunNormalProcessW((L"\"" + exe + L"\" a b").c_str(), nullptr), S_OK);
    std::wstring record = WaitForRecord(exe);
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record.substr(0, record.find(L'\n')), L"\"" + exe + L"\" a b");
    std::wstring level = record.substr(record.find(L'\n') + 1);
    if (own < SECURITY_MANDATORY_HIGH_RID)
        EXPECT_EQ(level, std::to_wstring(own));
    else if (SystemHonoursIntegrityLabels())
        EXPECT_EQ(level, std::to_wstring(SECURITY_MANDATORY_MEDIUM_RID));
    else
        std::cout << "this system keeps no lowered integrity label; started program's level " << NarrowAscii(level)
                  << "\n";
}

TEST(ProcessOperation, LaunchersRefuseAnEmptyCommandAndReportAFailedStart)
{
    EXPECT_EQ(ProcessOperation::RunNormalProcessW(L"", nullptr), E_INVALIDARG);
    EXPECT_EQ(ProcessOperation::RunNormalProcessW(nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(ProcessOperation::RunProcessAndWait(L"", nullptr), E_INVALIDARG);
    EXPECT_EQ(ProcessOperation::CreateProcessWithIntegrityLevel(L"", nullptr), E_INVALIDARG);
    EXPECT_EQ(ProcessOperation::RunProcessAndWait(L"\"C:\\no\\such\\program.exe\"", nullptr), E_FAIL);
    EXPECT_EQ(ProcessOperation::CreateProcessWithIntegrityLevel(L"\"C:\\no\\such\\program.exe\"", nullptr), E_FAIL);
}
