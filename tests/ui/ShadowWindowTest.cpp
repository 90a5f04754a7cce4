// The drop shadow of real page windows on the display: where its window is,
// when it shows, and the pixels pushed to the layered window.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/velui_framework/ShadowDrawing.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/PageWindowFixture.h"
#include "tests/ui/UiTestSupport.h"

namespace {

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// Size 9, offsets 0 and 5: the shadow reaches 9 to the sides, 4 above and 14 below.
RECT ShadowOf(HWND host)
{
    return Grown(WindowRect(host), 9, 0, 5);
}

struct Bitmap {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    uint32_t Alpha(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] >> 24; }
    // The largest alpha in [x0, x1) x [y0, y1).
    uint32_t MaxAlpha(int x0, int y0, int x1, int y1) const
    {
        uint32_t m = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                m = std::max(m, Alpha(x, y));
        return m;
    }
};

Bitmap Read(velui::frame& f)
{
    Bitmap b;
    f.Shadow().ReadBitmap(b.pixels, b.width, b.height);
    return b;
}

class ShadowWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadFakeLog();
        TakeLogRecords();
        page = std::make_unique<PageWindow>(L"host", L"file://app/installer/shadow.htm", RECT {100, 100, 400, 300});
        ASSERT_TRUE(page->frame);
        ::ShowWindow(page->window, SW_SHOWNOACTIVATE);
        page->frame->SetShadow(page->window, true, 0xFFFF);
        shadow = page->frame->Shadow().Window();
        ASSERT_NE(shadow, nullptr);
        PumpFor(50);
    }
    void TearDown() override { page.reset(); }
    std::unique_ptr<PageWindow> page;
    HWND shadow = nullptr;
};

}  // namespace

