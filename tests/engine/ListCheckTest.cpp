#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "actions/CreateInstaller.h"
#include "common/AesCipher.h"
#include "common/FileSystem.h"
#include "engine/SetupListFile.h"
#include "engine/listcheck/ListCheck.h"
#include "engine/listcheck/ListLoad.h"
#include "engine/listcheck/PlanHost.h"
#include "tests/support/TestSupport.h"

namespace {

// The shipped lists, copied next to the test at configure time.
Json::Value ShippedList(const wchar_t* name)
{
    std::string text;
    EXPECT_TRUE(ReadListFile(TestExeDirectory() + L"lists\\" + name, false, text)) << NarrowAscii(name);
    Json::Value root;
    ParseListText(text, root);
    return root;
}

ListFindings Check(const Json::Value& root, ExecutorKind kind)
{
    ListFindings findings;
    CheckList(root, kind, "list", findings);
    return findings;
}

std::string Describe(const ListFindings& findings)
{
    std::string text;
    for (const ListFinding& finding : findings)
        text += FormatFinding(finding) + "\n";
    return text.empty() ? "(no findings)" : text;
}

bool Has(const ListFindings& findings, FindingLevel level, const std::string& location, const std::string& part)
{
    for (const ListFinding& finding : findings) {
        if (finding.level == level && finding.location == location && finding.message.find(part) != std::string::npos)
            return true;
    }
    return false;
}

void WriteText(const std::wstring& path, const std::string& text)
{
    ASSERT_TRUE(SUCCEEDED(FileSystem::WriteBufferToFile(path.c_str(), text.data(), static_cast<DWORD>(text.size()))));
}

// Gives tests the executors' registered verbs.
template <typename Executor> class VerbsOf : public Executor {
public:
    VerbsOf() : Executor(std::make_shared<PlanHost>()) { }
    std::set<std::string> Verbs() const
    {
        std::set<std::string> verbs;
        for (const auto& entry : this->m_mapActions)
            verbs.insert(entry.first);
        return verbs;
    }
};

std::set<std::string> TableVerbs(ExecutorKind kind)
{
    std::set<std::string> verbs;
    for (const VerbEntry& verbEntry : VerbEntries(kind))
        verbs.insert(verbEntry.verb);
    return verbs;
}

}  // namespace

TEST(ListCheckTest, ShippedListsAreCleanAndTheUninstallListTakesAwayEverything)
{
    const Json::Value setup = ShippedList(L"setup.ini");
    const Json::Value uninst = ShippedList(L"uninst.ini");
    ListFindings findings = Check(setup, ExecutorKind::Install);
    EXPECT_EQ(CountErrors(findings), 0u) << Describe(findings);
    // The one known oddity: the association's extra argument is spelt
    // "strCommandArg", which the operation does not read.
    ASSERT_EQ(findings.size(), 1u) << Describe(findings);
    EXPECT_TRUE(Has(findings, FindingLevel::Warning, "installs[1].actions[34].strCommandArg", "is not read"));

    findings = Check(uninst, ExecutorKind::Uninstall);
    EXPECT_TRUE(findings.empty()) << Describe(findings);
    findings.clear();
    CheckUninstallCovers(setup, uninst, "uninst.ini", findings);
    EXPECT_TRUE(findings.empty()) << Describe(findings);
}

TEST(ListCheckTest, VerbTableNamesExactlyTheVerbsEachExecutorRegisters)
{
    EXPECT_EQ(VerbsOf<InstallerForXP>().Verbs(), TableVerbs(ExecutorKind::Install));
    EXPECT_EQ(VerbsOf<InstallerForWin7>().Verbs(), TableVerbs(ExecutorKind::Install));
    EXPECT_EQ(VerbsOf<UninstallerForXP>().Verbs(), TableVerbs(ExecutorKind::Uninstall));
    EXPECT_EQ(VerbsOf<UninstallerForWin7>().Verbs(), TableVerbs(ExecutorKind::Uninstall));
}

