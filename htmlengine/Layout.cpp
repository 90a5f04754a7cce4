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
    if (!src || src->empty() || !e->document)
        return std::wstring();
    return ResolveUrl(e->document->url, *src);
}

namespace {

bool IsInlineDisplay(Display d)
{
    return d == Display::Inline || d == Display::InlineBlock || d == Display::InlineFlex;
}

bool IsInlineLevel(const Node* n)
{
    if (n->type == Node::Type::Text)
        return true;
    if (!n->IsElement())
        return false;
    const Element* e = static_cast<const Element*>(n);
    if (e->style.display == Display::None)
        return false;
    if (e->style.IsOutOfFlow() || e->style.IsFloat())
        return false;
    return IsInlineDisplay(e->style.display);
}

bool IsAtom(const Element* e)
{
    return e->style.display == Display::InlineBlock || e->style.display == Display::InlineFlex || e->tag == "img" ||
           e->tag == "input" || e->tag == "textarea" || e->tag == "button" || e->tag == "select";
}

bool IsBlank(const std::wstring& t, bool pre)
{
    for (wchar_t c : t)
        if (!iswspace(c) || pre)
            return false;
    return true;
}

struct Item {
    Element* owner = nullptr;
    Element* atom = nullptr;
    std::wstring text;
    bool spaceBefore = false;
    bool forcedBreak = false;
    bool isFloat = false;
};

// Adjoining vertical margins: the largest positive plus the most negative.
struct Margins {
    float pos = 0, neg = 0;
    void Add(float m)
    {
        if (m > 0)
            pos = std::max(pos, m);
        else
            neg = std::min(neg, m);
    }
    void Add(const Margins& o)
    {
        pos = std::max(pos, o.pos);
        neg = std::min(neg, o.neg);
    }
    float Value() const { return pos + neg; }
};

// A float's margin box in document coordinates.
struct FloatBox {
    float x, y, w, h;
    bool left;
};

constexpr float kNoSize = -1;

class Layouter {
public:
    explicit Layouter(const LayoutContext& ctx) : m_ctx(ctx), m_fonts(FontCache::Instance()) { }

    void Run(Document& doc)
    {
        Element* root = doc.root.get();
        m_root = root;
        std::vector<Element*> abs;
        RectF viewport {0, 0, m_ctx.viewportWidth, m_ctx.viewportHeight};
        LayoutBlock(root, 0, 0, m_ctx.viewportWidth, abs, false, m_ctx.viewportHeight);
        if (root->border.h < m_ctx.viewportHeight) {
            root->border.h = m_ctx.viewportHeight;
            root->content.h = std::max(root->content.h, m_ctx.viewportHeight);
        }
        PlaceAbsolutes(abs, viewport);
    }

private:
    // ---- sizes -------------------------------------------------------------
    static float Extras(const ComputedStyle& s)
    {
        return s.padding[1] + s.padding[3] + s.borderWidth[1] + s.borderWidth[3];
    }

    static float ExtrasV(const ComputedStyle& s)
    {
        return s.padding[0] + s.padding[2] + s.borderWidth[0] + s.borderWidth[2];
    }

    static void ResolvePadding(Element* e, float cbw)
    {
        ComputedStyle& s = e->style;
        for (int i = 0; i < 4; ++i)
            if (s.paddingPercent[i] >= 0)
                s.padding[i] = std::max(0.0f, cbw) * s.paddingPercent[i] / 100;
    }

    bool IntrinsicSize(Element* e, float& w, float& h)
    {
        if (e->tag == "img") {
            int iw = 0, ih = 0;
            std::wstring url = ImageUrl(e);
            if (!url.empty() && m_ctx.imageSize && m_ctx.imageSize(url, iw, ih)) {
                w = static_cast<float>(iw);
                h = static_cast<float>(ih);
            } else {
                w = 0;
                h = 0;
            }
            return true;
        }
        if (e->tag == "input" && !e->isTextField) {
            const std::wstring* type = e->Attribute("type");
            std::wstring t = type ? *type : L"";
            for (auto& c : t)
                c = towlower(c);
            if (t == L"button" || t == L"submit" || t == L"reset") {
                const std::wstring* v = e->Attribute("value");
                w = v ? m_fonts.Width(e->style, *v) : 0;
                h = e->style.LineHeightPx();
                return true;
            }
        }
        return false;
    }

    bool IntrinsicSizeKnown(Element* e)
    {
        float w, h;
        return IntrinsicSize(e, w, h);
    }

    // Widest line the content would take without wrapping (border box).
    float MaxContentWidth(Element* e, int depth = 0)
    {
        const ComputedStyle& s = e->style;
        float own = Extras(s);
        if (s.width.unit == Length::Px)
            return ClampWidth(s, s.width.value, 0) + own;
        float iw, ih;
        if (IntrinsicSize(e, iw, ih))
            return iw + own;
        if (depth > 200)
            return own;
        float best = 0, line = 0;
        bool flexRow = s.IsFlex() && !s.flexColumn;
        int items = 0;
        for (auto& c : e->children) {
            if (c->type == Node::Type::Text) {
                if (s.IsFlex() && IsBlank(c->text, false))
                    continue;
                line += m_fonts.Width(s, Collapse(c->text));
            } else if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                if (ce->style.display == Display::None || ce->style.IsOutOfFlow())
                    continue;
                float m = ce->style.margin[1].Resolve(0) + ce->style.margin[3].Resolve(0);
                if (ce->tag == "br") {
                    best = std::max(best, line);
                    line = 0;
                    continue;
                }
                if (flexRow) {
                    line += MaxContentWidth(ce, depth + 1) + m + (items++ ? s.columnGap : 0);
                } else if (IsInlineLevel(ce) || ce->style.IsFloat()) {
                    line += MaxContentWidth(ce, depth + 1) + m;
                } else {
                    best = std::max(best, line);
                    line = 0;
                    best = std::max(best, MaxContentWidth(ce, depth + 1) + m);
                }
            }
        }
        return ClampWidth(s, std::max(best, line), 0) + own;
    }

    static std::wstring Collapse(const std::wstring& t)
    {
        std::wstring out;
        bool space = false;
        for (wchar_t c : t) {
            if (iswspace(c) && c != 0xA0) {
                space = true;
                continue;
            }
            if (space && !out.empty())
                out += L' ';
            space = false;
            out += c;
        }
        return out;
    }

    // min-width wins over max-width, both over width. Percentages of an
    // unknown reference do not apply.
    static float ClampWidth(const ComputedStyle& s, float w, float cbw)
    {
        bool known = cbw > 0;
        if (!s.maxWidth.IsAuto() && (known || s.maxWidth.unit == Length::Px))
            w = std::min(w, s.maxWidth.Resolve(cbw));
        if (!s.minWidth.IsAuto() && (known || s.minWidth.unit == Length::Px))
            w = std::max(w, s.minWidth.Resolve(cbw));
        return std::max(0.0f, w);
    }

    static float ClampHeight(const ComputedStyle& s, float h, float cbh)
    {
        bool known = cbh >= 0;
        if (!s.maxHeight.IsAuto() && (known || s.maxHeight.unit == Length::Px))
            h = std::min(h, s.maxHeight.Resolve(cbh));
        if (!s.minHeight.IsAuto() && (known || s.minHeight.unit == Length::Px))
            h = std::max(h, s.minHeight.Resolve(cbh));
        return std::max(0.0f, h);
    }

