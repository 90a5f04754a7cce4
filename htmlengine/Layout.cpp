#include "htmlengine/Layout.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "htmlengine/Fonts.h"
#include "htmlengine/Url.h"

namespace he {

std::wstring ImageUrl(const Element* e)
{
    const std::wstring* src = e->Attribute("src");
    if (!src || src->empty() || !e->document) return std::wstring();
    return ResolveUrl(e->document->url, *src);
}

namespace {

bool IsInlineLevel(const Node* n)
{
    if (n->type == Node::Type::Text) return true;
    if (!n->IsElement()) return false;
    const Element* e = static_cast<const Element*>(n);
    if (e->style.display == Display::None) return false;
    if (e->style.IsOutOfFlow()) return false;
    return e->style.display == Display::Inline || e->style.display == Display::InlineBlock;
}

bool IsAtom(const Element* e)
{
    return e->style.display == Display::InlineBlock || e->tag == "img" || e->tag == "input" || e->tag == "textarea" ||
           e->tag == "button" || e->tag == "select";
}

struct Item {
    Element* owner = nullptr;
    Element* atom = nullptr;
    std::wstring text;
    float w = 0;
    bool spaceBefore = false;
    bool forcedBreak = false;
};

class Layouter {
public:
    explicit Layouter(const LayoutContext& ctx) : m_ctx(ctx), m_fonts(FontCache::Instance()) {}

    void Run(Document& doc)
    {
        Element* root = doc.root.get();
        std::vector<Element*> abs;
        RectF viewport{0, 0, m_ctx.viewportWidth, m_ctx.viewportHeight};
        LayoutBlock(root, 0, 0, m_ctx.viewportWidth, abs);
        if (root->border.h < m_ctx.viewportHeight) {
            root->border.h = m_ctx.viewportHeight;
            root->content.h = std::max(root->content.h, m_ctx.viewportHeight);
        }
        PlaceAbsolutes(abs, viewport);
    }

private:
    // ---- sizes -------------------------------------------------------------
    float HorizontalExtras(const ComputedStyle& s, float cbw)
    {
        return s.margin[1].Resolve(cbw) + s.margin[3].Resolve(cbw) + s.padding[1] + s.padding[3] + s.borderWidth[1] + s.borderWidth[3];
    }

    bool IntrinsicSize(Element* e, float& w, float& h)
    {
        if (e->tag == "img") {
            int iw = 0, ih = 0;
            std::wstring url = ImageUrl(e);
            if (!url.empty() && m_ctx.imageSize && m_ctx.imageSize(url, iw, ih)) { w = static_cast<float>(iw); h = static_cast<float>(ih); }
            else { w = 0; h = 0; }
            return true;
        }
        if (e->tag == "input" && !e->isTextField) {
            const std::wstring* type = e->Attribute("type");
            std::wstring t = type ? *type : L"";
            for (auto& c : t) c = towlower(c);
            if (t == L"button" || t == L"submit" || t == L"reset") {
                const std::wstring* v = e->Attribute("value");
                float ascent, height;
                m_fonts.Metrics(e->style, ascent, height);
                w = v ? m_fonts.Width(e->style, *v) : 0;
                h = e->style.LineHeightPx();
                return true;
            }
        }
        return false;
    }

    // Widest line the content would take without wrapping.
    float MaxContentWidth(Element* e)
    {
        float own = e->style.padding[1] + e->style.padding[3] + e->style.borderWidth[1] + e->style.borderWidth[3];
        if (e->style.width.unit == Length::Px) return e->style.width.value + own;
        float iw, ih;
        if (IntrinsicSize(e, iw, ih)) return iw + own;
        float best = 0, line = 0;
        for (auto& c : e->children) {
            if (c->type == Node::Type::Text) {
                line += m_fonts.Width(e->style, Collapse(c->text));
            } else if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                if (ce->style.display == Display::None || ce->style.IsOutOfFlow()) continue;
                float m = ce->style.margin[1].Resolve(0) + ce->style.margin[3].Resolve(0);
                if (ce->tag == "br") { best = std::max(best, line); line = 0; continue; }
                if (IsInlineLevel(ce)) {
                    line += MaxContentWidth(ce) + m;
                } else {
                    best = std::max(best, line);
                    line = 0;
                    best = std::max(best, MaxContentWidth(ce) + m);
                }
            }
        }
        return std::max(best, line) + own;
    }