TEST(ListCheckTest, EncodedPlainAndDamagedFilesGetTheEngineVerdict)
{
    ScratchFolder scratch;
    std::string plain;
    ASSERT_TRUE(ReadListFile(TestExeDirectory() + L"lists\\uninst.ini", false, plain));
    WriteText(scratch / L"encoded.ini", AesEncodeText(plain));
    WriteText(scratch / L"plain.ini", plain);
    WriteText(scratch / L"damaged.ini", AesEncodeText(plain).substr(0, plain.size() / 2));

    ListFindings findings;
    LoadedList encoded = LoadListFile(scratch / L"encoded.ini", "encoded.ini", findings);
    EXPECT_TRUE(encoded.parsed);
    EXPECT_TRUE(encoded.encoded);
    LoadedList asPlain = LoadListFile(scratch / L"plain.ini", "plain.ini", findings);
    EXPECT_TRUE(asPlain.parsed);
    EXPECT_FALSE(asPlain.encoded);
    EXPECT_EQ(encoded.root, asPlain.root);
    EXPECT_TRUE(findings.empty()) << Describe(findings);
    EXPECT_TRUE(Check(encoded.root, ExecutorKind::Uninstall).empty());

    LoadedList damaged = LoadListFile(scratch / L"damaged.ini", "damaged.ini", findings);
    EXPECT_FALSE(damaged.parsed);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].level, FindingLevel::Error);
    EXPECT_NE(findings[0].message.find("does not parse"), std::string::npos);

    findings.clear();
    EXPECT_FALSE(LoadListFile(scratch / L"missing.ini", "missing.ini", findings).parsed);
    EXPECT_EQ(CountErrors(findings), 1u);
}

TEST(ListCheckTest, ByteOrderMarkCommentsAndTrailingCommasGetTheEngineVerdict)
{
    ScratchFolder scratch;
    const std::string component = R"({"id":"a","name":"A","order":1,"version":"1.0.0.1","regkey":"K","mutex":"M",)"
                                  R"("actions":[{"action":"mkdir","dirname":"$PROGRAMDIR$\\A"}]})";
    const std::vector<std::string> texts = {
        "\xEF\xBB\xBF{\"installs\":[" + component + "]}",
        "// a comment\n{\"installs\":[ /* inline */ " + component + "]}",
        "{\"installs\":[" + component + ",]}",
        "{\"installs\":[" + component + "],}",
        "{\"installs\":[" + component + "]",
        "",
        "\xEF\xBB\xBF",
        "[]",
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::wstring path = scratch / (L"list" + std::to_wstring(i) + L".ini");
        WriteText(path, texts[i]);
        std::string text;
        Json::Value root;
        const bool engineAccepts = ReadListFile(path, false, text) && ParseListText(text, root) && root.isObject();
        ListFindings findings;
        LoadedList loaded = LoadListFile(path, "list", findings);
        if (loaded.parsed)
            CheckList(loaded.root, ExecutorKind::Install, "list", findings);
        EXPECT_EQ(CountErrors(findings) == 0, engineAccepts) << "text " << i << ": " << Describe(findings);
    }
}

struct PlantedFault {
    const char* name;
    ExecutorKind kind;
    std::function<void(Json::Value&)> plant;
    FindingLevel level;
    const char* location;
    const char* message;
};