    // The content height fixed by the style, or kNoSize.
    static float DefiniteHeight(const ComputedStyle& s, float cbh)
    {
        if (s.height.IsAuto())
            return kNoSize;
        if (s.height.unit == Length::Percent && cbh < 0)
            return kNoSize;
        return ClampHeight(s, s.height.Resolve(cbh), cbh);
    }

    // ---- block formatting ---------------------------------------------------
    bool IsFlexItem(const Element* e) const
    {
        return e->parent && e->parent->style.IsFlex() && !e->style.IsOutOfFlow();
    }

    // Boxes whose margins never collapse with their children's.
    bool IsBfcRoot(const Element* e) const
    {
        const ComputedStyle& s = e->style;
        return e == m_root || IsInlineDisplay(s.display) || s.IsOutOfFlow() || s.IsFloat() || s.overflowHidden ||
               s.IsFlex() || IsFlexItem(e) || e->hostedWindow;
    }

    static Element* FirstFlowChild(Element* e)
    {
        for (auto& c : e->children) {
            if (c->type == Node::Type::Comment)
                continue;
            if (c->type == Node::Type::Text) {
                if (IsBlank(c->text, e->style.preWrap))
                    continue;
                return nullptr;
            }
            if (!c->IsElement())
                continue;
            Element* ce = static_cast<Element*>(c.get());
            if (ce->style.display == Display::None || ce->style.IsOutOfFlow())
                continue;
            if (ce->style.IsFloat() || IsInlineLevel(ce) || ce->tag == "br")
                return nullptr;
            return ce;
        }
        return nullptr;
    }

    bool CollapsesTop(Element* e) const
    {
        const ComputedStyle& s = e->style;
        return !IsBfcRoot(e) && s.borderWidth[0] == 0 && s.padding[0] == 0 && FirstFlowChild(e) && e->tag != "input" &&
               e->tag != "textarea" && e->tag != "select";
    }

    bool CollapsesBottom(Element* e) const
    {
        const ComputedStyle& s = e->style;
        return !IsBfcRoot(e) && s.borderWidth[2] == 0 && s.padding[2] == 0 && s.height.IsAuto() &&
               (s.minHeight.IsAuto() || s.minHeight.value == 0);
    }

    // The top margin of a block together with the margins it collapses with.
    Margins EffectiveTop(Element* e, float cbw, int depth = 0)
    {
        Margins m;
        m.Add(e->style.margin[0].Resolve(cbw));
        if (depth < 200 && e->style.clear == Clear::None && CollapsesTop(e)) {
            Element* first = FirstFlowChild(e);
            if (first->style.clear == Clear::None)
                m.Add(EffectiveTop(first, cbw, depth + 1));
        }
        return m;
    }

    // Lays out `e` with its margin box's top-left at (x, y) in a containing
    // block of width cbw — or, with `atBorder`, its border box's top at y, the
    // top margins already collapsed by the caller. `shrink` sizes an auto
    // width to the content; forced sizes (flex items) replace the width and
    // height. Returns the bottom margins that pass out of the box.
    Margins LayoutBlock(Element* e, float x, float y, float cbw, std::vector<Element*>& abs, bool shrink = false,
                        float cbh = kNoSize, bool atBorder = false, float forcedW = kNoSize, float forcedH = kNoSize)
    {
        ComputedStyle& s = e->style;
        ++m_work;
        e->lines.clear();
        e->laidOut = true;
        ResolvePadding(e, cbw);
        float ml = s.margin[3].Resolve(cbw), mr = s.margin[1].Resolve(cbw), mt = s.margin[0].Resolve(cbw);
        float bl = s.borderWidth[3], bt = s.borderWidth[0], bb = s.borderWidth[2];
        float pl = s.padding[3], pt = s.padding[0], pb = s.padding[2];
        float extras = Extras(s);
        float iw = 0, ih = 0;
        bool intrinsic = IntrinsicSize(e, iw, ih);
        float width;
        if (forcedW >= 0) {
            width = forcedW;
        } else {
            if (!s.width.IsAuto()) {
                width = s.width.Resolve(cbw);
            } else if (intrinsic) {
                width = iw;
                if (e->tag == "img" && !s.height.IsAuto() && ih > 0)
                    width = iw * s.height.Resolve(cbh < 0 ? 0 : cbh) / ih;
            } else if (shrink) {
                width = std::min(MaxContentWidth(e) - extras, cbw - ml - mr - extras);
            } else {
                width = cbw - ml - mr - extras;
            }
            width = ClampWidth(s, width, cbw);
        }
        // Auto side margins of a block in flow take the free space.
        if (!shrink && forcedW < 0 && !s.width.IsAuto() && !s.IsOutOfFlow() && !IsInlineDisplay(s.display)) {
            float free = cbw - width - extras - (s.margin[3].IsAuto() ? 0 : ml) - (s.margin[1].IsAuto() ? 0 : mr);
            if (s.margin[1].IsAuto() && s.margin[3].IsAuto())
                ml = std::max(0.0f, free / 2);
            else if (s.margin[3].IsAuto())
                ml = std::max(0.0f, free);
        }
        e->border.x = x + ml;
        e->border.y = atBorder ? y : y + mt;
        e->content.x = e->border.x + bl + pl;
        e->content.y = e->border.y + bt + pt;
        e->content.w = width;
        e->border.w = width + extras;
        float definite = forcedH >= 0 ? forcedH : DefiniteHeight(s, cbh);
        if (intrinsic && e->tag == "img" && definite < 0) {
            definite = ih;
            if (!s.width.IsAuto() && iw > 0)
                definite = ih * width / iw;
            definite = ClampHeight(s, definite, cbh);
        }
        e->content.h = definite >= 0 ? definite : 0;

        float contentHeight = 0;
        Margins bottom;
        if (!intrinsic || e->tag == "input") {
            if (e->hostedWindow || (e->tag == "input") || e->tag == "textarea" || e->tag == "select")
                contentHeight = e->tag == "input" && !e->isTextField ? s.LineHeightPx() : 0;
            else if (s.IsFlex())
                contentHeight = LayoutFlex(e, abs, definite);
            else
                contentHeight = LayoutChildren(e, abs, atBorder && CollapsesTop(e), bottom);
        }
        float height = definite >= 0 ? definite : ClampHeight(s, contentHeight, cbh);
        // A button taller than its label centres the label vertically.
        if (e->tag == "button" && !s.IsFlex() && height > contentHeight + 0.5f)
            CentreContent(e, (height - contentHeight) / 2);
        e->content.h = height;
        e->border.h = height + bt + bb + pt + pb;
        if (s.overflowScroll)
            ScrollContent(e, contentHeight);
        Margins out;
        out.Add(s.margin[2].Resolve(cbw));
        if (CollapsesBottom(e))
            out.Add(bottom);
        if (s.position == Position::Relative) {
            float dx = !s.left.IsAuto() ? s.left.Resolve(cbw) : !s.right.IsAuto() ? -s.right.Resolve(cbw) : 0;
            float dy = !s.top.IsAuto()      ? s.top.Resolve(cbh < 0 ? 0 : cbh)
                       : !s.bottom.IsAuto() ? -s.bottom.Resolve(cbh < 0 ? 0 : cbh)
                                            : 0;
            if (dx || dy)
                Offset(e, dx, dy);
        }
        return out;
    }

