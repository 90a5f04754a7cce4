#include <gtest/gtest.h>
#include <shlobj.h>

#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "engine/model/FolderName.h"
#include "engine/InstallEngine.h"
#include "engine/SetupRun.h"
#include "tests/engine/EngineTestHelpers.h"
#include "tests/support/TestSupport.h"

namespace {

std::vector<std::string> Names(const std::vector<SetupListPtr>& records)
{
    std::vector<std::string> names;
    for (const auto& r : records)
        names.push_back(r->strName);
    return names;
}

class SetupListTest : public ::testing::Test {
protected:
    void SetUp() override { CInstallEngine::ResetSettings(); }
    void TearDown() override { CInstallEngine::ResetSettings(); }

    static SetupRun Run(const std::string& text)
    {
        SetupRun run;
        run.strSetupList = text;
        return run;
    }

    static std::string DefaultFolder()
    {
        return Utf8(FileSystem::GetSpecialFolderPath(CSIDL_PROGRAM_FILES) + L"\\Orbisoft");
    }
};

}  // namespace

TEST_F(SetupListTest, InstallListIsOrderedByOrderWithTiesInFileOrder)
{
    Json::Value list(Json::arrayValue);
    list.append(Component("Larkspur", 2));
    list.append(Component("Service", 1));
    list.append(Component("Extra", 2));
    list.append(Component("First", 0));
    Json::Value& app = list[0];
    app["actions"].append(Json::Value(Json::objectValue))["action"] = "mkdir";
    app["actions"].append(Json::Value(Json::objectValue))["action"] = "copyfile";
    app["runlist"].append(Json::Value(Json::objectValue))["path"] = "$PROGRAMDIR$\\a.exe";

    SetupRun run = Run(ListText(list, "silent"));
    ASSERT_TRUE(ParseSetupList(run));
    EXPECT_EQ(run.strMode, "silent");
    EXPECT_EQ(Names(run.vecAll), (std::vector<std::string> {"First", "Service", "Larkspur", "Extra"}));
    EXPECT_TRUE(run.vecSelected.empty());

    const _SetupList& larkspur = *run.vecAll[2];
    EXPECT_TRUE(larkspur.bSelected);
    EXPECT_FALSE(larkspur.bNoShortCut);
    EXPECT_EQ(larkspur.nOrder, 2);
    EXPECT_EQ(larkspur.strId, "id_Larkspur");
    EXPECT_EQ(larkspur.strVersion, "1.0.0.17");
    EXPECT_EQ(larkspur.strMutex, "mutex_Larkspur");
    ASSERT_EQ(larkspur.vecActions.size(), 2u);
    EXPECT_EQ((*larkspur.vecActions[0])["action"].asString(), "mkdir");
    EXPECT_EQ((*larkspur.vecActions[1])["action"].asString(), "copyfile");
    ASSERT_EQ(larkspur.vecRunList.size(), 1u);
    EXPECT_EQ((*larkspur.vecRunList[0])["path"].asString(), "$PROGRAMDIR$\\a.exe");
    EXPECT_TRUE(run.vecAll[0]->vecActions.empty());
}

TEST_F(SetupListTest, EmptyOrMissingInstallDirGetsTheProgramFilesCompanyFolder)
{
    // The 32-bit view's Program Files folder, as the process environment names it.
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH), 0u);
    ASSERT_EQ(DefaultFolder(), Utf8(std::wstring(programFiles) + L"\\Orbisoft"));

    Json::Value list(Json::arrayValue);
    list.append(Component("NoKey", 1));
    list.append(Component("Empty", 2))["installDir"] = "";
    list.append(Component("Given", 3))["installDir"] = "E:\\Own\\Orbisoft";
    SetupRun run = Run(ListText(list));
    ASSERT_TRUE(ParseSetupList(run));
    EXPECT_EQ(run.strMode, "");
    EXPECT_EQ(run.vecAll[0]->strInstallDir, DefaultFolder());
    EXPECT_EQ(run.vecAll[1]->strInstallDir, DefaultFolder());
    EXPECT_EQ(run.vecAll[2]->strInstallDir, "E:\\Own\\Orbisoft");
}

