#include "htmlengine/Painter.h"

#include <algorithm>
#include <cwctype>

#include "htmlengine/Fonts.h"
#include "htmlengine/Layout.h"

namespace he {

std::wstring FieldDisplayText(const Element* e)
{
    const std::wstring* type = e->Attribute("type");
    if (type && _wcsicmp(type->c_str(), L"password") == 0) return std::wstring(e->field.value.size(), L'\x2022');
    return e->field.value;
}

namespace {

void RoundRectPath(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& r, float radius)
{
    float d = std::min(radius * 2, std::min(r.Width, r.Height));
    if (d <= 0.5f) { path.AddRectangle(r); return; }
    path.AddArc(r.X, r.Y, d, d, 180, 90);
    path.AddArc(r.X + r.Width - d, r.Y, d, d, 270, 90);
    path.AddArc(r.X + r.Width - d, r.Y + r.Height - d, d, d, 0, 90);
    path.AddArc(r.X, r.Y + r.Height - d, d, d, 90, 90);
    path.CloseFigure();
}

bool IsCheckbox(const Element* e)
{
    if (e->tag != "input") return false;
    const std::wstring* t = e->Attribute("type");
    return t && (_wcsicmp(t->c_str(), L"checkbox") == 0 || _wcsicmp(t->c_str(), L"radio") == 0);
}

class Painter {
public:
    Painter(Gdiplus::Graphics& g, const PaintState& st) : m_g(g), m_state(st), m_fonts(FontCache::Instance()) {}

    void Paint(Element* e, float opacity)
    {
        if (!e->laidOut || e->style.display == Display::None) return;
        const ComputedStyle& s = e->style;
        float op = opacity * s.opacity;
        if (op <= 0.003f) return;
        if (s.opacity < 0.999f && HasVisualChildren(e)) {
            PaintLayer(e, opacity);
            return;
        }
        if (s.visible) PaintBox(e, op);
        Gdiplus::GraphicsState saved = 0;
        bool clip = s.overflowHidden;
        if (clip) {
            saved = m_g.Save();
            RectF pb = PaddingBox(e);
            m_g.IntersectClip(Gdiplus::RectF(pb.x, pb.y, pb.w, pb.h));
        }
        if (s.visible) PaintContent(e, op);
        PaintChildren(e, op);
        if (clip) m_g.Restore(saved);
    }

private:
    static bool HasVisualChildren(Element* e)
    {
        for (auto& c : e->children) if (c->IsElement()) return true;
        return !e->lines.empty();
    }

    static RectF PaddingBox(const Element* e)
    {
        const ComputedStyle& s = e->style;
        return {e->border.x + s.borderWidth[3], e->border.y + s.borderWidth[0],
                e->border.w - s.borderWidth[1] - s.borderWidth[3], e->border.h - s.borderWidth[0] - s.borderWidth[2]};
    }

    static void Bounds(Element* e, float& x1, float& y1, float& x2, float& y2)
    {
        if (!e->laidOut || e->style.display == Display::None) return;
        x1 = std::min(x1, e->border.x); y1 = std::min(y1, e->border.y);
        x2 = std::max(x2, e->border.x + e->border.w); y2 = std::max(y2, e->border.y + e->border.h);
        for (auto& f : e->lines) { x1 = std::min(x1, f.x); y1 = std::min(y1, f.y); x2 = std::max(x2, f.x + f.w); y2 = std::max(y2, f.y + f.h); }
        if (e->style.overflowHidden) return;
        for (auto& c : e->children) if (c->IsElement()) Bounds(static_cast<Element*>(c.get()), x1, y1, x2, y2);
    }

