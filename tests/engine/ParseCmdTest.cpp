#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "engine/model/FolderName.h"
#include "engine/InstallEngine.h"
#include "tests/support/TestSupport.h"

namespace {

class ParseCmdTest : public ::testing::Test {
protected:
    void SetUp() override { CInstallEngine::ResetSettings(); }
    void TearDown() override { CInstallEngine::ResetSettings(); }

    CInstallEngine Parse(const std::wstring& line)
    {
        CInstallEngine engine;
        engine.ParseCmd(line);
        return engine;
    }

    std::wstring Dir(const std::wstring& line)
    {
        CInstallEngine::ResetSettings();
        Parse(line);
        return CInstallEngine::m_wstrInstallDir;
    }
};

}  // namespace

TEST_F(ParseCmdTest, DirGetsTheCompanyFolder)
{
    EXPECT_EQ(Dir(L"-dir C:\\Games"), L"C:\\Games\\Orbisoft");
    EXPECT_EQ(Dir(L"-dir=C:\\Games"), L"C:\\Games\\Orbisoft");
    EXPECT_EQ(Dir(L"-dir=C:\\Games\\"), L"C:\\Games\\Orbisoft");
    EXPECT_EQ(Dir(L"-dir=\"C:\\Games\\\""), L"C:\\Games\\Orbisoft");
    EXPECT_EQ(Dir(L"-dir=C:\\Games\\Orbisoft"), L"C:\\Games\\Orbisoft");
    EXPECT_EQ(Dir(L"-dir=c:\\games\\ORBISOFT\\"), L"c:\\games\\ORBISOFT\\");
    EXPECT_EQ(Dir(L"-dir=\"C:\\Program Files\""), L"C:\\Program Files\\Orbisoft");
}

TEST_F(ParseCmdTest, DirWithV3UpdateNamesAFolderInsideTheBase)
{
    EXPECT_EQ(Dir(L"-from=v3update -dir=C:\\Old\\Product"), L"C:\\Old\\Orbisoft");
    EXPECT_EQ(Dir(L"-dir=C:\\Old\\Product\\ -from=v3update"), L"C:\\Old\\Orbisoft");
    EXPECT_EQ(Dir(L"-from=v3update -dir=\"C:\\Program Files\\Orbisoft\\Product\""), L"C:\\Program Files\\Orbisoft\\");
    EXPECT_EQ(Dir(L"-from=V3Update -dir=C:\\Old\\Product"), L"C:\\Old\\Product\\Orbisoft");
}

TEST_F(ParseCmdTest, EmptyDirStaysEmptyAndIsStillReported)
{
    DebugCapture capture;
    Parse(L"-dir=");
    EXPECT_EQ(CInstallEngine::m_wstrInstallDir, L"");
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>install dir="));

    DebugCapture none;
    Parse(L"-silent");
    for (const auto& line : none.Lines())
        EXPECT_EQ(line.find(L"install dir="), std::wstring::npos);
}

TEST_F(ParseCmdTest, VerySilentAndFromOrder)
{
    CInstallEngine e1 = Parse(L"-verysilent");
    EXPECT_TRUE(e1.m_bSilent);
    EXPECT_TRUE(CInstallEngine::m_bNoStart);

    CInstallEngine::ResetSettings();
    CInstallEngine e2 = Parse(L"-verysilent -from=v3update");
    EXPECT_TRUE(e2.m_bSilent);
    EXPECT_FALSE(CInstallEngine::m_bNoStart);
    EXPECT_EQ(CInstallEngine::m_wstrFrom, L"v3update");

    CInstallEngine::ResetSettings();
    Parse(L"-from=v3onlineinstaller -verysilent");
    EXPECT_FALSE(CInstallEngine::m_bNoStart);

    CInstallEngine::ResetSettings();
    Parse(L"-from=V3Update -verysilent");
    EXPECT_TRUE(CInstallEngine::m_bNoStart);

    CInstallEngine::ResetSettings();
    Parse(L"-verysilent -from=v3update -nostart");
    EXPECT_TRUE(CInstallEngine::m_bNoStart);
}

