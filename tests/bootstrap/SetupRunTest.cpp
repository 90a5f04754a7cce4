#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "bootstrap/BootstrapFlow.h"
#include "common/FileSystem.h"
#include "tests/bootstrap/BootstrapTestSupport.h"

namespace {

class RecordingSplash : public iSplash {
public:
    bool ShowSplash(const std::wstring& workFolder) override
    {
        calls.push_back(L"show " + workFolder);
        return true;
    }
    void CloseSplash() override { calls.push_back(L"close"); }
    std::vector<std::wstring> calls;
};

// Keeps a picture of the work folder just before it is removed.
class ObservedBootstrap : public CBootstrap {
public:
    using CBootstrap::CBootstrap;
    std::wstring workFolder;
    std::set<std::wstring> contents;
    std::string finishBin = "<missing>";

protected:
    void RemoveWorkFolder(const std::wstring& folder) override
    {
        workFolder = folder;
        contents = TreeOf(folder);
        std::wstring marker = EngineFolderPath(folder) + L"finish.bin";
        if (FileSystem::PathExists(marker.c_str()))
            finishBin = FileSystem::ReadFileToString(marker, true);
        CBootstrap::RemoveWorkFolder(folder);
    }
};

const std::set<std::wstring> kBody = {
    L"Setup\\Assembly\\",
    L"Setup\\Assembly\\bin\\",
    L"Setup\\Assembly\\bin\\app.txt",
    L"Setup\\Assembly\\data\\",
    L"Setup\\Assembly\\data\\empty.dat",
    L"Setup\\Assembly\\data\\nested\\",
    L"Setup\\Assembly\\data\\nested\\config.ini",
};
const char kBodyFiles[] = "bin\\app.txt|data\\empty.dat|data\\nested\\config.ini";

bool Contains(const std::set<std::wstring>& all, const std::set<std::wstring>& part)
{
    for (const auto& p : part) {
        if (!all.count(p))
            return false;
    }
    return true;
}

struct Started {
    UniqueHandle process;
    bool ok() const { return static_cast<bool>(process); }
};

Started Start(const std::wstring& exe, const std::wstring& args)
{
    Started started;
    started.process = StartProgram(L"\"" + exe + L"\" " + args).process;
    return started;
}

int Finish(Started& started, DWORD timeoutMs = 60000)
{
    return WaitForExitCode(started.process.get(), timeoutMs);
}

}  // namespace

TEST(SetupRun, SilentRunUnpacksStartsTheEngineAndPassesItsExitCode)
{
    PrivateTemp temp;
    SetupResources resources(L"setup_fake");
    RecordingSplash splash;
    DebugCapture capture;
    ObservedBootstrap bootstrap(resources.Module(), splash);
    EXPECT_EQ(bootstrap.Run(L"-verysilent"), 1);

    std::vector<std::wstring> lines = capture.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), L"Setup.exe=>lpCmdLine=-verysilent");
    EXPECT_EQ(lines.back(), L"Setup.exe=>main result is 1");
    EXPECT_TRUE(splash.calls.empty());

    ASSERT_EQ(bootstrap.workFolder.compare(0, temp.Temp().size() + 6, temp.Temp() + L"Setup\\"), 0);
    EXPECT_FALSE(FileSystem::PathExists(bootstrap.workFolder.c_str()));
    EXPECT_TRUE(temp.WorkFolders().empty());
    std::set<std::wstring> expected = kBody;
    expected.insert({L"head.exe", L"Setup\\", L"Setup\\stagehand.exe", L"Setup\\body.exe", L"Setup\\finish.bin"});
    EXPECT_EQ(bootstrap.contents, expected);
    EXPECT_EQ(bootstrap.finishBin, "");

    auto record = temp.EngineRecord();
    EXPECT_EQ(Utf16(record["cmdline"]), L"\"" + bootstrap.workFolder +
                                            L"Setup\\stagehand.exe\" -install -language=zh_CN"
                                            L" -channelid=" +
                                            Utf16(kDefaultChannel) + L" -verysilent");
    EXPECT_EQ(Utf16(record["cwd"]) + L"\\", bootstrap.workFolder);
    EXPECT_EQ(record["finish"], "1");
    EXPECT_EQ(record["files"], kBodyFiles);
}

