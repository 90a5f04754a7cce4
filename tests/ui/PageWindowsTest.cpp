// Real page windows under the display: engine messages from a worker thread
// to two pages, open_frame's modes, the flash rule, record ownership.
#include <gtest/gtest.h>

#include <thread>

#include "framework/velui_framework/BussMessage.h"
#include "framework/velui_framework/frame.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SciterSetUpUi.h"

namespace {

const std::wstring kPagePrefix = L"stagehand.exe=>EventOutputDebugStringAAHandler:";

// What the pages said through OutputDebugStringAA, in order.
std::vector<std::wstring> PageLines(const DebugCapture& capture)
{
    std::vector<std::wstring> out;
    for (const auto& line : capture.Lines())
        if (line.compare(0, kPagePrefix.size(), kPagePrefix) == 0)
            out.push_back(line.substr(kPagePrefix.size()));
    return out;
}

std::vector<std::wstring> WithPrefix(const std::vector<std::wstring>& lines, const std::wstring& prefix)
{
    std::vector<std::wstring> out;
    for (const auto& l : lines)
        if (l.compare(0, prefix.size(), prefix) == 0)
            out.push_back(l);
    return out;
}

BOOL CALLBACK DestroyPageWindow(HWND window, LPARAM)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (std::wstring(name) == L"DeskTopInstall")
        ::DestroyWindow(window);
    return TRUE;
}

// Every page window of this thread goes, and queued messages with them.
void DestroyPageWindows()
{
    ::EnumThreadWindows(::GetCurrentThreadId(), &DestroyPageWindow, 0);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
}

struct TitleCount {
    const wchar_t* title;
    int n;
};

BOOL CALLBACK CountTitled(HWND window, LPARAM param)
{
    auto* count = reinterpret_cast<TitleCount*>(param);
    wchar_t text[64] = {};
    ::GetWindowTextW(window, text, 64);
    if (std::wstring(text) == count->title)
        ++count->n;
    return TRUE;
}

int CountWindowsTitled(const wchar_t* title)
{
    TitleCount count {title, 0};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CountTitled, reinterpret_cast<LPARAM>(&count));
    return count.n;
}

HWND FindPageWindow(const wchar_t* title)
{
    return ::FindWindowW(L"DeskTopInstall", title);
}

}  // namespace

TEST(MessagePath, WorkerMessagesReachEachPageWhoseTriggerListHoldsTheTypeInOrder)
{
    const long before = velui::LiveMessageRecords();
    DebugCapture capture;
    {
        auto ui = std::make_shared<CSciterSetUpUi>(::GetModuleHandleW(nullptr), L"install", L"");
        ui->ShowPage(L"install", L"");
        ASSERT_NE(g_root_hwnd, nullptr);
        EXPECT_FALSE(::IsWindowVisible(g_root_hwnd));  // "install" waits for its page to show it
        std::thread worker([ui] {
            const char* types[] = {"path",     "processlist", "waitforpath", "setinstallpath",
                                   "nousemsg", "path",        "changestatus"};
            int n = 0;
            for (const char* type : types) {
                MessagePtr m = MakeMessage(type);
                (*m)["n"] = ++n;
                ui->OnEngineMessage(m);
            }
        });
        worker.join();
        ui->Run();
        EXPECT_EQ(g_view, nullptr);
        const auto lines = PageLines(capture);
        EXPECT_EQ(WithPrefix(lines, L"opened:"), std::vector<std::wstring> {L"opened:true"});
        EXPECT_EQ(WithPrefix(lines, L"install:"),
                  (std::vector<std::wstring> {L"install:path:1", L"install:waitforpath:3", L"install:path:6",
                                              L"install:changestatus:7"}));
        EXPECT_EQ(WithPrefix(lines, L"second:"),
                  (std::vector<std::wstring> {L"second:path:1", L"second:processlist:2", L"second:path:6"}));

        // After the view has gone, a message is dropped and its record freed.
        ui->OnEngineMessage(MakeMessage("changestatus"));
        PumpFor(50);
        EXPECT_EQ(velui::LiveMessageRecords(), before);
        DestroyPageWindows();
    }
    EXPECT_EQ(velui::LiveMessageRecords(), before);
}