TEST(ListCheckTest, EachPlantedFaultIsReportedAtItsLocationAndNothingElseIsAnError)
{
    using K = ExecutorKind;
    using L = FindingLevel;
    const std::vector<PlantedFault> faults = {
        {"root is an array", K::Install, [](Json::Value& r) { r = Json::Value(Json::arrayValue); }, L::Error, "",
         "not an object"},
        {"installs is a text", K::Install, [](Json::Value& r) { r["installs"] = "x"; }, L::Error, "installs",
         "not an array"},
        {"installs missing", K::Install, [](Json::Value& r) { r.removeMember("installs"); }, L::Error, "installs",
         "missing"},
        {"component is a number", K::Install, [](Json::Value& r) { r["installs"][1] = 5; }, L::Error, "installs[1]",
         "not an object"},
        {"component without a name", K::Install, [](Json::Value& r) { r["installs"][0].removeMember("name"); },
         L::Error, "installs[0].name", "missing"},
        {"order as a text", K::Install, [](Json::Value& r) { r["installs"][1]["order"] = "2"; }, L::Error,
         "installs[1].order", "not a 32-bit integer"},
        {"regkey as a number", K::Uninstall, [](Json::Value& r) { r["installs"][1]["regkey"] = 7; }, L::Error,
         "installs[1].regkey", "not a string"},
        {"actions as an object", K::Install,
         [](Json::Value& r) { r["installs"][0]["actions"] = Json::Value(Json::objectValue); }, L::Error,
         "installs[0].actions", "not an array"},
        {"action is a text", K::Install, [](Json::Value& r) { r["installs"][0]["actions"][1] = "killprocess"; },
         L::Error, "installs[0].actions[1]", "not an object"},
        {"action without a verb", K::Install,
         [](Json::Value& r) { r["installs"][1]["actions"][2].removeMember("action"); }, L::Error,
         "installs[1].actions[2].action", "no \"action\""},
        {"uninstall verb in the install list", K::Install,
         [](Json::Value& r) { r["installs"][1]["actions"][4]["action"] = "deldir"; }, L::Error,
         "installs[1].actions[4]", "verb of the uninstall list"},
        {"install verb in the uninstall list", K::Uninstall,
         [](Json::Value& r) { r["installs"][0]["actions"][10]["action"] = "mkdir"; }, L::Error,
         "installs[0].actions[10]", "unknown to the uninstall executor"},
        {"misspelt verb", K::Install, [](Json::Value& r) { r["installs"][0]["actions"][2]["action"] = "mkdri"; },
         L::Error, "installs[0].actions[2]", "\"mkdri\" is unknown"},
        {"missing dirname", K::Install, [](Json::Value& r) { r["installs"][0]["actions"][2].removeMember("dirname"); },
         L::Error, "installs[0].actions[2]", "needs the key \"dirname\""},
        {"missing KEY of delregkeyex", K::Uninstall,
         [](Json::Value& r) { r["installs"][1]["actions"][5].removeMember("KEY"); }, L::Error, "installs[1].actions[5]",
         "needs the key \"KEY\""},
        {"dst as an array", K::Install,
         [](Json::Value& r) { r["installs"][0]["actions"][3]["dst"] = Json::Value(Json::arrayValue); }, L::Error,
         "installs[0].actions[3].dst", "fails the action"},
        {"bWait as a text", K::Install, [](Json::Value& r) { r["installs"][0]["actions"][0]["bWait"] = "yes"; },
         L::Error, "installs[0].actions[0].bWait", "fails the action"},
        {"unknown placeholder", K::Install,
         [](Json::Value& r) { r["installs"][0]["actions"][2]["dirname"] = "$PROGAMDIR$\\service"; }, L::Error,
         "installs[0].actions[2].dirname", "unknown placeholder $PROGAMDIR$"},
        {"unknown placeholder in a run-list path", K::Install,
         [](Json::Value& r) { r["installs"][1]["runlist"][0]["path"] = "$APPDIR$\\Larkspur.exe"; }, L::Error,
         "installs[1].runlist[0].path", "unknown placeholder $APPDIR$"},
        // Accepted by the engine, but probably not what was meant.
        {"number where a text is read", K::Install,
         [](Json::Value& r) { r["installs"][0]["actions"][2]["dirname"] = 5; }, L::Warning,
         "installs[0].actions[2].dirname", "read as its text"},
        {"placeholder the key does not expand", K::Install,
         [](Json::Value& r) { r["installs"][1]["actions"][7]["SUBKEY"] = "$VERSIONCODE$"; }, L::Warning,
         "installs[1].actions[7].SUBKEY", "not expanded in this key"},
        {"disable_mode in an uninstall list", K::Uninstall,
         [](Json::Value& r) { r["installs"][0]["actions"][0]["disable_mode"][0] = "silent"; }, L::Warning,
         "installs[0].actions[0].disable_mode", "never skips"},
        {"three-part version", K::Install, [](Json::Value& r) { r["installs"][0]["version"] = "1.0.17"; }, L::Warning,
         "installs[0].version", "four dot-separated"},
    };
    for (const PlantedFault& fault : faults) {
        Json::Value root = ShippedList(fault.kind == ExecutorKind::Install ? L"setup.ini" : L"uninst.ini");
        fault.plant(root);
        const ListFindings findings = Check(root, fault.kind);
        EXPECT_TRUE(Has(findings, fault.level, fault.location, fault.message)) << fault.name << ":\n"
                                                                               << Describe(findings);
        EXPECT_EQ(CountErrors(findings), fault.level == FindingLevel::Error ? 1u : 0u) << fault.name << ":\n"
                                                                                       << Describe(findings);
    }
}

