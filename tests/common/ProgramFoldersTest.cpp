#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "common/PrivateFiles.h"
#include "common/ProgramFolders.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring ProgramFilesFolder()
{
    wchar_t buffer[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, buffer);
    return buffer;
}

}  // namespace

TEST(ProgramFolders, FindsTheTopmostMissingFolderAndTellsProgramFilesApart)
{
    ScratchFolder scratch;
    std::wstring base = scratch / L"have";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(base));
    EXPECT_EQ(ProgramFolders::TopmostMissingFolder(base + L"\\Orbisoft\\Larkspur"), base + L"\\Orbisoft");
    EXPECT_EQ(ProgramFolders::TopmostMissingFolder(base + L"/Orbisoft/Larkspur/"), base + L"\\Orbisoft");
    EXPECT_EQ(ProgramFolders::TopmostMissingFolder(base), L"");
    EXPECT_EQ(ProgramFolders::TopmostMissingFolder(L"relative"), L"");

    std::wstring pf = ProgramFilesFolder();
    ASSERT_FALSE(pf.empty());
    EXPECT_TRUE(ProgramFolders::IsUnderProgramFiles(pf + L"\\Orbisoft"));
    std::wstring upper = pf;
    for (auto& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(ProgramFolders::IsUnderProgramFiles(upper + L"\\Orbisoft"));
    EXPECT_FALSE(ProgramFolders::IsUnderProgramFiles(pf));            // the folder itself is not inside it
    EXPECT_FALSE(ProgramFolders::IsUnderProgramFiles(pf + L"x\\y"));  // "Program Filesx" is another folder
    EXPECT_FALSE(ProgramFolders::IsUnderProgramFiles(L"C:\\Custom Apps\\Orbisoft"));
}

TEST(ProgramFolders, OnlyTheTopFolderCreatedOutsideProgramFilesGetsThePrivateList)
{
    std::wstring top = L"C:\\larkspur-acl-" + PrivateFiles::RandomName();
    std::wstring path = top + L"\\Orbisoft\\service";
    std::error_code error;
    ProgramFolders::Created made = ProgramFolders::Create(path, error);
    EXPECT_TRUE(made.any);
    EXPECT_EQ(made.privateFolder, top);
    EXPECT_FALSE(error);
    EXPECT_TRUE(FileSystem::PathExists(path.c_str()));
    // Nothing to create: nothing changes and no error.
    made = ProgramFolders::Create(path, error);
    EXPECT_FALSE(made.any);
    EXPECT_EQ(made.privateFolder, L"");
    EXPECT_FALSE(error);
    // An existing folder keeps its list; only what is new below it is created.
    made = ProgramFolders::Create(top + L"\\Orbisoft\\Larkspur", error);
    EXPECT_TRUE(made.any);
    EXPECT_EQ(made.privateFolder, top + L"\\Orbisoft\\Larkspur");
    FileSystem::DeleteDirectoryTree(top);

    std::wstring inside = ProgramFilesFolder() + L"\\larkspur-acl-" + PrivateFiles::RandomName();
    made = ProgramFolders::Create(inside + L"\\a", error);
    EXPECT_TRUE(made.any);
    EXPECT_EQ(made.privateFolder, L"");  // Program Files' own list is inherited
    EXPECT_TRUE(FileSystem::PathExists((inside + L"\\a").c_str()));
    FileSystem::DeleteDirectoryTree(inside);
}
