#include <gtest/gtest.h>

#include "htmlengine/Images.h"
#include "htmlengine/Painter.h"
#include "tests/htmlengine/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

int DarkPixels(const TestView& v, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            uint32_t p = v.Pixel(x, y);
            if (Red(p) < 128 && Green(p) < 128 && Blue(p) < 128)
                ++n;
        }
    return n;
}

}  // namespace

TEST(Render, PaintsBoxesBordersImagesAndOpacity)
{
    TestView view(320, 200);
    view.files[L"file://test/half.png"] = MakePng(20, 20, 0x800000FF);  // blue at half alpha
    view.files[L"file://test/solid.png"] = MakePng(10, 10, 0xFF00FF00);
    view.Load(
        "<html><body style='margin:0;background:#ffffff'>"
        "<div style='position:absolute;left:0;top:0;width:100px;height:50px;background:#ff0000'></div>"
        "<img src='half.png' style='position:absolute;left:10px;top:10px'>"
        "<div style='position:absolute;left:120px;top:0;width:60px;height:60px;border:5px solid "
        "#000;background:#ffff00;border-radius:20px'></div>"
        "<div style='position:absolute;left:200px;top:0;width:50px;height:50px;background:#000;opacity:0.5'></div>"
        "<div style='position:absolute;left:260px;top:0;width:40px;height:40px;background:url(solid.png) no-repeat "
        "10px 10px'></div>"
        "<div style='position:absolute;left:0;top:100px;width:30px;height:30px;overflow:hidden'>"
        "<div style='width:90px;height:90px;background:#0000ff'></div></div>"
        "<div style='position:absolute;left:100px;top:100px;width:40px;height:40px;background:#00ff00;z-index:2'></div>"
        "<div style='position:absolute;left:110px;top:110px;width:40px;height:40px;background:#ff00ff;z-index:1'></div>"
        "<img src='missing.png' style='position:absolute;left:200px;top:100px;width:30px;height:30px'>"
        "</body></html>");
    view.Render();
    view.SavePng(L"render_boxes.png");
    EXPECT_EQ(view.Pixel(50, 40) & 0xFFFFFF, 0xFF0000u);
    uint32_t blended = view.Pixel(20, 20);  // half blue over red
    EXPECT_NEAR(Red(blended), 127, 3);
    EXPECT_NEAR(Blue(blended), 128, 3);
    EXPECT_EQ(view.Pixel(122, 35) & 0xFFFFFF, 0x000000u);  // border
    EXPECT_EQ(view.Pixel(150, 35) & 0xFFFFFF, 0xFFFF00u);  // inside
    EXPECT_EQ(view.Pixel(121, 1) & 0xFFFFFF, 0xFFFFFFu);   // rounded corner stays page colour
    EXPECT_NEAR(Red(view.Pixel(225, 25)), 128, 3);         // black at half opacity over white
    EXPECT_EQ(view.Pixel(275, 15) & 0xFFFFFF, 0x00FF00u);  // background image at its position
    EXPECT_EQ(view.Pixel(265, 5) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(view.Pixel(20, 120) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(view.Pixel(50, 120) & 0xFFFFFF, 0xFFFFFFu);   // clipped by overflow:hidden
    EXPECT_EQ(view.Pixel(130, 130) & 0xFFFFFF, 0x00FF00u);  // higher z-index on top
    EXPECT_EQ(view.Pixel(145, 145) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(view.Pixel(215, 115) & 0xFFFFFF, 0xFFFFFFu);  // a missing image paints nothing
}

TEST(Render, DrawsLatinAndChineseTextAntiAliased)
{
    TestView view(300, 120);
    view.Load("<body style='margin:0;font-family:Arial;font-size:20px;color:#000'>"
              "<div id=latin style='position:absolute;left:0;top:0'>Larkspur Setup</div>"
              "<div id=cjk style='position:absolute;left:0;top:40px'>安装程序</div>"
              "<div id=mixed style='position:absolute;left:0;top:80px;color:#ff0000'>OK 确定</div></body>");
    view.Render();
    view.SavePng(L"render_text.png");
    EXPECT_GT(DarkPixels(view, 0, 0, 200, 30), 100);
    EXPECT_GT(DarkPixels(view, 0, 40, 120, 70), 100);  // the CJK fallback drew glyphs
    int grey = 0;
    for (int x = 0; x < 150; ++x)
        for (int y = 0; y < 30; ++y) {
            int r = Red(view.Pixel(x, y));
            if (r > 40 && r < 215)
                ++grey;
        }
    EXPECT_GT(grey, 20);  // anti-aliased edges
    int red = 0;
    for (int x = 40; x < 120; ++x)
        for (int y = 80; y < 110; ++y) {
            uint32_t p = view.Pixel(x, y);
            if (Red(p) > 200 && Green(p) < 80)
                ++red;
        }
    EXPECT_GT(red, 30);
    EXPECT_GT(view.EvalInt("document.getElementById('cjk').offsetWidth"), 60);
}

TEST(Render, TransparentPagesKeepTheirAlpha)
{
    TestView view(100, 100, WS_EX_LAYERED);
    view.Load("<html style='background:transparent'><body style='margin:0'>"
              "<div "
              "style='margin:10px;width:80px;height:80px;border-radius:10px;background:rgba(0,128,0,0.5)'></div></"
              "body></html>");
    view.Render();
    EXPECT_EQ(Alpha(view.Pixel(2, 2)), 0);
    EXPECT_NEAR(Alpha(view.Pixel(50, 50)), 128, 2);
    EXPECT_NEAR(Green(view.Pixel(50, 50)), 128, 3);
}

namespace {
void SetCtrl(bool down)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}
void CtrlKey(HWND hwnd, UINT vk)
{
    SetCtrl(true);
    SendMessageW(hwnd, WM_KEYDOWN, vk, 0);
    SetCtrl(false);
}
}  // namespace

TEST(TextField, TypingSelectionClipboardAndUndo)
{
    TestView view(300, 100, 0, true);
    view.Load(
        "<body style='margin:0'><input id=f style='position:absolute;left:10px;top:10px;width:200px' value='ab'>"
        "<script>var changes = 0; document.getElementById('f').addEventListener('input', function(){ changes++; });"
        "var f = document.getElementById('f');</script></body>");
    view.Eval("f.focus()");
    for (wchar_t c : std::wstring(L"c 中"))
        SendMessageW(view.hwnd, WM_CHAR, c, 0);
    EXPECT_EQ(view.EvalString("f.value"), L"abc 中");
    EXPECT_EQ(view.EvalInt("changes"), 3);
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_BACK, 0);
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_HOME, 0);
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(view.EvalString("f.value"), L"bc ");
    // Select all, copy, move to the end, paste.
    CtrlKey(view.hwnd, 'A');
    CtrlKey(view.hwnd, 'C');
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_END, 0);
    CtrlKey(view.hwnd, 'V');
    EXPECT_EQ(view.EvalString("f.value"), L"bc bc ");
    // Shift+Left selects, typing replaces the selection, cut removes it.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_LEFT, 0);
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_LEFT, 0);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    SendMessageW(view.hwnd, WM_CHAR, L'X', 0);
    EXPECT_EQ(view.EvalString("f.value"), L"bc bX");
    CtrlKey(view.hwnd, 'A');
    CtrlKey(view.hwnd, 'X');
    EXPECT_EQ(view.EvalString("f.value"), L"");
    // Undo steps back through the edits.
    CtrlKey(view.hwnd, 'Z');
    EXPECT_EQ(view.EvalString("f.value"), L"bc bX");
    CtrlKey(view.hwnd, 'Z');
    EXPECT_EQ(view.EvalString("f.value"), L"bc bc ");
    // A page may swallow keys.
    view.Eval(
        "f.addEventListener('keydown', function(e){ if (e.keyCode == 13 || e.keyCode == 9) e.preventDefault(); });"
        "f.addEventListener('keypress', function(e){ if (e.charCode == 63) e.preventDefault(); });");
    SendMessageW(view.hwnd, WM_CHAR, L'?', 0);
    EXPECT_EQ(view.EvalString("f.value"), L"bc bc ");
    view.Render();
    view.SavePng(L"render_field.png");
    EXPECT_GT(view.EvalInt("f.offsetHeight"), 10);
}