TEST(SetupRun, AnyOtherEngineExitCodeIsReturnedUnchanged)
{
    PrivateTemp temp;
    SetupResources resources(L"setup_fake");
    RecordingSplash splash;
    DebugCapture capture;
    CBootstrap bootstrap(resources.Module(), splash);
    EXPECT_EQ(bootstrap.Run(L"-silent -fakeexit=2"), 2);
    EXPECT_EQ(capture.Lines().back(), L"Setup.exe=>main result is 0");
    EXPECT_EQ(temp.EngineRecord()["exit"], "2");
}

TEST(SetupRun, SplashIsShownBeforeTheHeadAndClosedOnce)
{
    PrivateTemp temp;
    SetupResources resources(L"setup_fake");
    RecordingSplash splash;
    ObservedBootstrap bootstrap(resources.Module(), splash);
    EXPECT_EQ(bootstrap.Run(L"-fakeexit=0"), 0);
    ASSERT_EQ(splash.calls.size(), 2u);
    EXPECT_EQ(splash.calls[0], L"show " + bootstrap.workFolder);
    EXPECT_EQ(splash.calls[1], L"close");
}

TEST(SetupRun, MissingHeadStillUnpacksTheBodyAndWritesTheMarker)
{
    PrivateTemp temp;
    SetupResources resources(L"setup_nohead");
    RecordingSplash splash;
    DebugCapture capture;
    ObservedBootstrap bootstrap(resources.Module(), splash);
    EXPECT_EQ(bootstrap.Run(L""), 0);
    EXPECT_FALSE(bootstrap.EngineStarted());
    EXPECT_TRUE(temp.EngineRecord().empty());
    EXPECT_EQ(capture.Lines().back(), L"Setup.exe=>main result is 0");
    EXPECT_TRUE(Contains(bootstrap.contents, kBody));
    EXPECT_TRUE(bootstrap.contents.count(L"head.exe"));
    EXPECT_FALSE(bootstrap.contents.count(L"Setup\\stagehand.exe"));
    EXPECT_EQ(bootstrap.finishBin, "");
    EXPECT_TRUE(temp.WorkFolders().empty());
    // The splash does not outlive a failed head.
    EXPECT_EQ(splash.calls.size(), 2u);
}

TEST(SetupRun, DamagedHeadStartsNoEngine)
{
    PrivateTemp temp;
    SetupResources resources(L"setup_badhead");
    RecordingSplash splash;
    ObservedBootstrap bootstrap(resources.Module(), splash);
    EXPECT_EQ(bootstrap.Run(L"-silent"), 0);
    EXPECT_FALSE(bootstrap.EngineStarted());
    EXPECT_TRUE(temp.EngineRecord().empty());
    EXPECT_TRUE(Contains(bootstrap.contents, kBody));
    EXPECT_EQ(bootstrap.finishBin, "");
    EXPECT_TRUE(temp.WorkFolders().empty());
}

TEST(SetupProcess, SilentRunEndToEnd)
{
    PrivateTemp temp;
    Started setup = Start(TestExeDirectory() + L"setup_fake.exe", L"-verysilent -channelid=ABC");
    ASSERT_TRUE(setup.ok());
    EXPECT_EQ(Finish(setup), 1);
    auto record = temp.EngineRecord();
    std::wstring folder = Utf16(record["folder"]);
    ASSERT_EQ(folder.compare(0, temp.Temp().size() + 6, temp.Temp() + L"Setup\\"), 0);
    std::wstring workFolder = FileSystem::GetParentPath(folder.c_str());
    EXPECT_EQ(Utf16(record["cmdline"]), L"\"" + workFolder +
                                            L"Setup\\stagehand.exe\" -install -language=zh_CN"
                                            L" -channelid=ABC -verysilent -channelid=ABC");
    EXPECT_EQ(record["splash"], "0");
    EXPECT_EQ(record["finish"], "1");
    EXPECT_EQ(record["files"], kBodyFiles);
    EXPECT_FALSE(FileSystem::PathExists(workFolder.c_str()));
    EXPECT_TRUE(temp.WorkFolders().empty());
}

TEST(SetupProcess, InteractiveRunWritesTheSplashPicture)
{
    PrivateTemp temp;
    Started setup = Start(TestExeDirectory() + L"setup_fake.exe", L"-fakeexit=0");
    ASSERT_TRUE(setup.ok());
    EXPECT_EQ(Finish(setup), 0);
    EXPECT_EQ(temp.EngineRecord()["splash"], "1");
    EXPECT_TRUE(temp.WorkFolders().empty());
}

