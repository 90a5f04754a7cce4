// The native functions that page scripts call through view.invoke.
#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "engine/model/EngineSettings.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SciterView.h"

namespace {

class NativeFunctions : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadFakeLog();
        TakeLogRecords();
    }
    void TearDown() override { g_engineSettings = EngineSettings {}; }
    RecordingUi ui;
    SciterView view {::GetModuleHandleW(nullptr), &ui};
};

Json::Value ParseResult(const std::string& text)
{
    Json::Value v;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    reader->parse(text.data(), text.data() + text.size(), &v, &errors);
    return v;
}

}  // namespace

TEST_F(NativeFunctions, TheTableHoldsTheFifteenFunctionsAndUnknownNamesSayError)
{
    // The specified fourteen and "PageReady".
    EXPECT_EQ(view.m_functions.size(), 15u);
    EXPECT_EQ(view.m_functions.count("PageReady"), 1u);
    EXPECT_EQ(view.invoke("NoSuchFunction", "[]"), "error");
    EXPECT_EQ(view.invoke("sendsignal", "{}"), "error");  // names are case-sensitive
}

TEST_F(NativeFunctions, UnparsableArgumentsReportTheirLineAndReturnNothing)
{
    const char* bad = "[\"unterminated";
    const std::pair<const char*, int> rows[] = {{"showwin", 158},         {"GetSystemPath", 210}, {"DecisionPath", 247},
                                                {"PostSetupLog", 280},    {"ShellExecute", 292},  {"OnDetail", 310},
                                                {"OnInstallFinish", 325}, {"SetLanguage", 341}};
    for (const auto& row : rows) {
        EXPECT_EQ(view.invoke(row.first, bad), "") << row.first;
        EXPECT_EQ(TakeAssertions(), std::vector<std::wstring> {L"Json::Reader().parse(args,jv,false) @ SciterView(" +
                                                               std::to_wstring(row.second) + L")"})
            << row.first;
    }
    // These have no assertion: a bad text is simply no message.
    EXPECT_EQ(view.invoke("SendSignal", bad), "");
    EXPECT_EQ(view.invoke("GetLicense", bad), "");  // the test program has no licence resource
    EXPECT_TRUE(TakeAssertions().empty());
    EXPECT_TRUE(ui.Sent().empty());
}

TEST_F(NativeFunctions, SendSignalPassesObjectsOnlyToTheEngine)
{
    EXPECT_EQ(view.invoke("SendSignal", "[{\"type\":\"cancel\"}]"), "");
    EXPECT_EQ(view.invoke("SendSignal", "\"text\""), "");
    EXPECT_EQ(view.invoke("SendSignal", "{\"type\":\"installparameter\",\"action\":\"install\"}"), "true");
    EXPECT_EQ(view.invoke("OnInstallFinish", "[\"runnow\"]"), "true");
    EXPECT_EQ(view.invoke("OnInstallFinish", "{}"), "true");  // no argument: an empty action
    EXPECT_EQ(ui.Sent(),
              (std::vector<std::string> {"installparameter:install", "installcontrol:runnow", "installcontrol:"}));
}

TEST_F(NativeFunctions, OnDetailSetsTheVerdictOnlyForTheTextTrue)
{
    EXPECT_EQ(view.invoke("OnDetail", "[\"true\"]"), "true");
    EXPECT_TRUE(ui.m_bResult.load());
    EXPECT_EQ(view.invoke("OnDetail", "[\"TRUE\"]"), "true");
    EXPECT_FALSE(ui.m_bResult.load());
    ui.m_bResult = true;
    EXPECT_EQ(view.invoke("OnDetail", "[]"), "true");
    EXPECT_FALSE(ui.m_bResult.load());
    SciterView orphan(::GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(orphan.invoke("OnDetail", "[\"true\"]"), "true");
    EXPECT_EQ(orphan.invoke("SendSignal", "{\"type\":\"cancel\"}"), "true");
}

TEST_F(NativeFunctions, SetLanguageAndSystemPathAndLogLines)
{
    EXPECT_EQ(view.invoke("SetLanguage", "[\"zh_CN\"]"), "true");
    EXPECT_EQ(g_engineSettings.wstrLanguage, L"zh_CN");
    EXPECT_EQ(view.invoke("SetLanguage", "[]"), "true");
    EXPECT_EQ(g_engineSettings.wstrLanguage, L"");
    EXPECT_EQ(view.invoke("GetSystemPath", "[\"CSIDL_PROGRAM_FILES\"]"), FileSystem::GetProgramFilesPathA());
    EXPECT_EQ(view.invoke("GetSystemPath", "[\"CSIDL_WINDOWS\"]"), "true");
    EXPECT_EQ(view.invoke("PostSetupLog", "[\"install\",\"start\"]"), "true");

    DebugCapture capture;
    EXPECT_EQ(view.invoke("OutputDebugStringAA", "not json %s %d"), "true");
    view.log("page", "hello");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"stagehand.exe=>EventOutputDebugStringAAHandler:not json %s %d");
    // The full-width colon arrives as its two code-page bytes, widened one by one.
    EXPECT_EQ(lines[1],
              std::wstring(L"stagehand.exe=>SciterView::log:page") + wchar_t(0xA3) + wchar_t(0xBA) + L"hello\r\n");
}