    float RelativeDy(const Element* e) const
    {
        const ComputedStyle& s = e->style;
        if (s.position != Position::Relative)
            return 0;
        return !s.top.IsAuto() ? s.top.Resolve(0) : !s.bottom.IsAuto() ? -s.bottom.Resolve(0) : 0;
    }

    // ---- floats ---------------------------------------------------------------
    // The free span [left, right) at height band [y, y + h) inside [x0, x1).
    void FreeSpan(float y, float h, float x0, float x1, float& left, float& right) const
    {
        left = x0;
        right = x1;
        if (!m_floats)
            return;
        for (const FloatBox& f : *m_floats) {
            if (f.y >= y + std::max(h, 0.01f) || f.y + f.h <= y)
                continue;
            if (f.left)
                left = std::max(left, f.x + f.w);
            else
                right = std::min(right, f.x);
        }
    }

    float ClearY(Clear c) const
    {
        float y = -1e30f;
        if (!m_floats || c == Clear::None)
            return y;
        for (const FloatBox& f : *m_floats)
            if ((f.left && c != Clear::Right) || (!f.left && c != Clear::Left))
                y = std::max(y, f.y + f.h);
        return y;
    }

    float FloatBottom() const
    {
        float y = -1e30f;
        if (m_floats)
            for (const FloatBox& f : *m_floats)
                y = std::max(y, f.y + f.h);
        return y;
    }

    // Places a float no higher than `top` inside the content box of `block`.
    void PlaceFloat(Element* f, Element* block, float top, std::vector<Element*>& abs)
    {
        float cbw = block->content.w;
        LayoutBlock(f, 0, 0, cbw, abs, true, block->style.height.IsAuto() ? kNoSize : block->content.h);
        const ComputedStyle& s = f->style;
        float mw = f->border.w + s.margin[1].Resolve(cbw) + s.margin[3].Resolve(cbw);
        float mh = f->border.h + s.margin[0].Resolve(cbw) + s.margin[2].Resolve(cbw);
        bool left = s.floating == Float::Left;
        float y = std::max(top, ClearY(s.clear));
        if (m_floats)
            for (const FloatBox& o : *m_floats)
                y = std::max(y, o.y);  // never above an earlier float
        float x0 = block->content.x, x1 = block->content.x + cbw;
        for (int guard = 0; guard < 1000; ++guard) {
            float l, r;
            FreeSpan(y, mh, x0, x1, l, r);
            if (r - l >= mw - 0.01f || (l == x0 && r == x1)) {
                float x = left ? l : r - mw;
                Offset(f, x + s.margin[3].Resolve(cbw) - f->border.x, y + s.margin[0].Resolve(cbw) - f->border.y);
                if (m_floats)
                    m_floats->push_back({x, y, mw, mh, left});
                return;
            }
            // Move below the float that ends first.
            float next = 1e30f;
            for (const FloatBox& o : *m_floats)
                if (o.y + o.h > y)
                    next = std::min(next, o.y + o.h);
            if (next >= 1e30f)
                break;
            y = next;
        }
        Offset(f, x0 - f->border.x, y - f->border.y);
    }

    // ---- block container ------------------------------------------------------
    // Lays out the children of a block container; returns the content height.
    // `topAbsorbed`: the first child's top margins were collapsed into this
    // box's. `bottom` receives the margins at the end that may pass through.
    float LayoutChildren(Element* e, std::vector<Element*>& absOuter, bool topAbsorbed, Margins& bottom)
    {
        std::vector<Element*> ownAbs;
        std::vector<Element*>& abs = e->style.IsPositioned() ? ownAbs : absOuter;
        std::vector<FloatBox> ownFloats;
        std::vector<FloatBox>* savedFloats = m_floats;
        bool root = IsBfcRoot(e);
        if (root)
            m_floats = &ownFloats;
        float cbw = e->content.w;
        float cbh = e->style.height.IsAuto() ? kNoSize : e->content.h;
        float cy = e->content.y;
        Margins pending;
        bool topOpen = topAbsorbed;
        std::vector<Node*> inlineRun;
        auto flushInline = [&] {
            if (inlineRun.empty())
                return;
            bool any = false;
            for (Node* n : inlineRun) {
                if (n->type == Node::Type::Text) {
                    if (!IsBlank(n->text, e->style.preWrap)) {
                        any = true;
                        break;
                    }
                } else if (n->IsElement() && !static_cast<Element*>(n)->style.IsFloat()) {
                    any = true;
                    break;
                }
            }
            if (any) {
                cy += pending.Value();
                pending = Margins();
                topOpen = false;
                cy = LayoutInline(e, inlineRun, cy, abs);
            } else {
                for (Node* n : inlineRun)
                    if (n->IsElement())
                        PlaceFloat(static_cast<Element*>(n), e, cy + pending.Value(), abs);
            }
            inlineRun.clear();
        };
        for (auto& c : e->children) {
            Node* n = c.get();
            if (n->type == Node::Type::Comment)
                continue;
            if (n->IsElement()) {
                Element* ce = static_cast<Element*>(n);
                if (ce->style.display == Display::None) {
                    ce->laidOut = false;
                    continue;
                }
                if (ce->style.IsOutOfFlow()) {
                    // Static position: where it would have been.
                    ce->border.x = e->content.x;
                    ce->border.y = cy + (topOpen ? 0 : pending.Value());
                    if (!inlineRun.empty())
                        inlineRun.push_back(n);
                    else
                        abs.push_back(ce);
                    continue;
                }
                if (ce->style.IsFloat()) {
                    if (!inlineRun.empty())
                        inlineRun.push_back(n);
                    else
                        PlaceFloat(ce, e, cy + (topOpen ? 0 : pending.Value()), abs);
                    continue;
                }
            }
            if (IsInlineLevel(n)) {
                inlineRun.push_back(n);
                continue;
            }
            flushInline();
            Element* ce = static_cast<Element*>(n);
            Margins m = topOpen ? Margins() : pending;
            if (!topOpen)
                m.Add(EffectiveTop(ce, cbw));
            float by = cy + m.Value();
            if (ce->style.clear != Clear::None) {
                float clearY = ClearY(ce->style.clear);
                if (by < clearY)
                    by = clearY;
            }
            Margins out = LayoutBlock(ce, e->content.x, by, cbw, abs, false, cbh, true);
            bool empty = ce->border.h == 0 && ce->lines.empty() && !IsBfcRoot(ce) && ce->style.clear == Clear::None;
            if (empty) {
                // Its top and bottom margins collapse through it.
                pending = m;
                pending.Add(out);
                if (topOpen)
                    pending = out;
                ce->border.y = ce->content.y = cy;
            } else {
                cy = ce->border.y + ce->border.h - RelativeDy(ce);
                pending = out;
                topOpen = false;
            }
        }
        flushInline();
        bottom = Margins();
        if (CollapsesBottom(e) && e != m_root)
            bottom = pending;
        else
            cy += pending.Value();
        float contentHeight = cy - e->content.y;
        if (root && e->style.height.IsAuto())
            contentHeight = std::max(contentHeight, FloatBottom() - e->content.y);
        m_floats = savedFloats;
        if (e->style.IsPositioned())
            PlaceOwnAbsolutes(e, ownAbs, contentHeight);
        return contentHeight;
    }

