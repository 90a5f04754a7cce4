#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "sfx/SfxArchive.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring Archive(const std::wstring& name)
{
    return TestExeDirectory() + L"archives\\" + name + L".exe";
}

// Runs a program in `folder` and returns its exit code, or -1.
int RunIn(const std::wstring& exe, const std::wstring& folder)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line = L"\"" + exe + L"\"";
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return -1;
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    if (::WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(pi.hProcess, 99);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<int>(code);
}

std::set<std::wstring> Tree(const std::wstring& folder)
{
    return ListFolderTree(folder);
}

// A scratch folder with a working folder "work\" inside, so that anything
// written beside or above the working folder shows up in the scratch folder.
struct Sandbox {
    ScratchFolder scratch;
    std::wstring work = scratch / L"work\\";
    Sandbox() { FileSystem::CreateDirectoryTree(work); }
};

}  // namespace

TEST(SfxExtract, WritesNestedFoldersEmptyFilesAndContents)
{
    Sandbox box;
    ASSERT_EQ(RunIn(Archive(L"nested"), box.work), 0);
    std::set<std::wstring> expected = {
        L"top.txt",        L"a\\",       L"a\\empty.bin",      L"a\\big.txt",      L"a\\b\\",
        L"a\\b\\zero.dat", L"a\\b\\c\\", L"a\\b\\c\\deep.txt", L"a\\b\\emptier\\", L"emptydir\\",
    };
    EXPECT_EQ(Tree(box.work), expected);
    EXPECT_EQ(FileSystem::ReadFileToString(box.work + L"top.txt", true), "top level\r\n");
    EXPECT_EQ(FileSystem::ReadFileToString(box.work + L"a\\b\\c\\deep.txt", true), "deep inside");
    EXPECT_EQ(FileSystem::ReadFileToString(box.work + L"a\\empty.bin", true), "");
    std::string big = FileSystem::ReadFileToString(box.work + L"a\\big.txt", true);
    ASSERT_EQ(big.size(), 320000u);
    EXPECT_EQ(big.substr(319984), "0123456789abcdef");
    EXPECT_EQ(Tree(box.scratch.Path()).count(L"work\\"), 1u);
    EXPECT_EQ(Tree(box.scratch.Path()).size(), expected.size() + 1);
}

TEST(SfxExtract, ReplacesFilesLeftFromAnEarlierRun)
{
    Sandbox box;
    FileSystem::CreateDirectoryTree(box.work + L"a\\b\\c");
    FileSystem::WriteStringToFile(box.work + L"a\\b\\c\\deep.txt", "an older and longer content");
    ASSERT_EQ(RunIn(Archive(L"nested"), box.work), 0);
    EXPECT_EQ(FileSystem::ReadFileToString(box.work + L"a\\b\\c\\deep.txt", true), "deep inside");
}

TEST(SfxExtract, MissingTruncatedOrGarbledArchivesFailWithoutWriting)
{
    for (const wchar_t* name : {L"bare", L"garbage", L"truncated"}) {
        Sandbox box;
        EXPECT_EQ(RunIn(Archive(name), box.work), 2) << NarrowAscii(name);
        EXPECT_TRUE(Tree(box.work).empty()) << NarrowAscii(name);
        EXPECT_EQ(Tree(box.scratch.Path()).size(), 1u) << NarrowAscii(name);
    }
}

TEST(SfxExtract, CorruptedDataFailsAndStaysInsideTheFolder)
{
    Sandbox box;
    EXPECT_EQ(RunIn(Archive(L"corrupt"), box.work), 2);
    for (const std::wstring& entry : Tree(box.scratch.Path()))
        EXPECT_EQ(entry.compare(0, 5, L"work\\"), 0) << NarrowAscii(entry);
}

TEST(SfxExtract, HostileNamesAreRefusedBeforeAnythingIsWritten)
{
    for (const wchar_t* name :
         {L"parent", L"mixed", L"absolute", L"backslash", L"drive", L"driverel", L"stream", L"device", L"deepparent"}) {
        Sandbox box;
        EXPECT_EQ(RunIn(Archive(name), box.work), 2) << NarrowAscii(name);
        EXPECT_TRUE(Tree(box.work).empty()) << NarrowAscii(name);
        EXPECT_EQ(Tree(box.scratch.Path()).size(), 1u) << NarrowAscii(name);
        EXPECT_FALSE(FileSystem::PathExists(L"C:\\escape.txt")) << NarrowAscii(name);
    }
}

TEST(SfxExtract, FindsTheArchiveAfterTheImageOnly)
{
    UniqueHandle file(
        ::CreateFileW(Archive(L"nested").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    UniqueHandle stub(
        ::CreateFileW(Archive(L"bare").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(stub);
    LARGE_INTEGER stubSize;
    ASSERT_TRUE(::GetFileSizeEx(stub.get(), &stubSize));
    EXPECT_EQ(sfx::ImageEnd(file.get()), static_cast<uint64_t>(stubSize.QuadPart));
    EXPECT_EQ(sfx::FindArchiveStart(file.get(), sfx::ImageEnd(file.get())), stubSize.QuadPart);
    EXPECT_EQ(sfx::FindArchiveStart(stub.get(), sfx::ImageEnd(stub.get())), -1);
}

TEST(SfxExtract, FindsAStartHeaderAtEveryPlaceAroundTheReadChunkBoundary)
{
    // The 32-byte start header of a real archive, put into a file of zeros
    // so that it begins before, across and after the 64 KiB boundary of the
    // search's reads from `from`.
    UniqueHandle source(
        ::CreateFileW(Archive(L"nested").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(source);
    const std::string bytes = FileSystem::ReadFileToString(Archive(L"nested"), true);
    const int64_t start = sfx::FindArchiveStart(source.get(), sfx::ImageEnd(source.get()));
    ASSERT_GT(start, 0);
    const std::string header = bytes.substr(static_cast<size_t>(start), 32);
    // A signature whose checksum does not match is passed over.
    std::string fake = header;
    fake[12] ^= 1;

    ScratchFolder scratch;
    const std::wstring path = scratch / L"placed.bin";
    const size_t from = 1000;
    const size_t boundary = from + (1u << 16);
    for (size_t at = boundary - 33; at <= boundary + 1; ++at) {
        const long long past = static_cast<long long>(at) - static_cast<long long>(boundary);
        std::string file(at + 32 + 100, '\0');
        file.replace(from + 10, 32, fake);
        file.replace(at, 32, header);
        FileSystem::WriteStringToFile(path, file);
        UniqueHandle placed(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(placed);
        EXPECT_EQ(sfx::FindArchiveStart(placed.get(), from), static_cast<int64_t>(at)) << "header at boundary " << past;
        // Also when the file ends with the header.
        placed.reset();
        FileSystem::WriteStringToFile(path, file.substr(0, at + 32));
        placed.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(sfx::FindArchiveStart(placed.get(), from), static_cast<int64_t>(at))
            << "header at boundary " << past << ", file ends with it";
    }
}