TEST_F(ParseCmdTest, FlagsAndChannel)
{
    CInstallEngine e = Parse(L"-SILENT -nosc -skipselect -channelid=ABC");
    EXPECT_TRUE(e.m_bSilent);
    EXPECT_TRUE(e.m_bNoSc);
    EXPECT_TRUE(CInstallEngine::m_bNoShortcut);
    EXPECT_TRUE(CInstallEngine::m_bSkipSelect);
    EXPECT_FALSE(CInstallEngine::m_bNoStart);
    EXPECT_EQ(CInstallEngine::m_wstrChannelId, L"ABC");
    EXPECT_EQ(CInstallEngine::m_wstrCmdLine, L"-SILENT -nosc -skipselect -channelid=ABC");

    Parse(L"-channelid=");
    EXPECT_EQ(CInstallEngine::m_wstrChannelId, L"ABC");  // an empty value leaves it
    CInstallEngine::ResetSettings();
    CInstallEngine quiet = Parse(L"-install -channelid");
    EXPECT_FALSE(quiet.m_bSilent);
    EXPECT_EQ(CInstallEngine::m_wstrChannelId, L"");
}

TEST_F(ParseCmdTest, LanguageFallsBackToTheSystemLanguage)
{
    Parse(L"-language=de_DE -silent");
    EXPECT_EQ(CInstallEngine::m_wstrLanguage, L"de_DE");

    // An empty value: no override file on this machine, so the system language decides.
    CInstallEngine::ResetSettings();
    Parse(L"-language -silent");
    EXPECT_EQ(CInstallEngine::m_wstrLanguage, GetSystemLanguageCode());
    EXPECT_FALSE(CInstallEngine::m_wstrLanguage.empty());

    CInstallEngine::ResetSettings();
    Parse(L"");
    EXPECT_EQ(CInstallEngine::m_wstrLanguage, GetSystemLanguageCode());
}

TEST_F(ParseCmdTest, UnloadTypeDefaultsToTheEngineFolderName)
{
    DebugCapture capture;
    Parse(L"-install");
    std::wstring folder = FileSystem::GetModuleDirectory();
    folder.pop_back();
    std::wstring name = folder.substr(folder.find_last_of(L"\\/") + 1);
    EXPECT_EQ(CInstallEngine::m_wstrUnloadType, name);
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>CInstallEngine::ParseCmd m_wstrUnloadType=" + name));

    CInstallEngine::ResetSettings();
    DebugCapture second;
    Parse(L"-unloadtype=Service");
    EXPECT_EQ(CInstallEngine::m_wstrUnloadType, L"Service");
    EXPECT_EQ(second.Lines(),
              std::vector<std::wstring> {L"stagehand.exe=>CInstallEngine::ParseCmd m_wstrUnloadType=Service"});
}

TEST(FolderName, ComparisonFoldsAsciiOnLowBits)
{
    EXPECT_TRUE(IsSameFolderName(L"Orbisoft", L"ORBISOFT"));
    EXPECT_TRUE(IsSameFolderName(L"orbisoft", L"Orbisoft"));
    EXPECT_FALSE(IsSameFolderName(L"Orbisoft", L"Orbisoft2"));
    // Only the low 8 bits of each unit count.
    EXPECT_TRUE(IsSameFolderName(L"\x014F", L"O"));
    EXPECT_FALSE(IsSameFolderName(L"\x00C0", L"\x00E0"));
    EXPECT_EQ(LastPathComponent(L"C:\\a\\Orbisoft\\\\"), L"Orbisoft");
    EXPECT_EQ(LastPathComponent(L"Orbisoft"), L"Orbisoft");
    EXPECT_EQ(ParentFolderOf(L"C:\\a\\b\\"), L"C:\\a\\");
    EXPECT_EQ(ParentFolderOf(L"\\\\"), L"\\\\");
    EXPECT_EQ(ParentFolderOf(L"name/"), L"name");
}