    static std::wstring Collapse(const std::wstring& t)
    {
        std::wstring out;
        bool space = false;
        for (wchar_t c : t) {
            if (iswspace(c) && c != 0xA0) { space = true; continue; }
            if (space && !out.empty()) out += L' ';
            space = false;
            out += c;
        }
        return out;
    }

    float ClampWidth(const ComputedStyle& s, float w, float cbw)
    {
        if (!s.maxWidth.IsAuto()) w = std::min(w, s.maxWidth.Resolve(cbw));
        if (!s.minWidth.IsAuto()) w = std::max(w, s.minWidth.Resolve(cbw));
        return std::max(0.0f, w);
    }

    float ClampHeight(const ComputedStyle& s, float h, float cbh)
    {
        if (!s.maxHeight.IsAuto()) h = std::min(h, s.maxHeight.Resolve(cbh));
        if (!s.minHeight.IsAuto()) h = std::max(h, s.minHeight.Resolve(cbh));
        return std::max(0.0f, h);
    }

    // ---- block layout ------------------------------------------------------
    // Lays out `e` with its margin box's top-left at (x, y) in a containing block
    // of width cbw. `shrink` sizes an auto width to the content.
    void LayoutBlock(Element* e, float x, float y, float cbw, std::vector<Element*>& abs, bool shrink = false,
                     float cbh = -1)
    {
        const ComputedStyle& s = e->style;
        e->lines.clear();
        e->laidOut = true;
        float ml = s.margin[3].Resolve(cbw), mr = s.margin[1].Resolve(cbw), mt = s.margin[0].Resolve(cbw);
        float bl = s.borderWidth[3], br = s.borderWidth[1], bt = s.borderWidth[0], bb = s.borderWidth[2];
        float pl = s.padding[3], pr = s.padding[1], pt = s.padding[0], pb = s.padding[2];
        float extras = bl + br + pl + pr;
        float iw = 0, ih = 0;
        bool intrinsic = IntrinsicSize(e, iw, ih);
        float width;
        if (!s.width.IsAuto()) {
            width = s.width.Resolve(cbw);
        } else if (intrinsic) {
            width = iw;
            if (e->tag == "img" && !s.height.IsAuto() && ih > 0) width = iw * s.height.Resolve(cbh < 0 ? 0 : cbh) / ih;
        } else if (shrink) {
            width = std::min(MaxContentWidth(e) - extras, cbw - ml - mr - extras);
        } else {
            width = cbw - ml - mr - extras;
        }
        width = ClampWidth(s, width, cbw);
        // Centre a block with auto side margins.
        if (!shrink && !s.width.IsAuto() && s.margin[1].IsAuto() && s.margin[3].IsAuto() && !s.IsOutOfFlow()) {
            float free = cbw - width - extras;
            if (free > 0) ml = free / 2;
        }
        e->border.x = x + ml;
        e->border.y = y + mt;
        e->content.x = e->border.x + bl + pl;
        e->content.y = e->border.y + bt + pt;
        e->content.w = width;
        e->border.w = width + extras;

        float contentHeight = 0;
        if (!intrinsic || e->tag == "input") {
            if (e->hostedWindow || (e->tag == "input") || e->tag == "textarea" || e->tag == "select")
                contentHeight = e->tag == "input" && !e->isTextField ? s.LineHeightPx() : 0;
            else
                contentHeight = LayoutChildren(e, abs);
        }
        float height;
        float resolvedCbh = cbh >= 0 ? cbh : -1;
        if (!s.height.IsAuto() && !(s.height.unit == Length::Percent && resolvedCbh < 0)) {
            height = s.height.Resolve(resolvedCbh);
        } else if (intrinsic && e->tag == "img") {
            height = ih;
            if (!s.width.IsAuto() && iw > 0) height = ih * width / iw;
        } else {
            height = contentHeight;
        }
        height = ClampHeight(s, height, resolvedCbh);
        e->content.h = height;
        e->border.h = height + bt + bb + pt + pb;
        if (s.overflowScroll) ScrollContent(e, contentHeight);
        if (s.position == Position::Relative) {
            float dx = !s.left.IsAuto() ? s.left.Resolve(cbw) : !s.right.IsAuto() ? -s.right.Resolve(cbw) : 0;
            float dy = !s.top.IsAuto() ? s.top.Resolve(cbh < 0 ? 0 : cbh) : !s.bottom.IsAuto() ? -s.bottom.Resolve(cbh < 0 ? 0 : cbh) : 0;
            if (dx || dy) Offset(e, dx, dy);
        }
    }

