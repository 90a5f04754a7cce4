#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <vector>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/BodyWait.h"
#include "engine/model/WorkerStop.h"
#include "tests/support/TestSupport.h"

void PrintTo(BodyState state, std::ostream* out)
{
    *out << (state == BodyState::Ready ? "Ready" : state == BodyState::Failed ? "Failed" : "SetupGone");
}

namespace {

using namespace std::chrono_literals;

// A process that ends by itself at once, standing in for a setup that was killed.
UniqueHandle EndedProcess()
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ProcessHandles started = StartProgram(L"\"" + std::wstring(system) + L"\\cmd.exe\" /c exit 0", CREATE_NO_WINDOW);
    if (started.process)
        ::WaitForSingleObject(started.process.get(), 30000);
    return std::move(started.process);
}

// Stands in for the waits between polls: records each one and writes `marker`
// in place of the `writeAt`-th wait (a wait that never ends the poll loop
// gives up after 50, so that a fault fails instead of hanging).
struct PollClock {
    std::vector<std::chrono::milliseconds> waits;
    SleepHookScope hook;
    PollClock(const std::wstring& marker, size_t writeAt)
        : hook([this, marker, writeAt](std::chrono::milliseconds wait) {
              waits.push_back(wait);
              if (waits.size() == writeAt || waits.size() == 50)
                  FileSystem::WriteStringToFile(marker, "");
          })
    {
    }
};

}  // namespace

TEST(BodyWait, AMarkerThatComesLaterEndsTheWaitAtTheNextPollEvery100ms)
{
    ScratchFolder scratch;
    // A setup that still runs (this process) keeps the wait going.
    PollClock finished(scratch / L"finish.bin", 3);
    EXPECT_EQ(WaitForBodyFiles(scratch.Path(), ::GetCurrentProcess()), BodyState::Ready);
    EXPECT_EQ(finished.waits, std::vector<std::chrono::milliseconds>(3, 100ms));

    ScratchFolder other;
    PollClock failed(other / L"bodyfailed.bin", 2);
    EXPECT_EQ(WaitForBodyFiles(other.Path(), nullptr), BodyState::Failed);
    EXPECT_EQ(failed.waits, std::vector<std::chrono::milliseconds>(2, 100ms));
}

TEST(BodyWait, ASetupThatEndedWithoutAMarkerEndsTheWait)
{
    ScratchFolder scratch;
    UniqueHandle ended = EndedProcess();
    ASSERT_TRUE(ended);
    EXPECT_EQ(WaitForBodyFiles(scratch.Path(), ended.get()), BodyState::SetupGone);
    // A marker already there counts, whether or not setup still runs.
    FileSystem::WriteStringToFile(scratch / L"finish.bin", "");
    EXPECT_EQ(WaitForBodyFiles(scratch.Path(), ended.get()), BodyState::Ready);
}

TEST(BodyWait, AFinishMarkerWrittenJustBeforeSetupEndedStillCounts)
{
    UniqueHandle ended = EndedProcess();
    ASSERT_TRUE(ended);
    // Setup writes the marker and ends between the wait's first look for the
    // marker and its look at setup: the marker is there on a second look.
    int finishLooks = 0;
    auto exists = [&finishLooks](const std::wstring& path) {
        return path == L"C:\\engine\\finish.bin" && ++finishLooks > 1;
    };
    EXPECT_EQ(WaitForBodyFiles(L"C:\\engine\\", ended.get(), exists), BodyState::Ready);
}