    // Absolutes need the box's final height when they use bottom.
    void PlaceOwnAbsolutes(Element* e, std::vector<Element*>& ownAbs, float contentHeight)
    {
        if (ownAbs.empty())
            return;
        const ComputedStyle& s = e->style;
        float savedH = e->content.h;
        float h = s.height.IsAuto() ? contentHeight : e->content.h;
        RectF pad {e->border.x + s.borderWidth[3], e->border.y + s.borderWidth[0],
                   e->content.w + s.padding[1] + s.padding[3], h + s.padding[0] + s.padding[2]};
        PlaceAbsolutes(ownAbs, pad);
        e->content.h = savedH;
    }

    void PlaceAbsolutes(std::vector<Element*>& abs, const RectF& cb)
    {
        // A box laid out twice (a flex item stretched) reported its absolutes twice.
        for (size_t i = 0; i < abs.size(); ++i) {
            Element* a = abs[i];
            if (std::find(abs.begin(), abs.begin() + static_cast<std::ptrdiff_t>(i), a) !=
                abs.begin() + static_cast<std::ptrdiff_t>(i))
                continue;
            ComputedStyle& s = a->style;
            RectF box = s.position == Position::Fixed ? RectF {0, 0, m_ctx.viewportWidth, m_ctx.viewportHeight} : cb;
            float staticX = a->border.x, staticY = a->border.y;
            float cbw = box.w;
            ResolvePadding(a, cbw);
            float ml = s.margin[3].Resolve(cbw), mr = s.margin[1].Resolve(cbw), mt = s.margin[0].Resolve(cbw),
                  mb = s.margin[2].Resolve(cbw);
            // An auto width fills the room between left and right, or
            // shrinks to the content within the room left by the one given.
            float forcedW = kNoSize;
            if (s.width.IsAuto() && !s.left.IsAuto() && !s.right.IsAuto()) {
                forcedW = ClampWidth(s, cbw - s.left.Resolve(cbw) - s.right.Resolve(cbw) - ml - mr - Extras(s), cbw);
            } else if (s.width.IsAuto() && !IntrinsicSizeKnown(a)) {
                float availW = cbw - (!s.left.IsAuto()    ? s.left.Resolve(cbw)
                                      : !s.right.IsAuto() ? s.right.Resolve(cbw)
                                                          : 0);
                forcedW = ClampWidth(s, std::min(MaxContentWidth(a) - Extras(s), availW - ml - mr - Extras(s)), cbw);
            }
            float forcedH = kNoSize;
            if (s.height.IsAuto() && !s.top.IsAuto() && !s.bottom.IsAuto())
                forcedH = ClampHeight(s, box.h - s.top.Resolve(box.h) - s.bottom.Resolve(box.h) - mt - mb - ExtrasV(s),
                                      box.h);
            std::vector<Element*> nested;
            LayoutBlock(a, 0, 0, cbw, nested, false, box.h, false, forcedW >= 0 ? std::max(0.0f, forcedW) : kNoSize,
                        forcedH >= 0 ? std::max(0.0f, forcedH) : kNoSize);
            float x, y;
            if (!s.left.IsAuto())
                x = box.x + s.left.Resolve(cbw) + ml;
            else if (!s.right.IsAuto())
                x = box.x + box.w - s.right.Resolve(cbw) - mr - a->border.w;
            else
                x = staticX + ml;
            if (!s.top.IsAuto())
                y = box.y + s.top.Resolve(box.h) + mt;
            else if (!s.bottom.IsAuto())
                y = box.y + box.h - s.bottom.Resolve(box.h) - mb - a->border.h;
            else
                y = staticY + mt;
            Offset(a, x - a->border.x, y - a->border.y);
            if (!nested.empty())
                PlaceAbsolutes(nested, cb);  // their containing block is further up
        }
    }

    // ---- flex layout ------------------------------------------------------------
    struct FlexItem {
        Element* e;
        float base = 0;        // flex base size (content box, main axis)
        float main = 0;        // resolved main size (content box)
        float outerExtra = 0;  // margins, borders and padding on the main axis
        float cross = 0;       // outer cross size after layout
        bool frozen = false;
        bool laidOutAtBase = false;
    };

    float ColumnItemWidth(Element* item, const ComputedStyle& container, float cw)
    {
        const ComputedStyle& is = item->style;
        FlexAlign al = is.alignSelf == FlexAlign::Auto ? container.alignItems : is.alignSelf;
        float mlr = is.margin[1].Resolve(cw) + is.margin[3].Resolve(cw);
        float w = !is.width.IsAuto()         ? is.width.Resolve(cw)
                  : al == FlexAlign::Stretch ? cw - mlr - Extras(is)
                                             : std::min(MaxContentWidth(item) - Extras(is), cw - mlr - Extras(is));
        return std::max(0.0f, ClampWidth(is, w, cw));
    }

    static bool HasOutOfFlow(const Element* e)
    {
        for (auto& c : e->children)
            if (c->IsElement()) {
                const Element* ce = static_cast<const Element*>(c.get());
                if (ce->style.IsOutOfFlow() || HasOutOfFlow(ce))
                    return true;
            }
        return false;
    }

    // Past this many box layouts, flex items are not laid out a second time:
    // a pathological page lays out roughly, never exponentially long.
    bool Cheap() const { return m_work > 200000; }

    float MainMin(const ComputedStyle& s, bool column, float ref) const
    {
        const Length& l = column ? s.minHeight : s.minWidth;
        return l.IsAuto() || (l.unit == Length::Percent && ref < 0) ? 0 : l.Resolve(ref);
    }

    float MainMax(const ComputedStyle& s, bool column, float ref) const
    {
        const Length& l = column ? s.maxHeight : s.maxWidth;
        return l.IsAuto() || (l.unit == Length::Percent && ref < 0) ? 1e30f : l.Resolve(ref);
    }