    // Lays out the children of a block container; returns the content height.
    float LayoutChildren(Element* e, std::vector<Element*>& absOuter)
    {
        std::vector<Element*> ownAbs;
        std::vector<Element*>& abs = e->style.IsPositioned() ? ownAbs : absOuter;
        float cy = e->content.y;
        float prevMarginBottom = 0;
        std::vector<Node*> inlineRun;
        auto flushInline = [&] {
            if (inlineRun.empty()) return;
            bool any = false;
            for (Node* n : inlineRun) {
                if (n->type == Node::Type::Text) { for (wchar_t c : n->text) if (!iswspace(c) || e->style.preWrap) { any = true; break; } }
                else any = true;
                if (any) break;
            }
            if (any) {
                cy += prevMarginBottom;
                prevMarginBottom = 0;
                cy = LayoutInline(e, inlineRun, cy, abs);
            }
            inlineRun.clear();
        };
        for (auto& c : e->children) {
            Node* n = c.get();
            if (n->type == Node::Type::Comment) continue;
            if (n->IsElement()) {
                Element* ce = static_cast<Element*>(n);
                if (ce->style.display == Display::None) { ce->laidOut = false; continue; }
                if (ce->style.IsOutOfFlow()) {
                    // Static position: where it would have been.
                    ce->border.x = e->content.x;
                    ce->border.y = cy + prevMarginBottom;
                    abs.push_back(ce);
                    continue;
                }
            }
            if (IsInlineLevel(n)) { inlineRun.push_back(n); continue; }
            flushInline();
            Element* ce = static_cast<Element*>(n);
            float mt = ce->style.margin[0].Resolve(e->content.w);
            float collapse = std::max(prevMarginBottom, mt) - mt;
            LayoutBlock(ce, e->content.x, cy + collapse, e->content.w, abs, false,
                        e->style.height.unit == Length::Px ? e->content.h : -1);
            cy = ce->border.y + ce->border.h;
            if (ce->style.position == Position::Relative) {
                // The offset moved the box, not the flow.
                float dy = !ce->style.top.IsAuto() ? ce->style.top.Resolve(0) : !ce->style.bottom.IsAuto() ? -ce->style.bottom.Resolve(0) : 0;
                cy -= dy;
            }
            prevMarginBottom = ce->style.margin[2].Resolve(e->content.w);
        }
        flushInline();
        cy += prevMarginBottom;
        float contentHeight = cy - e->content.y;
        if (e->style.IsPositioned()) {
            // Absolutes need this element's final height when they use bottom.
            float savedH = e->content.h;
            e->content.h = e->style.height.IsAuto() ? contentHeight : e->style.height.Resolve(0);
            e->border.h = e->content.h + e->style.padding[0] + e->style.padding[2] + e->style.borderWidth[0] + e->style.borderWidth[2];
            RectF pad{e->border.x + e->style.borderWidth[3], e->border.y + e->style.borderWidth[0],
                      e->content.w + e->style.padding[1] + e->style.padding[3], e->content.h + e->style.padding[0] + e->style.padding[2]};
            PlaceAbsolutes(ownAbs, pad);
            e->content.h = savedH;
        }
        return contentHeight;
    }

