// The uninstall steps: which components take part, the questionnaire, the
// framework texts and the folder remover's inputs; and the channel record
// written after an install.
#include <gtest/gtest.h>

#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/InstallEngine.h"
#include "engine/QuitRequest.h"
#include "engine/Questionnaire.h"
#include "engine/SetupManager.h"
#include "engine/SetupRun.h"
#include "engine/UninstallCleanUp.h"
#include "tests/support/ScopedRegistryKey.h"
#include "tests/support/TestSupport.h"

namespace {

// A service key of its own under HKLM, removed at the end.
class ServiceKey {
public:
    std::wstring Path() const { return m_root.Path() + L"\\Service"; }
    void Register(const std::wstring& product, const std::wstring& appInstallPath) const
    {
        ASSERT_TRUE(m_root.SetString(L"AppInstallPath", appInstallPath, L"Service\\" + product));
    }

private:
    ScopedRegistryKey m_root;
};

SetupListPtr Component(const std::string& name, const std::wstring& regKey, const std::string& dir)
{
    auto record = std::make_shared<_SetupList>();
    record->strName = name;
    record->strRegKey = CCodeChange::StringUTF16toUTF8(regKey);
    record->strInstallDir = dir;
    record->strVersion = "1.0.0.17";
    return record;
}

struct UninstallRun {
    SetupRun run;
    UninstallRun(const ServiceKey& service)
    {
        g_bRemoveServiceDir = false;
        g_wstrServiceDir.clear();
        run.vecAll.push_back(Component("Larkspur",
                                       service.Path().substr(0, service.Path().rfind(L'\\')) + L"\\Larkspur",
                                       "C:\\Orbisoft\\Larkspur"));
        run.vecAll.push_back(Component("Service", service.Path(), "C:\\Orbisoft"));
    }
    std::vector<std::string> Selected() const
    {
        std::vector<std::string> names;
        for (const auto& record : run.vecSelected)
            names.push_back(record->strName);
        return names;
    }
};

}  // namespace

TEST(UninstallCheck, TheServiceGoesWhenNoOtherRegisteredProductIsInstalled)
{
    ScratchFolder scratch;
    ServiceKey service;
    // The product's own entry never keeps the service, nor another one whose program is gone.
    service.Register(L"Larkspur", scratch.Path());
    service.Register(L"Other", scratch / L"gone\\Other.exe");
    UninstallRun run(service);
    EXPECT_TRUE(CheckUninstallComponents(run.run));
    EXPECT_EQ(run.Selected(), (std::vector<std::string> {"Larkspur", "Service"}));
    EXPECT_TRUE(g_bRemoveServiceDir);
    EXPECT_EQ(g_wstrServiceDir, L"C:\\Orbisoft");
    EXPECT_EQ(run.run.pUninstallParam->strInstallPath, "C:\\Orbisoft\\Larkspur");
    EXPECT_EQ(run.run.pUninstallParam->strServiceDir, "C:\\Orbisoft");
}

TEST(UninstallCheck, AnotherInstalledProductKeepsTheService)
{
    ScratchFolder scratch;
    ServiceKey service;
    service.Register(L"Other", scratch.Path());
    UninstallRun run(service);
    EXPECT_TRUE(CheckUninstallComponents(run.run));
    EXPECT_EQ(run.Selected(), (std::vector<std::string> {"Larkspur"}));
    EXPECT_FALSE(g_bRemoveServiceDir);
    // The service folder is still known to the steps that follow.
    EXPECT_EQ(run.run.pUninstallParam->strServiceDir, "C:\\Orbisoft");
}

TEST(UninstallCheck, AComponentNotSelectedStaysOut)
{
    ServiceKey service;
    UninstallRun run(service);
    run.run.vecAll[1]->bSelected = false;
    CheckUninstallComponents(run.run);
    EXPECT_EQ(run.Selected(), (std::vector<std::string> {"Larkspur"}));
    EXPECT_FALSE(g_bRemoveServiceDir);
}

TEST(Questionnaire, SilentReasonPostsNullNumbersAndEmptyLists)
{
    Json::Value silent(Json::arrayValue);
    silent.append(" ");
    EXPECT_EQ(
        BuildQuestionnaireBody(silent, "00-11-22-33-44-55", "1.0.0.17"),
        "paperID=null\n&usedTime=null\n&questionIDList=&hQuestionItemIDList=&selectedQuestionItemIDList="
        "&selectedQuestionItemValueList=&imei=00-11-22-33-44-55&clientVersion=1.0.0.17&model=&answerContentList=");
}

