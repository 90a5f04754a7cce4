#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <regex>
#include <thread>
#include <vector>

#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "common/InstallLog.h"
#include "tests/support/TestSupport.h"

namespace {

UniqueHandle OpenForAppend(const std::wstring& path)
{
    return UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
}

std::vector<std::string> FileLines(const std::wstring& path)
{
    const std::string text = FileSystem::ReadFileToString(path, true);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "the file ends with a whole line";
    return lines;
}

// Records what reaches the next sink, so tests see the debug output go on.
class NextSink : public iDebugSink {
public:
    void WriteWide(const std::wstring& line) override { wide.push_back(line); }
    void WriteNarrow(const std::string& line) override { narrow.push_back(line); }
    std::vector<std::wstring> wide;
    std::vector<std::string> narrow;
};

const std::regex kLineShape(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(\d+)\] (.*)$)");

}  // namespace

TEST(InstallLogTest, EachDebugLineIsOneUtf8LineWithTimeAndThreadAndGoesOnToTheDebugOutput)
{
    ScratchFolder scratch;
    const std::wstring path = scratch / L"run.log";
    NextSink next;
    InstallLogSink sink(OpenForAppend(path), &next);
    sink.WriteWide(L"stagehand.exe=>caf\u00e9 \u4e2d\u6587\n");
    sink.WriteNarrow("stagehand.exe=>mkdir createdir:0 ,dir=$PROGRAMDIR$\\x\n");
    // Written without buffering: another reader sees the line at once.
    const std::vector<std::string> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 2u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, kLineShape)) << lines[0];
    EXPECT_EQ(std::stoul(match[1].str()), ::GetCurrentThreadId());
    EXPECT_EQ(match[2].str(), "stagehand.exe=>caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87");
    ASSERT_TRUE(std::regex_match(lines[1], match, kLineShape)) << lines[1];
    EXPECT_EQ(match[2].str(), "stagehand.exe=>mkdir createdir:0 ,dir=$PROGRAMDIR$\\x");

    ASSERT_EQ(next.wide.size(), 1u);
    EXPECT_EQ(next.wide[0], L"stagehand.exe=>caf\u00e9 \u4e2d\u6587\n") << "the debug output keeps the line as it was";
    ASSERT_EQ(next.narrow.size(), 1u);
}

TEST(InstallLogTest, NarrowLinesInTheAnsiCodePageBecomeUtf8)
{
    ScratchFolder scratch;
    const std::wstring path = scratch / L"run.log";
    NextSink next;
    InstallLogSink sink(OpenForAppend(path), &next);
    // A system message in the ANSI code page: not valid UTF-8 as it stands.
    const std::string ansi = CCodeChange::StringUTF16toANSI(L"stagehand.exe=>caf\u00e9");
    ASSERT_NE(ansi, "stagehand.exe=>caf\xC3\xA9");
    sink.WriteNarrow(ansi);
    const std::vector<std::string> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 1u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, kLineShape));
    EXPECT_EQ(match[2].str(), "stagehand.exe=>caf\xC3\xA9");
}

TEST(InstallLogTest, TwoWritersOfOneFileNeverSplitEachOthersLines)
{
    // setup.exe and the engine it starts append to the same file.
    ScratchFolder scratch;
    const std::wstring path = scratch / L"run.log";
    NextSink nextA, nextB;
    InstallLogSink a(OpenForAppend(path), &nextA);
    InstallLogSink b(OpenForAppend(path), &nextB);
    const std::string longText(300, 'x');
    std::thread first([&] {
        for (int i = 0; i < 200; ++i)
            a.WriteNarrow("Setup.exe=>" + longText + std::to_string(i));
    });
    std::thread second([&] {
        for (int i = 0; i < 200; ++i)
            b.WriteNarrow("stagehand.exe=>" + longText + std::to_string(i));
    });
    first.join();
    second.join();
    const std::vector<std::string> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 400u);
    int setupLines = 0;
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, kLineShape)) << line;
        const std::string text = match[2].str();
        const bool setup = text.rfind("Setup.exe=>" + longText, 0) == 0;
        EXPECT_TRUE(setup || text.rfind("stagehand.exe=>" + longText, 0) == 0) << text;
        setupLines += setup ? 1 : 0;
    }
    EXPECT_EQ(setupLines, 200);
}

