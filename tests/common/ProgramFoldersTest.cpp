#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <set>

#include "common/FileSystem.h"
#include "common/Handles.h"
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

namespace {

bool MakeFolderForEveryone(const std::wstring& path)
{
    UniqueLocal descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                descriptor.put(), nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
    return ::CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

}  // namespace

// Finding 3 of the security review: "-dir=C:\Program Files\..\Apps" counted
// as Program Files (raw text compared), so nothing got the private list.
TEST(ProgramFolders, PathsAreNormalisedBeforeTheyCountAsProgramFiles)
{
    const std::wstring pf = ProgramFilesFolder();
    EXPECT_FALSE(ProgramFolders::IsUnderProgramFiles(pf + L"\\..\\larkspur-apps\\Orbisoft"));
    EXPECT_FALSE(ProgramFolders::IsUnderProgramFiles(pf + L"\\.."));
    EXPECT_TRUE(ProgramFolders::IsUnderProgramFiles(pf + L"\\x\\..\\Orbisoft"));
    EXPECT_TRUE(ProgramFolders::IsUnderProgramFiles(pf + L"/Orbisoft/"));

    const std::wstring name = L"larkspur-apps-" + PrivateFiles::RandomName();
    std::error_code error;
    ProgramFolders::Created made =
        ProgramFolders::Create(pf + L"\\..\\" + name + L"\\Orbisoft\\service", error, L"Orbisoft");
    const std::wstring top = pf.substr(0, pf.rfind(L'\\')) + L"\\" + name;
    EXPECT_EQ(made.privateFolder, top);  // the topmost new folder, above the company folder
    EXPECT_TRUE(FileSystem::PathExists((top + L"\\Orbisoft\\service").c_str()));
    FileSystem::DeleteDirectoryTree(top);
}

// Finding 3: any user may create "C:\Custom Apps\Orbisoft\service" before the
// install; the SYSTEM service then ran from a folder the user controls. The
// company folder now gets the private list and the administrators as owner
// whether it existed or not, and so does everything already in it; a link
// planted inside is removed as a link.
TEST(ProgramFolders, APrecreatedCompanyFolderGetsThePrivateListWithEverythingInIt)
{
    ScratchFolder victim;
    FileSystem::WriteStringToFile(victim / L"precious.txt", "p");
    const std::wstring top = L"C:\\larkspur-acl-" + PrivateFiles::RandomName();
    ASSERT_TRUE(MakeFolderForEveryone(top));
    ASSERT_TRUE(MakeFolderForEveryone(top + L"\\Orbisoft"));
    ASSERT_TRUE(MakeFolderForEveryone(top + L"\\Orbisoft\\service"));
    FileSystem::WriteStringToFile(top + L"\\Orbisoft\\service\\LarkspurService.exe", "planted");
    ASSERT_TRUE(PlantHostLink(top + L"\\Orbisoft\\service\\plugins", victim.Path()));

    // Wine neither keeps nor reports access lists: the entries given the
    // private list and owner are observed instead (on Windows the calls set them).
    std::set<std::wstring> protectedEntries;
    ProgramFolders::ObservePrivateLists([&](const std::wstring& path) { protectedEntries.insert(path); });
    std::error_code error;
    ProgramFolders::Created made = ProgramFolders::Create(top + L"\\Orbisoft\\service", error, L"Orbisoft");
    ProgramFolders::ObservePrivateLists(nullptr);
    EXPECT_FALSE(error);
    EXPECT_EQ(made.privateFolder, top + L"\\Orbisoft");
    EXPECT_EQ(protectedEntries, (std::set<std::wstring> {top + L"\\Orbisoft", top + L"\\Orbisoft\\service",
                                                         top + L"\\Orbisoft\\service\\LarkspurService.exe"}));
    // The link is never entered (Windows removes it as a link; Wine cannot).
    EXPECT_EQ(FileSystem::ReadFileToString(victim / L"precious.txt", true), "p");
    RemoveFromHost(top + L"\\Orbisoft\\service\\plugins");
    FileSystem::DeleteDirectoryTree(top);
}

// A link in the path (the company folder made a link to the user's folder)
// is refused: nothing is created behind it.
TEST(ProgramFolders, ALinkInThePathIsRefused)
{
    ScratchFolder victim;
    const std::wstring top = L"C:\\larkspur-acl-" + PrivateFiles::RandomName();
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(top));
    ASSERT_TRUE(PlantHostLink(top + L"\\Orbisoft", victim.Path()));
    std::error_code error;
    ProgramFolders::Created made = ProgramFolders::Create(top + L"\\Orbisoft\\service", error, L"Orbisoft");
    EXPECT_TRUE(error);
    EXPECT_FALSE(made.any);
    EXPECT_TRUE(ListFolderTree(victim.Path()).empty());
    RemoveFromHost(top + L"\\Orbisoft");
    FileSystem::DeleteDirectoryTree(top);
}

TEST(ProgramFolders, TheProtectedFolderIsTheTopmostNewFolderAboveTheCompanyFolderElseTheCompanyFolder)
{
    ScratchFolder scratch;
    const std::wstring apps = scratch / L"Custom Apps";
    // Nothing exists yet: the topmost new folder, so no new folder keeps the list of the one above it.
    EXPECT_EQ(ProgramFolders::ProtectedFolder(apps + L"\\Orbisoft\\service", L"Orbisoft"), apps);
    ASSERT_TRUE(::CreateDirectoryW(apps.c_str(), nullptr));
    EXPECT_EQ(ProgramFolders::ProtectedFolder(apps + L"\\Orbisoft\\service", L"Orbisoft"), apps + L"\\Orbisoft");
    ASSERT_TRUE(::CreateDirectoryW((apps + L"\\ORBISOFT").c_str(), nullptr));
    // The company folder exists: it is the one, whatever is missing below it.
    EXPECT_EQ(ProgramFolders::ProtectedFolder(apps + L"\\ORBISOFT\\Larkspur\\bin", L"Orbisoft"), apps + L"\\ORBISOFT");
    EXPECT_EQ(ProgramFolders::ProtectedFolder(apps + L"\\Orbisoftware\\x", L"Orbisoft"),
              ProgramFolders::TopmostMissingFolder(apps + L"\\Orbisoftware\\x"));
}