    void PlaceAbsolutes(std::vector<Element*>& abs, const RectF& cb)
    {
        for (Element* a : abs) {
            const ComputedStyle& s = a->style;
            RectF box = s.position == Position::Fixed ? RectF{0, 0, m_ctx.viewportWidth, m_ctx.viewportHeight} : cb;
            float staticX = a->border.x, staticY = a->border.y;
            bool shrink = s.width.IsAuto() && (s.left.IsAuto() || s.right.IsAuto());
            float cbw = box.w;
            float availW = cbw;
            if (s.width.IsAuto() && !s.left.IsAuto() && !s.right.IsAuto())
                availW = cbw - s.left.Resolve(cbw) - s.right.Resolve(cbw);
            else if (!s.left.IsAuto())
                availW = cbw - s.left.Resolve(cbw);
            std::vector<Element*> nested;
            LayoutBlock(a, 0, 0, std::max(0.0f, availW), nested, shrink, box.h);
            // Stretch between top and bottom.
            if (s.height.IsAuto() && !s.top.IsAuto() && !s.bottom.IsAuto()) {
                float h = box.h - s.top.Resolve(box.h) - s.bottom.Resolve(box.h) - s.margin[0].Resolve(cbw) - s.margin[2].Resolve(cbw);
                float extrasV = s.padding[0] + s.padding[2] + s.borderWidth[0] + s.borderWidth[2];
                a->content.h = std::max(0.0f, h - extrasV);
                a->border.h = std::max(0.0f, h);
            }
            float ml = s.margin[3].Resolve(cbw), mr = s.margin[1].Resolve(cbw), mt = s.margin[0].Resolve(cbw), mb = s.margin[2].Resolve(cbw);
            float x, y;
            if (!s.left.IsAuto()) x = box.x + s.left.Resolve(cbw) + ml;
            else if (!s.right.IsAuto()) x = box.x + box.w - s.right.Resolve(cbw) - mr - a->border.w;
            else x = staticX + ml;
            if (!s.top.IsAuto()) y = box.y + s.top.Resolve(box.h) + mt;
            else if (!s.bottom.IsAuto()) y = box.y + box.h - s.bottom.Resolve(box.h) - mb - a->border.h;
            else y = staticY + mt;
            Offset(a, x - a->border.x, y - a->border.y);
            if (!nested.empty()) {
                // Descendants whose containing block is an ancestor above this one.
                PlaceAbsolutes(nested, cb);
            }
        }
    }

