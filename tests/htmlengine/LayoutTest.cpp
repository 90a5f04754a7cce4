#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "htmlengine/Css.h"
#include "htmlengine/HtmlParser.h"
#include "htmlengine/Layout.h"

using namespace he;

namespace {

struct Laid {
    Document doc;
    StyleResolver styles;
    Laid(const std::wstring& html, const std::wstring& css, float w = 400, float h = 300)
    {
        ParseHtml(doc, html);
        styles.AddSheet(css, L"");
        styles.ComputeAll(doc.root.get(), L"");
        LayoutContext ctx;
        ctx.viewportWidth = w;
        ctx.viewportHeight = h;
        ctx.imageSize = [](const std::wstring& url, int& iw, int& ih) {
            if (url.find(L"pic.png") == std::wstring::npos)
                return false;
            iw = 40;
            ih = 30;
            return true;
        };
        LayoutDocument(doc, ctx);
    }
    RectF Box(const wchar_t* id) { return doc.GetElementById(id)->border; }
};

}  // namespace

TEST(Layout, StacksBlocksWithMarginsPaddingAndBorders)
{
    Laid l(L"<div id=a></div><div id=b></div><div id=c><div id=d></div></div>",
           L"body{margin:0} #a{height:20px;margin:10px} #b{height:30px;margin-top:5px;padding:4px;border:1px solid}"
           L"#c{width:200px;margin:0 auto;padding-left:10px} #d{height:7px}");
    RectF a = l.Box(L"a"), b = l.Box(L"b"), c = l.Box(L"c"), d = l.Box(L"d");
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, 10);
    EXPECT_EQ(a.w, 380);
    EXPECT_EQ(a.h, 20);
    // Adjacent margins collapse to the larger one.
    EXPECT_EQ(b.y, 40);
    EXPECT_EQ(b.w, 400);
    EXPECT_EQ(b.h, 40);
    EXPECT_EQ(c.w, 210);
    EXPECT_EQ(c.x, 95);  // centred by auto margins
    EXPECT_EQ(d.x, 105);
    EXPECT_EQ(d.w, 200);
    EXPECT_EQ(c.h, 7);
}

TEST(Layout, PositionsAbsoluteBoxesAgainstTheirContainingBlock)
{
    Laid l(L"<div id=frame><div id=tl></div><div id=br></div><div id=stretch></div><div id=rel></div></div><div "
           L"id=fixed></div>",
           L"body{margin:0} #frame{position:relative;left:5px;top:6px;width:300px;height:200px;border:2px solid}"
           L"#tl{position:absolute;left:10px;top:20px;width:30px;height:40px}"
           L"#br{position:absolute;right:0;bottom:0;width:50px;height:10px}"
           L"#stretch{position:absolute;left:10px;right:10px;top:0;bottom:0}"
           L"#rel{position:relative;left:3px;top:4px;height:5px}"
           L"#fixed{position:fixed;right:10px;top:10px;width:20px;height:20px}");
    RectF f = l.Box(L"frame"), tl = l.Box(L"tl"), br = l.Box(L"br"), st = l.Box(L"stretch"), rel = l.Box(L"rel"),
          fx = l.Box(L"fixed");
    EXPECT_EQ(f.x, 5);
    EXPECT_EQ(f.y, 6);
    EXPECT_EQ(tl.x, 5 + 2 + 10);
    EXPECT_EQ(tl.y, 6 + 2 + 20);
    EXPECT_EQ(br.x + br.w, 5 + 2 + 300);
    EXPECT_EQ(br.y + br.h, 6 + 2 + 200);
    EXPECT_EQ(st.w, 280);
    EXPECT_EQ(st.h, 200);
    EXPECT_EQ(rel.x, 5 + 2 + 3);
    EXPECT_EQ(rel.y, 6 + 2 + 4);
    EXPECT_EQ(fx.x, 370);
    EXPECT_EQ(fx.y, 10);
    // Hit testing finds the topmost box: the later sibling covers the earlier one.
    EXPECT_EQ(HitTest(l.doc.root.get(), 20, 30), l.doc.GetElementById(L"stretch"));
    EXPECT_EQ(HitTest(l.doc.root.get(), 10, 100), l.doc.GetElementById(L"frame"));
    EXPECT_EQ(HitTest(l.doc.root.get(), 300, 205), l.doc.GetElementById(L"br"));
}

