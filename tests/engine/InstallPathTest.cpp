#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "common/FileSystem.h"
#include "common/ProgramFolders.h"
#include "common/SecureFolders.h"
#include "engine/model/InstallPath.h"
#include "tests/support/TestSupport.h"

namespace {

// prefix + a filler folder + tail, exactly `length` units long.
std::wstring PathOfLength(const std::wstring& prefix, const std::wstring& tail, size_t length)
{
    EXPECT_GT(length, prefix.size() + tail.size());
    return prefix + std::wstring(length - prefix.size() - tail.size(), L'p') + tail;
}

bool Exists(const std::wstring& path)
{
    return FileSystem::PathExists(path.c_str());
}

FreeSpaceQuery FixedFreeSpace(ULONGLONG bytes, std::wstring* drive = nullptr)
{
    return [bytes, drive](const std::wstring& d, ULONGLONG& free) {
        if (drive)
            *drive = d;
        free = bytes;
        return true;
    };
}

}  // namespace

TEST(CheckInstallPathTest, AcceptsAWritableFolderAndLeavesItEmpty)
{
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"Programs\\Orbisoft";
    std::wstring code;
    EXPECT_TRUE(CheckInstallPath(folder, code));
    EXPECT_EQ(code, L"");
    EXPECT_TRUE(Exists(folder));
    EXPECT_FALSE(Exists(folder + L"\\" + kProbeFolderName));
    // Checking it again still passes: only the probe folder must be new.
    EXPECT_TRUE(CheckInstallPath(folder + L"\\", code));
    EXPECT_FALSE(Exists(folder + L"\\" + kProbeFolderName));
    std::wstring forward = scratch / L"Forward/Orbisoft";
    EXPECT_TRUE(CheckInstallPath(forward, code)) << "a drive path with forward slashes is a drive path";
    EXPECT_TRUE(Exists(scratch / L"Forward\\Orbisoft"));
}

TEST(CheckInstallPathTest, ALeftOverProbeFolderDoesNotMakeEveryCheckFail)
{
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"Programs\\Orbisoft";
    // A check killed between creating and removing its probe leaves this behind.
    ASSERT_TRUE(std::filesystem::create_directories(folder + L"\\" + kProbeFolderName));
    std::wstring code;
    EXPECT_TRUE(CheckInstallPath(folder, code)) << NarrowAscii(code);
    EXPECT_EQ(code, L"");
    std::set<std::wstring> left = ListFolderTree(folder + L"\\");
    EXPECT_EQ(left, (std::set<std::wstring> {std::wstring(kProbeFolderName) + L"\\"}));
}

TEST(CheckInstallPathTest, LengthLimitsDependOnTheLastPart)
{
    ScratchFolder scratch;
    const std::wstring prefix = scratch.Path();
    std::wstring code;
    // Company folder as the last part (any ASCII case): up to 162 units.
    EXPECT_TRUE(CheckInstallPath(PathOfLength(prefix, L"\\orbisoft", 151), code)) << code;
    EXPECT_TRUE(CheckInstallPath(PathOfLength(prefix, L"\\ORBISOFT", 162), code)) << code;
    code.clear();
    EXPECT_FALSE(CheckInstallPath(PathOfLength(prefix, L"\\Orbisoft", 163), code));
    EXPECT_EQ(code, L"toolong");
    // Any other last part: up to 150 units.
    code.clear();
    EXPECT_TRUE(CheckInstallPath(PathOfLength(prefix, L"\\Other", 150), code)) << code;
    EXPECT_FALSE(CheckInstallPath(PathOfLength(prefix, L"\\Other", 151), code));
    EXPECT_EQ(code, L"toolong");
    code.clear();
    EXPECT_FALSE(CheckInstallPath(PathOfLength(prefix, L"\\Orbisoftx", 151), code));
    EXPECT_EQ(code, L"toolong");
    // Trailing backslashes count towards the length but not for the last part.
    code.clear();
    EXPECT_TRUE(CheckInstallPath(PathOfLength(prefix, L"\\Orbisoft\\\\", 162), code)) << code;
    EXPECT_FALSE(CheckInstallPath(PathOfLength(prefix, L"\\Other\\", 151), code));
    EXPECT_EQ(code, L"toolong");
    // The length is checked before the drive is asked anything.
    code.clear();
    EXPECT_FALSE(CheckInstallPath(PathOfLength(prefix, L"\\Other", 151), code, FixedFreeSpace(0)));
    EXPECT_EQ(code, L"toolong");
}

TEST(CheckInstallPathTest, PathsWithoutADriveAreNotWritable)
{
    for (const wchar_t* path : {L"Programs\\Orbisoft", L"\\\\server\\share\\Orbisoft", L"\\Programs\\Orbisoft",
                                L"C:Programs\\Orbisoft", L"Apps:1", L"", L"1:\\Orbisoft"}) {
        std::wstring code;
        EXPECT_FALSE(CheckInstallPath(path, code)) << NarrowAscii(path);
        EXPECT_EQ(code, L"write") << NarrowAscii(path);
    }
}