    // Group opacity: paint the subtree into a layer and blend it once.
    void PaintLayer(Element* e, float opacity)
    {
        float x1 = 1e9f, y1 = 1e9f, x2 = -1e9f, y2 = -1e9f;
        Bounds(e, x1, y1, x2, y2);
        int lx = static_cast<int>(std::floor(x1)), ly = static_cast<int>(std::floor(y1));
        int lw = static_cast<int>(std::ceil(x2)) - lx, lh = static_cast<int>(std::ceil(y2)) - ly;
        if (lw <= 0 || lh <= 0 || lw > 8192 || lh > 8192) return;
        Gdiplus::Bitmap layer(lw, lh, PixelFormat32bppPARGB);
        {
            Gdiplus::Graphics lg(&layer);
            lg.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            lg.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
            lg.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            lg.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
            lg.TranslateTransform(static_cast<float>(-lx), static_cast<float>(-ly));
            Painter inner(lg, m_state);
            float saved = e->style.opacity;
            e->style.opacity = 1;
            inner.Paint(e, 1);
            e->style.opacity = saved;
        }
        Gdiplus::ColorMatrix cm = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, opacity * e->style.opacity, 0}, {0, 0, 0, 0, 1}}};
        Gdiplus::ImageAttributes attrs;
        attrs.SetColorMatrix(&cm);
        m_g.DrawImage(&layer, Gdiplus::Rect(lx, ly, lw, lh), 0, 0, lw, lh, Gdiplus::UnitPixel, &attrs);
    }

    void PaintChildren(Element* e, float op)
    {
        std::vector<Element*> flow, positioned;
        for (auto& c : e->children) {
            if (!c->IsElement()) continue;
            Element* ce = static_cast<Element*>(c.get());
            (ce->style.IsPositioned() ? positioned : flow).push_back(ce);
        }
        std::stable_sort(positioned.begin(), positioned.end(),
                         [](Element* a, Element* b) { return a->style.zIndex < b->style.zIndex; });
        for (Element* p : positioned) if (p->style.zIndex < 0) Paint(p, op);
        for (Element* c : flow) Paint(c, op);
        for (Element* p : positioned) if (p->style.zIndex >= 0) Paint(p, op);
    }

    void DrawImageWithOpacity(Gdiplus::Bitmap* bmp, const Gdiplus::RectF& dst, float op)
    {
        if (op >= 0.999f) {
            m_g.DrawImage(bmp, dst);
            return;
        }
        Gdiplus::ColorMatrix cm = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, op, 0}, {0, 0, 0, 0, 1}}};
        Gdiplus::ImageAttributes attrs;
        attrs.SetColorMatrix(&cm);
        m_g.DrawImage(bmp, dst, 0, 0, static_cast<float>(bmp->GetWidth()), static_cast<float>(bmp->GetHeight()), Gdiplus::UnitPixel, &attrs);
    }

    void PaintBox(Element* e, float op)
    {
        const ComputedStyle& s = e->style;
        const RectF& b = e->border;
        if (b.w <= 0 || b.h <= 0) return;
        Gdiplus::RectF rect(b.x, b.y, b.w, b.h);
        if ((s.backgroundColor >> 24) != 0) {
            Gdiplus::SolidBrush brush(ToColor(s.backgroundColor, op));
            if (s.borderRadius > 0) {
                Gdiplus::GraphicsPath path;
                RoundRectPath(path, rect, s.borderRadius);
                m_g.FillPath(&brush, &path);
            } else {
                m_g.FillRectangle(&brush, rect);
            }
        }
        if (!s.backgroundImage.empty() && m_state.images) {
            if (Gdiplus::Bitmap* bmp = m_state.images->Find(s.backgroundImage)) PaintBackgroundImage(e, bmp, op);
        }
        bool uniform = s.borderWidth[0] == s.borderWidth[1] && s.borderWidth[1] == s.borderWidth[2] &&
                       s.borderWidth[2] == s.borderWidth[3] && s.borderColor[0] == s.borderColor[1] &&
                       s.borderColor[1] == s.borderColor[2] && s.borderColor[2] == s.borderColor[3];
        if (uniform && s.borderWidth[0] > 0) {
            float w = s.borderWidth[0];
            Gdiplus::Pen pen(ToColor(s.borderColor[0], op), w);
            Gdiplus::RectF inner(b.x + w / 2, b.y + w / 2, b.w - w, b.h - w);
            if (s.borderRadius > 0) {
                Gdiplus::GraphicsPath path;
                RoundRectPath(path, inner, std::max(0.0f, s.borderRadius - w / 2));
                m_g.DrawPath(&pen, &path);
            } else {
                m_g.DrawRectangle(&pen, inner);
            }
        } else if (!uniform) {
            const float* bw = s.borderWidth;
            if (bw[0] > 0) { Gdiplus::SolidBrush br(ToColor(s.borderColor[0], op)); m_g.FillRectangle(&br, b.x, b.y, b.w, bw[0]); }
            if (bw[2] > 0) { Gdiplus::SolidBrush br(ToColor(s.borderColor[2], op)); m_g.FillRectangle(&br, b.x, b.y + b.h - bw[2], b.w, bw[2]); }
            if (bw[3] > 0) { Gdiplus::SolidBrush br(ToColor(s.borderColor[3], op)); m_g.FillRectangle(&br, b.x, b.y, bw[3], b.h); }
            if (bw[1] > 0) { Gdiplus::SolidBrush br(ToColor(s.borderColor[1], op)); m_g.FillRectangle(&br, b.x + b.w - bw[1], b.y, bw[1], b.h); }
        }
    }

    void PaintBackgroundImage(Element* e, Gdiplus::Bitmap* bmp, float op)
    {
        const ComputedStyle& s = e->style;
        RectF area = PaddingBox(e);
        float iw = static_cast<float>(bmp->GetWidth()), ih = static_cast<float>(bmp->GetHeight());
        float px = area.x + (s.backgroundX.unit == Length::Percent ? (area.w - iw) * s.backgroundX.value / 100 : s.backgroundX.Resolve(0));
        float py = area.y + (s.backgroundY.unit == Length::Percent ? (area.h - ih) * s.backgroundY.value / 100 : s.backgroundY.Resolve(0));
        Gdiplus::GraphicsState st = m_g.Save();
        m_g.IntersectClip(Gdiplus::RectF(area.x, area.y, area.w, area.h));
        bool rx = s.backgroundRepeat == Repeat::Repeat || s.backgroundRepeat == Repeat::RepeatX;
        bool ry = s.backgroundRepeat == Repeat::Repeat || s.backgroundRepeat == Repeat::RepeatY;
        float x0 = px, y0 = py;
        if (rx) while (x0 > area.x) x0 -= iw;
        if (ry) while (y0 > area.y) y0 -= ih;
        for (float y = y0; y < area.y + area.h; y += ih) {
            for (float x = x0; x < area.x + area.w; x += iw) {
                DrawImageWithOpacity(bmp, Gdiplus::RectF(x, y, iw, ih), op);
                if (!rx) break;
            }
            if (!ry) break;
        }
        m_g.Restore(st);
    }

    void DrawText(const ComputedStyle& s, const std::wstring& text, float x, float y, float op, float baseline)
    {
        Gdiplus::SolidBrush brush(ToColor(s.color, op));
        float cx = x;
        for (auto& r : SplitRuns(text)) {
            Gdiplus::Font* f = m_fonts.Get(s, r.fallback);
            std::wstring part = text.substr(r.start, r.length);
            float ry = y;
            if (r.fallback) {
                // Align the fallback font on the same baseline.
                Gdiplus::FontFamily fam;
                f->GetFamily(&fam);
                int st = f->GetStyle();
                float em = fam.GetEmHeight(st);
                float asc = em > 0 ? f->GetSize() * fam.GetCellAscent(st) / em : f->GetSize();
                ry = baseline - asc;
            }
            m_g.DrawString(part.c_str(), static_cast<INT>(part.size()), f, Gdiplus::PointF(cx, ry), m_fonts.Format(), &brush);
            cx += m_fonts.Width(s, part);
        }
        if (s.underline) {
            Gdiplus::Pen pen(ToColor(s.color, op), 1);
            m_g.DrawLine(&pen, x, baseline + 1.5f, cx, baseline + 1.5f);
        }
    }

    void PaintContent(Element* e, float op)
    {
        const ComputedStyle& s = e->style;
        if (e->tag == "img") {
            if (m_state.images) {
                if (Gdiplus::Bitmap* bmp = m_state.images->Find(ImageUrl(e))) {
                    const RectF& c = e->content;
                    if (c.w > 0 && c.h > 0) DrawImageWithOpacity(bmp, Gdiplus::RectF(c.x, c.y, c.w, c.h), op);
                }
            }
        } else if (IsCheckbox(e) && s.backgroundImage.empty()) {
            PaintCheckbox(e, op);
        } else if (e->isTextField) {
            PaintField(e, op);
        } else if (e->tag == "input") {
            if (const std::wstring* v = e->Attribute("value")) {
                float w = m_fonts.Width(s, *v), a, h;
                m_fonts.Metrics(s, a, h);
                float x = e->content.x + (e->content.w - w) / 2;
                float y = e->content.y + (e->content.h - h) / 2;
                DrawText(s, *v, x, y, op, y + a);
            }
        }
        for (auto& f : e->lines) {
            if (f.atom || f.text.empty()) continue;
            if (!f.owner->style.visible) continue;
            DrawText(f.owner->style, f.text, f.x, f.y, op * InlineOpacity(f.owner, e), f.baseline);
        }
    }

    static float InlineOpacity(Element* owner, Element* block)
    {
        float o = 1;
        for (Element* p = owner; p && p != block; p = p->parent) o *= p->style.opacity;
        return o;
    }

    void PaintCheckbox(Element* e, float op)
    {
        const RectF& c = e->border;
        bool disabled = e->Disabled();
        Gdiplus::SolidBrush bg(ToColor(disabled ? 0xFFEEEEEE : 0xFFFFFFFF, op));
        Gdiplus::RectF r(c.x + 0.5f, c.y + 0.5f, c.w - 1, c.h - 1);
        m_g.FillRectangle(&bg, r);
        Gdiplus::Pen pen(ToColor(e->focused ? 0xFF3C7FB1 : 0xFF707070, op), 1);
        m_g.DrawRectangle(&pen, r);
        if (e->checked) {
            Gdiplus::Pen mark(ToColor(disabled ? 0xFF909090 : 0xFF202020, op), 2);
            Gdiplus::PointF pts[3] = {{c.x + c.w * 0.22f, c.y + c.h * 0.5f}, {c.x + c.w * 0.42f, c.y + c.h * 0.72f}, {c.x + c.w * 0.8f, c.y + c.h * 0.28f}};
            m_g.DrawLines(&mark, pts, 3);
        }
    }

    void PaintField(Element* e, float op)
    {
        const ComputedStyle& s = e->style;
        const RectF& c = e->content;
        Gdiplus::GraphicsState st = m_g.Save();
        m_g.IntersectClip(Gdiplus::RectF(c.x, c.y, c.w + 1, c.h));
        float a, h;
        m_fonts.Metrics(s, a, h);
        float y = c.y + std::max(0.0f, (std::min(c.h, s.LineHeightPx() * 1.0f) - h) / 2);
        if (e->tag == "textarea") y = c.y;
        float x0 = c.x - e->field.scrollX;
        std::wstring text = FieldDisplayText(e);
        const FieldState& fs = e->field;
        size_t s1 = std::min(fs.anchor, fs.caret), s2 = std::max(fs.anchor, fs.caret);
        s1 = std::min(s1, text.size());
        s2 = std::min(s2, text.size());
        if (text.empty()) {
            if (const std::wstring* ph = e->Attribute("placeholder")) {
                ComputedStyle grey = s;
                grey.color = 0xFF999999;
                DrawText(grey, *ph, x0, y, op, y + a);
            }
        } else {
            if (e->focused && s2 > s1) {
                float sx = x0 + m_fonts.Width(s, text.substr(0, s1));
                float sw = m_fonts.Width(s, text.substr(s1, s2 - s1));
                Gdiplus::SolidBrush sel(ToColor(0xFF3399FF, op));
                m_g.FillRectangle(&sel, sx, y, sw, h);
                DrawText(s, text.substr(0, s1), x0, y, op, y + a);
                ComputedStyle white = s;
                white.color = 0xFFFFFFFF;
                DrawText(white, text.substr(s1, s2 - s1), sx, y, op, y + a);
                DrawText(s, text.substr(s2), sx + sw, y, op, y + a);
            } else {
                DrawText(s, text, x0, y, op, y + a);
            }
        }
        if (e->focused && m_state.caretVisible && e == m_state.focused) {
            float cx = std::floor(x0 + m_fonts.Width(s, text.substr(0, std::min(fs.caret, text.size())))) + 0.5f;
            Gdiplus::Pen pen(ToColor(s.color, op), 1);
            m_g.DrawLine(&pen, cx, y, cx, y + h);
        }
        m_g.Restore(st);
    }

    Gdiplus::Graphics& m_g;
    const PaintState& m_state;
    FontCache& m_fonts;
};

}  // namespace

void PaintDocument(Gdiplus::Graphics& g, Document& doc, const PaintState& state)
{
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
    Painter(g, state).Paint(doc.root.get(), 1);
}

}  // namespace he
