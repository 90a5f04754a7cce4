// Edge resizing of real page windows: hit codes of the corner boxes and edge
// strips, the whole window as client area, track sizes within the page's
// limits, maximised onto the work area.
#include <gtest/gtest.h>

#include "tests/ui/PageWindowFixture.h"
#include "tests/ui/UiTestSupport.h"

namespace {

class Resize : public ::testing::Test {
protected:
    void SetUp() override
    {
        page = std::make_unique<PageWindow>(L"sizable", L"file://app/installer/plain.htm", RECT {100, 100, 400, 300});
        ASSERT_TRUE(page->frame);
        page->frame->enable_resize(page->window, true);
        ::ShowWindow(page->window, SW_SHOWNOACTIVATE);
        PumpFor(20);
    }
    void TearDown() override { page.reset(); }
    // The hit code of a point given in client coordinates.
    LRESULT Hit(int x, int y)
    {
        POINT p = {x, y};
        ::ClientToScreen(page->window, &p);
        return ::SendMessageW(page->window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    }
    MINMAXINFO MinMax()
    {
        MINMAXINFO info {};
        info.ptMaxTrackSize = POINT {99999, 99999};
        ::SendMessageW(page->window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        return info;
    }
    std::unique_ptr<PageWindow> page;
};

RECT WorkAreaOf(HWND window)
{
    MONITORINFO info {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

}  // namespace

TEST_F(Resize, TheWholeWindowIsClientAreaWithASizingFrameStyle)
{
    EXPECT_TRUE(::GetWindowLongPtrW(page->window, GWL_STYLE) & WS_THICKFRAME);
    RECT client {};
    ::GetClientRect(page->window, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
}

TEST_F(Resize, CornerBoxesComeBeforeEdgeStripsAndTheInsideBeforeBoth)
{
    // Borders of 7, corner boxes of 8 (border + allowance 0 + 1), window 300 x 200.
    EXPECT_EQ(Hit(150, 100), HTCLIENT);
    EXPECT_EQ(Hit(7, 7), HTCLIENT);  // the inner rectangle starts at the border
    EXPECT_EQ(Hit(0, 0), HTTOPLEFT);
    EXPECT_EQ(Hit(7, 3), HTTOPLEFT);  // in the corner box, not the top strip
    EXPECT_EQ(Hit(3, 7), HTTOPLEFT);
    EXPECT_EQ(Hit(299, 0), HTTOPRIGHT);
    EXPECT_EQ(Hit(292, 3), HTTOPRIGHT);
    EXPECT_EQ(Hit(0, 199), HTBOTTOMLEFT);
    EXPECT_EQ(Hit(7, 196), HTBOTTOMLEFT);
    EXPECT_EQ(Hit(299, 199), HTBOTTOMRIGHT);
    EXPECT_EQ(Hit(292, 194), HTBOTTOMRIGHT);
    EXPECT_EQ(Hit(292, 192), HTCLIENT);  // inside wins over the corner box
    EXPECT_EQ(Hit(3, 100), HTLEFT);
    EXPECT_EQ(Hit(150, 2), HTTOP);
    EXPECT_EQ(Hit(296, 100), HTRIGHT);
    EXPECT_EQ(Hit(150, 197), HTBOTTOM);
    EXPECT_EQ(Hit(8, 2), HTTOP);  // just past the corner box
    EXPECT_EQ(Hit(291, 100), HTCLIENT);

    // A wider corner allowance widens the boxes only.
    page->frame->m_corner = 10;
    EXPECT_EQ(Hit(15, 2), HTTOPLEFT);
    EXPECT_EQ(Hit(20, 2), HTTOP);
}

TEST_F(Resize, TrackSizesHonourTheLimitsAndMaximisingFillsTheWorkArea)
{
    page->frame->set_limits(200, 150, 500, 400);
    MINMAXINFO info = MinMax();
    EXPECT_EQ(info.ptMinTrackSize.x, 200);
    EXPECT_EQ(info.ptMinTrackSize.y, 150);
    EXPECT_EQ(info.ptMaxTrackSize.x, 500);
    EXPECT_EQ(info.ptMaxTrackSize.y, 400);

    // No maximum: the system's own limit while normal.
    page->frame->set_limits(0, 0, 0, 0);
    info = MinMax();
    EXPECT_EQ(info.ptMaxTrackSize.x, 99999);

    const RECT work = WorkAreaOf(page->window);
    ::ShowWindow(page->window, SW_MAXIMIZE);
    PumpFor(50);
    RECT maximised = WindowRect(page->window);
    EXPECT_EQ(maximised.left, work.left);
    EXPECT_EQ(maximised.top, work.top);
    EXPECT_EQ(maximised.right, work.right);
    EXPECT_EQ(maximised.bottom, work.bottom);
    info = MinMax();
    EXPECT_EQ(info.ptMaxTrackSize.x, work.right - work.left);
    EXPECT_EQ(info.ptMaxTrackSize.y, work.bottom - work.top);
    // While maximised nothing is an edge.
    EXPECT_EQ(Hit(0, 0), HTCLIENT);
    EXPECT_EQ(Hit(2, 300), HTCLIENT);
    ::ShowWindow(page->window, SW_RESTORE);
    PumpFor(50);
    EXPECT_EQ(Hit(0, 0), HTTOPLEFT);
}

TEST_F(Resize, ActivationFramesAreAnsweredExceptWhileMinimised)
{
    EXPECT_EQ(::SendMessageW(page->window, WM_NCACTIVATE, FALSE, 0), TRUE);
    EXPECT_EQ(::SendMessageW(page->window, WM_NCACTIVATE, TRUE, 0), FALSE);
    LRESULT out = 0;
    page->frame->m_bMinimized = true;
    EXPECT_FALSE(page->frame->resize_on_message(page->window, WM_NCACTIVATE, TRUE, 0, out));
}

TEST(ResizeOff, AWindowWithoutResizingKeepsTheSystemsAnswers)
{
    PageWindow page(L"fixed", L"file://app/installer/plain.htm", RECT {100, 100, 400, 300});
    ASSERT_TRUE(page.frame);
    ::ShowWindow(page.window, SW_SHOWNOACTIVATE);
    EXPECT_FALSE(::GetWindowLongPtrW(page.window, GWL_STYLE) & WS_THICKFRAME);
    LRESULT out = 0;
    EXPECT_FALSE(page.frame->resize_on_message(page.window, WM_NCHITTEST, 0, MAKELPARAM(100, 100), out));
    EXPECT_FALSE(page.frame->resize_on_message(page.window, WM_GETMINMAXINFO, 0, 0, out));
}

TEST(ResizeOpenFrame, OpenFramePassesResizeAndItsLimits)
{
    PageWindow main(L"main", L"file://app/installer/frames.htm", RECT {10, 10, 210, 110});
    ASSERT_TRUE(main.frame);
    const std::wstring result = main.PageLineAfter(
        [&] {
            main.frame->on_buss_message("open",
                                        "{\"name\":\"sized\",\"url\":\"file://app/installer/plain.htm\",\"mode\":"
                                        "{\"resize\":true,\"minWidth\":320,\"minHeight\":240,\"maxWidth\":800,"
                                        "\"maxHeight\":\"600\"}}",
                                        false);
        },
        L"result:");
    EXPECT_EQ(result, L"true");
    auto sized = g_view->find_frame("sized");
    ASSERT_TRUE(sized);
    EXPECT_TRUE(sized->m_bEnabled);
    EXPECT_TRUE(::GetWindowLongPtrW(sized->m_hWnd, GWL_STYLE) & WS_THICKFRAME);
    MINMAXINFO info {};
    ::SendMessageW(sized->m_hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 320);
    EXPECT_EQ(info.ptMinTrackSize.y, 240);
    EXPECT_EQ(info.ptMaxTrackSize.x, 800);
    EXPECT_EQ(sized->maxHeight, 0);  // a string is not a limit
    ::DestroyWindow(sized->m_hWnd);
}