TEST_F(SetupListTest, DirSwitchAppliesToTheApplicationOnlyWhenItPassesTheCheck)
{
    ScratchFolder scratch;
    Json::Value list(Json::arrayValue);
    list.append(Component("Service", 1))["installDir"] = "C:\\ServiceHome";
    list.append(Component("Larkspur", 2))["installDir"] = "C:\\ListHome";

    CInstallEngine::m_wstrInstallDir = scratch / L"Apps\\Orbisoft";
    SetupRun run = Run(ListText(list));
    ASSERT_TRUE(ParseSetupList(run));
    EXPECT_EQ(run.vecAll[0]->strInstallDir, "C:\\ServiceHome");
    EXPECT_EQ(run.vecAll[1]->strInstallDir, Utf8(scratch / L"Apps\\Orbisoft"));
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"Apps\\Orbisoft").c_str()));

    // A folder that fails the check leaves the list's folder in place.
    CInstallEngine::m_wstrInstallDir = L"Apps\\Orbisoft";
    ASSERT_TRUE(ParseSetupList(run));
    EXPECT_EQ(run.vecAll[1]->strInstallDir, "C:\\ListHome");
    EXPECT_EQ(CInstallEngine::m_wstrInstallDir, L"Apps\\Orbisoft");
}

TEST_F(SetupListTest, TextThatIsNotAListFailsAndKeepsTheRecords)
{
    Json::Value list(Json::arrayValue);
    list.append(Component("Larkspur", 1));
    SetupRun run = Run(ListText(list));
    ASSERT_TRUE(ParseSetupList(run));
    for (const char* bad : {"", "not json", "{\"installs\": [", "[1, 2]", "17"}) {
        run.strSetupList = bad;
        EXPECT_FALSE(ParseSetupList(run)) << bad;
        EXPECT_FALSE(ParseUninstallList(run)) << bad;
        EXPECT_EQ(run.vecAll.size(), 1u) << bad;
    }
    // Comments are accepted, and an object without "installs" is an empty list.
    run.strSetupList = "// shipped list\n{\"mode\": \"srf_silent\"}";
    EXPECT_TRUE(ParseSetupList(run));
    EXPECT_TRUE(run.vecAll.empty());
    EXPECT_EQ(run.strMode, "srf_silent");
}

TEST_F(SetupListTest, FieldsOfTheWrongTypeReadAsMissing)
{
    const char* text = R"({
        "mode": 5,
        "installs": [
            7,
            "Service",
            {"id": 1, "name": ["x"], "order": "3", "version": 1.5, "regkey": {}, "mutex": true,
             "installDir": 12, "actions": {"action": "mkdir"}, "runlist": 3},
            {"name": "Larkspur", "order": 2.0, "actions": [5, {"action": "mkdir"}, null]}
        ]})";
    for (bool uninstall : {false, true}) {
        SetupRun run = Run(text);
        ASSERT_TRUE(uninstall ? ParseUninstallList(run) : ParseSetupList(run));
        EXPECT_EQ(run.strMode, "");
        ASSERT_EQ(run.vecAll.size(), 2u);
        const _SetupList& odd = *run.vecAll[0];
        EXPECT_EQ(odd.strId, "");
        EXPECT_EQ(odd.strName, "");
        EXPECT_EQ(odd.nOrder, 0);
        EXPECT_EQ(odd.strVersion, "");
        EXPECT_EQ(odd.strRegKey, "");
        EXPECT_EQ(odd.strMutex, "");
        EXPECT_FALSE(odd.strInstallDir.empty());
        EXPECT_TRUE(odd.vecActions.empty());
        EXPECT_TRUE(odd.vecRunList.empty());
        // Actions are copied whatever they hold; the executor rejects the odd ones.
        const _SetupList& app = *run.vecAll[1];
        EXPECT_EQ(app.nOrder, 2);
        ASSERT_EQ(app.vecActions.size(), 3u);
        EXPECT_TRUE(app.vecActions[0]->isInt());
        EXPECT_TRUE(app.vecActions[2]->isNull());
    }
}

TEST_F(SetupListTest, InstalledServiceIsSelectedOnlyForALowerOrMalformedVersion)
{
    ScratchFolder scratch;
    FileSystem::WriteStringToFile(scratch / L"svc.exe", "x");
    struct Case {
        const wchar_t* recorded;
        bool selected;
    } cases[] = {{L"1.0.0.17", false}, {L"1.0.0.9", true},  {L"1.0.0", true},
                 {L"1.0.0.18", false}, {L"1.0.1.0", false}, {L"0.9.9.99", true}};
    for (const Case& c : cases) {
        TestMachineKey key;
        ASSERT_TRUE(key.SetString(L"AppInstallPath", scratch / L"svc.exe"));
        ASSERT_TRUE(key.SetString(L"Version", c.recorded));
        ASSERT_TRUE(key.SetString(L"InstallDir", L"C:\\Recorded\\Orbisoft"));
        Json::Value list(Json::arrayValue);
        list.append(Component("Service", 1, key.PathUtf8()));
        SetupRun run = Run(ListText(list));
        ASSERT_TRUE(ParseSetupList(run));
        ASSERT_TRUE(ReadInstalledState(run));
        EXPECT_EQ(run.vecAll[0]->bSelected, c.selected) << c.recorded;
        EXPECT_EQ(run.vecSelected.size(), c.selected ? 1u : 0u) << c.recorded;
        EXPECT_EQ(run.vecAll[0]->strInstallDir, "C:\\Recorded\\Orbisoft");
        EXPECT_EQ(run.pInstallParam->strServiceDir, "C:\\Recorded\\Orbisoft");
        EXPECT_FALSE(CInstallEngine::m_bSkipSelect) << "the service's folder does not skip the question";
    }
}

