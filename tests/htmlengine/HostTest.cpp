#include <gtest/gtest.h>

#include "tests/htmlengine/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace he;

namespace {

struct Behaviour {
    int attached = 0, detached = 0, calls = 0;
    std::wstring src;
    static void CALLBACK Attr(LPCWSTR s, UINT n, LPVOID p) { static_cast<Behaviour*>(p)->src.assign(s, n); }
    static BOOL CALLBACK Proc(LPVOID tag, HELEMENT he, UINT group, LPVOID prms)
    {
        auto* self = static_cast<Behaviour*>(tag);
        if (group == HANDLE_INITIALIZATION) {
            auto* p = static_cast<INITIALIZATION_PARAMS*>(prms);
            if (p->cmd == BEHAVIOR_ATTACH) {
                ++self->attached;
                EngineApi()->SciterGetAttributeByNameCB(he, "src", Attr, self);
            } else {
                ++self->detached;
            }
        }
        return FALSE;
    }
};

struct Host {
    Behaviour behaviour;
    std::vector<std::string> asked;
    TestView* second = nullptr;
    static UINT CALLBACK Callback(SCITER_CALLBACK_NOTIFICATION* pns, LPVOID param)
    {
        auto* self = static_cast<Host*>(param);
        if (pns->code == SC_ATTACH_BEHAVIOR) {
            auto* ab = reinterpret_cast<SCN_ATTACH_BEHAVIOR*>(pns);
            self->asked.push_back(ab->behaviorName);
            if (std::string(ab->behaviorName) != "mini-window")
                return FALSE;
            ab->elementProc = Behaviour::Proc;
            ab->elementTag = &self->behaviour;
            return TRUE;
        }
        return 0;
    }
    // A view call that opens a second page while the first page's script runs.
    static BOOL CALLBACK Handler(LPVOID tag, HELEMENT, UINT group, LPVOID prms)
    {
        auto* self = static_cast<Host*>(tag);
        if (group == HANDLE_INITIALIZATION)
            return FALSE;
        if (group != HANDLE_SCRIPTING_METHOD_CALL)
            return FALSE;
        auto* p = static_cast<SCRIPTING_METHOD_PARAMS*>(prms);
        if (std::string(p->name) == "open_frame" && p->argc == 3 && self->second) {
            self->second->Load("<script>var p = null; var opened = 'yes';</script>");
            SetBool(&p->result, true);
            return TRUE;
        }
        return FALSE;
    }
};

struct Lifecycle {
    int attach = 0, detach = 0;
    static BOOL CALLBACK Proc(LPVOID tag, HELEMENT, UINT group, LPVOID prms)
    {
        if (group != HANDLE_INITIALIZATION)
            return FALSE;
        auto* self = static_cast<Lifecycle*>(tag);
        if (static_cast<INITIALIZATION_PARAMS*>(prms)->cmd == BEHAVIOR_ATTACH)
            ++self->attach;
        else
            ++self->detach;
        return FALSE;
    }
};

}  // namespace

TEST(EngineHost, NativeBehavioursAreAskedForByName)
{
    Host host;
    {
        TestView view(300, 200);
        view.api->SciterSetCallback(view.hwnd, Host::Callback, &host);
        view.Load("<style>.mini { behavior: mini-window } .other { behavior: unknown-thing }</style>"
                  "<div class=mini name=shadow src='file://app/x.htm'></div><div class=other></div>");
        EXPECT_EQ(host.asked.size(), 2u);
        EXPECT_EQ(host.behaviour.attached, 1);
        EXPECT_EQ(host.behaviour.src, L"file://app/x.htm");
        // A new page detaches the old page's behaviours.
        view.Load("<p>next</p>");
        EXPECT_EQ(host.behaviour.detached, 1);
    }
}

TEST(EngineHost, HandlersSeeAttachAndDetachAndPagesOpenPagesFromScripts)
{
    Lifecycle life;
    Host host;
    {
        TestView first(200, 100), second(200, 100);
        host.second = &second;
        first.api->SciterWindowAttachEventHandler(first.hwnd, Lifecycle::Proc, &life, HANDLE_ALL);
        EXPECT_EQ(life.attach, 1);
        first.api->SciterWindowAttachEventHandler(first.hwnd, Host::Handler, &host, HANDLE_ALL);
        first.Load("<script>var r = view.open_frame('dialog', 'file://app/notify.htm', {single: true});"
                   "setTimeout(function(){ window.later = 1; }, 10);</script>");
        EXPECT_EQ(first.EvalString("r + ''"), L"true");
        EXPECT_EQ(second.EvalString("opened"), L"yes");
        first.Pump(100);
        EXPECT_EQ(first.EvalInt("later"), 1);
    }
    EXPECT_EQ(life.detach, 1);  // the window's end detaches its handlers
}