TEST(TextField, MultiLineFieldsWrapAndMoveBetweenLines)
{
    TestView view(300, 200, 0, true);
    view.Load(
        "<body style='margin:0'><textarea id=t style='position:absolute;left:10px;top:10px;width:120px;height:60px;"
        "font-size:13px;line-height:16px'></textarea><script>var t = document.getElementById('t');</script></body>");
    view.Eval("t.focus()");
    for (wchar_t c : std::wstring(L"first line\rsecond one that is long enough to wrap\rthird"))
        SendMessageW(view.hwnd, WM_CHAR, c, 0);
    EXPECT_EQ(view.EvalString("t.value"), L"first line\nsecond one that is long enough to wrap\nthird");
    he::Element* e = view.Engine()->Doc()->GetElementById(L"t");
    std::wstring shown = e->field.value;
    auto lines = he::FieldLines(e, shown);
    EXPECT_GE(lines.size(), 4u);  // the long line wraps
    EXPECT_EQ(shown.substr(lines[0].start, lines[0].length), L"first line");
    EXPECT_GT(e->field.scrollY, 0);  // scrolled to keep the caret in view
    // Up from the end of "third" lands on the line above, Home/End stay on the line.
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(e->field.caret, shown.size() - 5);
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_UP, 0);
    size_t li = he::FieldLineOf(lines, e->field.caret);
    EXPECT_EQ(li, lines.size() - 2);
    EXPECT_EQ(e->field.caret, lines[li].start);
    SendMessageW(view.hwnd, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(e->field.caret, lines[li].start + lines[li].length);
    view.Render();
    view.SavePng(L"render_textarea.png");
}

TEST(Render, PicturesBeyondTheMemoryLimitAreRefused)
{
    // 8192 x 2049 is a plausible header but over 16 M pixels: 64 MB of
    // premultiplied pixels and again as much for a scaled copy.
    std::string big = MakePng(8192, 2049, 0xFF336699);
    EXPECT_EQ(he::DecodeImage(reinterpret_cast<const unsigned char*>(big.data()), big.size()), nullptr);
    std::string fine = MakePng(64, 32, 0xFF336699);
    auto pic = he::DecodeImage(reinterpret_cast<const unsigned char*>(fine.data()), fine.size());
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->width, 64);
}