TEST(Questionnaire, PageAnswerKeepsItsMembersInTheFixedOrderWhileTheUrlKeepsItsPaper)
{
    Json::Value reason;
    reason["answerContentList"] = "%A4%A4%A4x%A4";
    reason["usedTime"] = 12;
    reason["paperID"] = 1846;
    reason["questionIDList"] = "43930%A443931";
    reason["hQuestionItemIDList"] = "h";
    reason["selectedQuestionItemIDList"] = "s";
    reason["selectedQuestionItemValueList"] = true;
    EXPECT_EQ(BuildQuestionnaireBody(reason, "", "2.0.0.1"),
              "paperID=1846\n&usedTime=12\n&questionIDList=43930%A443931&hQuestionItemIDList=h"
              "&selectedQuestionItemIDList=s&selectedQuestionItemValueList=true&imei=&clientVersion=2.0.0.1"
              "&model=&answerContentList=%A4%A4%A4x%A4");
    const std::string url = SurveyUrl();
    EXPECT_EQ(url.rfind("http://", 0), 0u);
    const std::string query = "/YB/Paper/Answer.aspx?paperid=1829";
    ASSERT_GT(url.size(), query.size());
    EXPECT_EQ(url.substr(url.size() - query.size()), query);
}

TEST(Questionnaire, RawAmpersandsAndEqualsCannotAddOrRewriteFields)
{
    Json::Value reason;
    reason["paperID"] = "1&imei=x";
    reason["answerContentList"] = "fine%A4&imei=evil&model=m";
    std::string body = BuildQuestionnaireBody(reason, "00-11", "1.0");
    size_t first = body.find("&imei=");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(body.find("&imei=", first + 1), std::string::npos) << body;
    EXPECT_NE(body.find("&answerContentList=fine%A4%26imei%3Devil%26model%3Dm"), std::string::npos) << body;
    EXPECT_EQ(body.rfind("paperID=\"1%26imei%3Dx\"\n&", 0), 0u) << body;
}

TEST(QuitRequest, ProductIdAndClassNameForms)
{
    EXPECT_EQ(QuitRequest("Larkspur_MainWindow_Class"),
              "{\"protocol_type\":\"framework\",\"pass_message\":true,\"target_class_name\":"
              "\"Larkspur_MainWindow_Class\",\"protocol_content\":{\"op_type\":\"quit\"}}");
    EXPECT_EQ(QuitRequest("116442"),
              "{\"protocol_type\":\"framework\",\"pass_message\":true,\"target_product_id\":\"116442\","
              "\"protocol_content\":{\"op_type\":\"exit\"}}");
    EXPECT_EQ(ServiceQuitRequest(), "{\"protocol_type\":\"framework\",\"protocol_content\":{\"op_type\":\"quit\"}}");
}

TEST(FolderRemover, ParametersQuoteTheFolderWithAnExtraBackslash)
{
    EXPECT_EQ(RemoverParameters(L"C:\\Program Files\\Orbisoft\\service\\"),
              L"\"C:\\Program Files\\Orbisoft\\service\\\\\"");
}

TEST(FolderRemover, OnlyAFolderDirectlyInTheCompanyFolderIsRemovable)
{
    EXPECT_TRUE(IsRemovableProductFolder(L"C:\\Program Files\\Orbisoft\\Larkspur"));
    EXPECT_TRUE(IsRemovableProductFolder(L"D:\\Apps\\orbisoft\\Larkspur\\"));
    EXPECT_FALSE(IsRemovableProductFolder(L"C:\\Program Files\\Orbisoft"));
    EXPECT_FALSE(IsRemovableProductFolder(L"C:\\Orbisoft"));
    EXPECT_FALSE(IsRemovableProductFolder(L"C:\\Users\\me\\Documents"));
    EXPECT_FALSE(IsRemovableProductFolder(L"C:\\Program Files\\Orbisoft\\Larkspur\\bin"));
    EXPECT_FALSE(IsRemovableProductFolder(L"C:\\"));
    EXPECT_FALSE(IsRemovableProductFolder(L""));
}

namespace {

// The engine program as a data module: the remover resource comes from it.
struct EngineResources {
    UniqueModule module {::LoadLibraryExW((TestExeDirectory() + L"..\\..\\engine\\stagehand.exe").c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE)};
};

}  // namespace

TEST(FolderRemover, CleanUpRemovesTheServiceFolderAndRefusesAProductFolderOutsideTheCompany)
{
    EngineResources engine;
    ASSERT_TRUE(engine.module);
    ScratchFolder scratch;
    const std::wstring company = scratch / L"Orbisoft";
    ::CreateDirectoryW(company.c_str(), nullptr);
    ::CreateDirectoryW((company + L"\\service").c_str(), nullptr);
    FileSystem::WriteStringToFile(company + L"\\service\\LarkspurService.exe", "x");
    g_bRemoveServiceDir = true;
    g_wstrServiceDir = company;
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    DebugCapture capture;
    CleanUpAfterUninstall(scratch / L"Documents\\", engine.module.get());
    // The remover copy lives in a private folder with a random name of 32 hex digits.
    const std::vector<std::wstring> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    const std::wstring head = L"stagehand.exe=>Delete the Service path:" + std::wstring(temp);
    const std::wstring tail = L"\\LarkspurUninst.exe \"" + company + L"\\service\\\\\"";
    ASSERT_EQ(lines[0].size(), head.size() + 32 + tail.size()) << lines[0];
    EXPECT_EQ(lines[0].substr(0, head.size()), head);
    EXPECT_EQ(lines[0].substr(head.size() + 32), tail);
    EXPECT_EQ(lines[0].substr(head.size(), 32).find_first_not_of(L"0123456789abcdef"), std::wstring::npos) << lines[0];
    EXPECT_EQ(lines[1], L"stagehand.exe=>The product path is not inside the company folder, left in place:" +
                            (scratch / L"Documents\\"));
    EXPECT_TRUE(
        WaitUntil([&] { return !FileSystem::PathExists((company + L"\\service").c_str()); }, std::chrono::seconds(10)));
    EXPECT_TRUE(FileSystem::PathExists(company.c_str()));
    g_bRemoveServiceDir = false;
    g_wstrServiceDir.clear();
}