    float LayoutFlex(Element* e, std::vector<Element*>& absOuter, float definiteH)
    {
        std::vector<Element*> ownAbs;
        std::vector<Element*>& abs = e->style.IsPositioned() ? ownAbs : absOuter;
        const ComputedStyle& s = e->style;
        const bool column = s.flexColumn;
        const float cw = e->content.w;
        const float mainSize = column ? definiteH : cw;
        const float mainGap = column ? s.rowGap : s.columnGap, crossGap = column ? s.columnGap : s.rowGap;

        std::vector<FlexItem> items;
        for (auto& c : e->children) {
            if (!c->IsElement())
                continue;
            Element* ce = static_cast<Element*>(c.get());
            if (ce->style.display == Display::None) {
                ce->laidOut = false;
                continue;
            }
            if (ce->style.IsOutOfFlow()) {
                ce->border.x = e->content.x;
                ce->border.y = e->content.y;
                abs.push_back(ce);
                continue;
            }
            items.push_back({ce});
        }
        std::stable_sort(items.begin(), items.end(),
                         [](const FlexItem& a, const FlexItem& b) { return a.e->style.order < b.e->style.order; });
        if (s.flexReverse)
            std::reverse(items.begin(), items.end());

        // Base sizes.
        for (FlexItem& it : items) {
            ComputedStyle& is = it.e->style;
            ResolvePadding(it.e, cw);
            float m0 = is.margin[column ? 0 : 3].Resolve(cw), m1 = is.margin[column ? 2 : 1].Resolve(cw);
            it.outerExtra = m0 + m1 + (column ? ExtrasV(is) : Extras(is));
            const Length& size = column ? is.height : is.width;
            if (!is.flexBasis.IsAuto() && !(is.flexBasis.unit == Length::Percent && mainSize < 0)) {
                it.base = is.flexBasis.Resolve(mainSize);
            } else if (!size.IsAuto() && !(size.unit == Length::Percent && mainSize < 0)) {
                it.base = size.Resolve(mainSize);
            } else if (!column) {
                it.base = MaxContentWidth(it.e) - Extras(is);
            } else {
                // The content height at the width the item will have (laid out again only if it flexes).
                std::vector<Element*> scratch;
                LayoutBlock(it.e, 0, 0, cw, scratch, false, definiteH, false, ColumnItemWidth(it.e, s, cw));
                it.base = it.e->content.h;
                it.laidOutAtBase = true;
            }
            it.base = std::max(0.0f, it.base);
            it.main = std::clamp(it.base, MainMin(is, column, mainSize), MainMax(is, column, mainSize));
        }

        // Lines.
        std::vector<std::pair<size_t, size_t>> lines;  // [begin, end)
        {
            size_t begin = 0;
            float used = 0;
            for (size_t i = 0; i < items.size(); ++i) {
                float outer = items[i].main + items[i].outerExtra;
                if (s.flexWrap && mainSize >= 0 && i > begin && used + mainGap + outer > mainSize + 0.01f) {
                    lines.push_back({begin, i});
                    begin = i;
                    used = 0;
                }
                used += (i > begin ? mainGap : 0) + outer;
            }
            if (begin < items.size() || items.empty())
                lines.push_back({begin, items.size()});
        }

        // Resolve flexible lengths line by line, then lay the items out.
        float crossCursor = 0;
        std::vector<float> lineCross(lines.size(), 0);
        std::vector<float> lineBaseline(lines.size(), 0);
        for (size_t li = 0; li < lines.size(); ++li) {
            auto [b, en] = lines[li];
            if (mainSize >= 0)
                ResolveFlexible(items, b, en, mainSize - mainGap * static_cast<float>(en > b ? en - b - 1 : 0), column);
            for (size_t i = b; i < en; ++i) {
                FlexItem& it = items[i];
                ComputedStyle& is = it.e->style;
                std::vector<Element*>& target = abs;
                if (!column) {
                    LayoutBlock(it.e, 0, 0, cw, target, false, definiteH, false, it.main);
                    it.cross = it.e->border.h + is.margin[0].Resolve(cw) + is.margin[2].Resolve(cw);
                } else {
                    float mlr = is.margin[1].Resolve(cw) + is.margin[3].Resolve(cw);
                    // Abs boxes found while measuring were dropped: lay out again when they exist too.
                    if (!(it.laidOutAtBase && it.main == it.base && !HasOutOfFlow(it.e)) || Cheap())
                        LayoutBlock(it.e, 0, 0, cw, target, false, definiteH, false, ColumnItemWidth(it.e, s, cw),
                                    it.main);
                    it.cross = it.e->border.w + mlr;
                }
                lineCross[li] = std::max(lineCross[li], it.cross);
            }
            if (!column) {
                // Baseline-aligned items share the line's largest ascent.
                float maxAscent = 0, maxDescent = 0;
                for (size_t i = b; i < en; ++i) {
                    ComputedStyle& is = items[i].e->style;
                    FlexAlign al = is.alignSelf == FlexAlign::Auto ? s.alignItems : is.alignSelf;
                    if (al != FlexAlign::Baseline)
                        continue;
                    float a = is.margin[0].Resolve(cw) + FirstBaseline(items[i].e);
                    maxAscent = std::max(maxAscent, a);
                    maxDescent = std::max(maxDescent, items[i].cross - a);
                }
                lineBaseline[li] = maxAscent;
                lineCross[li] = std::max(lineCross[li], maxAscent + maxDescent);
            }
        }
        float crossSize = column ? cw : definiteH;
        if (lines.size() == 1 && crossSize >= 0)
            lineCross[0] = crossSize;
        float totalCross = 0;
        for (size_t li = 0; li < lines.size(); ++li)
            totalCross += lineCross[li] + (li ? crossGap : 0);
        // align-content: stretch shares the free cross space between the lines.
        float crossStart = 0, crossBetween = 0;
        if (lines.size() > 1 && crossSize >= 0) {
            float free = crossSize - totalCross;
            size_t n = lines.size();
            switch (s.alignContent) {
            case FlexAlign::Stretch:
                if (free > 0)
                    for (float& lc : lineCross)
                        lc += free / static_cast<float>(n);
                break;
            case FlexAlign::End:
                crossStart = free;
                break;
            case FlexAlign::Center:
                crossStart = free / 2;
                break;
            case FlexAlign::SpaceBetween:
                if (free > 0)
                    crossBetween = free / static_cast<float>(n - 1);
                break;
            case FlexAlign::SpaceAround:
                if (free > 0) {
                    crossBetween = free / static_cast<float>(n);
                    crossStart = crossBetween / 2;
                }
                break;
            case FlexAlign::SpaceEvenly:
                if (free > 0) {
                    crossBetween = free / static_cast<float>(n + 1);
                    crossStart = crossBetween;
                }
                break;
            default:
                break;
            }
        }

        crossCursor = crossStart;
        float mainExtent = 0;
        for (size_t li = 0; li < lines.size(); ++li) {
            auto [b, en] = lines[li];
            float used = 0;
            for (size_t i = b; i < en; ++i)
                used += items[i].main + items[i].outerExtra + (i > b ? mainGap : 0);
            float containerMain = mainSize >= 0 ? mainSize : used;
            float free = containerMain - used;
            size_t n = en - b;
            float start = 0, between = 0;
            FlexAlign jc = s.justifyContent;
            if (s.flexReverse) {
                if (jc == FlexAlign::Start)
                    jc = FlexAlign::End;
                else if (jc == FlexAlign::End)
                    jc = FlexAlign::Start;
            }
            switch (jc) {
            case FlexAlign::End:
                start = free;
                break;
            case FlexAlign::Center:
                start = free / 2;
                break;
            case FlexAlign::SpaceBetween:
                if (free > 0 && n > 1)
                    between = free / static_cast<float>(n - 1);
                break;
            case FlexAlign::SpaceAround:
                if (free > 0) {
                    between = free / static_cast<float>(n);
                    start = between / 2;
                } else
                    start = free / 2;
                break;
            case FlexAlign::SpaceEvenly:
                if (free > 0) {
                    between = free / static_cast<float>(n + 1);
                    start = between;
                } else
                    start = free / 2;
                break;
            default:
                break;
            }
            float pos = start;
            for (size_t i = b; i < en; ++i) {
                FlexItem& it = items[i];
                ComputedStyle& is = it.e->style;
                FlexAlign al = is.alignSelf == FlexAlign::Auto ? s.alignItems : is.alignSelf;
                float m0 = is.margin[column ? 0 : 3].Resolve(cw);
                float crossM0 = is.margin[column ? 3 : 0].Resolve(cw), crossM1 = is.margin[column ? 1 : 2].Resolve(cw);
                float lc = lineCross[li];
                // Stretch: an auto cross size fills the line.
                const Length& crossLen = column ? is.width : is.height;
                if (al == FlexAlign::Stretch && crossLen.IsAuto()) {
                    float want = lc - crossM0 - crossM1;
                    if (!column) {
                        float h = ClampHeight(is, want - ExtrasV(is), definiteH);
                        if (h != it.e->content.h && !Cheap()) {
                            std::vector<Element*>& target = abs;
                            LayoutBlock(it.e, 0, 0, cw, target, false, definiteH, false, it.main, h);
                        }
                    }
                    it.cross = lc;
                }
                float crossOffset = 0;
                float boxCross = column ? it.e->border.w : it.e->border.h;
                float freeCross = lc - boxCross - crossM0 - crossM1;
                if (al == FlexAlign::End)
                    crossOffset = freeCross;
                else if (al == FlexAlign::Center)
                    crossOffset = freeCross / 2;
                else if (al == FlexAlign::Baseline && !column)
                    crossOffset = lineBaseline[li] - (crossM0 + FirstBaseline(it.e));
                float mainPos = pos + m0;
                float crossPos = crossCursor + crossM0 + crossOffset;
                float tx = column ? e->content.x + crossPos : e->content.x + mainPos;
                float ty = column ? e->content.y + mainPos : e->content.y + crossPos;
                Offset(it.e, tx - it.e->border.x, ty - it.e->border.y);
                if (is.position == Position::Relative) {
                    float dx = !is.left.IsAuto() ? is.left.Resolve(cw) : !is.right.IsAuto() ? -is.right.Resolve(cw) : 0;
                    float dy = RelativeDy(it.e);
                    if (dx || dy)
                        Offset(it.e, dx, dy);
                }
                pos += it.main + it.outerExtra + mainGap + between;
            }
            mainExtent = std::max(mainExtent, containerMain);
            crossCursor += lineCross[li] + crossGap + crossBetween;
        }
        float contentHeight = column ? (mainSize >= 0 ? mainSize : mainExtent) : totalCross;
        if (e->style.IsPositioned())
            PlaceOwnAbsolutes(e, ownAbs, contentHeight);
        return contentHeight;
    }