    // Content taller than the box scrolls: its extent is kept and the
    // children move up by the (clamped) scroll position.
    static void ScrollContent(Element* e, float contentHeight)
    {
        float bottom = e->content.y + contentHeight;
        for (auto& f : e->lines) bottom = std::max(bottom, f.y + f.h);
        for (auto& c : e->children)
            if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                if (ce->laidOut && ce->style.position != Position::Absolute && ce->style.position != Position::Fixed)
                    bottom = std::max(bottom, ce->border.y + ce->border.h + ce->style.margin[2].Resolve(0));
            }
        float padTop = e->border.y + e->style.borderWidth[0];
        e->scrollHeight = bottom + e->style.padding[2] - padTop;
        e->scrollTop = std::clamp(e->scrollTop, 0.0f, e->MaxScroll());
        if (e->scrollTop <= 0) return;
        for (auto& f : e->lines) { f.y -= e->scrollTop; f.baseline -= e->scrollTop; }
        for (auto& c : e->children)
            if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                if (ce->laidOut) Offset(ce, 0, -e->scrollTop);
            }
    }

    static void Offset(Element* e, float dx, float dy)
    {
        e->border.x += dx; e->border.y += dy;
        e->content.x += dx; e->content.y += dy;
        for (auto& f : e->lines) { f.x += dx; f.y += dy; f.baseline += dy; }
        for (auto& c : e->children)
            if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                if (ce->laidOut) Offset(ce, dx, dy);
            }
    }

    // ---- inline layout -----------------------------------------------------
    void CollectItems(Node* n, Element* owner, std::vector<Item>& items, std::vector<Element*>& abs, bool& pendingSpace)
    {
        if (n->type == Node::Type::Text) {
            const std::wstring& t = n->text;
            bool pre = owner->style.preWrap;
            size_t i = 0;
            while (i < t.size()) {
                wchar_t c = t[i];
                if (pre && c == L'\n') { Item br; br.owner = owner; br.forcedBreak = true; items.push_back(br); ++i; pendingSpace = false; continue; }
                if (iswspace(c) && c != 0xA0 && !pre) { pendingSpace = true; ++i; continue; }
                if (pre && c == L' ') { Item sp; sp.owner = owner; sp.text = L" "; items.push_back(sp); ++i; continue; }
                size_t j = i;
                if (NeedsFallback(c)) {
                    j = i + 1;  // every CJK character is a break opportunity
                } else {
                    while (j < t.size() && !(iswspace(t[j]) && t[j] != 0xA0) && !NeedsFallback(t[j])) {
                        ++j;
                        if (t[j - 1] == L'-' || t[j - 1] == L'/') break;  // break after hyphens and slashes
                    }
                }
                Item it;
                it.owner = owner;
                it.text = t.substr(i, j - i);
                it.spaceBefore = pendingSpace;
                pendingSpace = false;
                items.push_back(std::move(it));
                i = j;
            }
            return;
        }
        if (!n->IsElement()) return;
        Element* e = static_cast<Element*>(n);
        if (e->style.display == Display::None) { e->laidOut = false; return; }
        if (e->style.IsOutOfFlow()) { abs.push_back(e); return; }
        if (e->tag == "br") { Item br; br.owner = owner; br.forcedBreak = true; items.push_back(br); pendingSpace = false; return; }
        if (IsAtom(e) || e->style.display != Display::Inline) {
            Item it;
            it.owner = owner;
            it.atom = e;
            it.spaceBefore = pendingSpace;
            pendingSpace = false;
            items.push_back(it);
            return;
        }
        e->laidOut = true;
        for (auto& c : e->children) CollectItems(c.get(), e, items, abs, pendingSpace);
    }

    float LayoutInline(Element* block, const std::vector<Node*>& nodes, float top, std::vector<Element*>& abs)
    {
        std::vector<Item> items;
        bool pendingSpace = false;
        for (Node* n : nodes) CollectItems(n, block, items, abs, pendingSpace);
        const float avail = block->content.w;
        const bool noWrap = block->style.noWrap;
        float y = top;
        size_t i = 0;
        while (i < items.size()) {
            // Gather one line.
            std::vector<Fragment> line;
            float x = 0;
            size_t start = i;
            bool forced = false;
            for (; i < items.size(); ++i) {
                Item& it = items[i];
                if (it.forcedBreak) { forced = true; ++i; break; }
                float space = (it.spaceBefore && i > start) ? m_fonts.Width(it.owner->style, L" ") : 0;
                float w;
                Element* a = it.atom;
                if (a) {
                    std::vector<Element*>& target = abs;
                    LayoutBlock(a, 0, 0, avail, target, true);
                    w = a->border.w + a->style.margin[1].Resolve(avail) + a->style.margin[3].Resolve(avail);
                } else {
                    w = m_fonts.Width(it.owner->style, it.text);
                }
                if (i > start && x + space + w > avail + 0.01f && !noWrap && !it.owner->style.noWrap) break;
                x += space;
                Fragment f;
                f.owner = it.owner;
                f.atom = a;
                f.text = it.text;
                f.x = x;
                f.w = w;
                // Join with the previous text fragment of the same owner.
                if (!a && !line.empty() && !line.back().atom && line.back().owner == it.owner) {
                    Fragment& prev = line.back();
                    if (space > 0) prev.text += L' ';
                    prev.text += it.text;
                    prev.w = x + w - prev.x;
                } else {
                    if (space > 0 && !line.empty() && !line.back().atom && !a) {
                        // a space between different owners belongs to the earlier one
                    }
                    line.push_back(std::move(f));
                }
                x += w;
            }
            if (line.empty() && !forced) { if (i == start) ++i; continue; }
            // Vertical metrics.
            float strutAscent, strutHeight;
            m_fonts.Metrics(block->style, strutAscent, strutHeight);
            float ascentPart = 0, descentPart = 0;
            bool hasText = line.empty();
            for (auto& f : line) {
                if (f.atom) {
                    float mt = f.atom->style.margin[0].Resolve(avail), mb = f.atom->style.margin[2].Resolve(avail);
                    ascentPart = std::max(ascentPart, f.atom->border.h + mt + mb);
                } else {
                    hasText = true;
                    float a, h;
                    m_fonts.Metrics(f.owner->style, a, h);
                    float lh = f.owner->style.LineHeightPx();
                    float half = (lh - h) / 2;
                    ascentPart = std::max(ascentPart, half + a);
                    descentPart = std::max(descentPart, lh - half - a);
                }
            }
            if (hasText) {
                float lh = block->style.LineHeightPx();
                float half = (lh - strutHeight) / 2;
                ascentPart = std::max(ascentPart, half + strutAscent);
                descentPart = std::max(descentPart, lh - half - strutAscent);
            }
            float lineH = ascentPart + descentPart;
            float baseline = y + ascentPart;
            float shift = 0;
            float used = x;
            if (block->style.textAlign == TextAlign::Center) shift = (avail - used) / 2;
            else if (block->style.textAlign == TextAlign::Right) shift = avail - used;
            if (shift < 0) shift = 0;
            for (auto& f : line) {
                f.x += block->content.x + shift;
                if (f.atom) {
                    float mt = f.atom->style.margin[0].Resolve(avail), mb = f.atom->style.margin[2].Resolve(avail);
                    float ml = f.atom->style.margin[3].Resolve(avail);
                    float ay = baseline - f.atom->border.h - mb - mt;
                    Offset(f.atom, f.x + ml - f.atom->border.x, ay + mt - f.atom->border.y);
                    f.y = f.atom->border.y;
                    f.h = f.atom->border.h;
                    f.baseline = baseline;
                } else {
                    float a, h;
                    m_fonts.Metrics(f.owner->style, a, h);
                    f.y = baseline - a;
                    f.h = h;
                    f.baseline = baseline;
                }
                block->lines.push_back(std::move(f));
            }
            y += lineH;
        }
        // Boxes of inline elements: the union of their fragments.
        for (auto& f : block->lines) {
            if (f.atom) continue;
            for (Element* o = f.owner; o && o != block; o = o->parent) {
                RectF r{f.x, f.y, f.w, f.h};
                if (!o->laidOut || (o->border.w == 0 && o->border.h == 0 && o->content.w == 0)) {
                    o->border = r;
                    o->content = r;
                } else {
                    float x1 = std::min(o->border.x, r.x), y1 = std::min(o->border.y, r.y);
                    float x2 = std::max(o->border.x + o->border.w, r.x + r.w), y2 = std::max(o->border.y + o->border.h, r.y + r.h);
                    o->border = {x1, y1, x2 - x1, y2 - y1};
                    o->content = o->border;
                }
                o->laidOut = true;
            }
        }
        return y;
    }

    const LayoutContext& m_ctx;
    FontCache& m_fonts;
};

