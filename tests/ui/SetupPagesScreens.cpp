// Every pane, dialog and notice of the setup pages in each of the six
// languages, saved as pictures in shots\ beside the program, and checked for
// what a look at them catches: text sticking out of its box or the window,
// button labels off the button's middle, characters that the family drawing
// them has no glyph for (boxes instead of letters).
#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>

#include "htmlengine/Dom.h"
#include "htmlengine/EngineWindow.h"
#include "htmlengine/Fonts.h"
#include "tests/support/PngEncoder.h"
#include "tests/ui/SetupPagesSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ResLoaders.h"
#include "ui/SciterView.h"

namespace {

std::wstring ShotFolder()
{
    return TestExeDirectory() + L"shots\\";
}

// The page as the engine paints it, saved as a PNG with alpha.
bool SaveShot(HWND window, const std::wstring& file)
{
    he::EngineWindow* w = he::EngineWindow::Find(window, false);
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    if (!w || !w->Render(pixels, width, height) || pixels.empty())
        return false;
    ::CreateDirectoryW(ShotFolder().c_str(), nullptr);
    Gdiplus::Bitmap bmp(width, height, width * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(pixels.data()));
    CLSID png;
    return EncoderClsid(L"image/png", &png) >= 0 &&
           bmp.Save((ShotFolder() + file).c_str(), &png, nullptr) == Gdiplus::Ok;
}

bool Displayed(const he::Element* e)
{
    for (; e; e = e->parent)
        if (e->style.display == he::Display::None)
            return false;
    return true;
}

bool InScroller(const he::Element* e)
{
    for (; e; e = e->parent)
        if (e->style.overflowScroll)
            return true;
    return false;
}

bool Blank(const std::wstring& text)
{
    return text.find_first_not_of(L" \t\r\n\x00A0") == std::wstring::npos;
}

// Whether GDI finds a glyph for `c` in the installed family `family`.
bool FamilyHasGlyph(const std::wstring& family, wchar_t c)
{
    static std::map<std::pair<std::wstring, wchar_t>, bool> known;
    const auto key = std::make_pair(family, c);
    auto it = known.find(key);
    if (it != known.end())
        return it->second;
    bool has = false;
    HDC dc = ::CreateCompatibleDC(nullptr);
    LOGFONTW lf {};
    lf.lfHeight = -16;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, family.c_str(), LF_FACESIZE);
    if (HFONT font = ::CreateFontIndirectW(&lf)) {
        HGDIOBJ old = ::SelectObject(dc, font);
        WORD glyph = 0xFFFF;
        has = ::GetGlyphIndicesW(dc, &c, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 && glyph != 0xFFFF;
        ::SelectObject(dc, old);
        ::DeleteObject(font);
    }
    ::DeleteDC(dc);
    return known[key] = has;
}

// The family the engine draws a run of `script` in for `style`.
std::wstring FamilyFor(const he::ComputedStyle& style, he::FontScript script)
{
    if (script != he::FontScript::Main)
        return he::FontCache::Instance().FallbackFamily(script);
    Gdiplus::Font* font = he::FontCache::Instance().Get(style, script);
    Gdiplus::FontFamily family;
    wchar_t name[LF_FACESIZE] = {};
    if (!font || font->GetFamily(&family) != Gdiplus::Ok || family.GetFamilyName(name) != Gdiplus::Ok)
        return std::wstring();
    return name;
}

std::string Hex(wchar_t c)
{
    char buf[16];
    snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
    return buf;
}

// What is wrong with the visible text of the page in `window`.
std::vector<std::string> LayoutProblems(HWND window, const std::string& shot)
{
    std::vector<std::string> problems;
    he::EngineWindow* w = he::EngineWindow::Find(window, false);
    if (!w || !w->Doc() || !w->Doc()->root)
        return {shot + ": no page"};
    w->UpdateLayout();
    RECT client {};
    ::GetClientRect(window, &client);
    std::vector<he::Element*> all;
    w->Doc()->root->CollectElements(all);
    for (he::Element* e : all) {
        if (!Displayed(e))
            continue;
        const he::RectF& box = e->border;
        const bool scrolls = InScroller(e);
        for (const he::Fragment& f : e->lines) {
            if (f.atom || Blank(f.text))
                continue;
            const std::wstring id = e->Id().empty() ? std::wstring(e->tag.begin(), e->tag.end()) : e->Id();
            const std::string where = shot + " #" + Narrow(id) + " \"" + Narrow(f.text) + "\"";
            if (f.x < box.x - 0.5f || f.x + f.w > box.x + box.w + 0.5f)
                problems.push_back(where + ": wider than its box");
            if (!scrolls && (f.y < box.y - 1 || f.y + f.h > box.y + box.h + 1))
                problems.push_back(where + ": taller than its box");
            if (!scrolls && (f.x < 0 || f.y < 0 || f.x + f.w > client.right + 0.5f || f.y + f.h > client.bottom + 0.5f))
                problems.push_back(where + ": outside the window");
            if (e->tag == "button" && std::fabs((f.y + f.h / 2) - (box.y + box.h / 2)) > 1.5f)
                problems.push_back(where + ": label not in the button's middle");
            for (const he::TextRun& run : he::SplitRuns(f.text)) {
                const he::ComputedStyle& style = f.owner ? f.owner->style : e->style;
                const std::wstring family = FamilyFor(style, run.script);
                for (size_t i = run.start; i < run.start + run.length; ++i) {
                    const wchar_t c = f.text[i];
                    if (c == L' ' || c == 0x00A0)
                        continue;
                    if (family.empty() || !FamilyHasGlyph(family, c)) {
                        problems.push_back(where + ": no glyph for " + Hex(c) + " in \"" + Narrow(family) + "\"");
                        break;
                    }
                }
            }
        }
    }
    return problems;
}

Json::Value Obj(const std::string& text)
{
    return ParseJson(text);
}

class Screens : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { he::EnsureGdiplus(); }