    void ResolveFlexible(std::vector<FlexItem>& items, size_t b, size_t en, float space, bool column)
    {
        for (size_t i = b; i < en; ++i) {
            items[i].main = items[i].base;
            items[i].frozen = false;
        }
        for (int round = 0; round < 8; ++round) {
            float used = 0, grow = 0, shrinkWeight = 0;
            for (size_t i = b; i < en; ++i) {
                used += items[i].main + items[i].outerExtra;
                if (items[i].frozen)
                    continue;
                grow += items[i].e->style.flexGrow;
                shrinkWeight += items[i].e->style.flexShrink * items[i].base;
            }
            float free = space - used;
            bool growing = free > 0;
            if (growing && grow <= 0)
                break;
            if (!growing && (free >= 0 || shrinkWeight <= 0))
                break;
            // A sum of grow factors below one hands out only that share.
            float share = growing && grow < 1 ? free * grow : free;
            bool clamped = false;
            for (size_t i = b; i < en; ++i) {
                FlexItem& it = items[i];
                if (it.frozen)
                    continue;
                const ComputedStyle& is = it.e->style;
                float target = growing ? it.main + share * is.flexGrow / grow
                                       : it.main + share * (is.flexShrink * it.base) / shrinkWeight;
                float lo = MainMin(is, column, space), hi = MainMax(is, column, space);
                float clampedT = std::clamp(target, lo, std::max(lo, hi));
                if (clampedT != target) {
                    it.frozen = true;
                    clamped = true;
                }
                it.main = std::max(0.0f, clampedT);
            }
            if (!clamped)
                break;
            // Unclamped items start over from their base sizes with what is left.
            for (size_t i = b; i < en; ++i)
                if (!items[i].frozen)
                    items[i].main = items[i].base;
        }
    }

    // Distance from a box's border top to its first baseline.
    float FirstBaseline(Element* e, int depth = 0)
    {
        if (!e->lines.empty())
            return e->lines.front().baseline - e->border.y;
        if (depth < 100)
            for (auto& c : e->children) {
                if (!c->IsElement())
                    continue;
                Element* ce = static_cast<Element*>(c.get());
                if (!ce->laidOut || ce->style.IsOutOfFlow() || ce->style.display == Display::None)
                    continue;
                return ce->border.y - e->border.y + FirstBaseline(ce, depth + 1);
            }
        return e->border.h;
    }

    // Distance from an inline-block's margin top to its baseline: its last
    // line box, or its bottom margin edge when it has none or clips.
    float AtomBaseline(Element* a, float cbw)
    {
        float mt = a->style.margin[0].Resolve(cbw);
        float mb = a->style.margin[2].Resolve(cbw);
        if (a->style.display == Display::InlineBlock && !a->style.overflowHidden && a->tag != "img" &&
            a->tag != "input" && a->tag != "textarea" && a->tag != "select") {
            float b = LastBaseline(a);
            if (b >= 0)
                return mt + b;
        }
        if (a->style.display == Display::InlineFlex)
            return mt + FirstBaseline(a);
        return mt + a->border.h + mb;
    }

    float LastBaseline(Element* e, int depth = 0)
    {
        if (!e->lines.empty())
            return e->lines.back().baseline - e->border.y;
        if (depth > 100)
            return -1;
        for (auto it = e->children.rbegin(); it != e->children.rend(); ++it) {
            if (!(*it)->IsElement())
                continue;
            Element* ce = static_cast<Element*>(it->get());
            if (!ce->laidOut || ce->style.IsOutOfFlow() || ce->style.IsFloat() || ce->style.display == Display::None)
                continue;
            float b = LastBaseline(ce, depth + 1);
            if (b >= 0)
                return ce->border.y - e->border.y + b;
        }
        return -1;
    }

