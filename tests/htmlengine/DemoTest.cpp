#include <gtest/gtest.h>

#include "tests/htmlengine/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace he;

namespace {

// Answers the demo page's native calls the way the setup UI would.
struct DemoHost {
    std::vector<std::wstring> invoked;
    bool validPath = true;
    static BOOL CALLBACK Proc(LPVOID tag, HELEMENT, UINT group, LPVOID prms)
    {
        if (group != HANDLE_SCRIPTING_METHOD_CALL)
            return FALSE;
        auto* self = static_cast<DemoHost*>(tag);
        auto* p = static_cast<SCRIPTING_METHOD_PARAMS*>(prms);
        if (std::string(p->name) != "invoke" || p->argc != 2)
            return FALSE;
        std::wstring fn = ValueText(&p->argv[0]);
        self->invoked.push_back(fn + L" " + ValueText(&p->argv[1]));
        if (fn == L"DecisionPath")
            SetString(&p->result, self->validPath ? L"{\"statue\":true,\"path\":\"D:\\\\Apps\\\\Orbisoft\\\\Larkspur\"}"
                                                  : L"{\"statue\":false,\"error_code\":\"toolong\"}");
        else if (fn == L"GetLicense")
            SetString(&p->result, L"<p>licence</p>");
        else
            SetString(&p->result, L"");
        return TRUE;
    }
};

std::wstring DemoUrl()
{
    return L"file://" + TestExeDirectory() + L"demo\\demo.htm";
}

}  // namespace

TEST(Demo, RendersAnimatesTakesInputAndCallsTheHost)
{
    TestView view(601, 401, 0, true);
    DemoHost host;
    view.api->SciterWindowAttachEventHandler(view.hwnd, DemoHost::Proc, &host, HANDLE_ALL);
    ASSERT_TRUE(view.api->SciterLoadFile(view.hwnd, DemoUrl().c_str()));
    view.Pump(200);
    view.Render();
    // Title bar colour, the logo's alpha edge over it, and the white panel.
    EXPECT_EQ(view.Pixel(300, 15) & 0xFFFFFF, 0x2A6EBBu);
    EXPECT_EQ(view.Pixel(9, 4) & 0xFFFFFF, 0x2A6EBBu);    // transparent corner of the round logo
    EXPECT_NE(view.Pixel(22, 17) & 0xFFFFFF, 0x2A6EBBu);  // its opaque middle
    EXPECT_EQ(view.Pixel(590, 200) & 0xFFFFFF, 0xFFFFFFu);
    int frames1 = view.EvalInt("state.frames");
    view.Pump(300);
    EXPECT_GT(view.EvalInt("state.frames"), frames1 + 3);  // the 30 ms timer keeps running
    // Restart the first slide: its picture slides in from the right.
    view.Eval("state.tick = 0; state.slide = 0; showSlide(0)");
    view.Pump(100);
    int left = view.EvalInt("parseInt(document.querySelector('#slide1 .pic').style.left)");
    EXPECT_GT(left, 30);
    EXPECT_LT(left, 330);
    view.Render();
    EXPECT_EQ(view.Pixel(35, 100) & 0xFFFFFF, 0xF4F6F9u);  // not yet covered by the picture

    // Type a folder: select all, type, then install.
    int x = view.EvalInt("var r = document.getElementById('path').getBoundingClientRect(); Math.round(r.left + 20)");
    int y = view.EvalInt("Math.round(r.top + r.height / 2)");
    view.Click(x, y);
    EXPECT_EQ(view.EvalString("document.activeElement.id"), L"path");
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(view.hwnd, WM_KEYDOWN, 'A', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    for (wchar_t c : std::wstring(L"D:\\Apps"))
        SendMessageW(view.hwnd, WM_CHAR, c, 0);
    EXPECT_EQ(view.EvalString("document.getElementById('path').value"), L"D:\\Apps");
    view.Eval("document.getElementById('install').click()");
    ASSERT_FALSE(host.invoked.empty());
    EXPECT_EQ(host.invoked.back(), L"DecisionPath [\"D:\\\\Apps\"]");
    view.Pump(1400);
    EXPECT_EQ(view.EvalString("document.getElementById('percent').textContent"), L"100%");
    view.Render();
    view.SavePng(L"demo.png");

    // A refused folder disables the button and shows the error; unchecking the agreement too.
    host.validPath = false;
    view.Eval("document.getElementById('install').disabled = false; document.getElementById('install').click()");
    EXPECT_EQ(view.EvalString("document.getElementById('error').textContent"), L"Invalid folder: toolong");
    EXPECT_TRUE(view.EvalBool("document.getElementById('install').disabled"));
    view.Eval("document.getElementById('install').disabled = false");
    view.Eval("document.getElementById('agree').click()");
    EXPECT_FALSE(view.EvalBool("document.getElementById('agree').checked"));
    EXPECT_TRUE(view.EvalBool("document.getElementById('install').disabled"));

    // The page refuses to close until it allows it.
    SendMessageW(view.hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(view.hwnd));
}
