#include <gtest/gtest.h>

#include <shlobj.h>

#include "common/FileSystem.h"
#include "tests/support/TestSupport.h"

using namespace FileSystem;

TEST(FileSystemPaths, ParentAndFileName)
{
    EXPECT_EQ(GetParentPath(L"C:\\a\\b\\"), L"C:\\a\\");
    EXPECT_EQ(GetParentPath(L"C:\\a\\b"), L"C:\\a\\");
    EXPECT_EQ(GetParentPath(L"C:\\a/b//"), L"C:\\a/");
    EXPECT_EQ(GetParentPath(L"file.txt"), L"file.txt");
    EXPECT_EQ(GetParentPath(L"\\\\"), L"\\\\");
    EXPECT_EQ(GetParentPath(L""), L"");
    EXPECT_EQ(GetParentPath(nullptr), L"");
    EXPECT_EQ(GetFileNameFromPath(L"C:\\a/b.txt"), L"b.txt");
    EXPECT_EQ(GetFileNameFromPath(L"C:\\a\\"), L"");
    EXPECT_EQ(GetFileNameFromPath(L"plain"), L"plain");
    EXPECT_EQ(GetFileNameFromPath(nullptr), L"");
}

TEST(FileSystemPaths, LongPathForm)
{
    EXPECT_EQ(ToLongPath(L"C:\\a\\\\b//c"), L"\\\\?\\C:\\a\\b\\c");
    EXPECT_EQ(ToLongPath(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(ToLongPath(L"C:/a/b"), L"\\\\?\\C:/a/b");
    EXPECT_EQ(ToLongPath(L"C:\\a\\\\\\b"), L"\\\\?\\C:\\a\\\\b");
    EXPECT_EQ(ToLongPath(L"C:\\a\\\\\\\\b"), L"\\\\?\\C:\\a\\\\b");
    EXPECT_EQ(ToLongPath(L"\\\\server\\share"), L"\\\\?\\\\server\\share");
}

TEST(FileSystemPaths, ModuleAndSpecialFolders)
{
    std::wstring dir = GetModuleDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), L'\\');
    EXPECT_TRUE(PathExists((dir + L"common_tests.exe").c_str()));
    std::wstring programFiles = GetSpecialFolderPath(CSIDL_PROGRAM_FILES);
    EXPECT_FALSE(programFiles.empty());
    EXPECT_EQ(GetProgramFilesPathA(), NarrowAscii(programFiles));
    EXPECT_EQ(GetSpecialFolderPath(0x7FFF), L"");
}

TEST(FileSystemFiles, WriteReadAndReplace)
{
    ScratchFolder scratch;
    std::wstring file = scratch / L"data.bin";
    EXPECT_EQ(WriteStringToFile(file, ""), 0u);
    EXPECT_TRUE(PathExists(file.c_str()));
    EXPECT_EQ(ReadFileToString(file, true), "");

    EXPECT_EQ(WriteStringToFile(file, "line1\r\nline2\r\n"), 14u);
    EXPECT_EQ(ReadFileToString(file, true), "line1\r\nline2\r\n");
    EXPECT_EQ(ReadFileToString(file, false), "line1\nline2\n");

    const char longer[] = "0123456789abcdef";
    ASSERT_EQ(WriteBufferToFile(file.c_str(), longer, 16), S_OK);
    ASSERT_EQ(WriteBufferToFile(file.c_str(), "xyz", 3), S_OK);
    EXPECT_EQ(ReadFileToString(file, true), "xyz");

    EXPECT_EQ(WriteBufferToFile(nullptr, "x", 1), E_INVALIDARG);
    EXPECT_EQ(WriteBufferToFile(L"", "x", 1), E_INVALIDARG);
    EXPECT_EQ(WriteBufferToFile((scratch / L"missing\\f.bin").c_str(), "x", 1), E_FAIL);
    EXPECT_EQ(ReadFileToString(scratch / L"missing.bin", true), "");
    EXPECT_EQ(WriteStringToFile(scratch / L"missing\\f.bin", "x"), 0u);
    EXPECT_FALSE(PathExists(nullptr));
    EXPECT_FALSE(PathExists(L""));
}

TEST(FileSystemFolders, CreateTreeAndDeleteTree)
{
    ScratchFolder scratch;
    EXPECT_FALSE(CreateDirectoryTree(L"C:\\"));
    EXPECT_FALSE(CreateDirectoryTree(L"C:"));
    std::wstring deep = scratch / L"new1\\new2\\new3";
    ASSERT_TRUE(CreateDirectoryTree(deep));
    EXPECT_TRUE(PathExists(deep.c_str()));
    EXPECT_TRUE(CreateDirectoryTree(deep + L"\\"));  // existing: true
    WriteStringToFile(deep + L"\\f.txt", "x");
    WriteStringToFile(scratch / L"new1\\g.txt", "y");

    EXPECT_TRUE(DeleteDirectoryTree(scratch / L"does-not-exist"));
    EXPECT_TRUE(DeleteDirectoryTree(scratch / L"new1\\g.txt"));  // a file: nothing deleted
    EXPECT_TRUE(PathExists((scratch / L"new1\\g.txt").c_str()));
    EXPECT_TRUE(DeleteDirectoryTree(scratch / L"new1\\"));
    EXPECT_FALSE(PathExists((scratch / L"new1").c_str()));
}