TEST_F(ShadowWindow, IsALayeredClickThroughWindowOwnedByTheHostAndFollowsItsMovesAndSizes)
{
    EXPECT_TRUE(::IsWindowVisible(shadow));
    EXPECT_EQ(::GetWindow(shadow, GW_OWNER), page->window);
    const LONG_PTR ex = ::GetWindowLongPtrW(shadow, GWL_EXSTYLE);
    EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW),
              WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
    EXPECT_EQ(Text(WindowRect(shadow)), "91,96,409,314");
    EXPECT_TRUE(page->frame->Shadow().PictureLoaded());

    ::SetWindowPos(page->window, nullptr, 250, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpFor(50);
    EXPECT_EQ(Text(WindowRect(shadow)), Text(ShadowOf(page->window)));

    // Grown: the bitmap is drawn again at the new size (within a timer tick).
    ::SetWindowPos(page->window, nullptr, 0, 0, 420, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpFor(450);
    EXPECT_EQ(Text(WindowRect(shadow)), Text(ShadowOf(page->window)));
    Bitmap grown = Read(*page->frame);
    EXPECT_EQ(grown.width, 420 + 18);
    EXPECT_EQ(grown.height, 260 + 18);

    // Shrunk, then moved behind the shadow's back: the timer catches up.
    ::SetWindowPos(page->window, nullptr, 0, 0, 200, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpFor(50);
    EXPECT_EQ(Read(*page->frame).width, 218);
    page->frame->Shadow().ParentProc(nullptr, 0, 0, 0);  // messages for another window change nothing
    EXPECT_EQ(Text(WindowRect(shadow)), Text(ShadowOf(page->window)));
}

TEST_F(ShadowWindow, HidesWhileTheHostIsMinimisedOrMaximisedAndReturnsOnRestore)
{
    const RECT normal = WindowRect(page->window);
    ::ShowWindow(page->window, SW_MINIMIZE);
    PumpFor(450);  // two timer ticks: the timer must not bring it back
    EXPECT_FALSE(::IsWindowVisible(shadow));
    ::ShowWindow(page->window, SW_RESTORE);
    PumpFor(50);
    EXPECT_TRUE(::IsWindowVisible(shadow));
    EXPECT_EQ(Text(WindowRect(shadow)), Text(Grown(normal, 9, 0, 5)));

    ::ShowWindow(page->window, SW_MAXIMIZE);
    PumpFor(450);
    EXPECT_FALSE(::IsWindowVisible(shadow));
    ::ShowWindow(page->window, SW_RESTORE);
    PumpFor(450);
    EXPECT_TRUE(::IsWindowVisible(shadow));
    EXPECT_EQ(Text(WindowRect(shadow)), Text(Grown(normal, 9, 0, 5)));

    // The system commands say the same before the size changes.
    ::SendMessageW(page->window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    PumpFor(450);
    EXPECT_FALSE(::IsWindowVisible(shadow));
    ::SendMessageW(page->window, WM_SYSCOMMAND, SC_RESTORE, 0);
    PumpFor(450);
    EXPECT_TRUE(::IsWindowVisible(shadow));

    // Hidden with its host, back with it.
    ::ShowWindow(page->window, SW_HIDE);
    PumpFor(250);
    EXPECT_FALSE(::IsWindowVisible(shadow));
    ::ShowWindow(page->window, SW_SHOWNOACTIVATE);
    PumpFor(50);
    EXPECT_TRUE(::IsWindowVisible(shadow));
}

TEST_F(ShadowWindow, TheSideMaskClearsTheShadowOfEachSideWhoseBitIsClear)
{
    // Host 300 x 200: in the bitmap it covers x 9..309, y 4..204 (the shadow window sits 5 lower).
    auto drawWith = [&](UINT mask) {
        page->frame->SetShadow(page->window, false, 0);
        EXPECT_EQ(page->frame->Shadow().Window(), nullptr);
        page->frame->SetShadow(page->window, true, mask);
        Bitmap b = Read(*page->frame);
        EXPECT_EQ(b.width, 318);
        EXPECT_EQ(b.height, 218);
        return b;
    };
    for (UINT all : {0x0Fu, 0xFFFFu}) {
        Bitmap b = drawWith(all);
        ASSERT_EQ(b.width, 318);
        EXPECT_GT(b.MaxAlpha(9, 0, 309, 4), 0u) << all;      // above
        EXPECT_GT(b.MaxAlpha(0, 4, 9, 204), 0u) << all;      // left
        EXPECT_GT(b.MaxAlpha(309, 4, 318, 204), 0u) << all;  // right
        EXPECT_GT(b.MaxAlpha(9, 204, 309, 218), 0u) << all;  // below
        EXPECT_EQ(b.MaxAlpha(9, 4, 309, 204), 0u) << all;    // never under the host
    }
    Bitmap noTop = drawWith(0x0D);
    ASSERT_EQ(noTop.width, 318);
    EXPECT_EQ(noTop.MaxAlpha(9, 0, 309, 4), 0u);
    EXPECT_GT(noTop.MaxAlpha(0, 4, 9, 204), 0u);
    EXPECT_GT(noTop.MaxAlpha(9, 204, 309, 218), 0u);
    Bitmap onlyBottom = drawWith(0x08);
    ASSERT_EQ(onlyBottom.width, 318);
    EXPECT_EQ(onlyBottom.MaxAlpha(0, 0, 318, 204), 0u);
    EXPECT_GT(onlyBottom.MaxAlpha(9, 204, 309, 218), 0u);
    EXPECT_EQ(TakeAssertions(), std::vector<std::wstring> {});
}

TEST_F(ShadowWindow, WithoutThePictureTheShadowIsComputedFromDarknessAndColour)
{
    page->frame->Shadow().UsePicture(velui::PremultipliedImage());
    Bitmap b = Read(*page->frame);
    ASSERT_EQ(b.width, 318);
    EXPECT_EQ(b.MaxAlpha(9, 4, 309, 204), 0u);  // still cleared under the host
    // Left of the host at mid height: darkest next to it, fading outwards,
    // never darker than the darkness (150), grey 60 premultiplied.
    const int y = 110;
    for (int x = 1; x < 9; ++x)
        EXPECT_GE(b.Alpha(x, y), b.Alpha(x - 1, y)) << x;
    EXPECT_GT(b.Alpha(8, y), 40u);
    EXPECT_LE(b.MaxAlpha(0, 0, 318, 218), 150u);
    const uint32_t p = b.pixels[static_cast<size_t>(y) * b.width + 8];
    const uint32_t a = p >> 24;
    EXPECT_EQ((p >> 16) & 0xFF, 60 * a / 255);
    EXPECT_EQ(p & 0xFF, 60 * a / 255);
    // The band below is wider than the one above (offset 5 down).
    EXPECT_GT(b.Alpha(150, 210), b.Alpha(150, 1));
}

TEST_F(ShadowWindow, PageHidesAndShowsItAndTheTimerKeepsItThatWay)
{
    auto hide = [&](const std::string& flag) {
        page->frame->on_buss_message("hide", "{\"flag\":" + flag + "}", false);
        PumpFor(450);
        return ::IsWindowVisible(shadow) != FALSE;
    };
    EXPECT_FALSE(hide("1"));
    EXPECT_TRUE(hide("0"));
    EXPECT_FALSE(hide("true"));
    EXPECT_TRUE(hide("0"));
    EXPECT_FALSE(hide("\"0\""));
    // A hidden shadow stays hidden through a move.
    ::SetWindowPos(page->window, nullptr, 150, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpFor(450);
    EXPECT_FALSE(::IsWindowVisible(shadow));
    EXPECT_TRUE(hide("0"));
    EXPECT_EQ(Text(WindowRect(shadow)), Text(ShadowOf(page->window)));
}

TEST_F(ShadowWindow, OneShadowPerWindowGoneWithItsHostAndNoneForAWindowThatIsNot)
{
    const std::wstring setFlag = L"16|func|FUNCTION: CWndShadow::SetFlag(uFlag=0000FFFF)";
    auto records = TakeLogRecords();  // SetUp's shadow
    EXPECT_NE(std::find(records.begin(), records.end(), setFlag), records.end());
    page->frame->SetShadow(page->window, true, 0x0F);  // already there: unchanged
    EXPECT_EQ(page->frame->Shadow().Window(), shadow);
    records = TakeLogRecords();
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const std::wstring& r) { return r.find(L"SetFlag") != std::wstring::npos; }),
              0);
    ::DestroyWindow(page->window);
    EXPECT_FALSE(::IsWindow(shadow));
    EXPECT_EQ(page->frame->Shadow().Window(), nullptr);

    velui::CShadowFrameBase orphan;
    orphan.SetShadow(page->window, true, 0xFFFF);
    EXPECT_EQ(orphan.Shadow().Window(), nullptr);
    EXPECT_EQ(TakeAssertions(), std::vector<std::wstring> {L"IsWindow(hHost) @ velui_shadowframe(31)"});
}

TEST(ShadowDrawing, NineGridKeepsTheCornersUnscaledAndStretchesTheRest)
{
    velui::PremultipliedImage picture;
    ASSERT_EQ(velui::LoadShadowImage(picture), S_OK);
    ASSERT_TRUE(picture.loaded);
    velui::ShadowCanvas canvas;
    canvas.Reset(200, 120);
    velui::DrawNineGrid(picture, RECT {9, 4, 9, 14}, canvas);
    auto src = [&](int x, int y) { return picture.pixels[static_cast<size_t>(y) * picture.width + x]; };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(canvas.At(x, y), src(x, y));
            EXPECT_EQ(canvas.At(191 + x, y), src(39 + x, y));
        }
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(canvas.At(x, 106 + y), src(x, 34 + y));
            EXPECT_EQ(canvas.At(191 + x, 106 + y), src(39 + x, 34 + y));
        }
    // The left edge is stretched down: every row of it holds the picture's edge column values.
    EXPECT_EQ(canvas.At(0, 60) >> 24, src(0, 24) >> 24);
    // A canvas smaller than the margins shares itself between the corners.
    canvas.Reset(10, 8);
    velui::DrawNineGrid(picture, RECT {9, 4, 9, 14}, canvas);
    EXPECT_EQ(canvas.At(0, 0), src(0, 0));
    EXPECT_EQ(canvas.At(9, 7), src(47, 47));
}