TEST(EngineHost, AsyncDataRefreshesAPicture)
{
    TestView view(100, 100);
    view.files[L"file://test/p.png"] = MakePng(10, 10, 0xFFFF0000);
    view.Load("<body style='margin:0;background:#fff'><img src='p.png'></body>");
    view.Render();
    EXPECT_EQ(view.Pixel(5, 5) & 0xFFFFFF, 0xFF0000u);
    std::string blue = MakePng(10, 10, 0xFF0000FF);
    EXPECT_TRUE(view.api->SciterDataReadyAsync(view.hwnd, L"file://test/p.png", reinterpret_cast<LPCBYTE>(blue.data()),
                                               static_cast<UINT>(blue.size()), reinterpret_cast<LPVOID>(1)));
    view.Render();
    EXPECT_EQ(view.Pixel(5, 5) & 0xFFFFFF, 0x0000FFu);
    // "clear": one byte that is no picture leaves the box empty.
    EXPECT_TRUE(view.api->SciterDataReadyAsync(view.hwnd, L"file://test/p.png", reinterpret_cast<LPCBYTE>("1"), 1,
                                               reinterpret_cast<LPVOID>(1)));
    view.Render();
    EXPECT_EQ(view.Pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(EngineHost, HoverAndFocusStylesFollowTheMouse)
{
    TestView view(200, 100, 0, true);
    view.Load(
        "<style>#b { position:absolute; left:0; top:0; width:50px; height:50px; background:#ff0000 }"
        "#b:hover { background:#00ff00 } input:focus { background:#0000ff }</style>"
        "<div id=b></div><input id=i style='position:absolute;left:100px;top:0;width:50px;height:20px;border:0'>");
    view.Render();
    EXPECT_EQ(view.Pixel(25, 25) & 0xFFFFFF, 0xFF0000u);
    SendMessageW(view.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(25, 25));
    view.Render();
    EXPECT_EQ(view.Pixel(25, 25) & 0xFFFFFF, 0x00FF00u);
    SendMessageW(view.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(180, 80));
    view.Render();
    EXPECT_EQ(view.Pixel(25, 25) & 0xFFFFFF, 0xFF0000u);
    view.Click(120, 10);
    view.Render();
    EXPECT_EQ(view.Pixel(140, 15) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(view.EvalString("document.activeElement.id"), L"i");
}

TEST(EngineHost, TallContentScrollsWithTheWheelAndFromScripts)
{
    TestView view(200, 200, 0, true);
    view.Load("<body style='margin:0'><div id=pane "
              "style='position:absolute;left:0;top:0;width:150px;height:100px;overflow:auto;"
              "line-height:20px'><div style='height:40px;background:#ff0000'></div><div "
              "style='height:200px;background:#0000ff'></div>"
              "</div><script>var scrolled = 0; document.getElementById('pane').addEventListener('scroll', function(){ "
              "scrolled++; });"
              "</script></body>");
    view.Render();
    EXPECT_EQ(view.Pixel(20, 20) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(view.EvalInt("document.getElementById('pane').scrollHeight"), 240);
    POINT pt {20, 20};
    ClientToScreen(view.hwnd, &pt);
    SendMessageW(view.hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(pt.x, pt.y));
    view.Render();
    EXPECT_EQ(view.EvalInt("document.getElementById('pane').scrollTop"), 60);  // three lines of 20 px
    EXPECT_EQ(view.Pixel(20, 20) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(view.EvalInt("scrolled"), 1);
    view.Eval("document.getElementById('pane').scrollTop = 10000");
    EXPECT_EQ(view.EvalInt("document.getElementById('pane').scrollTop"), 140);  // clamped to the content
    view.Eval("document.getElementById('pane').scrollTop = 0");
    view.Render();
    EXPECT_EQ(view.Pixel(20, 20) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(view.Pixel(20, 150) & 0xFFFFFF, 0xFFFFFFu);  // clipped below the box
}