TEST(MessagePath, NoticePagesShowAtOnceWithTheLanguageAndPostsToAGoneRootAreFreed)
{
    LoadFakeLog();
    TakeLogRecords();
    const long before = velui::LiveMessageRecords();
    {
        auto ui = std::make_shared<CSciterSetUpUi>(::GetModuleHandleW(nullptr), L"install", L"");
        ui->ShowPage(L"existmutex", L"de_DE");
        EXPECT_TRUE(::IsWindowVisible(g_root_hwnd));
        EXPECT_EQ(velui::LiveMessageRecords(), before + 1);  // the language message waits in the queue
        DestroyPageWindows();
        EXPECT_EQ(velui::LiveMessageRecords(), before);
        // The root window is gone: the post fails, is reported, and frees its record.
        ui->OnEngineMessage(MakeMessage("processlist"));
        EXPECT_EQ(velui::LiveMessageRecords(), before);
        EXPECT_EQ(TakeAssertions(),
                  std::vector<std::wstring> {L"PostMessage(g_root_hwnd, sMsg, 0 ,(long)m) @ SciterSetUpUi(175)"});
    }
    EXPECT_EQ(g_view, nullptr);
}

namespace {

class OpenFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui = std::make_shared<CSciterSetUpUi>(::GetModuleHandleW(nullptr), L"install", L"");
        main = ::CreateWindowExW(0, L"DeskTopInstall", L"main", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(main, nullptr);
        frame = g_view->create_frame(L"file://app/installer/frames.htm", main, "main");
        ASSERT_TRUE(frame);
    }
    void TearDown() override
    {
        frame.reset();
        DestroyPageWindows();
        ui.reset();
    }
    // Asks the page to call open_frame; returns what the page got back.
    std::wstring Open(const std::string& name, const std::string& page, const std::string& mode)
    {
        DebugCapture capture;
        frame->on_buss_message(
            "open", "{\"name\":\"" + name + "\",\"url\":\"file://app/installer/" + page + "\",\"mode\":" + mode + "}",
            false);
        auto lines = WithPrefix(PageLines(capture), L"result:");
        return lines.empty() ? L"<no result>" : lines.back().substr(7);
    }
    std::shared_ptr<CSciterSetUpUi> ui;
    HWND main = nullptr;
    std::shared_ptr<velui::frame> frame;
};

struct ModalProbe {
    static HWND parent;
    static int checks, enabled;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        ++checks;
        if (::IsWindowEnabled(parent))
            ++enabled;
        ::KillTimer(nullptr, id);
    }
};
HWND ModalProbe::parent = nullptr;
int ModalProbe::checks = 0;
int ModalProbe::enabled = 0;

}  // namespace

TEST_F(OpenFrame, SingleOpensOneFrameOfAName)
{
    EXPECT_EQ(Open("one", "plain.htm", "{\"single\":true,\"transparent\":false}"), L"true");
    EXPECT_EQ(Open("one", "plain.htm", "{\"single\":true,\"transparent\":false}"), L"false");
    EXPECT_EQ(CountWindowsTitled(L"one"), 1);
    // "id" names the frame; the title stays the name argument.
    EXPECT_EQ(Open("two", "plain.htm", "{\"id\":\"one\",\"single\":true}"), L"false");
    EXPECT_EQ(Open("one", "plain.htm", "{\"single\":false}"), L"true");
    EXPECT_EQ(CountWindowsTitled(L"one"), 2);
}

TEST_F(OpenFrame, ParentIsDisabledWhileTheModalFrameRunsAndGetsItsReturnCode)
{
    ModalProbe::parent = main;
    ModalProbe::checks = ModalProbe::enabled = 0;
    ::SetTimer(nullptr, 0, 50, &ModalProbe::Tick);
    EXPECT_EQ(Open("dlg", "dialog.htm", "{\"parent\":\"main\",\"params\":{\"code\":\"done\"}}"), L"\"done\"");
    EXPECT_EQ(ModalProbe::checks, 1);
    EXPECT_EQ(ModalProbe::enabled, 0);
    EXPECT_TRUE(::IsWindowEnabled(main));
    EXPECT_EQ(FindPageWindow(L"dlg"), nullptr);
    EXPECT_EQ(::GetWindow(main, GW_OWNER), nullptr);
    // Without setRetCode the call returns undefined.
    EXPECT_EQ(Open("dlg", "dialog.htm", "{\"parent\":\"main\",\"params\":{}}"), L"undefined");
}

