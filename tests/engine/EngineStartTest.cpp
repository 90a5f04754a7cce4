// The engine's run start-up: the list's mode and the data migration started
// after a successful install.
#include <gtest/gtest.h>

#include <set>

#include "common/FileSystem.h"
#include "engine/InstallEngine.h"
#include "tests/engine/EngineTestHelpers.h"
#include "tests/support/TestSupport.h"

namespace {

bool SilentAfter(const std::string& listText, bool silentBefore = false)
{
    CInstallEngine engine;
    engine.m_bSilent = silentBefore;
    engine.ReadMode(listText);
    return engine.m_bSilent;
}

}  // namespace

TEST(EngineStart, AListModeOfSilentOrSrfSilentMakesTheRunSilent)
{
    const Json::Value none(Json::arrayValue);
    EXPECT_TRUE(SilentAfter(ListText(none, "silent")));
    EXPECT_TRUE(SilentAfter(ListText(none, "srf_silent")));
    for (const char* mode : {"", "Silent", "verysilent", "silent "})
        EXPECT_FALSE(SilentAfter(ListText(none, mode))) << mode;
    EXPECT_FALSE(SilentAfter(ListText(none)));
    EXPECT_FALSE(SilentAfter(R"({"mode":true,"installs":[]})"));
    EXPECT_FALSE(SilentAfter(R"(["silent"])"));
    EXPECT_FALSE(SilentAfter(R"({"mode":"silent")"));
    // The list only ever adds silence: a silent command line stays silent.
    EXPECT_TRUE(SilentAfter(ListText(none, "normal"), true));
    EXPECT_TRUE(SilentAfter("", true));
}

namespace {

// Where the data migration's copies go: a folder of their own each.
std::wstring MigrationParent()
{
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"datamigration\\";
}

std::set<std::wstring> MigrationFolders()
{
    std::set<std::wstring> folders;
    for (const std::wstring& entry : ListFolderTree(MigrationParent())) {
        if (entry.back() == L'\\' && entry.find(L'\\') == entry.size() - 1)
            folders.insert(MigrationParent() + entry);
    }
    return folders;
}

// Starts the data migration of a setup folder holding the argument probe as
// datamigration.exe; the command line it was started with.
std::wstring MigrationCommandLine(bool silent)
{
    ScratchFolder setup;
    const std::wstring out = setup / L"args.txt";
    EXPECT_TRUE(
        ::CopyFileW((TestExeDirectory() + L"args_probe.exe").c_str(), (setup / L"datamigration.exe").c_str(), FALSE));
    EXPECT_TRUE(::SetEnvironmentVariableW(L"LARKSPUR_PROBE_OUT", out.c_str()));
    const std::set<std::wstring> before = MigrationFolders();
    CInstallEngine engine;
    engine.m_bSilent = silent;
    engine.LaunchDataMigration(setup.Path());
    std::string written;
    WaitUntil([&] { return !(written = FileSystem::ReadFileToString(out, true)).empty(); });
    ::SetEnvironmentVariableW(L"LARKSPUR_PROBE_OUT", nullptr);
    // The copy runs from a folder of its own, removed here once the probe has let go of it.
    for (const std::wstring& folder : MigrationFolders()) {
        if (before.count(folder) == 0)
            WaitUntil([&] { return FileSystem::DeleteDirectoryTree(folder); });
    }
    return std::wstring(reinterpret_cast<const wchar_t*>(written.data()), written.size() / sizeof(wchar_t));
}

}  // namespace

TEST(EngineStart, TheDataMigrationGetsSlashSilentOnlyInSilentRuns)
{
    const std::wstring silent = MigrationCommandLine(true);
    ASSERT_FALSE(silent.empty()) << "the data migration did not start";
    EXPECT_EQ(silent.find(L"\"" + MigrationParent()), 0u) << NarrowAscii(silent);
    EXPECT_EQ(silent.substr(silent.size() - 8), L" /silent") << NarrowAscii(silent);

    const std::wstring loud = MigrationCommandLine(false);
    ASSERT_FALSE(loud.empty()) << "the data migration did not start";
    EXPECT_EQ(loud.find(L"/silent"), std::wstring::npos) << NarrowAscii(loud);
}

TEST(EngineStart, AMissingDataMigrationProgramIsNoError)
{
    ScratchFolder setup;
    const std::set<std::wstring> before = MigrationFolders();
    CInstallEngine engine;
    engine.m_bSilent = true;
    engine.LaunchDataMigration(setup.Path());
    EXPECT_EQ(MigrationFolders(), before) << "no folder is made for a program that is not there";
}
