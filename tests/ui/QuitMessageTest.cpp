// The UI's message loop ends on the quit that a page posts, also when the
// page closes its window in the same breath.
#include <gtest/gtest.h>

#include <string>

#include "engine/model/MessageSignal.h"
#include "framework/velui_framework/BussMessage.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SciterSetUpUi.h"

namespace {

bool g_guardFired = false;

void CALLBACK Guard(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    g_guardFired = true;
    ::PostQuitMessage(99);
}

// The next WM_QUIT of this thread's queue and its code; -1 when none is queued.
int TakeQuit()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            return static_cast<int>(msg.wParam);
    }
    return -1;
}

BOOL CALLBACK DestroyPageWindow(HWND window, LPARAM)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (std::wstring(name) == L"DeskTopInstall")
        ::DestroyWindow(window);
    return TRUE;
}

}  // namespace

TEST(QuitMessage, DroppingAWindowsRecordsKeepsAPendingQuit)
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"records", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    const long before = velui::LiveMessageRecords();
    ASSERT_TRUE(velui::PostBussMessage(window, velui::MsgFromBuss(), "a", "{}"));
    ASSERT_TRUE(velui::PostBussMessage(window, velui::MsgFromBussRoot(), "b", "{}"));
    ::PostQuitMessage(7);
    velui::DropQueuedRecords(window);
    EXPECT_EQ(velui::LiveMessageRecords(), before);
    ::DestroyWindow(window);
    EXPECT_EQ(TakeQuit(), 7);
    EXPECT_EQ(TakeQuit(), -1);  // and only one
}

TEST(QuitMessage, RunEndsWhenThePageClosesItsWindowAndQuits)
{
    LoadFakeLog();
    g_guardFired = false;
    {
        auto ui = std::make_shared<CSciterSetUpUi>(::GetModuleHandleW(nullptr), L"install", L"");
        ui->ShowPage(L"install", L"");
        const HWND root = g_root_hwnd;
        ASSERT_TRUE(::IsWindow(root));
        auto message = MakeMessage("changestatus");
        (*message)["n"] = 1;
        (*message)["close"] = true;
        ui->OnEngineMessage(message);
        const UINT_PTR guard = ::SetTimer(nullptr, 0, 10000, &Guard);
        ui->Run();
        ::KillTimer(nullptr, guard);
        EXPECT_FALSE(g_guardFired) << "the page's quit was lost";
        EXPECT_FALSE(::IsWindow(root));
        ::EnumThreadWindows(::GetCurrentThreadId(), &DestroyPageWindow, 0);
    }
    EXPECT_EQ(g_view, nullptr);
    TakeQuit();
}
