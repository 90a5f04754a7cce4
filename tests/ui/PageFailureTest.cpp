// A page that fails never leaves an invisible run behind: the user is told in
// the page's language, the UI ends without success, and the run never starts.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/model/EngineSettings.h"
#include "framework/velui_framework/BussMessage.h"
#include "framework/velui_framework/view.h"
#include "htmlengine/Api.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/SetupPagesSupport.h"
#include "tests/ui/PackageImage.h"
#include "ui/PageFailure.h"
#include "ui/ResLoaders.h"
#include "ui/SciterBinding.h"
#include "ui/SciterSetUpUi.h"

namespace {

uint32_t U32(const std::string& image, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(image[at + i]);
    return v;
}

// The pages of this test program's package, with `text` put in front of the named file.
std::string PackageWithPrefix(const std::string& name, const std::string& text)
{
    const std::string image = ReadBinResource(::GetModuleHandleW(nullptr), 173);
    std::vector<std::pair<std::string, std::string>> files;
    const uint32_t count = image.size() >= 4 ? U32(image, 0) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t record = 4 + 16 * static_cast<size_t>(i);
        std::string fileName = image.substr(U32(image, record), U32(image, record + 4));
        std::string data = image.substr(U32(image, record + 8), U32(image, record + 12));
        if (fileName == name)
            data = text + data;
        files.emplace_back(std::move(fileName), std::move(data));
    }
    return BuildPackage(files);
}

class ImageLoader : public velui::iResLoader {
public:
    explicit ImageLoader(const std::string& image) : m_files(image) { }
    bool LoadRes(velui::ResRequest& request) override
    {
        const BYTE* data = nullptr;
        UINT size = 0;
        if (!request.url || !m_files.LoadFile(request.url, &data, &size))
            return false;
        request.data = data;
        request.size = size;
        return true;
    }
    void FreeRes(velui::ResRequest& request) override
    {
        if (request.url)
            m_files.FreeFile(request.url);
    }
    bool Init() override { return true; }

private:
    CUidatLoader m_files;
};

struct SeenBox {
    std::wstring caption;
    std::wstring text;
};
std::vector<SeenBox> g_boxes;
bool g_gaveUp = false;

BOOL CALLBACK LongestStatic(HWND child, LPARAM param)
{
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    if (::lstrcmpiW(name, L"Static") == 0) {
        wchar_t text[1024] = {};
        ::GetWindowTextW(child, text, 1024);
        auto* longest = reinterpret_cast<std::wstring*>(param);
        if (std::wcslen(text) > longest->size())
            *longest = text;
    }
    return TRUE;
}

BOOL CALLBACK AnswerBox(HWND window, LPARAM)
{
    wchar_t name[32] = {};
    ::GetClassNameW(window, name, 32);
    if (std::wstring(name) == L"#32770" && ::IsWindowVisible(window)) {
        SeenBox box;
        wchar_t caption[128] = {};
        ::GetWindowTextW(window, caption, 128);
        box.caption = caption;
        ::EnumChildWindows(window, &LongestStatic, reinterpret_cast<LPARAM>(&box.text));
        g_boxes.push_back(box);
        ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

void CALLBACK WatchTick(HWND, UINT, UINT_PTR, DWORD)
{
    ::EnumThreadWindows(::GetCurrentThreadId(), &AnswerBox, 0);
}

void CALLBACK GiveUpTick(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    g_gaveUp = true;
    ::PostQuitMessage(0);
}

// Refuses the page windows (class "DeskTopInstall") only.
LRESULT CALLBACK RefusePageWindows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const LPCWSTR name = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpszClass;
        WNDCLASSEXW info {sizeof(info)};
        const ATOM pages =
            static_cast<ATOM>(::GetClassInfoExW(::GetModuleHandleW(nullptr), velui::kWindowClassName, &info));
        if (IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) == pages
                                 : ::lstrcmpiW(name, velui::kWindowClassName) == 0)
            return 1;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class PageFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        CSciterBinding::UseInProcess(he::EngineApi());
        g_boxes.clear();
        g_gaveUp = false;
        m_language = g_engineSettings.wstrLanguage;
        // Every message box is read and answered, also one shown before Run.
        m_watch = ::SetTimer(nullptr, 0, 100, &WatchTick);
        m_giveUp = ::SetTimer(nullptr, 0, 20000, &GiveUpTick);
        ui = NewUi();
    }
    void TearDown() override
    {
        ::KillTimer(nullptr, m_watch);
        ::KillTimer(nullptr, m_giveUp);
        if (ui && ::IsWindow(ui->RootWindow()))
            ::DestroyWindow(ui->RootWindow());
        ui.reset();
        g_engineSettings.wstrLanguage = m_language;
    }
    std::shared_ptr<CSciterSetUpUi> NewUi()
    {
        auto made = std::make_shared<CSciterSetUpUi>(::GetModuleHandleW(nullptr), L"install", L"");
        made->m_pMessageSignal->connect([this](MessagePtr message) { sent.push_back((*message)["type"].asString()); });
        return made;
    }
    // Runs the UI as the engine does; false when it was still running after 20 s.
    bool Run()
    {
        ui->StartWhenReady(MakeMessage("startinstall"));
        ui->Run();
        return !g_gaveUp;
    }

    std::shared_ptr<CSciterSetUpUi> ui;
    std::vector<std::string> sent;
    DebugCapture capture;