TEST(Layout, FlowsInlineContentIntoLinesAndPlacesImages)
{
    Laid l(L"<div id=narrow>alpha beta gamma delta epsilon zeta eta theta</div>"
           L"<div id=wide>alpha</div><div id=row><img id=pic src=pic.png><img id=gone src=none.png>"
           L"<span id=chip>ab</span></div><div id=centre>x</div><div id=hidden>hidden</div>",
           L"body{margin:0;font-size:14px;line-height:20px} #narrow{width:80px} #centre{text-align:center}"
           L"#pic{margin-right:5px} #chip{display:inline-block;width:50px;height:12px} #hidden{display:none}");
    Element* narrow = l.doc.GetElementById(L"narrow");
    std::set<float> lineTops;
    for (auto& f : narrow->lines) {
        lineTops.insert(f.y);
        EXPECT_LE(f.x + f.w, 80.5f) << std::string(f.text.begin(), f.text.end()) << " x=" << f.x << " w=" << f.w
                                    << " y=" << f.y;
    }
    EXPECT_GE(lineTops.size(), 3u);  // wrapped into several lines
    EXPECT_EQ(narrow->border.h, 20.0f * lineTops.size());
    EXPECT_EQ(l.Box(L"wide").h, 20);
    RectF pic = l.Box(L"pic"), gone = l.Box(L"gone"), chip = l.Box(L"chip");
    EXPECT_EQ(pic.w, 40);
    EXPECT_EQ(pic.h, 30);
    EXPECT_EQ(gone.w, 0);
    EXPECT_EQ(chip.x, 45);
    EXPECT_EQ(chip.w, 50);
    // Images sit on the baseline; the chip's baseline is that of its own text.
    Element* chipElement = l.doc.GetElementById(L"chip");
    ASSERT_FALSE(chipElement->lines.empty());
    EXPECT_NEAR(chipElement->lines.back().baseline, pic.y + pic.h, 0.01f);
    Element* centre = l.doc.GetElementById(L"centre");
    ASSERT_EQ(centre->lines.size(), 1u);
    EXPECT_NEAR(centre->lines[0].x + centre->lines[0].w / 2, 200, 1);
    EXPECT_FALSE(l.doc.GetElementById(L"hidden")->laidOut);
}

TEST(Layout, LinesOfInlineBlocksAreAsTallAsTheBlocksWhenLineHeightIsZero)
{
    Laid l(L"<div id=c><span id=a></span><br><span id=b></span></div>",
           L"body{margin:0} #c{line-height:0} span{display:inline-block;width:50px;height:20px}");
    EXPECT_EQ(l.Box(L"a").y, 0);
    EXPECT_EQ(l.Box(L"b").y, 20);
    EXPECT_EQ(l.Box(L"c").h, 40);
}

TEST(Layout, DeeplyNestedFlexAndFloatsStayFinite)
{
    std::wstring html;
    for (int i = 0; i < 300; ++i)
        html += i % 3 == 2 ? L"<div style='float:left'>" : L"<div style='display:flex;flex-wrap:wrap'>";
    html += L"<span id=leaf>x</span>";
    for (int i = 0; i < 300; ++i)
        html += L"</div>";
    Laid l(html, L"div { padding: 1px; margin: -1e308px 1e308px; min-width: 1e308px; flex: 1e308 1e308 1e308px; }");
    Element* leaf = l.doc.GetElementById(L"leaf");
    ASSERT_NE(leaf, nullptr);
    EXPECT_TRUE(std::isfinite(leaf->border.x));
    EXPECT_TRUE(std::isfinite(leaf->border.y));
}

TEST(Layout, FlexItemsShareTheLineAndWrap)
{
    Laid l(L"<div id=c><div id=a></div><div id=b></div><div id=d></div></div>",
           L"body{margin:0} #c{display:flex;flex-wrap:wrap;width:300px;column-gap:10px}"
           L"#a,#b,#d{height:20px;flex:1 1 100px} #b{flex-grow:3}");
    // 100 + 10 + 100 + 10 + 100 fits in 300 only without the last gap: the third wraps.
    EXPECT_EQ(l.Box(L"a").y, 0);
    EXPECT_EQ(l.Box(L"b").y, 0);
    EXPECT_EQ(l.Box(L"d").y, 20);
    EXPECT_FLOAT_EQ(l.Box(L"a").w, 100 + 90 / 4.0f);  // 300 - 10 - 200 left over, a quarter of it
    EXPECT_FLOAT_EQ(l.Box(L"b").x, l.Box(L"a").w + 10);
    EXPECT_FLOAT_EQ(l.Box(L"d").w, 300);
    EXPECT_EQ(l.Box(L"c").h, 40);
}

TEST(Layout, MarginsCollapseThroughParentsAndEmptyBlocks)
{
    Laid l(L"<div id=p><div id=c></div></div><div id=e></div><div id=n></div>",
           L"body{margin:0;border-top:1px solid} #p{margin-top:5px} #c{margin-top:20px;margin-bottom:7px;height:10px}"
           L"#e{margin-top:12px;margin-bottom:-4px} #n{margin-top:3px;height:10px}");
    EXPECT_EQ(l.Box(L"p").y, 21);  // 1px border, then max(5, 20)
    EXPECT_EQ(l.Box(L"c").y, 21);
    EXPECT_EQ(l.Box(L"p").h, 10);
    // 7 (c, through p), 12 and -4 (empty e), 3 (n): 12 - 4.
    EXPECT_EQ(l.Box(L"n").y, 31 + 8);
}