    // Saves the page of `window` as "<language>-<name>.png" and checks its text.
    void Shot(HWND window, const std::string& name)
    {
        ASSERT_NE(window, nullptr) << name;
        const std::string file = GetParam() + "-" + name + ".png";
        EXPECT_TRUE(SaveShot(window, std::wstring(file.begin(), file.end()))) << file;
        for (const std::string& p : LayoutProblems(window, file))
            ADD_FAILURE() << p;
    }
    // Checks the text without a picture (states that look like a saved one).
    void Check(HWND window, const std::string& name)
    {
        for (const std::string& p : LayoutProblems(window, GetParam() + "-" + name))
            ADD_FAILURE() << p;
    }
    void CloseDialog()
    {
        if (HWND d = PageSession::Dialog())
            ::DestroyWindow(d);
        PumpFor(20);
    }
    std::string Lang() const { return R"({"lan":")" + GetParam() + R"("})"; }
};

}  // namespace

TEST(ScreenFonts, EveryScriptOfTheTablesHasAFamilyWithItsGlyphs)
{
    he::EnsureGdiplus();
    EXPECT_FALSE(he::FontCache::Instance().FallbackFamily(he::FontScript::Cjk).empty());
    EXPECT_FALSE(he::FontCache::Instance().FallbackFamily(he::FontScript::Thai).empty());
    EXPECT_FALSE(he::FontCache::Instance().FallbackFamily(he::FontScript::Vietnamese).empty());
}

TEST_P(Screens, InstallPage)
{
    PageSession s;
    s.licence = LicenseHtml(ReadBinResource(::GetModuleHandleW(nullptr), 172));
    s.Show(L"install");
    s.Send("setlanguage", Obj(Lang()));
    s.Send("setinstallpath", Obj(R"({"path":"C:\\Program Files\\Orbisoft"})"));
    s.Send("waitforpath", Obj(R"({"action":"ask"})"));
    Shot(s.Root(), "install-01-quick");

    s.Eval("$('custom').click(); 1");
    Shot(s.Root(), "install-02-custom");
    // Each path error in turn; the longest one is kept as a picture.
    for (const char* code : {"nospace", "invalid", "toolong"}) {
        s.decisionPath = [code](const Json::Value&) {
            return std::string(R"({"statue":false,"error_code":")") + code + "\"}";
        };
        s.Eval("$('path').dispatchEvent(new Event('input')); $('install').click(); 1");
        Check(s.Root(), std::string("install-error-") + code);
    }
    Shot(s.Root(), "install-03-path-error");
    s.Eval("$('agree').click(); 1");
    Shot(s.Root(), "install-04-agreement-off");
    s.Eval("$('agree').click(); $('path').dispatchEvent(new Event('input')); $('custom').click(); 1");

    s.Eval("$('protocol').click(); 1");
    Shot(s.Root(), "install-05-licence");
    s.Eval("$('license_ok').click(); 1");

    // The quit dialog is modal over the page: pictured from the message loop.
    RunLater(
        [&] {
            Shot(PageSession::Dialog(), "install-06-quit-dialog");
            s.Eval("$('right').click(); 1", PageSession::Dialog());
        },
        300);
    s.Eval("$('prepare_close').click(); 1");
    CloseDialog();

    s.Send("waitforstopservice");
    Shot(PageSession::Dialog(), "install-07-stop-dialog");
    CloseDialog();

    s.Send("changestatus", Obj(R"({"new":"install_uninstall"})"));
    s.Send("processlist", Obj(R"({"progress":30})"));
    s.Pump(1200);  // the first slide has moved in
    Shot(s.Root(), "install-08-progress");
    s.Send("processlist", Obj(R"({"progress":99})"));
    s.Pump(700);
    Shot(s.Root(), "install-09-installed");
    s.Take();
}

TEST_P(Screens, UninstallPage)
{
    PageSession s;
    s.Show(L"uninstall");
    s.Send("setlanguage", Obj(Lang()));
    s.Send("waitforuninstall");
    s.Eval("$('reason2_text').click(); $('reason5_text').click(); 1");
    Shot(s.Root(), "uninstall-10-questionnaire");

    s.Send("waitforstopservice");
    Shot(PageSession::Dialog(), "uninstall-11-stop-dialog");
    CloseDialog();

    s.Send("processlist", Obj(R"({"progress":42})"));
    Shot(s.Root(), "uninstall-12-progress");
    s.Send("processlist", Obj(R"({"progress":100})"));
    Check(s.Root(), "uninstall-completed");
    s.Take();
}

TEST_P(Screens, Notices)
{
    for (const char* page : {"existmutex", "noini"}) {
        PageSession s;
        s.Show(std::wstring(page, page + strlen(page)), std::wstring(GetParam().begin(), GetParam().end()));
        s.Pump(50);
        Shot(s.Root(), std::string("notice-") + (page[0] == 'e' ? "13-" : "14-") + page);
        s.Take();
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, Screens, ::testing::Values("zh_CN", "en_US", "th_TH", "vi_VN", "id_ID", "zh_TW"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