TEST_F(SetupListTest, InstalledApplicationReusesItsFolderAndSkipsTheQuestion)
{
    ScratchFolder scratch;
    FileSystem::WriteStringToFile(scratch / L"app.exe", "x");
    TestMachineKey key;
    ASSERT_TRUE(key.SetString(L"AppInstallPath", scratch / L"app.exe"));
    ASSERT_TRUE(key.SetString(L"InstallDir", L"D:\\Old\\Orbisoft"));
    ASSERT_TRUE(key.SetString(L"bNoShortCut", L"1"));
    ASSERT_TRUE(key.SetString(L"Version", L"0.0.0.1"));

    Json::Value list(Json::arrayValue);
    list.append(Component("Larkspur", 2, key.PathUtf8()));
    list.append(Component("Fresh", 3, "SOFTWARE\\LarkspurTest\\NoSuchKey"));
    SetupRun run = Run(ListText(list));
    ASSERT_TRUE(ParseSetupList(run));
    ASSERT_TRUE(ReadInstalledState(run));
    const _SetupList& app = *run.vecAll[0];
    EXPECT_TRUE(app.bSelected) << "only the service is deselected by version";
    EXPECT_EQ(app.strInstallDir, "D:\\Old\\Orbisoft");
    EXPECT_TRUE(app.bNoShortCut);
    EXPECT_TRUE(CInstallEngine::m_bSkipSelect);
    EXPECT_EQ(Names(run.vecSelected), (std::vector<std::string> {"Larkspur", "Fresh"}));
    // The last non-service component's folder is the one proposed.
    EXPECT_EQ(run.pInstallParam->strInstallPath, DefaultFolder());
}

TEST_F(SetupListTest, ApplicationWhoseRecordedPathIsGoneCountsAsNotInstalled)
{
    ScratchFolder scratch;
    TestMachineKey key;
    ASSERT_TRUE(key.SetString(L"AppInstallPath", scratch / L"deleted.exe"));
    ASSERT_TRUE(key.SetString(L"InstallDir", L"D:\\Old\\Orbisoft"));
    ASSERT_TRUE(key.SetString(L"bNoShortCut", L"1"));
    Json::Value list(Json::arrayValue);
    list.append(Component("Larkspur", 2, key.PathUtf8()))["installDir"] = "C:\\FromList";
    SetupRun run = Run(ListText(list));
    ASSERT_TRUE(ParseSetupList(run));
    ASSERT_TRUE(ReadInstalledState(run));
    EXPECT_EQ(run.vecAll[0]->strInstallDir, "C:\\FromList");
    EXPECT_FALSE(run.vecAll[0]->bNoShortCut);
    EXPECT_FALSE(CInstallEngine::m_bSkipSelect);
    EXPECT_EQ(run.pInstallParam->strInstallPath, "C:\\FromList");
}

TEST_F(SetupListTest, RegistryValuesThatCannotBeReadLeaveFieldsUnchanged)
{
    ScratchFolder scratch;
    TestMachineKey key;
    ASSERT_TRUE(key.SetString(L"AppInstallPath", scratch.Path()));  // an existing folder counts too
    ASSERT_TRUE(key.SetDword(L"InstallDir", 5));
    ASSERT_TRUE(key.SetDword(L"Version", 1));
    ASSERT_TRUE(key.SetString(L"bNoShortCut", L"true"));
    Json::Value list(Json::arrayValue);
    list.append(Component("Service", 1, key.PathUtf8()))["installDir"] = "C:\\Svc";
    SetupRun run = Run(ListText(list));
    ASSERT_TRUE(ParseSetupList(run));
    ASSERT_TRUE(ReadInstalledState(run));
    EXPECT_TRUE(run.vecAll[0]->bSelected);
    EXPECT_EQ(run.vecAll[0]->strInstallDir, "C:\\Svc");
    EXPECT_FALSE(run.vecAll[0]->bNoShortCut);
}