private:
    std::wstring m_language;
    UINT_PTR m_watch = 0;
    UINT_PTR m_giveUp = 0;
};

bool HasThai(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c >= 0x0E00 && c <= 0x0E7F)
            return true;
    return false;
}

}  // namespace

TEST_F(PageFailure, APageWhoseScriptThrowsIsReportedInTheUsersLanguageAndTheRunNeverStarts)
{
    g_engineSettings.wstrLanguage = L"th_TH";
    g_view->m_loader =
        std::make_shared<ImageLoader>(PackageWithPrefix("/app/installer/install.js", "throw new Error('planted');\n"));
    ui->ShowPage(L"install", L"");
    ASSERT_TRUE(Run()) << "the UI hung on a page that failed";
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].caption, L"Larkspur");
    EXPECT_TRUE(HasThai(g_boxes[0].text)) << Narrow(g_boxes[0].text);
    EXPECT_TRUE(ui->PageFailed());
    EXPECT_FALSE(ui->m_bResult.load());
    EXPECT_TRUE(sent.empty()) << "the run started behind a page that failed";
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>page install failed: its script did not run to its end"));
}

TEST_F(PageFailure, ARootWindowThatCannotBeMadeIsReportedAndNothingIsPostedToTheCaller)
{
    g_engineSettings.wstrLanguage = L"en_US";
    HHOOK hook = ::SetWindowsHookExW(WH_CBT, &RefusePageWindows, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    ui->ShowPage(L"uninstall", L"");
    ::UnhookWindowsHookEx(hook);
    ASSERT_TRUE(Run());
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, L"Setup could not show its window and will now end. Please download the setup again.");
    EXPECT_TRUE(ui->PageFailed());
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(ui->RootWindow(), nullptr);
    bool logged = false;
    for (const auto& line : capture.Lines())
        logged = logged || line.rfind(L"stagehand.exe=>page uninstall failed: its window could not be created", 0) == 0;
    EXPECT_TRUE(logged);
    // An engine message now finds no window: it is dropped, never posted to this thread.
    ui->OnEngineMessage(MakeMessage("processlist"));
    MSG msg {};
    bool posted = false;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        posted = posted || msg.message == velui::MsgFromBussRoot();
    EXPECT_FALSE(posted);
}

TEST_F(PageFailure, EveryShippedPageSaysItIsReadyAtOnceSoTheRunStarts)
{
    for (const wchar_t* page : {L"install", L"uninstall", L"existmutex", L"noini"}) {
        ui.reset();
        ui = NewUi();
        sent.clear();
        ui->ShowPage(page, L"en_US");
        ui->StartWhenReady(MakeMessage("startinstall"));
        EXPECT_FALSE(ui->PageFailed()) << Narrow(page);
        EXPECT_EQ(sent, std::vector<std::string> {"startinstall"}) << Narrow(page);
        ::DestroyWindow(ui->RootWindow());
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST(PageFailureText, EachPageLanguageHasItsOwnTextAndOtherCodesGetThePagesDefault)
{
    const wchar_t* languages[] = {L"zh_CN", L"zh_TW", L"en_US", L"th_TH", L"vi_VN", L"id_ID"};
    for (const wchar_t* a : languages) {
        for (const wchar_t* b : languages) {
            if (a != b)
                EXPECT_NE(PageFailureText(a), PageFailureText(b));
        }
    }
    EXPECT_EQ(PageFailureText(L"de_DE"), PageFailureText(L"zh_CN"));
    EXPECT_EQ(PageFailureText(L""), PageFailureText(L"zh_CN"));
}