void ResetBoxes(Element* e)
{
    e->laidOut = false;
    e->border = RectF();
    e->content = RectF();
    e->lines.clear();
    for (auto& c : e->children)
        if (c->IsElement()) ResetBoxes(static_cast<Element*>(c.get()));
}

Element* HitTestIn(Element* e, float x, float y)
{
    if (!e->laidOut || e->style.display == Display::None) return nullptr;
    if (e->style.overflowHidden && !e->border.Contains(x, y)) return nullptr;
    // Positioned children with a higher z-index are on top: test them first.
    std::vector<Element*> kids = e->ElementChildren();
    std::stable_sort(kids.begin(), kids.end(), [](Element* a, Element* b) {
        int za = a->style.IsPositioned() ? (a->style.zIndexAuto ? 0 : a->style.zIndex) * 2 + 1 : 0;
        int zb = b->style.IsPositioned() ? (b->style.zIndexAuto ? 0 : b->style.zIndex) * 2 + 1 : 0;
        return za < zb;
    });
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        if (Element* hit = HitTestIn(*it, x, y)) return hit;
    if (!e->style.visible) return nullptr;
    if (e->border.Contains(x, y)) return e;
    for (auto& f : e->lines)
        if (!f.atom && RectF{f.x, f.y, f.w, f.h}.Contains(x, y)) return f.owner;
    return nullptr;
}

}  // namespace

void LayoutDocument(Document& doc, const LayoutContext& ctx)
{
    ResetBoxes(doc.root.get());
    Layouter(ctx).Run(doc);
}

Element* HitTest(Element* root, float x, float y) { return HitTestIn(root, x, y); }

}  // namespace he