TEST(CheckInstallPathTest, FreeSpaceLimitIsOneHundredMebibytes)
{
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"Space\\Orbisoft";
    std::wstring drive;
    std::wstring code;
    EXPECT_FALSE(CheckInstallPath(folder, code, FixedFreeSpace(104857599ULL, &drive)));
    EXPECT_EQ(code, L"nospace");
    EXPECT_EQ(drive, folder.substr(0, 2));
    EXPECT_FALSE(Exists(folder)) << "nothing is created for a full drive";
    code.clear();
    EXPECT_TRUE(CheckInstallPath(folder, code, FixedFreeSpace(104857600ULL)));
    EXPECT_EQ(code, L"");

    // A failing query rejects the folder and leaves the code as it was.
    code = L"before";
    EXPECT_FALSE(CheckInstallPath(folder, code, [](const std::wstring&, ULONGLONG&) { return false; }));
    EXPECT_EQ(code, L"before");
}

TEST(CheckInstallPathTest, RealFreeSpaceQueryAnswersForTheSystemDrive)
{
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 2u);
    ULONGLONG free = 0;
    EXPECT_TRUE(QueryDriveFreeBytes(std::wstring(windows, 2), free));
    EXPECT_GT(free, 0u);
    EXPECT_FALSE(QueryDriveFreeBytes(L"Q7:", free));
}

// Any user may create "C:\Custom Apps"; its owner may change its list and
// rename the product's folders below it away, putting others in their place
// for the SYSTEM service. Wine records no owners: the owner rule is injected.
TEST(CheckInstallPathTest, AFolderAboveTheCompanyFolderOwnedByAUserIsRefused)
{
    ScratchFolder scratch;
    const std::wstring apps = scratch / L"Custom Apps";
    const std::wstring product = apps + L"\\Orbisoft\\Larkspur";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(product + L"\\"));
    std::wstring userOwned = apps;
    SecureFolders::Rules rules;
    rules.ownerIsAdministrative = [&](HANDLE folder) { return !SecureFolders::FinalPathIs(folder, userOwned); };
    SecureFolders::ScopedRules scoped(rules);
    DebugCapture capture;
    std::wstring code;
    EXPECT_FALSE(CheckInstallPath(product, code, FixedFreeSpace(1ull << 40)));
    EXPECT_EQ(code, L"write");
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>install folder refused: " + apps +
                                 L" is owned by a user, not the administrators"));
    // A folder that does not exist yet is the engine's to create.
    EXPECT_EQ(ProgramFolders::FolderOwnedByAUser(scratch / L"New Apps\\Orbisoft", L"Orbisoft"), L"");
    // The company folder and what is below it get the administrators as owner: no reason to refuse.
    userOwned = apps + L"\\Orbisoft";
    code.clear();
    EXPECT_TRUE(CheckInstallPath(product, code, FixedFreeSpace(1ull << 40))) << NarrowAscii(code);
    // Program Files' own folders are never the user's.
    rules.ownerIsAdministrative = [](HANDLE) { return false; };
    SecureFolders::ScopedRules nobody(rules);
    wchar_t programFiles[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    EXPECT_EQ(ProgramFolders::FolderOwnedByAUser(std::wstring(programFiles) + L"\\Orbisoft\\Larkspur", L"Orbisoft"),
              L"");
    EXPECT_EQ(ProgramFolders::FolderOwnedByAUser(product, L"Orbisoft").empty(), false);
}

TEST(CleanPathNameTest, RemovesTheFirstOccurrenceOfEachToken)
{
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\Apps\\Orbisoft")), L"D:\\Apps\\Orbisoft");
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\Apps\\my.files\\")), L"D:\\Apps\\myfiles");
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\icons\\Orbisoft")), L"D:\\is\\Orbisoft");
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\a.b.c")), L"D:\\ab.c");
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\a*b|c\"d<e>f?g/h;i")), L"D:\\abcdefghi");
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\nul\\aux\\com1\\com2\\lpt1\\x")), L"D:\\\\\\\\\\\\x");
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\x\\\\\\")), L"D:\\x");
    EXPECT_EQ(CleanPathName(std::wstring(L"D:")), L"D:");
    // Finding 13 of the security review: a drive root chosen in the folder
    // dialog stays a root ("D:" was refused with "write").
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\")), L"D:\\");
    EXPECT_EQ(CleanPathName(std::wstring(L"D:\\\\")), L"D:\\");
    EXPECT_EQ(CleanPathName(std::string("D:\\")), "D:\\");
}

TEST(CleanPathNameTest, TextWhoseLastColonIsNotSecondIsUnchanged)
{
    for (const wchar_t* text : {L"Apps:1", L"D:\\a:b", L"no colon.here", L"", L":x"}) {
        EXPECT_EQ(CleanPathName(std::wstring(text)), text);
        EXPECT_EQ(CleanPathName(NarrowAscii(text)), NarrowAscii(text));
    }
}

TEST(CleanPathNameTest, Utf8FormFollowsTheSameRules)
{
    EXPECT_EQ(CleanPathName(std::string("D:\\Apps\\my.files\\")), "D:\\Apps\\myfiles");
    EXPECT_EQ(CleanPathName(std::string("D:\\icons\\Orbisoft")), "D:\\is\\Orbisoft");
    EXPECT_EQ(CleanPathName(std::string("D:\\\xE4\xB8\xAD\xE6\x96\x87\\con\\")), "D:\\\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(CleanPathName(std::string(".:")), ":") << "a text that loses every unit still gets its colon";
}