TEST(CompareVersionTest, NumericFourPartComparison)
{
    EXPECT_EQ(CompareVersion("1.0.0.9", "1.0.0.17"), -1);
    EXPECT_EQ(CompareVersion("1.0.0.17", "1.0.0.9"), 1);
    EXPECT_EQ(CompareVersion("1.0.0.17", "1.0.0.17"), 0);
    EXPECT_EQ(CompareVersion("2.0.0.0", "1.9.9.9"), 1);
    EXPECT_EQ(CompareVersion("1.0.0", "1.0.0.17"), -1);
    EXPECT_EQ(CompareVersion("1.0.0", "1.0.0"), -1);
    EXPECT_EQ(CompareVersion("1.0.0.17", "1.0.0"), 1);
    EXPECT_EQ(CompareVersion("1.0.0.1.", "1.0.0.1"), 0) << "nothing follows a final dot";
    EXPECT_EQ(CompareVersion("1.0.0.1.2", "1.0.0.1"), -1);
    EXPECT_EQ(CompareVersion("", ""), -1);
    EXPECT_EQ(CompareVersion("1..0.1", "1.0.0.1"), 0) << "an empty piece reads as 0";
    EXPECT_EQ(CompareVersion("1.0.0.3b", "1.0.0.3"), 0) << "only leading digits count";
    EXPECT_EQ(CompareVersion("1.0.0.x", "1.0.0.1"), -1);
}

TEST_F(SetupListTest, UninstallListTakesFoldersFromTheRegistryOrFallsBack)
{
    TestMachineKey appKey;
    ASSERT_TRUE(appKey.SetString(L"InstallDir", L"D:\\Recorded\\Orbisoft"));
    Json::Value list(Json::arrayValue);
    Json::Value& app = list.append(Component("Larkspur", 2, appKey.PathUtf8()));
    app["installDir"] = "C:\\Ignored";
    app["runlist"].append(Json::Value(Json::objectValue));
    app["actions"].append(Json::Value(Json::objectValue))["action"] = "delfile";
    list.append(Component("Service", 1, "SOFTWARE\\LarkspurTest\\NoSuchKey"));
    list.append(Component("Other", 3, "SOFTWARE\\LarkspurTest\\NoSuchKey"));

    SetupRun run = Run(ListText(list, "silent"));
    ASSERT_TRUE(ParseUninstallList(run));
    EXPECT_EQ(run.strMode, "") << "the uninstall list's mode is not read";
    ASSERT_EQ(Names(run.vecAll), (std::vector<std::string> {"Service", "Larkspur", "Other"}));
    EXPECT_EQ(run.vecAll[0]->strInstallDir, DefaultFolder());
    EXPECT_EQ(run.vecAll[1]->strInstallDir, "D:\\Recorded\\Orbisoft");
    EXPECT_EQ(run.vecAll[1]->vecActions.size(), 1u);
    EXPECT_TRUE(run.vecAll[1]->vecRunList.empty());

    // Without a recorded folder: the parent of the engine's own folder.
    std::wstring parent = ParentFolderOf(TestExeDirectory());
    while (!parent.empty() && parent.back() == L'\\')
        parent.pop_back();
    EXPECT_EQ(run.vecAll[2]->strInstallDir, Utf8(parent));
    EXPECT_NE(parent.back(), L'\\');
}

TEST_F(SetupListTest, UninstallSelectionKeepsTheNamedComponentAndTheService)
{
    Json::Value list(Json::arrayValue);
    list.append(Component("Service", 1));
    list.append(Component("Larkspur", 2));
    list.append(Component("Other", 3));
    list.append(Component("larkspur", 4));
    struct Case {
        const wchar_t* type;
        std::vector<std::string> kept;
    } cases[] = {{L"", {"Service", "Larkspur", "Other", "larkspur"}},
                 {L"All", {"Service", "Larkspur", "Other", "larkspur"}},
                 {L"Larkspur", {"Service", "Larkspur"}},
                 {L"all", {"Service"}},
                 {L"Nothing", {"Service"}}};
    for (const Case& c : cases) {
        CInstallEngine::m_wstrUnloadType = c.type;
        SetupRun run = Run(ListText(list));
        ASSERT_TRUE(ParseUninstallList(run));
        EXPECT_EQ(Names(run.vecAll), c.kept) << NarrowAscii(c.type);
    }
}
