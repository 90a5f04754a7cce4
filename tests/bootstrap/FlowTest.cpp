#include <gtest/gtest.h>

#include "bootstrap/BootstrapFlow.h"
#include "bootstrap/ResourceIds.h"
#include "bootstrap/Resources.h"
#include "common/FileSystem.h"
#include "common/PrivateFiles.h"
#include "tests/bootstrap/BootstrapTestSupport.h"

namespace {

class NoSplash : public iSplash {
public:
    bool ShowSplash(const std::wstring&) override { return false; }
    void CloseSplash() override { }
};

std::wstring EngineLine(const std::wstring& cmdLine)
{
    SetupResources resources(L"setup_fake");
    NoSplash splash;
    CBootstrap bootstrap(resources.Module(), splash);
    bootstrap.ReadSwitches(cmdLine.c_str());
    return bootstrap.EngineCommandLine(L"C:\\T\\Setup\\7\\");
}

const std::wstring kEngine = L"\"C:\\T\\Setup\\7\\Setup\\stagehand.exe\" -install -language=zh_CN";

}  // namespace

TEST(WorkFolder, HasAnUnguessableNameUnderSetup)
{
    ScratchFolder scratch;
    SecureFolders::AdminBase one, two;
    ASSERT_TRUE(MakeWorkFolder(one, scratch.Path()));
    ASSERT_TRUE(MakeWorkFolder(two, scratch.Path()));
    const std::wstring first = one.Path(), second = two.Path();
    const std::wstring parent = scratch / L"Setup\\";
    ASSERT_EQ(first.size(), parent.size() + 33);
    EXPECT_EQ(first.compare(0, parent.size(), parent), 0);
    EXPECT_EQ(first.find_first_not_of(L"0123456789abcdef", parent.size()), first.size() - 1);
    EXPECT_EQ(first.back(), L'\\');
    EXPECT_NE(first, second);
    EXPECT_TRUE(FileSystem::PathExists(first.c_str()));
    EXPECT_TRUE(TreeOf(first).empty());
    EXPECT_EQ(EngineFolderPath(L"C:\\Temp\\Setup\\5\\"), L"C:\\Temp\\Setup\\5\\\\Setup\\");
    EXPECT_TRUE(one.Remove());
    EXPECT_FALSE(FileSystem::PathExists(first.c_str()));
}

TEST(WorkFolder, FoldersAlreadyInTheTemporaryFolderAreNeitherReusedNorDeleted)
{
    ScratchFolder scratch;
    // Whatever another program prepared under Setup, including a link, stays as it is.
    std::wstring planted = scratch / L"Setup\\1234\\Setup\\";
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(planted));
    FileSystem::WriteStringToFile(planted + L"stagehand.exe", "planted");
    SecureFolders::AdminBase base;
    ASSERT_TRUE(MakeWorkFolder(base, scratch.Path()));
    const std::wstring made = base.Path();
    EXPECT_NE(made, scratch / L"Setup\\1234\\");
    EXPECT_EQ(FileSystem::ReadFileToString(planted + L"stagehand.exe", true), "planted");
    // A folder that exists is refused outright.
    EXPECT_FALSE(PrivateFiles::CreateExclusiveFolder(scratch / L"Setup\\1234"));
    EXPECT_FALSE(PrivateFiles::CreateExclusiveFolder(made));
    EXPECT_TRUE(PrivateFiles::CreateExclusiveFolder(scratch / L"Setup\\fresh"));
    SecureFolders::AdminBase deeper;
    EXPECT_TRUE(MakeWorkFolder(deeper, scratch / L"new\\deeper\\"));
}

TEST(EngineCommandLine, UserChannelAppearsTwiceAndWins)
{
    EXPECT_EQ(EngineLine(L"-channelid=ABC"), kEngine + L" -channelid=ABC -channelid=ABC");
    EXPECT_EQ(EngineLine(L"/ChannelId ABC -silent"), kEngine + L" -channelid=ABC /ChannelId ABC -silent");
}

TEST(EngineCommandLine, MissingOrEmptyChannelTakesTheBuiltInText)
{
    std::wstring builtIn = L" -channelid=" + Utf16(kDefaultChannel);
    EXPECT_EQ(EngineLine(L"-channelid="), kEngine + builtIn + L" -channelid=");
    EXPECT_EQ(EngineLine(L"-verysilent"), kEngine + builtIn + L" -verysilent");
}

TEST(EngineCommandLine, LanguageStaysChineseAndTheUserValueFollows)
{
    EXPECT_EQ(EngineLine(L"-language=en_US"), kEngine + L" -channelid=" + Utf16(kDefaultChannel) + L" -language=en_US");
}

