#include <gtest/gtest.h>
#include <shlobj.h>

#include <chrono>
#include <thread>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/InstallEngine.h"
#include "engine/LegacyMigration.h"
#include "tests/support/TestSupport.h"

namespace {

class LegacyMigrationTest : public ::testing::Test {
protected:
    std::wstring publicDocuments = FileSystem::GetSpecialFolderPath(CSIDL_COMMON_DOCUMENTS);
    std::wstring myDocuments = FileSystem::GetSpecialFolderPath(CSIDL_PERSONAL);
    std::wstring commonAppData = FileSystem::GetSpecialFolderPath(CSIDL_COMMON_APPDATA);
    std::wstring migration = publicDocuments + L"\\Quayside";

    void SetUp() override
    {
        ASSERT_FALSE(publicDocuments.empty());
        ASSERT_FALSE(myDocuments.empty());
        ASSERT_FALSE(commonAppData.empty());
        CleanUp();
        CInstallEngine::ResetSettings();
    }
    void TearDown() override
    {
        CleanUp();
        CInstallEngine::ResetSettings();
    }
    void CleanUp()
    {
        FileSystem::DeleteDirectoryTree(migration);
        FileSystem::DeleteDirectoryTree(myDocuments + L"\\Pellworth");
        FileSystem::DeleteDirectoryTree(commonAppData + L"\\Pellworth");
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kLegacyUninstallKey);
    }
    void WriteSources()
    {
        ASSERT_TRUE(FileSystem::CreateDirectoryTree(myDocuments + L"\\Pellworth\\UserDataStorage"));
        ASSERT_TRUE(FileSystem::CreateDirectoryTree(commonAppData + L"\\Pellworth"));
        FileSystem::WriteStringToFile(myDocuments + L"\\Pellworth\\UserDataStorage\\UserDataStorage.db", "user data");
        FileSystem::WriteStringToFile(commonAppData + L"\\Pellworth\\ProductCfg.ini", "[cfg]\r\nx=1\r\n");
    }
    static bool SetUninstallString(const std::wstring& value)
    {
        UniqueHKey key;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLegacyUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.put(), nullptr) != ERROR_SUCCESS)
            return false;
        LONG rc =
            ::RegSetValueExW(key.get(), L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        return rc == ERROR_SUCCESS;
    }
    std::wstring Index(const wchar_t* key) const
    {
        return FileSystem::ReadIniString(migration + L"\\OldConfig.ini", L"Files", key);
    }
};

}  // namespace

TEST_F(LegacyMigrationTest, OnlyRunsStartedFromTheLegacyUpdaterMigrate)
{
    WriteSources();
    for (const wchar_t* from : {L"", L"V3update", L"v3online", L"web"}) {
        DebugCapture debug;
        CInstallEngine::m_wstrFrom = from;
        SilentUninstallV3();
        EXPECT_TRUE(debug.Lines().empty()) << NarrowAscii(from);
        EXPECT_FALSE(FileSystem::PathExists(migration.c_str())) << NarrowAscii(from);
    }
}

TEST_F(LegacyMigrationTest, CopiesTheDataWritesTheIndexAndStartsTheLegacyUninstaller)
{
    WriteSources();
    ScratchFolder scratch;
    const std::wstring probe = TestExeDirectory() + L"args_probe.exe";
    const std::wstring probeOut = scratch / L"args.txt";
    ASSERT_TRUE(::SetEnvironmentVariableW(L"LARKSPUR_PROBE_OUT", probeOut.c_str()));
    ASSERT_TRUE(SetUninstallString(probe));

    DebugCapture debug;
    CInstallEngine::m_wstrFrom = L"v3update";
    SilentUninstallV3();
    EXPECT_EQ(debug.Lines(), (std::vector<std::wstring> {L"stagehand.exe=>SilentUninstallV3 begin",
                                                         L"stagehand.exe=>SilentUninstall path=" + probe +
                                                             L",parameter= /NDSILENT /VERYSILENT",
                                                         L"stagehand.exe=>SilentUninstallV3 end"}));

    const std::wstring oldFiles = migration + L"\\OldFiles";
    EXPECT_EQ(FileSystem::ReadFileToString(oldFiles + L"\\UserDataStorage.db", true), "user data");
    EXPECT_EQ(FileSystem::ReadFileToString(oldFiles + L"\\ProductCfg.ini", true), "[cfg]\r\nx=1\r\n");
    EXPECT_EQ(Index(L"IsStartquayMigration"), L"0");
    EXPECT_EQ(Index(L"MydocumentsV3Dir"), myDocuments);
    EXPECT_EQ(Index(L"ProductCfgFile"), oldFiles + L"\\ProductCfg.ini");
    EXPECT_EQ(Index(L"UserDataStorageFile"), oldFiles + L"\\UserDataStorage.db");

    // The uninstaller runs on its own; wait for its trace.
    std::string args;
    for (int i = 0; i < 200 && args.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        args = FileSystem::ReadFileToString(probeOut, true);
    }
    std::wstring line(reinterpret_cast<const wchar_t*>(args.data()), args.size() / sizeof(wchar_t));
    EXPECT_NE(line.find(L"/NDSILENT /VERYSILENT"), std::wstring::npos) << NarrowAscii(line);
    ::SetEnvironmentVariableW(L"LARKSPUR_PROBE_OUT", nullptr);
}

TEST_F(LegacyMigrationTest, MissingFilesAndMissingUninstallerAreIgnored)
{
    DebugCapture debug;
    CInstallEngine::m_wstrFrom = L"v3onlineinstaller";
    SilentUninstallV3();
    EXPECT_EQ(debug.Lines(), (std::vector<std::wstring> {L"stagehand.exe=>SilentUninstallV3 begin",
                                                         L"stagehand.exe=>SilentUninstallV3 end"}));
    EXPECT_TRUE(FileSystem::PathExists((migration + L"\\OldFiles").c_str()));
    EXPECT_FALSE(FileSystem::PathExists((migration + L"\\OldFiles\\ProductCfg.ini").c_str()));
    EXPECT_EQ(Index(L"UserDataStorageFile"), migration + L"\\OldFiles\\UserDataStorage.db");

    // Copies replace older ones.
    WriteSources();
    FileSystem::WriteStringToFile(migration + L"\\OldFiles\\ProductCfg.ini", "old");
    CopyV3Configure();
    EXPECT_EQ(FileSystem::ReadFileToString(migration + L"\\OldFiles\\ProductCfg.ini", true), "[cfg]\r\nx=1\r\n");
}