TEST(ListCheckTest, CopySourcesMustBeInTheProductFolderExceptTheEnginesOwnFiles)
{
    ScratchFolder product;
    ASSERT_TRUE(::CreateDirectoryW((product / L"Assembly").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((product / L"Assembly\\service").c_str(), nullptr));
    Json::Value setup = ShippedList(L"setup.ini");

    ListFindings findings;
    CheckCopySources(setup, product.Path(), "setup.ini", findings);
    ASSERT_EQ(findings.size(), 1u) << Describe(findings);
    EXPECT_TRUE(Has(findings, FindingLevel::Error, "installs[1].actions[3].src", "no folder \"Assembly\\Larkspur\\\""));

    ASSERT_TRUE(::CreateDirectoryW((product / L"Assembly\\Larkspur").c_str(), nullptr));
    setup["installs"][1]["actions"][5]["src"] = "$CURRENTPATH$extra\\helper.dll";
    findings.clear();
    CheckCopySources(setup, product.Path(), "setup.ini", findings);
    ASSERT_EQ(findings.size(), 1u) << Describe(findings);
    EXPECT_TRUE(Has(findings, FindingLevel::Error, "installs[1].actions[5].src", "no file \"extra\\helper.dll\""));

    ASSERT_TRUE(::CreateDirectoryW((product / L"extra").c_str(), nullptr));
    WriteText(product / L"extra\\helper.dll", "x");
    findings.clear();
    CheckCopySources(setup, product.Path(), "setup.ini", findings);
    EXPECT_TRUE(findings.empty()) << Describe(findings);
}

TEST(ListCheckTest, UninstallListThatLeavesSomethingBehindIsWarnedAbout)
{
    struct Gap {
        int component;
        int action;
        const char* expected;
    };
    // Indexes into the shipped uninstall list; each removal leaves one thing.
    const std::vector<Gap> gaps = {
        {0, 10, "folder \"<Larkspur folder>\\Larkspur\""},
        {0, 11, "registry key \"SOFTWARE\\Orbisoft\\Larkspur\""},
        {0, 2, "desktop link \"Larkspur\""},
        {0, 3, "quick-launch link \"Larkspur\""},
        {0, 7, "firewall exception \"<Larkspur folder>\\Larkspur\\Larkspur.exe\""},
        {0, 8, "file association \".ipa\""},
        {1, 0, "service \"<Service folder>\\service\\LarkspurService.exe\""},
        {1, 1, "firewall exception \"<Service folder>\\service\\LarkspurService.exe\""},
        // "deldir" removes only an empty folder.
        {0, 9,
         "does not delete the files that the install list copies into \"<Larkspur folder>\\Larkspur\" at "
         "installs[1].actions[3]"},
        {1, 3, "copies into \"<Service folder>\\service\""},
    };
    const Json::Value setup = ShippedList(L"setup.ini");
    for (const Gap& gap : gaps) {
        Json::Value uninst = ShippedList(L"uninst.ini");
        Json::Value removed;
        uninst["installs"][gap.component]["actions"].removeIndex(gap.action, &removed);
        ListFindings findings;
        CheckUninstallCovers(setup, uninst, "uninst.ini", findings);
        ASSERT_EQ(findings.size(), 1u) << gap.expected << "\n" << Describe(findings);
        EXPECT_EQ(findings[0].level, FindingLevel::Warning);
        EXPECT_NE(findings[0].message.find(gap.expected), std::string::npos) << Describe(findings);
    }
    // The start-menu folder entry takes away every link below it; without it
    // (and the two links) both links stay.
    Json::Value uninst = ShippedList(L"uninst.ini");
    Json::Value removed;
    for (int i = 0; i < 3; ++i)
        uninst["installs"][0]["actions"].removeIndex(4, &removed);
    ListFindings findings;
    CheckUninstallCovers(setup, uninst, "uninst.ini", findings);
    EXPECT_EQ(findings.size(), 2u) << Describe(findings);
    EXPECT_TRUE(Has(findings, FindingLevel::Warning, "", "start-menu link \"<start menu>\\Larkspur\\Larkspur.lnk\""));
}

TEST(ListCheckTest, FolderRemovedBeforeItsFilesOrSubfoldersIsWarnedAbout)
{
    const Json::Value setup = ShippedList(L"setup.ini");
    Json::Value uninst = ShippedList(L"uninst.ini");
    Json::Value& actions = uninst["installs"][0]["actions"];
    std::swap(actions[9], actions[10]);  // "deldir" before "delfile"
    ListFindings findings;
    CheckUninstallCovers(setup, uninst, "uninst.ini", findings);
    ASSERT_EQ(findings.size(), 1u) << Describe(findings);
    EXPECT_TRUE(Has(findings, FindingLevel::Warning, "installs[0].actions[9]",
                    "runs before the \"delfile\" at installs[0].actions[10]"));

    // The company folder removed last, after its application subfolder: fine.
    uninst = ShippedList(L"uninst.ini");
    Json::Value parent;
    parent["action"] = "deldir";
    parent["path"] = "$PROGRAMDIR$";
    uninst["installs"][0]["actions"].append(parent);
    findings.clear();
    CheckUninstallCovers(setup, uninst, "uninst.ini", findings);
    EXPECT_TRUE(findings.empty()) << Describe(findings);
    // A subfolder removed after both its parents: both stay.
    Json::Value child;
    child["action"] = "deldir";
    child["path"] = "$PROGRAMDIR$\\Larkspur\\plugins";
    uninst["installs"][0]["actions"].append(child);
    findings.clear();
    CheckUninstallCovers(setup, uninst, "uninst.ini", findings);
    ASSERT_EQ(findings.size(), 2u) << Describe(findings);
    EXPECT_TRUE(Has(findings, FindingLevel::Warning, "installs[0].actions[10]",
                    "runs before the \"deldir\" of a subfolder at installs[0].actions[17]"));
    EXPECT_TRUE(Has(findings, FindingLevel::Warning, "installs[0].actions[16]",
                    "runs before the \"deldir\" of a subfolder at installs[0].actions[17]"));
}
