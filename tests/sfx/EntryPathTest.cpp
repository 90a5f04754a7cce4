#include <gtest/gtest.h>

#include "sfx/EntryPath.h"

namespace {

struct NameCase {
    const wchar_t* name;
    const wchar_t* relative;  // nullptr: refused
};

const NameCase kNames[] = {
    {L"top.txt", L"top.txt"},
    {L"Setup/stagehand.exe", L"Setup\\stagehand.exe"},
    {L"Assembly\\bin\\app.exe", L"Assembly\\bin\\app.exe"},
    {L"..hidden", L"..hidden"},
    {L"a..b/c", L"a..b\\c"},
    {L"console.txt", L"console.txt"},
    {L"com10", L"com10"},
    {L"\u00e9t\u00e9/\u6587\u4ef6.txt", L"\u00e9t\u00e9\\\u6587\u4ef6.txt"},
    {L"", nullptr},
    {L"..", nullptr},
    {L".", nullptr},
    {L"../escape.txt", nullptr},
    {L"..\\escape.txt", nullptr},
    {L"a/../../escape.txt", nullptr},
    {L"a/..", nullptr},
    {L"./a", nullptr},
    {L"/etc/passwd", nullptr},
    {L"\\Windows\\x.dll", nullptr},
    {L"C:\\Windows\\x.dll", nullptr},
    {L"C:x.dll", nullptr},
    {L"\\\\server\\share\\x", nullptr},
    {L"\\\\?\\C:\\x", nullptr},
    {L"a//b", nullptr},
    {L"a/", nullptr},
    {L"good.txt:hidden", nullptr},
    {L"nul", nullptr},
    {L"NUL.txt", nullptr},
    {L"a/con/b", nullptr},
    {L"LPT1.log", nullptr},
    {L"dir./x", nullptr},
    {L"name ", nullptr},
    {L"a*b", nullptr},
    {L"a?b", nullptr},
    {L"a\x01b", nullptr},
};

}  // namespace

TEST(EntryPath, AcceptsPlainRelativeNamesAndRefusesEverythingElse)
{
    for (const NameCase& c : kNames) {
        std::wstring relative = L"stale";
        bool ok = sfx::MakeSafeRelativePath(c.name, relative);
        if (c.relative) {
            EXPECT_TRUE(ok) << "name: " << testing::PrintToString(std::wstring(c.name));
            EXPECT_EQ(relative, c.relative);
        } else {
            EXPECT_FALSE(ok) << "name: " << testing::PrintToString(std::wstring(c.name));
            EXPECT_EQ(relative, L"");
        }
    }
}

TEST(EntryPath, InsideFolderComparesResolvedPaths)
{
    EXPECT_TRUE(sfx::IsInsideFolder(L"C:\\work\\", L"C:\\work\\a\\b.txt"));
    EXPECT_TRUE(sfx::IsInsideFolder(L"C:\\work", L"c:\\WORK\\a"));
    EXPECT_FALSE(sfx::IsInsideFolder(L"C:\\work\\", L"C:\\work\\..\\x"));
    EXPECT_FALSE(sfx::IsInsideFolder(L"C:\\work\\", L"C:\\workshop\\x"));
    EXPECT_FALSE(sfx::IsInsideFolder(L"C:\\work\\", L"C:\\work\\"));
    EXPECT_FALSE(sfx::IsInsideFolder(L"C:\\work\\", L"D:\\work\\a"));
}