TEST(EngineCommandLine, EmptyCommandLineEndsWithASpace)
{
    EXPECT_EQ(EngineLine(L""), kEngine + L" -channelid=" + Utf16(kDefaultChannel) + L" ");
    EXPECT_EQ(BuildEngineCommandLine(L"C:\\T\\", L"zh_CN", L"", L""),
              L"\"C:\\T\\Setup\\stagehand.exe\" -install -language=zh_CN ");
}

TEST(EngineCommandLine, WithoutAChannelResourceTheSwitchIsLeftOut)
{
    NoSplash splash;
    CBootstrap bootstrap(::GetModuleHandleW(nullptr), splash);  // the test has no resource 112
    bootstrap.ReadSwitches(L"-x");
    EXPECT_EQ(bootstrap.EngineCommandLine(L"C:\\W\\"), L"\"C:\\W\\Setup\\stagehand.exe\" -install -language=zh_CN -x");
}

TEST(Switches, SilentAndVerySilentInAnyCaseOrPrefix)
{
    SetupResources resources(L"setup_fake");
    NoSplash splash;
    for (const wchar_t* line : {L"-SILENT", L"/verysilent", L"-channelid=x -Silent", L"/VerySilent=1"}) {
        CBootstrap bootstrap(resources.Module(), splash);
        bootstrap.ReadSwitches(line);
        EXPECT_TRUE(bootstrap.IsSilent()) << NarrowAscii(line);
    }
    for (const wchar_t* line : {L"", L"silent", L"-silently", L"-language=silent"}) {
        CBootstrap bootstrap(resources.Module(), splash);
        bootstrap.ReadSwitches(line);
        EXPECT_FALSE(bootstrap.IsSilent()) << NarrowAscii(line);
    }
}

TEST(Resources, WrittenWithParentsAndMissingOnesGiveEmptyFiles)
{
    SetupResources resources(L"setup_fake");
    ASSERT_TRUE(resources.Module());
    ScratchFolder scratch;
    std::wstring channel = scratch / L"a\\b\\channel.bin";
    ASSERT_TRUE(WriteResourceToFile(resources.Module(), channel, L"BINARY", IDR_CHANNEL_TEXT));
    EXPECT_EQ(FileSystem::ReadFileToString(channel, true), kDefaultChannel);

    std::wstring marker = scratch / L"c\\finish.bin";
    FileSystem::CreateDirectoryTree(scratch / L"c");
    FileSystem::WriteStringToFile(marker, "old content");
    EXPECT_TRUE(WriteResourceToFile(resources.Module(), marker, L"BINARY", IDR_FINISH_MARKER));
    EXPECT_TRUE(FileSystem::PathExists(marker.c_str()));
    EXPECT_EQ(FileSystem::ReadFileToString(marker, true), "");

    EXPECT_FALSE(WriteResourceToFile(resources.Module(), scratch / L"c\\finish.bin\\x", L"BINARY", IDR_CHANNEL_TEXT));
    EXPECT_EQ(ReadResourceText(resources.Module(), L"BINARY"), kDefaultChannel);
    EXPECT_EQ(ReadResourceText(resources.Module(), L"PNG"), "");
}

TEST(Resources, SetupCarriesItsManifestPicturesAndTables)
{
    SetupResources resources(L"setup_fake");
    HMODULE module = resources.Module();
    ASSERT_TRUE(module);
    HRSRC manifest = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_TRUE(manifest);
    std::string text(static_cast<const char*>(::LockResource(::LoadResource(module, manifest))),
                     ::SizeofResource(module, manifest));
    EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(text.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"), std::string::npos);  // Vista
    EXPECT_NE(text.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos);  // 7
    for (int id : {IDR_SPLASH_PNG, IDR_PNG_2, IDR_PNG_3, IDR_PNG_4}) {
        HRSRC png = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
        ASSERT_TRUE(png) << id;
        EXPECT_EQ(std::string(static_cast<const char*>(::LockResource(::LoadResource(module, png))), 4), "\x89PNG");
    }
    for (int id : {IDR_HEAD_ARCHIVE, IDR_BODY_ARCHIVE, IDR_CHANNEL_TEXT})
        EXPECT_TRUE(::FindResourceW(module, MAKEINTRESOURCEW(id), L"BINARY")) << id;
    EXPECT_FALSE(::FindResourceW(module, MAKEINTRESOURCEW(IDR_FINISH_MARKER), L"BINARY"));
    EXPECT_TRUE(::FindResourceW(module, MAKEINTRESOURCEW(IDR_LANGUAGE_XML), L"XML"));
}