    // Content taller than the box scrolls: its extent is kept and the
    // children move up by the (clamped) scroll position.
    static void ScrollContent(Element* e, float contentHeight)
    {
        float bottom = e->content.y + contentHeight;
        for (auto& f : e->lines)
            bottom = std::max(bottom, f.y + f.h);
        for (auto& c : e->children)
            if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                if (ce->laidOut && ce->style.position != Position::Absolute && ce->style.position != Position::Fixed)
                    bottom = std::max(bottom, ce->border.y + ce->border.h + ce->style.margin[2].Resolve(0));
            }
        float padTop = e->border.y + e->style.borderWidth[0];
        e->scrollHeight = bottom + e->style.padding[2] - padTop;
        e->scrollTop = std::clamp(e->scrollTop, 0.0f, e->MaxScroll());
        if (e->scrollTop <= 0)
            return;
        for (auto& f : e->lines) {
            f.y -= e->scrollTop;
            f.baseline -= e->scrollTop;
        }
        for (auto& c : e->children)
            if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                if (ce->laidOut)
                    Offset(ce, 0, -e->scrollTop);
            }
    }

    static void Offset(Element* e, float dx, float dy)
    {
        e->border.x += dx;
        e->border.y += dy;
        e->content.x += dx;
        e->content.y += dy;
        for (auto& f : e->lines) {
            f.x += dx;
            f.y += dy;
            f.baseline += dy;
        }
        for (auto& c : e->children)
            if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                // Fixed boxes stay where the viewport put them.
                if (ce->laidOut && ce->style.position != Position::Fixed)
                    Offset(ce, dx, dy);
            }
    }

    // Moves the in-flow content of `e` down by `dy`, the box itself staying.
    static void CentreContent(Element* e, float dy)
    {
        for (auto& f : e->lines) {
            f.y += dy;
            f.baseline += dy;
            if (f.atom)
                Offset(f.atom, 0, dy);
        }
        for (auto& c : e->children)
            if (c->IsElement()) {
                Element* ce = static_cast<Element*>(c.get());
                if (ce->laidOut && !ce->style.IsOutOfFlow() && !IsInlineLevel(ce))
                    Offset(ce, 0, dy);
            }
    }

    // ---- inline layout -----------------------------------------------------
    void CollectItems(Node* n, Element* owner, std::vector<Item>& items, std::vector<Element*>& abs, bool& pendingSpace,
                      int depth = 0)
    {
        if (n->type == Node::Type::Text) {
            const std::wstring& t = n->text;
            bool pre = owner->style.preWrap;
            size_t i = 0;
            while (i < t.size()) {
                wchar_t c = t[i];
                if (pre && c == L'\n') {
                    Item br;
                    br.owner = owner;
                    br.forcedBreak = true;
                    items.push_back(br);
                    ++i;
                    pendingSpace = false;
                    continue;
                }
                if (iswspace(c) && c != 0xA0 && !pre) {
                    pendingSpace = true;
                    ++i;
                    continue;
                }
                if (pre && (c == L' ' || c == L'\t')) {
                    Item sp;
                    sp.owner = owner;
                    sp.text = c == L'\t' ? L"        " : L" ";
                    items.push_back(sp);
                    ++i;
                    continue;
                }
                size_t j = i;
                if (IsCjk(c)) {
                    j = i + 1;  // every CJK character is a break opportunity
                    while (j < t.size() && IsCombiningMark(t[j]))
                        ++j;  // its marks stay with it
                } else {
                    while (j < t.size() && !(iswspace(t[j]) && t[j] != 0xA0) && !IsCjk(t[j])) {
                        ++j;
                        if (t[j - 1] == L'-' || t[j - 1] == L'/')
                            break;  // break after hyphens and slashes
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
        if (!n->IsElement())
            return;
        Element* e = static_cast<Element*>(n);
        if (e->style.display == Display::None) {
            e->laidOut = false;
            return;
        }
        if (e->style.IsOutOfFlow()) {
            abs.push_back(e);
            return;
        }
        if (e->style.IsFloat()) {
            Item it;
            it.owner = owner;
            it.atom = e;
            it.isFloat = true;
            items.push_back(it);
            return;
        }
        if (e->tag == "br") {
            Item br;
            br.owner = owner;
            br.forcedBreak = true;
            items.push_back(br);
            pendingSpace = false;
            return;
        }
        if (IsAtom(e) || !IsInlineDisplay(e->style.display) || depth > 200) {
            Item it;
            it.owner = owner;
            it.atom = e;
            it.spaceBefore = pendingSpace;
            pendingSpace = false;
            items.push_back(it);
            return;
        }
        e->laidOut = true;
        for (auto& c : e->children)
            CollectItems(c.get(), e, items, abs, pendingSpace, depth + 1);
    }

    // How far an inline box's baseline sits above its parent's (vertical-align).
    static float BaselineShift(const Element* owner, const Element* block)
    {
        float shift = 0;
        for (const Element* o = owner; o && o != block; o = o->parent) {
            const ComputedStyle& s = o->style;
            const ComputedStyle& ps = o->parent ? o->parent->style : s;
            switch (s.verticalAlign) {
            case VerticalAlign::Sub:
                shift -= ps.fontSize / 5;
                break;
            case VerticalAlign::Super:
                shift += ps.fontSize / 3;
                break;
            case VerticalAlign::Length:
                shift += s.verticalShift;
                break;
            default:
                break;
            }
        }
        return shift;
    }

    float LayoutInline(Element* block, const std::vector<Node*>& nodes, float top, std::vector<Element*>& abs)
    {
        std::vector<Item> items;
        bool pendingSpace = false;
        for (Node* n : nodes)
            CollectItems(n, block, items, abs, pendingSpace);
        const ComputedStyle& bs = block->style;
        const float cbw = block->content.w;
        const bool noWrap = bs.noWrap;
        const bool justify = bs.textAlign == TextAlign::Justify;
        float strutAscent, strutHeight;
        m_fonts.Metrics(bs, strutAscent, strutHeight);
        float y = top;
        size_t i = 0;
        while (i < items.size()) {
            // The span left free by floats at this line.
            float lineLeft, lineRight;
            FreeSpan(y, bs.LineHeightPx(), block->content.x, block->content.x + cbw, lineLeft, lineRight);
            float avail = lineRight - lineLeft;
            std::vector<Fragment> line;
            std::vector<bool> gapBefore;
            float x = 0;
            size_t start = i;
            bool forced = false;
            for (; i < items.size(); ++i) {
                Item& it = items[i];
                if (it.forcedBreak) {
                    forced = true;
                    ++i;
                    break;
                }
                if (it.isFloat) {
                    // Floats go up to this line if they fit beside its content.
                    PlaceFloat(it.atom, block, y, abs);
                    FreeSpan(y, bs.LineHeightPx(), block->content.x, block->content.x + cbw, lineLeft, lineRight);
                    avail = lineRight - lineLeft;
                    continue;
                }
                bool first = line.empty();
                float space = (it.spaceBefore && !first) ? m_fonts.Width(it.owner->style, L" ") : 0;
                float w;
                Element* a = it.atom;
                if (a) {
                    LayoutBlock(a, 0, 0, cbw, abs, true);
                    w = a->border.w + a->style.margin[1].Resolve(cbw) + a->style.margin[3].Resolve(cbw);
                } else {
                    w = m_fonts.Width(it.owner->style, it.text);
                }
                if (!first && x + space + w > avail + 0.01f && !noWrap && !it.owner->style.noWrap)
                    break;
                if (first && x + w > avail + 0.01f && avail < cbw && !noWrap && m_floats) {
                    // Nothing fits beside the floats: move below the first that ends.
                    float next = 1e30f;
                    for (const FloatBox& f : *m_floats)
                        if (f.y + f.h > y)
                            next = std::min(next, f.y + f.h);
                    if (next < 1e30f) {
                        y = next;
                        FreeSpan(y, bs.LineHeightPx(), block->content.x, block->content.x + cbw, lineLeft, lineRight);
                        avail = lineRight - lineLeft;
                    }
                }
                x += space;
                Fragment f;
                f.owner = it.owner;
                f.atom = a;
                f.text = it.text;
                f.x = x;
                f.w = w;
                // Join with the previous text fragment of the same owner (words stay apart when justified).
                if (!justify && !a && !line.empty() && !line.back().atom && line.back().owner == it.owner) {
                    Fragment& prev = line.back();
                    if (space > 0)
                        prev.text += L' ';
                    prev.text += it.text;
                    prev.w = x + w - prev.x;
                } else {
                    line.push_back(std::move(f));
                    gapBefore.push_back(space > 0);
                }
                x += w;
            }
            if (line.empty() && !forced) {
                if (i == start)
                    ++i;
                continue;
            }
            // Vertical metrics: ascent and descent around the baseline.
            float ascentPart = 0, descentPart = 0;
            float lh = bs.LineHeightPx();
            float half = (lh - strutHeight) / 2;
            ascentPart = half + strutAscent;
            descentPart = lh - half - strutAscent;
            std::vector<float> fragAscent(line.size()), fragShift(line.size());
            float topAligned = 0;
            for (size_t k = 0; k < line.size(); ++k) {
                Fragment& f = line[k];
                Element* va = f.atom ? f.atom : f.owner;
                VerticalAlign align = va->style.verticalAlign;
                float shift = f.atom ? BaselineShift(f.atom, block) : BaselineShift(f.owner, block);
                float a, d;
                if (f.atom) {
                    float mh =
                        f.atom->border.h + f.atom->style.margin[0].Resolve(cbw) + f.atom->style.margin[2].Resolve(cbw);
                    a = AtomBaseline(f.atom, cbw);
                    d = mh - a;
                } else {
                    float fa, fh;
                    m_fonts.Metrics(f.owner->style, fa, fh);
                    float flh = f.owner->style.LineHeightPx();
                    float fhalf = (flh - fh) / 2;
                    a = fhalf + fa;
                    d = flh - a;
                }
                if (f.atom && align == VerticalAlign::Middle) {
                    // The box's middle on the parent's baseline plus half an x-height.
                    float mh = a + d;
                    float mid = bs.fontSize * 0.25f;
                    shift = mid - mh / 2 + d;
                } else if (f.atom && align == VerticalAlign::TextTop) {
                    shift = strutAscent - a;
                } else if (f.atom && align == VerticalAlign::TextBottom) {
                    shift = -(strutHeight - strutAscent) + d;
                }
                fragAscent[k] = a;
                fragShift[k] = shift;
                if (f.atom && (align == VerticalAlign::Top || align == VerticalAlign::Bottom)) {
                    topAligned = std::max(topAligned, a + d);
                    continue;
                }
                ascentPart = std::max(ascentPart, a + shift);
                descentPart = std::max(descentPart, d - shift);
            }
            float lineH = ascentPart + descentPart;
            if (topAligned > lineH) {
                descentPart += topAligned - lineH;
                lineH = topAligned;
            }
            float baseline = y + ascentPart;
            float used = x;
            float shiftX = 0;
            float extra = 0;
            size_t gaps = 0;
            bool lastLine = i >= items.size() || forced;
            if (justify && !lastLine) {
                for (size_t k = 1; k < line.size(); ++k)
                    if (gapBefore[k])
                        ++gaps;
                if (gaps && avail > used)
                    extra = (avail - used) / static_cast<float>(gaps);
            } else if (bs.textAlign == TextAlign::Center) {
                shiftX = (avail - used) / 2;
            } else if (bs.textAlign == TextAlign::Right) {
                shiftX = avail - used;
            }
            if (shiftX < 0)
                shiftX = 0;
            float spread = 0;
            for (size_t k = 0; k < line.size(); ++k) {
                Fragment& f = line[k];
                if (k > 0 && gapBefore[k])
                    spread += extra;
                f.x += lineLeft + shiftX + spread;
                Element* va = f.atom ? f.atom : f.owner;
                VerticalAlign align = va->style.verticalAlign;
                float fb = baseline - fragShift[k];
                if (f.atom) {
                    float mt = f.atom->style.margin[0].Resolve(cbw);
                    float ml = f.atom->style.margin[3].Resolve(cbw);
                    float mh = f.atom->border.h + mt + f.atom->style.margin[2].Resolve(cbw);
                    float marginTop = fb - fragAscent[k];
                    if (align == VerticalAlign::Top)
                        marginTop = y;
                    else if (align == VerticalAlign::Bottom)
                        marginTop = y + lineH - mh;
                    Offset(f.atom, f.x + ml - f.atom->border.x, marginTop + mt - f.atom->border.y);
                    const ComputedStyle& as = f.atom->style;
                    if (as.position == Position::Relative) {
                        float dx = !as.left.IsAuto()    ? as.left.Resolve(cbw)
                                   : !as.right.IsAuto() ? -as.right.Resolve(cbw)
                                                        : 0;
                        float dy = RelativeDy(f.atom);
                        if (dx || dy)
                            Offset(f.atom, dx, dy);
                    }
                    f.y = f.atom->border.y;
                    f.h = f.atom->border.h;
                    f.baseline = marginTop + fragAscent[k];
                } else {
                    float a, h;
                    m_fonts.Metrics(f.owner->style, a, h);
                    f.y = fb - a;
                    f.h = h;
                    f.baseline = fb;
                }
                block->lines.push_back(std::move(f));
            }
            y += lineH;
        }
        // Boxes of inline elements: the union of their fragments.
        for (auto& f : block->lines) {
            if (f.atom)
                continue;
            for (Element* o = f.owner; o && o != block; o = o->parent) {
                RectF r {f.x, f.y, f.w, f.h};
                if (!o->laidOut || (o->border.w == 0 && o->border.h == 0 && o->content.w == 0)) {
                    o->border = r;
                    o->content = r;
                } else {
                    float x1 = std::min(o->border.x, r.x), y1 = std::min(o->border.y, r.y);
                    float x2 = std::max(o->border.x + o->border.w, r.x + r.w),
                          y2 = std::max(o->border.y + o->border.h, r.y + r.h);
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
    Element* m_root = nullptr;
    std::vector<FloatBox>* m_floats = nullptr;
    size_t m_work = 0;
};

void ResetBoxes(Element* e)
{
    e->laidOut = false;
    e->border = RectF();
    e->content = RectF();
    e->lines.clear();
    for (auto& c : e->children)
        if (c->IsElement())
            ResetBoxes(static_cast<Element*>(c.get()));
}

Element* HitTestIn(Element* e, float x, float y)
{
    if (!e->laidOut || e->style.display == Display::None)
        return nullptr;
    if (e->style.overflowHidden && !e->border.Contains(x, y))
        return nullptr;
    // Positioned children with a higher z-index are on top: test them first.
    std::vector<Element*> kids = e->ElementChildren();
    std::stable_sort(kids.begin(), kids.end(), [](Element* a, Element* b) {
        int za = a->style.IsPositioned() ? (a->style.zIndexAuto ? 0 : a->style.zIndex) * 2 + 1 : 0;
        int zb = b->style.IsPositioned() ? (b->style.zIndexAuto ? 0 : b->style.zIndex) * 2 + 1 : 0;
        return za < zb;
    });
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        if (Element* hit = HitTestIn(*it, x, y))
            return hit;
    if (!e->style.visible)
        return nullptr;
    if (e->border.Contains(x, y))
        return e;
    for (auto& f : e->lines)
        if (!f.atom && RectF {f.x, f.y, f.w, f.h}.Contains(x, y))
            return f.owner;
    return nullptr;
}

}  // namespace

void LayoutDocument(Document& doc, const LayoutContext& ctx)
{
    ResetBoxes(doc.root.get());
    Layouter(ctx).Run(doc);
}

Element* HitTest(Element* root, float x, float y)
{
    return HitTestIn(root, x, y);
}

}  // namespace he