TEST(InstallLogTest, UnusableSwitchSaysWhyAndChangesNothing)
{
    DebugCapture capture;
    EXPECT_FALSE(StartInstallLogFromCommandLine(L"-install -silent", L"stagehand.exe=>"));
    EXPECT_TRUE(capture.Lines().empty()) << "without the switch nothing happens";

    EXPECT_FALSE(StartInstallLogFromCommandLine(L"-install -log= -silent", L"stagehand.exe=>"));
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].rfind(L"stagehand.exe=>install log: the log switch names no file", 0), 0u);

    ScratchFolder scratch;
    const std::wstring bad = scratch / L"no such folder\\run.log";
    EXPECT_FALSE(StartInstallLogFromCommandLine((L"-verysilent \"-log=" + bad + L"\"").c_str(), L"Setup.exe=>"));
    ASSERT_EQ(capture.Lines().size(), 2u);
    EXPECT_EQ(capture.Lines()[1],
              L"Setup.exe=>install log: cannot open \"" + bad + L"\", error 3; the run goes on without a log");
    // Still the capture, not a log sink, receives the lines.
    DebugLine(L"stagehand.exe=>after");
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>after"));
}

TEST(InstallLogTest, StartedLogAppendsAndKeepsTheEarlierSinkBehindIt)
{
    ScratchFolder scratch;
    const std::wstring path = scratch / L"run.log";
    {
        UniqueHandle earlier = OpenForAppend(path);
        const char first[] = "an earlier run\r\n";
        DWORD written = 0;
        ::WriteFile(earlier.get(), first, sizeof(first) - 1, &written, nullptr);
    }
    DebugCapture capture;
    ASSERT_TRUE(StartInstallLogFromCommandLine((L"-install -log " + path).c_str(), L"stagehand.exe=>"));
    DebugLine(L"stagehand.exe=>logged");
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>logged"));
    const std::vector<std::string> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "an earlier run");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[1], match, kLineShape));
    EXPECT_EQ(match[2].str(), "stagehand.exe=>logged");
}

// Finding 9 of the security review: a user process holding the ordering byte
// lock of the named log kept setup waiting forever. Now a line waits about a
// second at most, and later lines not at all.
TEST(InstallLogTest, AHeldByteLockNeverHoldsTheRunUp)
{
    ScratchFolder scratch;
    const std::wstring path = scratch / L"held.log";
    UniqueHandle attacker = OpenForAppend(path);
    ASSERT_TRUE(attacker);
    OVERLAPPED range = {};
    range.Offset = 0xFFFFFFF0;
    range.OffsetHigh = 0x7FFFFFFF;
    ASSERT_TRUE(::LockFileEx(attacker.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range));
    NextSink next;
    InstallLogSink sink(OpenForAppend(path), &next);
    std::atomic<bool> done {false};
    std::thread writer([&] {
        for (int i = 0; i < 20; ++i)
            sink.WriteWide(L"line " + std::to_wstring(i));
        done = true;
    });
    const bool finished = WaitUntil([&] { return done.load(); }, std::chrono::seconds(5));
    if (!finished)
        ::UnlockFileEx(attacker.get(), 0, 1, 0, &range);  // let the writer end before failing
    writer.join();
    EXPECT_TRUE(finished) << "20 lines took more than 5 s while another process held the lock";
    EXPECT_EQ(FileLines(path).size(), 20u);
}

// Finding 9: the log was opened through links. A log that is a link, a hard
// link of another file, or in a folder reached through a link is not written.
TEST(InstallLogTest, ALinkOrAHardLinkIsNeverWritten)
{
    ScratchFolder scratch, elsewhere;
    const std::wstring victim = elsewhere / L"system.ini";
    FileSystem::WriteStringToFile(victim, "precious");
    DebugCapture capture;

    ASSERT_TRUE(::CreateHardLinkW((scratch / L"hard.log").c_str(), victim.c_str(), nullptr));
    EXPECT_FALSE(StartInstallLog(scratch / L"hard.log", L"Setup.exe=>"));
    ASSERT_TRUE(PlantHostLink(scratch / L"linked", elsewhere.Path()));
    EXPECT_FALSE(StartInstallLog(scratch / L"linked\\system.ini", L"Setup.exe=>"));
    EXPECT_FALSE(StartInstallLog(scratch / L"linked\\new.log", L"Setup.exe=>"));
    DebugLine(L"stagehand.exe=>not in any log");
    EXPECT_EQ(FileSystem::ReadFileToString(victim, true), "precious");
    EXPECT_FALSE(FileSystem::PathExists((elsewhere / L"new.log").c_str()));
    EXPECT_TRUE(capture.Contains(L"Setup.exe=>install log: cannot open \"" + scratch / L"hard.log" +
                                 L"\", error 1920; the run goes on without a log"));
    EXPECT_TRUE(capture.Contains(L"Setup.exe=>install log: cannot open \"" + scratch / L"linked\\new.log" +
                                 L"\", error 1920; the run goes on without a log"));
    RemoveFromHost(scratch / L"linked");
}