TEST_F(NativeFunctions, DecisionPathAppendsTheCompanyFolderOnceWithoutDoubleBackslashes)
{
    ScratchFolder scratch;
    const std::string base = NarrowAscii(scratch.Path());  // ends with a backslash
    auto decide = [&](const std::string& path) {
        Json::Value arg(Json::arrayValue);
        arg.append(path);
        return ParseResult(view.invoke("DecisionPath", Json::FastWriter().write(arg)));
    };
    Json::Value r = decide(base + "Apps");
    EXPECT_TRUE(r["statue"].asBool());
    EXPECT_EQ(r["path"].asString(), base + "Apps\\Orbisoft");
    EXPECT_EQ(decide(base + "Apps\\")["path"].asString(), base + "Apps\\Orbisoft");
    EXPECT_EQ(decide(base + "oRBISOFT")["path"].asString(), base + "oRBISOFT");
    EXPECT_EQ(decide(base + "Orbisoft\\\\")["path"].asString(), base + "Orbisoft");  // trailing ones are cleaned off
    EXPECT_EQ(decide(base + "x\\\\\\y")["path"].asString(), base + "x\\y\\Orbisoft");
    r = decide("relative\\folder");
    EXPECT_FALSE(r["statue"].asBool());
    EXPECT_EQ(r["error_code"].asString(), "write");
    EXPECT_FALSE(r.isMember("path"));
    EXPECT_EQ(view.invoke("DecisionPath", "[]"), "");
    EXPECT_EQ(view.invoke("DecisionPath", "{\"path\":\"C:\\\\x\"}"), "");
    // Styled JSON text: several lines, three-space indentation.
    EXPECT_NE(view.invoke("DecisionPath", "[\"relative\"]").find("\n   \"statue\""), std::string::npos);
}

TEST_F(NativeFunctions, AChosenFolderIsReportedAsChosenWithTheVerdictOfItsCleanForm)
{
    ScratchFolder scratch;
    Json::Value ok = ParseResult(SelectedFolderResult(scratch / L"Apps"));
    EXPECT_TRUE(ok["statue"].asBool());
    EXPECT_FALSE(ok.isMember("error_code"));
    EXPECT_EQ(ok["pos"].asString(), NarrowAscii(scratch / L"Apps"));
    Json::Value bad = ParseResult(SelectedFolderResult(L"relative"));
    EXPECT_FALSE(bad["statue"].asBool());
    EXPECT_EQ(bad["error_code"].asString(), "write");
    EXPECT_EQ(bad["pos"].asString(), "relative");
}

TEST_F(NativeFunctions, LicenceLineBreaksBecomeHtmlBreaks)
{
    const std::wstring text = L"One\r\nTwo\r\n\r\nThree\rFour\n\x4E2D";
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    EXPECT_EQ(LicenseHtml(bytes), "One<br/>Two<br/><br/>Three\rFour\n\xE4\xB8\xAD");
    EXPECT_EQ(LicenseHtml(bytes + "x"), LicenseHtml(bytes));  // an odd last byte is no unit
}

TEST_F(NativeFunctions, ShowWinShowsAndHidesTheRootWindowOnly)
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"root", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    view.m_hRootWnd = window;
    EXPECT_EQ(view.invoke("showwin", "[\"show\"]"), "true");
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(view.invoke("showwin", "{\"0\":\"hide\"}"), "true");
    EXPECT_EQ(view.invoke("showwin", "[]"), "true");
    EXPECT_EQ(view.invoke("showwin", "[\"Hide\"]"), "true");
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(view.invoke("showwin", "[\"hide\"]"), "true");
    EXPECT_FALSE(::IsWindowVisible(window));
    ::DestroyWindow(window);
}

// Finding 13 of the security review: "D:\" chosen in the folder dialog was
// refused ("D:" after cleaning); the product goes to <drive>\Orbisoft.
TEST_F(NativeFunctions, ADriveRootChosenInTheDialogGivesTheCompanyFolderOnIt)
{
    Json::Value chosen = ParseResult(SelectedFolderResult(L"C:\\"));
    EXPECT_TRUE(chosen["statue"].asBool()) << chosen.toStyledString();
    EXPECT_EQ(chosen["pos"].asString(), "C:\\");
    Json::Value decided = ParseResult(DecisionPathResult(L"C:\\"));
    EXPECT_TRUE(decided["statue"].asBool()) << decided.toStyledString();
    EXPECT_EQ(decided["path"].asString(), "C:\\Orbisoft");
}
