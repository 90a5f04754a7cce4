#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/ProcessOperation.h"
#include "tests/support/TestSupport.h"

namespace {

// Counts its references the way a COM object does; never deletes itself.
class CountedStream : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

bool IsOpenHandle(HANDLE handle)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

}  // namespace

TEST(ComPtrOwner, MoveAssignmentReleasesTheOldReferenceAndTakesTheNewOne)
{
    CountedStream first, second;
    {
        ComPtr<IUnknown> a(&first);
        ComPtr<IUnknown> b(&second);
        a = std::move(b);
        EXPECT_EQ(first.references, 0u);
        EXPECT_EQ(second.references, 1u);
        EXPECT_FALSE(b);
        EXPECT_EQ(a.get(), &second);
        a = std::move(a);
        EXPECT_EQ(second.references, 1u);
        IUnknown* handed = a.release();
        EXPECT_EQ(handed, &second);
    }
    EXPECT_EQ(second.references, 1u) << "a released reference belongs to the caller";
}

TEST(ScopeExitGuard, RunsOnceAtTheEndUnlessDismissed)
{
    int runs = 0;
    {
        ScopeExit guard([&runs] { ++runs; });
        EXPECT_EQ(runs, 0);
    }
    EXPECT_EQ(runs, 1);
    {
        ScopeExit guard([&runs] { ++runs; });
        guard.Dismiss();
    }
    EXPECT_EQ(runs, 1);
}

TEST(HandleOwners, ProcessHandlesCloseBothHandlesOfAStartedProcess)
{
    HANDLE process = nullptr;
    HANDLE thread = nullptr;
    {
        ProcessHandles started = StartHiddenProcess(L"cmd.exe /c exit 7", nullptr);
        ASSERT_TRUE(started.process);
        ASSERT_TRUE(started.thread);
        process = started.process.get();
        thread = started.thread.get();
        ASSERT_EQ(::WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(::GetExitCodeProcess(process, &code));
        EXPECT_EQ(code, 7u);
    }
    EXPECT_FALSE(IsOpenHandle(process));
    EXPECT_FALSE(IsOpenHandle(thread));

    ScratchFolder scratch;
    ProcessHandles none = StartHiddenProcess(L"\"" + (scratch / L"none.exe") + L"\"", nullptr);
    EXPECT_FALSE(none.process);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FileBytes, ReadAsStoredWithinTheLimitAndRefusedBeyondIt)
{
    ScratchFolder scratch;
    const std::wstring file = scratch / L"page.htm";
    const std::string bytes("line\r\nnext\0tail", 15);
    ASSERT_EQ(FileSystem::WriteStringToFile(file, bytes), bytes.size());
    std::string read;
    EXPECT_TRUE(FileSystem::ReadFileBytes(file, read, 15));
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(FileSystem::ReadFileBytes(file, read, 14));

    const std::wstring empty = scratch / L"empty.htm";
    ASSERT_EQ(FileSystem::WriteStringToFile(empty, ""), 0u);
    read = "stale";
    EXPECT_TRUE(FileSystem::ReadFileBytes(empty, read, 15));
    EXPECT_EQ(read, "");
    EXPECT_FALSE(FileSystem::ReadFileBytes(scratch / L"missing.htm", read, 15));
}