TEST(ShadowHiddenEarly, APageThatHidItsShadowBeforeItExistedGetsItHidden)
{
    PageWindow page(L"early", L"file://app/installer/shadow.htm", RECT {100, 100, 300, 200});
    ASSERT_TRUE(page.frame);
    ::ShowWindow(page.window, SW_SHOWNOACTIVATE);
    page.frame->on_buss_message("hide", "{\"flag\":1}", false);
    page.frame->SetShadow(page.window, true, 0xFFFF);
    HWND shadow = page.frame->Shadow().Window();
    ASSERT_NE(shadow, nullptr);
    EXPECT_FALSE(::IsWindowVisible(shadow));  // not even until the next tick
    PumpFor(250);
    EXPECT_FALSE(::IsWindowVisible(shadow));
    page.frame->on_buss_message("hide", "{\"flag\":0}", false);
    PumpFor(250);
    EXPECT_TRUE(::IsWindowVisible(shadow));
}

TEST(ShadowOpenFrame, OpenFrameGivesAShadowOnlyWhenAskedWithItsSideMask)
{
    LoadFakeLog();
    PageWindow main(L"main", L"file://app/installer/frames.htm", RECT {10, 10, 210, 110});
    ASSERT_TRUE(main.frame);
    auto open = [&](const std::string& name, const std::string& mode) {
        return main.PageLineAfter(
            [&] {
                main.frame->on_buss_message("open",
                                            "{\"name\":\"" + name +
                                                "\",\"url\":\"file://app/installer/plain.htm\",\"mode\":" + mode + "}",
                                            false);
            },
            L"result:");
    };
    TakeLogRecords();
    EXPECT_EQ(open("shaded", "{\"shadow\":true,\"shadow_param\":13}"), L"true");
    EXPECT_EQ(open("plain", "{}"), L"true");
    auto shaded = g_view->find_frame("shaded");
    auto plain = g_view->find_frame("plain");
    ASSERT_TRUE(shaded && plain);
    EXPECT_NE(shaded->Shadow().Window(), nullptr);
    EXPECT_EQ(::GetWindow(shaded->Shadow().Window(), GW_OWNER), shaded->m_hWnd);
    EXPECT_EQ(plain->Shadow().Window(), nullptr);
    const auto records = TakeLogRecords();
    EXPECT_NE(std::find(records.begin(), records.end(), L"16|func|FUNCTION: CWndShadow::SetFlag(uFlag=0000000D)"),
              records.end());
    ::DestroyWindow(shaded->m_hWnd);
    ::DestroyWindow(plain->m_hWnd);
}
