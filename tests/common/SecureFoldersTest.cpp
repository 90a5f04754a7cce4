#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/SecureFolders.h"
#include "tests/support/TestSupport.h"

using namespace SecureFolders;

namespace {

UniqueLocal Sid(const wchar_t* text)
{
    UniqueLocal sid;
    ::ConvertStringSidToSidW(text, sid.put());
    return sid;
}

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp, length);
}

}  // namespace

// The Windows rule Wine does not show: only the Administrators group and
// SYSTEM are owners a base may have (any other owner may change its list).
TEST(SecureFolders, OnlyAdministratorsOrSystemOwnABase)
{
    EXPECT_TRUE(IsAdministrativeOwner(Sid(L"S-1-5-32-544").get()));
    EXPECT_TRUE(IsAdministrativeOwner(Sid(L"S-1-5-18").get()));
    EXPECT_FALSE(IsAdministrativeOwner(Sid(L"S-1-5-21-1004336348-1177238915-682003330-1001").get()));
    EXPECT_FALSE(IsAdministrativeOwner(Sid(L"S-1-1-0").get()));
    EXPECT_FALSE(IsAdministrativeOwner(Sid(L"S-1-5-32-545").get()));
    EXPECT_FALSE(IsAdministrativeOwner(nullptr));
    EXPECT_TRUE(IsLocalSystemSid(Sid(L"S-1-5-18").get()));
    EXPECT_FALSE(IsLocalSystemSid(Sid(L"S-1-5-32-544").get()));
}

TEST(SecureFolders, ABaseWhoseOwnerIsAnotherUserIsRefused)
{
    ScratchFolder scratch;
    Rules rules;
    rules.ownerIsAdministrative = [](HANDLE) { return false; };
    ScopedRules otherOwner(rules);
    AdminBase base;
    std::wstring why;
    EXPECT_FALSE(base.Create(scratch.Path(), L"", &why));
    EXPECT_FALSE(base.Held());
    EXPECT_EQ(why.rfind(L"owner is neither Administrators nor SYSTEM: " + scratch.Path(), 0), 0u) << NarrowAscii(why);
}

// Issue 29, item 6: the parent's owner does not matter (another user may have
// made <temp>Setup); only the base's own owner does.
TEST(SecureFolders, AParentOwnedByAnotherUserIsNoReasonToRefuse)
{
    ScratchFolder scratch;
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(scratch / L"Setup"));
    const std::wstring parent = NormalFolderPath(scratch / L"Setup");
    Rules rules;
    // Only a folder named by 32 hexadecimal digits (a base) has an administrative owner.
    rules.ownerIsAdministrative = [](HANDLE folder) {
        wchar_t name[MAX_PATH * 2] = {};
        ::GetFinalPathNameByHandleW(folder, name, MAX_PATH * 2, 0);
        std::wstring path = name;
        return path.size() > 32 && path.find_first_not_of(L"0123456789abcdef", path.size() - 32) == std::wstring::npos;
    };
    ScopedRules owners(rules);
    AdminBase base;
    ASSERT_TRUE(base.Create(parent));
    EXPECT_EQ(base.Path().compare(0, parent.size(), parent), 0);
    EXPECT_TRUE(base.Remove());
}

TEST(SecureFolders, ABaseIsMadeExclusivelyHeldAndRemoved)
{
    ScratchFolder scratch;
    AdminBase base;
    ASSERT_TRUE(base.Create(scratch / L"deeper\\parent\\", L"Setup-"));
    const std::wstring path = base.Path();
    const std::wstring parent = NormalFolderPath(scratch / L"deeper\\parent\\");
    ASSERT_EQ(path.size(), parent.size() + 6 + 33);
    EXPECT_EQ(path.compare(0, parent.size() + 6, parent + L"Setup-"), 0);
    FileSystem::CreateDirectoryTree(path + L"Setup\\Assembly");
    FileSystem::WriteStringToFile(path + L"Setup\\Assembly\\a.txt", "a");
    EXPECT_EQ(base.HeldFolders().back() + L"\\", path);
    EXPECT_TRUE(base.Remove());
    EXPECT_FALSE(FileSystem::PathExists(path.c_str()));
    EXPECT_TRUE(FileSystem::PathExists(parent.c_str()));
    EXPECT_TRUE(base.HeldFolders().empty());
}