TEST(SetupProcess, SecondInstanceShowsTheMessageBoxAndUnpacksNothing)
{
    PrivateTemp temp;
    std::wstring release = temp.Scratch(L"release");
    Started first = Start(TestExeDirectory() + L"setup_fake.exe", L"-verysilent -fakehold=" + release);
    ASSERT_TRUE(first.ok());
    WaitUntil([&temp] { return temp.EngineRecord().count("started") != 0; }, std::chrono::seconds(30),
              std::chrono::milliseconds(100));
    ASSERT_EQ(temp.EngineRecord().count("started"), 1u);
    ASSERT_EQ(temp.WorkFolders().size(), 1u);

    Started second = Start(TestExeDirectory() + L"setup_fake.exe", L"-language=en_US -verysilent");
    ASSERT_TRUE(second.ok());
    HWND box = nullptr;
    WaitUntil([&box] { return (box = ::FindWindowW(L"#32770", L"Larkspur")) != nullptr; }, std::chrono::seconds(30),
              std::chrono::milliseconds(100));
    ASSERT_TRUE(box);
    wchar_t text[256] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_STREQ(text, L"\u5b89\u88c5/\u5378\u8f7d\u7a0b\u5e8f\u5df2\u7ecf\u5728\u8fd0\u884c");
    EXPECT_EQ(::WaitForSingleObject(second.process.get(), 300), static_cast<DWORD>(WAIT_TIMEOUT));
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(Finish(second), 0);
    EXPECT_EQ(temp.WorkFolders().size(), 1u);

    FileSystem::WriteStringToFile(release, "");
    EXPECT_EQ(Finish(first), 1);
    EXPECT_TRUE(temp.WorkFolders().empty());
}

TEST(SetupRun, SecondInstanceReportUsesTheChineseStringsWhateverTheSwitch)
{
    SetupResources resources(L"setup_fake");
    RecordingSplash splash;
    CBootstrap bootstrap(resources.Module(), splash);
    bootstrap.ReadSwitches(L"-language=en_US");
    std::wstring seen;
    std::thread closer([&seen] {
        HWND box = nullptr;
        if (!WaitUntil([&box] { return (box = ::FindWindowW(L"#32770", L"Larkspur")) != nullptr; },
                       std::chrono::seconds(15), std::chrono::milliseconds(50)))
            return;
        wchar_t text[256] = {};
        ::GetDlgItemTextW(box, 0xFFFF, text, 256);
        seen = text;
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    DebugCapture capture;
    bootstrap.ReportSecondInstance();
    closer.join();
    EXPECT_EQ(seen, L"\u5b89\u88c5/\u5378\u8f7d\u7a0b\u5e8f\u5df2\u7ecf\u5728\u8fd0\u884c");
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], L"Setup.exe=>CheckMutex\uFF1AERROR_ALREADY_EXISTS\uFF0Cexit");
}

TEST(SetupRun, AFailedBodyIsReportedToTheEngineInsteadOfTheFinishMarker)
{
    PrivateTemp temp;
    SetupResources resources(L"setup_badbody");
    RecordingSplash splash;
    DebugCapture capture;
    ObservedBootstrap bootstrap(resources.Module(), splash);
    bootstrap.Run(L"-verysilent");
    EXPECT_TRUE(bootstrap.EngineStarted());
    EXPECT_EQ(bootstrap.finishBin, "<missing>");
    EXPECT_TRUE(bootstrap.contents.count(L"Setup\\bodyfailed.bin"));
    bool reported = false;
    for (const auto& line : capture.Lines())
        reported = reported || line.rfind(L"Setup.exe=>body failed:", 0) == 0;
    EXPECT_TRUE(reported);
    auto record = temp.EngineRecord();
    EXPECT_EQ(record["finish"], "0");
    EXPECT_EQ(record["bodyfailed"], "1");
    EXPECT_TRUE(temp.WorkFolders().empty());
}