namespace {

// The product's own keys, which the channel step names itself: they exist
// only while the test runs, in a prefix without the product.
class ChannelKeys : public ::testing::Test {
protected:
    static constexpr wchar_t kCompany[] = L"SOFTWARE\\Orbisoft";
    static constexpr wchar_t kService[] = L"SOFTWARE\\Orbisoft\\Service";
    static constexpr wchar_t kApp[] = L"SOFTWARE\\Orbisoft\\Larkspur";
    static constexpr wchar_t kServiceEntry[] = L"SOFTWARE\\Orbisoft\\Service\\Larkspur";
    static constexpr wchar_t kDefault[] = L"Qm9ndXNDaGFubmVsVmFsdWVGb3JTcGVjT25seTEyMzQ=";

    void SetUp() override
    {
        UniqueHKey existing;
        ASSERT_NE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCompany, 0, KEY_READ, existing.put()), ERROR_SUCCESS)
            << "the product is registered on this machine; these tests would change its records";
        m_owned = true;
    }
    void TearDown() override
    {
        if (m_owned)
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCompany);
        CInstallEngine::ResetSettings();
    }
    static void Create(const wchar_t* path, const wchar_t* channel = nullptr)
    {
        UniqueHKey key;
        ASSERT_EQ(
            ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
        if (channel) {
            ASSERT_EQ(::RegSetValueExW(key.get(), L"ChannelID", 0, REG_SZ, reinterpret_cast<const BYTE*>(channel),
                                       static_cast<DWORD>((wcslen(channel) + 1) * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        }
    }
    // The recorded channel, "<none>" without the value, "<no key>" without the key.
    static std::wstring Channel(const wchar_t* path)
    {
        UniqueHKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
            return L"<no key>";
        wchar_t buffer[128] = {};
        DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key.get(), L"ChannelID", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
            ERROR_SUCCESS)
            return L"<none>";
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        return buffer;
    }
    static void Check()
    {
        SetupManager manager;
        manager.CheckChannelID();
    }

private:
    bool m_owned = false;
};

}  // namespace

TEST_F(ChannelKeys, TheCommandLinesChannelIsRecordedForTheApplicationAndItsServiceEntry)
{
    Create(kApp);
    Create(kServiceEntry);
    CInstallEngine::m_wstrChannelId = L"Q2hhbm5lbEZyb21Db21tYW5k";
    Check();
    EXPECT_EQ(Channel(kApp), L"Q2hhbm5lbEZyb21Db21tYW5k");
    EXPECT_EQ(Channel(kServiceEntry), L"Q2hhbm5lbEZyb21Db21tYW5k");
    EXPECT_EQ(Channel(kService), L"<none>");
}

TEST_F(ChannelKeys, WithoutAChannelOfItsOwnTheRunTakesTheServicesChannel)
{
    for (const wchar_t* own : {L"", kDefault}) {
        Create(kApp);
        Create(kService, L"U2VydmljZUNoYW5uZWw=");
        CInstallEngine::m_wstrChannelId = own;
        Check();
        EXPECT_EQ(Channel(kApp), L"U2VydmljZUNoYW5uZWw=") << NarrowAscii(own);
        EXPECT_EQ(CInstallEngine::m_wstrChannelId, L"U2VydmljZUNoYW5uZWw=") << NarrowAscii(own);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCompany);
    }
}

TEST_F(ChannelKeys, ARecordedChannelOrNoChannelAnywhereChangesNothing)
{
    // A recorded channel is kept, and the service entry is then left alone.
    Create(kApp, L"a2VwdA==");
    Create(kServiceEntry);
    CInstallEngine::m_wstrChannelId = L"Q2hhbm5lbEZyb21Db21tYW5k";
    Check();
    EXPECT_EQ(Channel(kApp), L"a2VwdA==");
    EXPECT_EQ(Channel(kServiceEntry), L"<none>");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCompany);

    // The default channel and none under the service: nothing is written.
    Create(kApp);
    Create(kService);
    Create(kServiceEntry);
    CInstallEngine::m_wstrChannelId = kDefault;
    Check();
    EXPECT_EQ(Channel(kApp), L"<none>");
    EXPECT_EQ(Channel(kServiceEntry), L"<none>");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCompany);

    // Without the application's key the service entry is not written either.
    Create(kServiceEntry);
    CInstallEngine::m_wstrChannelId = L"Q2hhbm5lbEZyb21Db21tYW5k";
    Check();
    EXPECT_EQ(Channel(kApp), L"<no key>");
    EXPECT_EQ(Channel(kServiceEntry), L"<none>");
}