// No reparse point in any part: a link anywhere above the base is refused,
// and nothing is made behind it.
TEST(SecureFolders, ALinkInAnyPartOfThePathIsRefused)
{
    ScratchFolder scratch, elsewhere;
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(scratch / L"a"));
    ASSERT_TRUE(PlantHostLink(scratch / L"a\\link", elsewhere.Path()));
    AdminBase base;
    std::wstring why;
    EXPECT_FALSE(base.Create(scratch / L"a\\link\\Setup\\", L"", &why));
    EXPECT_EQ(why, L"a reparse point (link) at " +
                       NormalFolderPath(scratch / L"a\\link").substr(0, (scratch / L"a\\link").size()));
    EXPECT_TRUE(ListFolderTree(elsewhere.Path()).empty());
    HeldPath held;
    EXPECT_FALSE(held.Open(scratch / L"a\\link", false));
    EXPECT_TRUE(held.Open(scratch / L"a", false));
    RemoveFromHost(scratch / L"a\\link");
}

TEST(SecureFolders, CreateTemporaryBasePassesOverALinkedFolder)
{
    ScratchFolder scratch, elsewhere;
    const std::wstring old = TempFolder();
    ::SetEnvironmentVariableW(L"TMP", scratch.Path().c_str());
    ::SetEnvironmentVariableW(L"TEMP", scratch.Path().c_str());
    ASSERT_TRUE(PlantHostLink(scratch / L"datamigration", elsewhere.Path()));
    AdminBase base;
    std::wstring why;
    EXPECT_TRUE(CreateTemporaryBase(base, L"datamigration", &why));
    EXPECT_EQ(base.Path().compare(0, (scratch / L"datamigration-").size(),
                                  NormalFolderPath(scratch.Path()) + L"datamigration-"),
              0);
    EXPECT_EQ(why, L"a reparse point (link) at " + NormalFolderPath(scratch.Path()) + L"datamigration");
    EXPECT_TRUE(ListFolderTree(elsewhere.Path()).empty());
    base.Remove();
    ::SetEnvironmentVariableW(L"TMP", old.c_str());
    ::SetEnvironmentVariableW(L"TEMP", old.c_str());
    RemoveFromHost(scratch / L"datamigration");
}

// Issue 29, item 6 (Wine cannot run as LocalSystem: the token check is injected).
TEST(SecureFolders, LocalSystemWorksInSystemTempWhereItExists)
{
    ScratchFolder windows;
    Rules rules;
    rules.isLocalSystem = [] { return true; };
    rules.windowsFolder = [&windows] { return windows.Path().substr(0, windows.Path().size() - 1); };
    {
        ScopedRules system(rules);
        EXPECT_EQ(TemporaryRoot(), TempFolder());  // no SystemTemp: %TEMP%
        ASSERT_TRUE(FileSystem::CreateDirectoryTree(windows / L"SystemTemp"));
        EXPECT_EQ(TemporaryRoot(), windows / L"SystemTemp\\");
        AdminBase base;
        ASSERT_TRUE(CreateTemporaryBase(base, L"Setup"));
        EXPECT_EQ(base.Path().compare(0, (windows / L"SystemTemp\\Setup\\").size(),
                                      NormalFolderPath(windows / L"SystemTemp\\Setup\\")),
                  0);
        EXPECT_TRUE(base.Remove());
    }
    // Not LocalSystem: SystemTemp is not used even where it exists.
    rules.isLocalSystem = [] { return false; };
    ScopedRules user(rules);
    EXPECT_EQ(TemporaryRoot(), TempFolder());
}

TEST(SecureFolders, PathsAreMadeFullAndPlain)
{
    EXPECT_EQ(NormalFolderPath(L"C:\\a\\..\\b/c"), L"C:\\b\\c\\");
    EXPECT_EQ(NormalFolderPath(L"c:\\x\\.\\y\\"), L"C:\\x\\y\\");
    EXPECT_EQ(NormalFolderPath(L"\\\\server\\share\\x"), L"");
    EXPECT_EQ(NormalFolderPath(L""), L"");
}