TEST(FileSystemFolders, ReadOnlyFileMakesRemovalFail)
{
    ScratchFolder scratch;
    std::wstring dir = scratch / L"ro";
    ASSERT_TRUE(CreateDirectoryTree(dir));
    std::wstring file = dir + L"\\locked.txt";
    WriteStringToFile(file, "x");
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteDirectoryTree(dir));
    EXPECT_TRUE(PathExists(file.c_str()));
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteDirectoryTree(dir));
}

TEST(FileSystemFolders, PathsBeyond260Units)
{
    ScratchFolder scratch;
    std::wstring deep = scratch.Path();
    while (deep.size() < 300)
        deep += L"segment_of_a_long_path_name\\";
    deep.pop_back();
    ASSERT_GT(deep.size(), 260u);
    ASSERT_TRUE(CreateDirectoryTree(deep));
    std::wstring file = ToLongPath(deep + L"\\long.txt");
    ASSERT_EQ(WriteStringToFile(file, "far away"), 8u);
    EXPECT_EQ(ReadFileToString(deep + L"\\long.txt", true), "far away");
    EXPECT_TRUE(DeleteDirectoryTree(scratch / L"segment_of_a_long_path_name"));
    EXPECT_FALSE(PathExists(ToLongPath(deep).c_str()));
}

TEST(FileSystemIni, ReadAndWriteKeys)
{
    ScratchFolder scratch;
    std::wstring ini = scratch / L"settings.ini";
    EXPECT_EQ(ReadIniString(ini, L"BaseSetting", L"lan"), L"");
    EXPECT_TRUE(WriteIniString(ini, L"BaseSetting", L"lan", L"de_DE"));
    EXPECT_EQ(ReadIniString(ini, L"BaseSetting", L"lan"), L"de_DE");
    EXPECT_EQ(ReadIniString(ini, L"BaseSetting", L"other"), L"");
    EXPECT_EQ(ReadIniString(ini, L"Other", L"lan"), L"");
}

// A folder outside the tree that a planted link points at; it must survive untouched.
class LinkedVictim {
public:
    explicit LinkedVictim(const ScratchFolder& scratch) : m_folder(scratch / L"victim")
    {
        CreateDirectoryTree(m_folder + L"\\inner");
        WriteStringToFile(m_folder + L"\\keep.txt", "keep");
        WriteStringToFile(m_folder + L"\\inner\\deep.txt", "deep");
        ::SetFileAttributesW((m_folder + L"\\keep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    const std::wstring& Path() const { return m_folder; }
    void ExpectUntouched() const
    {
        EXPECT_EQ(ReadFileToString(m_folder + L"\\keep.txt", true), "keep");
        EXPECT_EQ(ReadFileToString(m_folder + L"\\inner\\deep.txt", true), "deep");
        EXPECT_EQ(::GetFileAttributesW((m_folder + L"\\keep.txt").c_str()) & FILE_ATTRIBUTE_READONLY,
                  static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }

private:
    std::wstring m_folder;
};

TEST(FileSystemFolders, TreeRemovalNeverEntersALinkInside)
{
    ScratchFolder scratch;
    LinkedVictim victim(scratch);
    std::wstring tree = scratch / L"tree";
    ASSERT_TRUE(CreateDirectoryTree(tree + L"\\sub"));
    WriteStringToFile(tree + L"\\sub\\own.txt", "own");
    WriteStringToFile(tree + L"\\ro.txt", "ro");
    ::SetFileAttributesW((tree + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(PlantHostLink(tree + L"\\sub\\data", victim.Path()));

    DeleteDirectoryTree(tree, TreeDelete::ClearReadOnly);
    victim.ExpectUntouched();
    EXPECT_FALSE(PathExists((tree + L"\\sub\\own.txt").c_str()));
    EXPECT_FALSE(PathExists((tree + L"\\ro.txt").c_str()));
}

TEST(FileSystemFolders, TreeRemovalOfALinkItselfLeavesItsTarget)
{
    ScratchFolder scratch;
    LinkedVictim victim(scratch);
    ASSERT_TRUE(PlantHostLink(scratch / L"work", victim.Path()));
    DeleteDirectoryTree(scratch / L"work\\", TreeDelete::ClearReadOnly);
    victim.ExpectUntouched();
}
