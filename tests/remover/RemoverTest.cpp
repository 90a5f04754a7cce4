#include <gtest/gtest.h>

#include <thread>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring RemoverCopy(const ScratchFolder& scratch)
{
    std::wstring copy = scratch / L"LarkspurUninst2.exe";
    ::CopyFileW((TestExeDirectory() + L"LarkspurRemover.exe").c_str(), copy.c_str(), FALSE);
    return copy;
}

bool WaitGone(const std::wstring& path, int tenths = 100)
{
    return WaitUntil([&path] { return !FileSystem::PathExists(path.c_str()); }, std::chrono::milliseconds(100 * tenths),
                     std::chrono::milliseconds(100));
}

}  // namespace

TEST(Remover, RemovesTheFolderWithNestedAndReadOnlyFilesThenItsOwnCopy)
{
    ScratchFolder scratch;
    std::wstring target = scratch / L"Orbisoft\\Larkspur\\";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(target + L"sub\\deeper"));
    FileSystem::WriteStringToFile(target + L"a.dll", "a");
    FileSystem::WriteStringToFile(target + L"sub\\deeper\\b.txt", "b");
    ::SetFileAttributesW((target + L"a.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring remover = RemoverCopy(scratch);
    // The engine passes the folder quoted with one more backslash before the closing quote.
    EXPECT_EQ(RunAndWait(L"\"" + remover + L"\" \"" + target + L"\\\""), 0);
    EXPECT_FALSE(FileSystem::PathExists(target.c_str()));
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"Orbisoft").c_str()));
    EXPECT_TRUE(WaitGone(remover));
}

TEST(Remover, RemovesALinkInsideTheFolderWithoutTouchingItsTarget)
{
    ScratchFolder scratch;
    std::wstring victim = scratch / L"victim";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(victim + L"\\inner"));
    FileSystem::WriteStringToFile(victim + L"\\inner\\keep.dll", "keep");
    ::SetFileAttributesW((victim + L"\\inner\\keep.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring target = scratch / L"Orbisoft\\Larkspur\\";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(target));
    FileSystem::WriteStringToFile(target + L"own.dll", "own");
    ASSERT_TRUE(PlantHostLink(target + L"data", victim));
    // Windows removes the link itself; Wine cannot, so the host removes it
    // while the remover retries, and the remover must then finish.
    std::thread unlink([&] {
        ::Sleep(1500);
        RemoveFromHost(target + L"data");
    });
    int code = RunAndWait(L"\"" + RemoverCopy(scratch) + L"\" \"" + target + L"\\\"");
    unlink.join();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(FileSystem::ReadFileToString(victim + L"\\inner\\keep.dll", true), "keep");
    EXPECT_EQ(::GetFileAttributesW((victim + L"\\inner\\keep.dll").c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(FileSystem::PathExists(target.c_str()));
}

TEST(Remover, WaitsWhileAFileIsStillInUse)
{
    ScratchFolder scratch;
    std::wstring target = scratch / L"busy\\";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(target));
    std::wstring file = target + L"uninst.exe";
    FileSystem::WriteStringToFile(file, "running");
    UniqueHandle held(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    std::thread release([&held] {
        ::Sleep(1500);
        held.reset();
    });
    EXPECT_EQ(RunAndWait(L"\"" + RemoverCopy(scratch) + L"\" \"" + target + L"\""), 0);
    release.join();
    EXPECT_FALSE(FileSystem::PathExists(target.c_str()));
}

TEST(Remover, RefusesRootsAndRelativePaths)
{
    ScratchFolder scratch;
    std::wstring remover = RemoverCopy(scratch);
    EXPECT_EQ(RunAndWait(L"\"" + remover + L"\" C:\\"), 2);
    EXPECT_EQ(RunAndWait(L"\"" + remover + L"\" relative\\folder\\"), 2);
    EXPECT_EQ(RunAndWait(L"\"" + remover + L"\""), 2);
}

// Finding 8 of the security review: the remover cleared the read-only flag of
// a hard link's target (attributes belong to the file, shared by every name).
TEST(Remover, RemovesAReadOnlyHardLinkWithoutChangingTheOtherName)
{
    ScratchFolder scratch;
    const std::wstring victim = scratch / L"elsewhere.ini";
    FileSystem::WriteStringToFile(victim, "keep");
    ASSERT_TRUE(::SetFileAttributesW(victim.c_str(), FILE_ATTRIBUTE_READONLY));
    std::wstring target = scratch / L"Orbisoft\\Larkspur\\";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(target));
    ASSERT_TRUE(::CreateHardLinkW((target + L"linked.ini").c_str(), victim.c_str(), nullptr));
    EXPECT_EQ(RunAndWait(L"\"" + RemoverCopy(scratch) + L"\" \"" + target + L"\\\""), 0);
    EXPECT_FALSE(FileSystem::PathExists(target.c_str()));
    EXPECT_EQ(FileSystem::ReadFileToString(victim, true), "keep");
    EXPECT_EQ(::GetFileAttributesW(victim.c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    ::SetFileAttributesW(victim.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Finding 11: the copy started from a private folder of its own (32
// hexadecimal digits, as the engine makes them) removes that folder too.
TEST(Remover, RemovesItsOwnPrivateFolderAfterItself)
{
    ScratchFolder scratch;
    const std::wstring own = scratch / L"0123456789abcdef0123456789abcdef\\";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(own));
    const std::wstring copy = own + L"LarkspurUninst2.exe";
    ASSERT_TRUE(::CopyFileW((TestExeDirectory() + L"LarkspurRemover.exe").c_str(), copy.c_str(), FALSE));
    std::wstring target = scratch / L"Orbisoft\\Larkspur\\";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(target));
    // Started as the engine starts it: in its own folder.
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    std::wstring line = L"\"" + copy + L"\" \"" + target + L"\\\"";
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, own.c_str(), &si, &pi));
    ProcessHandles started(pi);
    EXPECT_EQ(WaitForExitCode(started.process.get()), 0);
    EXPECT_TRUE(WaitGone(copy));
    EXPECT_TRUE(WaitGone(own));
}