TEST_F(OpenFrame, AQuitDuringTheModalLoopIsPostedAgainAndTheParentReenabled)
{
    EXPECT_EQ(Open("dlg", "dialog.htm", "{\"parent\":\"main\",\"params\":{\"quit\":true}}"), L"undefined");
    EXPECT_TRUE(::IsWindowEnabled(main));
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(OpenFrame, OwnerOwnsWithoutDisablingAndUnknownNamesOwnNothing)
{
    EXPECT_EQ(Open("owned", "plain.htm", "{\"owner\":\"main\"}"), L"true");
    HWND owned = FindPageWindow(L"owned");
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(::GetWindow(owned, GW_OWNER), main);
    EXPECT_TRUE(::IsWindowEnabled(main));
    EXPECT_EQ(Open("free", "plain.htm", "{\"parent\":\"nobody\",\"owner\":\"nobody\"}"), L"true");
    HWND free = FindPageWindow(L"free");
    ASSERT_NE(free, nullptr);
    EXPECT_EQ(::GetWindow(free, GW_OWNER), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(main));
    // Style keys: a tool window unless "appwindow"; layered unless "transparent" is false.
    EXPECT_TRUE(::GetWindowLongPtrW(owned, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(::GetWindowLongPtrW(owned, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(Open("app", "plain.htm", "{\"appwindow\":true,\"transparent\":false,\"toolwindow\":\"yes\"}"), L"true");
    HWND app = FindPageWindow(L"app");
    ASSERT_NE(app, nullptr);
    const LONG_PTR ex = ::GetWindowLongPtrW(app, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_APPWINDOW);
    EXPECT_FALSE(ex & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(ex & WS_EX_LAYERED);
}

TEST_F(OpenFrame, ClosedFramesLeaveTheRegistryAndLateMessagesAreFreed)
{
    const long before = velui::LiveMessageRecords();
    EXPECT_EQ(Open("late", "plain.htm", "{}"), L"true");
    HWND late = FindPageWindow(L"late");
    ASSERT_NE(late, nullptr);
    auto closing = g_view->find_frame("late");
    ASSERT_TRUE(closing);
    closing->m_strTriggerList = "processlist";
    const size_t frames = g_view->frame_count();
    g_view->broadcast("processlist", "{}");  // queued for the window
    ::DestroyWindow(late);                   // ... which goes first
    EXPECT_EQ(g_view->frame_count(), frames - 1);
    g_view->broadcast("processlist", "{}");  // no frame of that window is left to post
    PumpFor(50);
    EXPECT_EQ(velui::LiveMessageRecords(), before);
}

TEST(Flash, StartsAtMostOncePerOneAndAHalfSeconds)
{
    auto ui = std::make_shared<CSciterSetUpUi>(::GetModuleHandleW(nullptr), L"install", L"");
    HWND window = ::CreateWindowExW(0, L"DeskTopInstall", L"shaky", WS_POPUP | WS_VISIBLE, 100, 100, 120, 80, nullptr,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr);
    auto f = g_view->create_frame(L"file://app/installer/plain.htm", window, "shaky");
    std::atomic<DWORD> now {10000};
    f->m_clock = [&now] { return now.load(); };
    auto settle = [&] {
        for (int i = 0; i < 400 && f->is_flashing(); ++i)
            PumpFor(10);
    };
    EXPECT_TRUE(f->request_flash(now));
    EXPECT_FALSE(f->request_flash(now));  // one is running
    now = 10600;                          // its half second is over
    settle();
    ASSERT_FALSE(f->is_flashing());
    now = 11000;  // 1 s after the first start
    EXPECT_FALSE(f->request_flash(now));
    now = 11600;  // 1.6 s after it
    EXPECT_TRUE(f->request_flash(now));
    now = 12200;
    settle();
    // The last move back follows the end of the flash; on a loaded machine
    // it may take a while to arrive.
    RECT r {};
    for (int i = 0; i < 500; ++i) {
        ::GetWindowRect(window, &r);
        if (r.left == 100 && r.top == 100)
            break;
        PumpFor(10);
    }
    EXPECT_EQ(f->flashes_started(), 2);
    EXPECT_EQ(r.left, 100);  // back where it was
    EXPECT_EQ(r.top, 100);
    f.reset();
    DestroyPageWindows();
}
