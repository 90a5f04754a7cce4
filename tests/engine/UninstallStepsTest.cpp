// The uninstall steps: which components take part, the questionnaire, the
// framework texts and the folder remover's inputs.
#include <gtest/gtest.h>

#include "common/CodeChange.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "engine/QuitRequest.h"
#include "engine/Questionnaire.h"
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