namespace {

// Runs `beforeEngine` between the head's unpacking and the engine's start,
// the moment an attacker who watches the temporary folder waits for.
class RepointingBootstrap : public ObservedBootstrap {
public:
    using ObservedBootstrap::ObservedBootstrap;
    std::function<void(const std::wstring& workFolder)> beforeEngine;

protected:
    ProcessHandles StartEngine(const std::wstring& folder) override
    {
        if (beforeEngine)
            beforeEngine(folder);
        return CBootstrap::StartEngine(folder);
    }
};

std::wstring LastFolderName(std::wstring folder)
{
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder.substr(folder.rfind(L'\\') + 1);
}

}  // namespace

// Finding 1 of the security review: <temp>\Setup made a link to a folder of
// the user's before the run, then re-pointed (from the host side) to a second
// folder holding a program of the attacker's under the engine's name. The
// engine must never be started through the link.
TEST(SetupRun, ALinkAtTheSetupFolderCannotRedirectTheEngine)
{
    PrivateTemp temp;
    DecoyWatch decoy;
    const std::wstring first = temp.Scratch(L"user-first\\");
    const std::wstring second = temp.Scratch(L"user-second\\");
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(first));
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(second));
    ASSERT_TRUE(PlantHostLink(temp.Temp() + L"Setup", first));

    SetupResources resources(L"setup_fake");
    RecordingSplash splash;
    DebugCapture capture;
    RepointingBootstrap bootstrap(resources.Module(), splash);
    bool repointed = false;
    bootstrap.beforeEngine = [&](const std::wstring& workFolder) {
        const std::wstring planted = second + LastFolderName(workFolder) + L"\\Setup\\";
        FileSystem::CreateDirectoryTree(planted);
        ::CopyFileW(DecoyProgram().c_str(), (planted + L"stagehand.exe").c_str(), FALSE);
        repointed = RemoveFromHost(temp.Temp() + L"Setup") && PlantHostLink(temp.Temp() + L"Setup", second);
    };
    const int code = bootstrap.Run(L"-verysilent");
    EXPECT_TRUE(repointed);
    EXPECT_EQ(decoy.Runs(), "");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(temp.EngineRecord().count("started"), 1u);
    // The work folder was never made behind the link, and is gone.
    EXPECT_TRUE(TreeOf(first).empty());
    EXPECT_EQ(bootstrap.workFolder.compare(0, temp.Temp().size() + 6, temp.Temp() + L"Setup-"), 0)
        << NarrowAscii(bootstrap.workFolder);
    EXPECT_FALSE(FileSystem::PathExists(bootstrap.workFolder.c_str()));
    EXPECT_TRUE(capture.Contains(L"Setup.exe=>work folder: a reparse point (link) at " + temp.Temp() + L"Setup"));
    RemoveFromHost(temp.Temp() + L"Setup");
}

// Issue 29, item 6: the Setup folder created beforehand by another user (who
// may delete what is in it) changes nothing: the run holds every folder from
// the drive root to its work folder without delete sharing, so none can be
// renamed or replaced by a link while the engine runs. Wine does not enforce
// sharing on folders, so the test checks what is held and how.
TEST(SetupRun, APrecreatedSetupFolderIsHeldWithEveryFolderAboveTheWorkFolder)
{
    PrivateTemp temp;
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(temp.Temp() + L"Setup\\"));
    SetupResources resources(L"setup_fake");
    RecordingSplash splash;
    DebugCapture capture;
    RepointingBootstrap bootstrap(resources.Module(), splash);
    std::vector<std::wstring> held;
    bootstrap.beforeEngine = [&](const std::wstring&) { held = bootstrap.WorkBase().HeldFolders(); };
    EXPECT_EQ(bootstrap.Run(L"-verysilent"), 1);
    ASSERT_FALSE(held.empty());
    std::wstring path = bootstrap.workFolder;
    path.pop_back();
    // C:\, C:\...\temp, ..., <temp>Setup, <temp>Setup\<random>: every part, in order.
    std::vector<std::wstring> expected;
    for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        expected.push_back(at == 2 ? path.substr(0, 3) : path.substr(0, at));
    expected.push_back(path);
    EXPECT_EQ(held, expected);
    EXPECT_EQ(SecureFolders::kHeldSharing & FILE_SHARE_DELETE, 0u);
    EXPECT_TRUE(bootstrap.WorkBase().HeldFolders().empty());
    EXPECT_FALSE(FileSystem::PathExists(bootstrap.workFolder.c_str()));
    EXPECT_TRUE(FileSystem::PathExists((temp.Temp() + L"Setup").c_str()));
}
