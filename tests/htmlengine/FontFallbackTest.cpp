#include <gtest/gtest.h>

#include <cmath>

#include "htmlengine/Fonts.h"
#include "tests/htmlengine/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

using he::FontScript;

namespace {

std::vector<std::pair<std::wstring, FontScript>> Runs(const std::wstring& text)
{
    std::vector<std::pair<std::wstring, FontScript>> out;
    for (const he::TextRun& r : he::SplitRuns(text))
        out.emplace_back(text.substr(r.start, r.length), r.script);
    return out;
}

// The painted pixels of a strip of the view, to compare two renderings.
std::vector<uint32_t> Strip(const TestView& v, int y0, int y1, int width)
{
    std::vector<uint32_t> pixels;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(v.Pixel(x, y) & 0xFFFFFF);
    return pixels;
}

}  // namespace

TEST(FontFallback, RunsFollowTheScriptAndMarksStayWithTheirBase)
{
    using R = std::vector<std::pair<std::wstring, FontScript>>;
    // Thai vowel and tone marks (U+0E34, U+0E49) never start a run of their own.
    EXPECT_EQ(Runs(L"Larkspur \x0E15\x0E34\x0E14\x0E15\x0E31\x0E49\x0E07 OK"),
              (R {{L"Larkspur ", FontScript::Main},
                  {L"\x0E15\x0E34\x0E14\x0E15\x0E31\x0E49\x0E07", FontScript::Thai},
                  {L" OK", FontScript::Main}}));
    // Decomposed Vietnamese: the circumflex and the dot below go with the "e"
    // into the family that has them; precomposed letters likewise.
    EXPECT_EQ(Runs(L"Vie\x0302\x0323t \x5B89"), (R {{L"Vi", FontScript::Main},
                                                    {L"e\x0302\x0323", FontScript::Vietnamese},
                                                    {L"t ", FontScript::Main},
                                                    {L"\x5B89", FontScript::Cjk}}));
    EXPECT_EQ(Runs(L"Vi\x1EC7t a\x0301"), (R {{L"Vi", FontScript::Main},
                                              {L"\x1EC7", FontScript::Vietnamese},
                                              {L"t ", FontScript::Main},
                                              {L"a\x0301", FontScript::Vietnamese}}));
    EXPECT_EQ(Runs(L"\x1EC7"
                   L"a\x0301"),
              (R {{L"\x1EC7"
                   L"a\x0301",
                   FontScript::Vietnamese}}));
    // A mark after a CJK character or a Thai letter after CJK, and a mark first.
    EXPECT_EQ(Runs(L"\x5B89\x0301\x0E01"), (R {{L"\x5B89\x0301", FontScript::Cjk}, {L"\x0E01", FontScript::Thai}}));
    EXPECT_EQ(Runs(L"\x0301"
                   L"a"),
              (R {{L"\x0301"
                   L"a",
                   FontScript::Main}}));
    EXPECT_TRUE(Runs(L"").empty());
}

TEST(FontFallback, ThaiAndVietnameseMarksTakeNoRoomOfTheirOwn)
{
    he::FontCache& fonts = he::FontCache::Instance();
    ASSERT_FALSE(fonts.FallbackFamily(FontScript::Thai).empty()) << "no installed family has Thai glyphs";
    ASSERT_FALSE(fonts.FallbackFamily(FontScript::Vietnamese).empty()) << "no installed family has Vietnamese glyphs";
    he::ComputedStyle style;
    style.fontSize = 20;
    // A missing glyph is drawn as a box with an advance of its own; a real
    // mark sits on its base.
    const float base = fonts.Width(style, L"\x0E01");
    EXPECT_GT(base, 4.0f);
    EXPECT_LT(std::fabs(fonts.Width(style, L"\x0E01\x0E34\x0E49") - base), 1.0f);
    // Decomposed and precomposed e with circumflex and acute are as wide.
    const float e = fonts.Width(style, L"\x1EBF");
    EXPECT_GT(e, 4.0f);
    EXPECT_LT(std::fabs(fonts.Width(style, L"e\x0302\x0301") - e), 1.0f);
    EXPECT_GT(fonts.Width(style, L"\x1EC7"), 4.0f);
}

TEST(FontFallback, ThaiAndVietnameseDrawDistinctGlyphs)
{
    // Boxes look alike whatever the character; glyphs do not.
    TestView view(200, 160);
    view.Load("<body style='margin:0;font-family:Arial;font-size:24px;color:#000;background:#fff'>"
              "<div style='position:absolute;left:0;top:0;height:40px'>\xE0\xB8\x81</div>"
              "<div style='position:absolute;left:0;top:40px;height:40px'>\xE0\xB8\x82</div>"
              "<div style='position:absolute;left:0;top:80px;height:40px'>\xE1\xBB\x87</div>"
              "<div style='position:absolute;left:0;top:120px;height:40px'>\xE1\xBA\xA1</div></body>");
    view.Render();
    view.SavePng(L"render_thai_vietnamese.png");
    const auto ko = Strip(view, 0, 40, 40), kho = Strip(view, 40, 80, 40);
    const auto ee = Strip(view, 80, 120, 40), aa = Strip(view, 120, 160, 40);
    EXPECT_NE(ko, kho);
    EXPECT_NE(ee, aa);
    EXPECT_NE(ko, std::vector<uint32_t>(ko.size(), 0xFFFFFF));  // something was drawn
}
