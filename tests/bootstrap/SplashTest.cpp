#include <gtest/gtest.h>

#include "bootstrap/SplashScreen.h"
#include "common/FileSystem.h"
#include "tests/bootstrap/BootstrapTestSupport.h"

namespace {

RECT WorkAreaNearOrigin()
{
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromPoint(POINT {0, 0}, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

BOOL CALLBACK CountVisible(HWND hwnd, LPARAM param)
{
    if (::IsWindowVisible(hwnd))
        ++*reinterpret_cast<int*>(param);
    return TRUE;
}

int VisibleWindowsOfThread(DWORD thread)
{
    int count = 0;
    ::EnumThreadWindows(thread, CountVisible, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Lets the splash thread handle what was posted to it.
void Settle()
{
    for (int i = 0; i < 5; ++i)
        ::Sleep(50);
}

void PumpMessages()
{
    for (int i = 0; i < 10; ++i) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(20);
    }
}

}  // namespace

TEST(SplashPlacement, CentresAndKeepsInsideTheWorkArea)
{
    RECT work = {0, 0, 1280, 994};
    POINT p = CentreInWorkArea(work, 352, 134);
    EXPECT_EQ(p.x, 640 - 176);
    EXPECT_EQ(p.y, 497 - 67);
    RECT offset = {100, 50, 301, 151};
    p = CentreInWorkArea(offset, 100, 50);
    EXPECT_EQ(p.x, 200 - 50);
    EXPECT_EQ(p.y, 100 - 25);
    RECT small = {10, 20, 210, 120};
    p = CentreInWorkArea(small, 352, 134);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
}

TEST(Splash, PictureWindowIsCentredUnfocusedAndGoesWithItsThread)
{
    SetupResources resources(L"setup_fake");
    ScratchFolder work;
    // The window the user works in; the splash must not take it over.
    HWND before = ::CreateWindowExW(0, L"STATIC", L"user window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                    nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(before);
    ::SetCursorPos(5, 5);
    ::SetForegroundWindow(before);
    PumpMessages();
    ASSERT_EQ(::GetForegroundWindow(), before);
    CSplashScreen splash(resources.Module());
    ASSERT_TRUE(splash.ShowSplash(work.Path()));
    EXPECT_TRUE(splash.IsShown());
    EXPECT_TRUE(FileSystem::PathExists((work / L"splash.png").c_str()));
    HWND request = splash.RequestWindow();
    ASSERT_TRUE(request);
    EXPECT_EQ(::FindWindowExW(HWND_MESSAGE, nullptr, kSplashRequestClass, nullptr), request);
    EXPECT_EQ(::GetWindowLongW(request, GWL_STYLE) & (WS_POPUP | WS_DISABLED), WS_POPUP | WS_DISABLED);

    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (window = splash.SplashWindow()) != nullptr; }, std::chrono::seconds(2)));
    Settle();
    PumpMessages();
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 352);
    EXPECT_EQ(rect.bottom - rect.top, 134);
    POINT expected = CentreInWorkArea(WorkAreaNearOrigin(), 352, 134);
    EXPECT_EQ(rect.left, expected.x);
    EXPECT_EQ(rect.top, expected.y);
    EXPECT_TRUE(::IsWindowVisible(window));
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(::GetPixel(screen, rect.left + 5, rect.top + 5), RGB(45, 78, 128));
    EXPECT_EQ(::GetPixel(screen, rect.left + 300, rect.top + 100), RGB(90, 126, 180));
    ::ReleaseDC(nullptr, screen);
    LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(static_cast<DWORD>(style) & (WS_POPUP | WS_DISABLED | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION),
              static_cast<DWORD>(WS_POPUP | WS_DISABLED | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    LONG exStyle = ::GetWindowLongW(window, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_APPWINDOW), WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
    EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);
    EXPECT_NE(::GetForegroundWindow(), window);
    EXPECT_EQ(::GetForegroundWindow(), before);
    DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    EXPECT_NE(thread, ::GetCurrentThreadId());
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    if (::GetGUIThreadInfo(thread, &gui)) {
        EXPECT_NE(gui.hwndFocus, window);
        EXPECT_NE(gui.hwndActive, window);
    }

    // A second request to show keeps the one window.
    ::PostMessageW(request, WM_SPLASH_SHOW, 0, 0);
    Settle();
    EXPECT_EQ(splash.SplashWindow(), window);
    EXPECT_EQ(VisibleWindowsOfThread(thread), 1);

    splash.CloseSplash();
    EXPECT_FALSE(splash.IsRunning());
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(::IsWindow(request));
    EXPECT_EQ(::FindWindowExW(HWND_MESSAGE, nullptr, kSplashRequestClass, nullptr), nullptr);
    // Posting after the end goes nowhere and does no harm.
    EXPECT_FALSE(::PostMessageW(request, WM_SPLASH_SHOW, 0, 0));
    ::DestroyWindow(before);
}

TEST(Splash, UndecodablePictureGivesAGreyDot)
{
    ScratchFolder work;
    CSplashScreen splash(::GetModuleHandleW(nullptr));  // the test carries a "PNG" 141 that is no picture
    ASSERT_TRUE(splash.ShowSplash(work.Path()));
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (window = splash.SplashWindow()) != nullptr; }, std::chrono::seconds(2)));
    Settle();
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 1);
    EXPECT_EQ(rect.bottom - rect.top, 1);
    POINT expected = CentreInWorkArea(WorkAreaNearOrigin(), 1, 1);
    EXPECT_EQ(rect.left, expected.x);
    EXPECT_EQ(rect.top, expected.y);
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(::GetPixel(screen, rect.left, rect.top), RGB(128, 128, 128));
    ::ReleaseDC(nullptr, screen);
    splash.CloseSplash();
    EXPECT_FALSE(::IsWindow(window));
}

TEST(Splash, WithoutAPictureResourceNothingStarts)
{
    SetupResources engine(L"fake_engine");
    ASSERT_TRUE(engine.Module());
    ScratchFolder work;
    CSplashScreen splash(engine.Module());
    EXPECT_FALSE(splash.ShowSplash(work.Path()));
    EXPECT_FALSE(splash.IsShown());
    EXPECT_FALSE(splash.IsRunning());
    EXPECT_EQ(splash.RequestWindow(), nullptr);
    EXPECT_FALSE(FileSystem::PathExists((work / L"splash.png").c_str()));
    splash.CloseSplash();
}
