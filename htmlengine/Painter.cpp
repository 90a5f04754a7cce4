#include "htmlengine/Painter.h"

#include <algorithm>
#include <cmath>
#include <list>
#include <map>
#include <unordered_map>

#include "htmlengine/Fonts.h"
#include "htmlengine/Layout.h"

namespace he {

std::wstring FieldDisplayText(const Element* e)
{
    const std::wstring* type = e->Attribute("type");
    if (type && _wcsicmp(type->c_str(), L"password") == 0)
        return std::wstring(e->field.value.size(), L'\x2022');
    return e->field.value;
}

std::vector<FieldLine> FieldLines(const Element* e, const std::wstring& text)
{
    std::vector<FieldLine> out;
    if (e->tag != "textarea") {
        out.push_back({0, text.size()});
        return out;
    }
    FontCache& fonts = FontCache::Instance();
    float width = std::max(8.0f, e->content.w - 2);
    size_t i = 0;
    while (i <= text.size()) {
        size_t end = text.find(L'\n', i);
        if (end == std::wstring::npos)
            end = text.size();
        // Wrap [i, end) at word boundaries (or anywhere for a long word).
        size_t lineStart = i;
        while (true) {
            if (fonts.Width(e->style, text.substr(lineStart, end - lineStart)) <= width) {
                out.push_back({lineStart, end - lineStart});
                break;
            }
            size_t fit = lineStart + 1;
            while (fit < end && fonts.Width(e->style, text.substr(lineStart, fit + 1 - lineStart)) <= width)
                ++fit;
            size_t brk = fit;
            for (size_t k = fit; k > lineStart; --k)
                if (text[k - 1] == L' ') {
                    brk = k;
                    break;
                }
            out.push_back({lineStart, brk - lineStart});
            lineStart = brk;
        }
        i = end + 1;
    }
    return out;
}

size_t FieldLineOf(const std::vector<FieldLine>& lines, size_t pos)
{
    size_t li = 0;
    for (size_t k = 0; k < lines.size(); ++k)
        if (lines[k].start <= pos)
            li = k;
    return li;
}

namespace {

// ---- pixel helpers ----------------------------------------------------------

inline uint32_t Premultiply(uint32_t argb, float opacity)
{
    uint32_t a = static_cast<uint32_t>(((argb >> 24) & 0xFF) * opacity + 0.5f);
    uint32_t r = ((argb >> 16) & 0xFF) * a / 255, g = ((argb >> 8) & 0xFF) * a / 255, b = (argb & 0xFF) * a / 255;
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// dst = src + dst * (1 - srcAlpha), all premultiplied.
inline uint32_t Over(uint32_t src, uint32_t dst)
{
    uint32_t a = src >> 24;
    if (a == 255)
        return src;
    if (a == 0)
        return dst;
    uint32_t inv = 255 - a;
    uint32_t rb = (dst & 0x00FF00FF) * inv;
    uint32_t ag = ((dst >> 8) & 0x00FF00FF) * inv;
    rb = ((rb + 0x00800080 + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    ag = ((ag + 0x00800080 + ((ag >> 8) & 0x00FF00FF))) & 0xFF00FF00;
    return src + (rb | ag);
}

inline uint32_t Scale(uint32_t c, uint32_t f)  // f in 0..256
{
    uint32_t rb = ((c & 0x00FF00FF) * f >> 8) & 0x00FF00FF;
    uint32_t ag = (((c >> 8) & 0x00FF00FF) * f) & 0xFF00FF00;
    return rb | ag;
}

bool Integral(float v)
{
    return std::fabs(v - std::round(v)) < 0.01f;
}

RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

void FillDevice(Canvas& c, RECT r, uint32_t premul)
{
    r = Intersect(r, c.clip);
    if ((premul >> 24) == 0)
        return;
    for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* row = c.pixels + static_cast<size_t>(y) * c.width;
        if ((premul >> 24) == 255)
            std::fill(row + r.left, row + r.right, premul);
        else
            for (int x = r.left; x < r.right; ++x)
                row[x] = Over(premul, row[x]);
    }
}

void BlendPicture(Canvas& c, const uint32_t* src, int sw, int sh, int dx, int dy, float opacity)
{
    RECT r = Intersect({dx, dy, dx + sw, dy + sh}, c.clip);
    uint32_t f = static_cast<uint32_t>(opacity * 256 + 0.5f);
    for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* row = c.pixels + static_cast<size_t>(y) * c.width;
        const uint32_t* s = src + static_cast<size_t>(y - dy) * sw - dx;
        if (f >= 256)
            for (int x = r.left; x < r.right; ++x)
                row[x] = Over(s[x], row[x]);
        else
            for (int x = r.left; x < r.right; ++x)
                row[x] = Over(Scale(s[x], f), row[x]);
    }
}

// ---- rounded corners: anti-aliased coverage masks, computed once per size ------

// Coverage (0..255) of the r x r corner square nearest the box corner, for a
// corner of radius `rad`; with `width` > 0 only the border ring of that width.
const std::vector<uint8_t>& CornerMask(float rad, float width, int r)
{
    static std::map<std::pair<int, int>, std::vector<uint8_t>> cache;
    auto key = std::make_pair(static_cast<int>(rad * 4), static_cast<int>(width * 4));
    auto it = cache.find(key);
    if (it != cache.end() && static_cast<int>(std::sqrt(static_cast<double>(it->second.size()))) == r)
        return it->second;
    std::vector<uint8_t> mask(static_cast<size_t>(r) * r, 0);
    float c = rad;
    auto inside = [&](float x, float y, float inset, float radius) {
        if (x < inset || y < inset)
            return false;
        if (x >= c || y >= c)
            return true;
        float dx = c - x, dy = c - y;
        return dx * dx + dy * dy <= radius * radius;
    };
    for (int j = 0; j < r; ++j)
        for (int i = 0; i < r; ++i) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    float x = i + (sx + 0.5f) / 4, y = j + (sy + 0.5f) / 4;
                    bool in = inside(x, y, 0, rad);
                    if (in && width > 0)
                        in = !inside(x, y, width, std::max(0.0f, rad - width));
                    hits += in;
                }
            mask[static_cast<size_t>(j) * r + i] = static_cast<uint8_t>(hits * 255 / 16);
        }
    return cache[key] = std::move(mask);
}

// Blends a colour through a corner mask; the mask's (0, 0) is the box corner.
void BlendCorner(Canvas& c, int cornerX, int cornerY, bool right, bool bottom, int r, const std::vector<uint8_t>& mask,
                 uint32_t premul)
{
    for (int j = 0; j < r; ++j) {
        int y = bottom ? cornerY - 1 - j : cornerY + j;
        if (y < c.clip.top || y >= c.clip.bottom)
            continue;
        uint32_t* row = c.pixels + static_cast<size_t>(y) * c.width;
        for (int i = 0; i < r; ++i) {
            int x = right ? cornerX - 1 - i : cornerX + i;
            if (x < c.clip.left || x >= c.clip.right)
                continue;
            uint8_t m = mask[static_cast<size_t>(j) * r + i];
            if (!m)
                continue;
            row[x] = Over(m == 255 ? premul : Scale(premul, m + 1u), row[x]);
        }
    }
}

void BlendCorners(Canvas& c, const RECT& d, int r, const std::vector<uint8_t>& mask, uint32_t premul)
{
    BlendCorner(c, d.left, d.top, false, false, r, mask, premul);
    BlendCorner(c, d.right, d.top, true, false, r, mask, premul);
    BlendCorner(c, d.left, d.bottom, false, true, r, mask, premul);
    BlendCorner(c, d.right, d.bottom, true, true, r, mask, premul);
}

// ---- text cache: runs rendered once, blended every frame ----------------------

struct TextImage {
    Picture pic;
    int offsetX = 0, offsetY = 0;  // pixel of the picture at the text origin
};

class TextCache {
public:
    static TextCache& Get()
    {
        static TextCache c;
        return c;
    }

    const TextImage* Find(const ComputedStyle& s, const std::wstring& text, float baselineShift)
    {
        std::wstring key = s.fontFamily + L'|' + std::to_wstring(static_cast<int>(s.fontSize * 4)) + L'|' +
                           std::to_wstring(s.fontWeight) + (s.italic ? L"i" : L"") + (s.underline ? L"u" : L"") + L'|' +
                           std::to_wstring(s.color) + L'|' + std::to_wstring(static_cast<int>(baselineShift * 4)) +
                           L'|' + text;
        auto it = m_map.find(key);
        if (it != m_map.end())
            return &it->second;
        if (m_map.size() > 1200)
            m_map.clear();  // bounded: a few MB of runs at most
        TextImage& img = m_map[key];
        Render(s, text, baselineShift, img);
        return &img;
    }

    // Draws text with GDI+ at (x, y); runs of the fallback font share the baseline.
    static void DrawRuns(Gdiplus::Graphics& g, const ComputedStyle& s, const std::wstring& text, float x, float y,
                         float baseline, float op)
    {
        FontCache& fonts = FontCache::Instance();
        Gdiplus::SolidBrush brush(ToColor(s.color, op));
        float cx = x;
        for (auto& r : SplitRuns(text)) {
            Gdiplus::Font* f = fonts.Get(s, r.script);
            std::wstring part = text.substr(r.start, r.length);
            float ry = y;
            if (r.script != FontScript::Main) {
                Gdiplus::FontFamily fam;
                f->GetFamily(&fam);
                int st = f->GetStyle();
                float em = fam.GetEmHeight(st);
                float asc = em > 0 ? f->GetSize() * fam.GetCellAscent(st) / em : f->GetSize();
                ry = baseline - asc;
            }
            g.DrawString(part.c_str(), static_cast<INT>(part.size()), f, Gdiplus::PointF(cx, ry), fonts.Format(),
                         &brush);
            cx += fonts.Width(s, part);
        }
        if (s.underline) {
            Gdiplus::Pen pen(ToColor(s.color, op), 1);
            g.DrawLine(&pen, x, std::floor(baseline) + 1.5f, cx, std::floor(baseline) + 1.5f);
        }
    }

private:
    static void Render(const ComputedStyle& s, const std::wstring& text, float baselineShift, TextImage& img)
    {
        FontCache& fonts = FontCache::Instance();
        float ascent, height;
        fonts.Metrics(s, ascent, height);
        int pad = 3;
        int w = static_cast<int>(std::ceil(fonts.Width(s, text))) + 2 * pad + static_cast<int>(s.fontSize / 4);
        int h = static_cast<int>(std::ceil(height + std::fabs(baselineShift) + s.fontSize * 0.5f)) + 2 * pad;
        img.pic.width = std::max(1, w);
        img.pic.height = std::max(1, h);
        img.pic.pixels.assign(static_cast<size_t>(img.pic.width) * img.pic.height, 0);
        AttachBitmap(img.pic);
        img.offsetX = pad;
        img.offsetY = pad;
        Gdiplus::Graphics g(img.pic.bitmap.get());
        g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        DrawRuns(g, s, text, static_cast<float>(pad), static_cast<float>(pad), pad + ascent + baselineShift, 1);
    }

    std::unordered_map<std::wstring, TextImage> m_map;
};

bool IsCheckbox(const Element* e)
{
    if (e->tag != "input")
        return false;
    const std::wstring* t = e->Attribute("type");
    return t && (_wcsicmp(t->c_str(), L"checkbox") == 0 || _wcsicmp(t->c_str(), L"radio") == 0);
}

class Painter {
public:
    Painter(Gdiplus::Graphics& g, Canvas& c, const PaintState& st)
        : m_g(g), m_c(c), m_state(st), m_fonts(FontCache::Instance())
    {
    }

    // The root's background colour, or the body's when the root has none,
    // covers the whole canvas.
    void PaintCanvas(Element* root)
    {
        Element* source = root;
        if ((root->style.backgroundColor >> 24) == 0 && root->style.backgroundImage.empty())
            for (Element* c : root->ElementChildren())
                if (c->tag == "body") {
                    source = c;
                    break;
                }
        if (!source->laidOut || source->style.display == Display::None || (source->style.backgroundColor >> 24) == 0)
            return;
        m_canvasSource = source;
        FillDevice(m_c, m_c.clip, Premultiply(source->style.backgroundColor, source->style.opacity));
    }

    void Paint(Element* e, float opacity)
    {
        if (!e->laidOut || e->style.display == Display::None)
            return;
        const ComputedStyle& s = e->style;
        float op = opacity * s.opacity;
        if (op <= 0.003f)
            return;
        if (s.opacity < 0.999f && HasVisualChildren(e)) {
            PaintLayer(e, opacity);
            return;
        }
        if (s.visible)
            PaintBox(e, op);
        Gdiplus::GraphicsState saved = 0;
        RECT savedClip = m_c.clip;
        bool clip = s.overflowHidden;
        if (clip) {
            saved = m_g.Save();
            RectF pb = PaddingBox(e);
            m_g.IntersectClip(Gdiplus::RectF(pb.x, pb.y, pb.w, pb.h));
            m_c.clip = Intersect(m_c.clip, Device(pb));
        }
        if (s.visible)
            PaintContent(e, op);
        PaintChildren(e, op);
        if (s.overflowScroll && s.visible && e->MaxScroll() > 0)
            PaintScrollbar(e, op);
        if (clip) {
            m_g.Restore(saved);
            m_c.clip = savedClip;
        }
    }

private:
    RECT Device(const RectF& r) const
    {
        return {static_cast<LONG>(std::lround(r.x)) + m_c.ox, static_cast<LONG>(std::lround(r.y)) + m_c.oy,
                static_cast<LONG>(std::lround(r.x + r.w)) + m_c.ox, static_cast<LONG>(std::lround(r.y + r.h)) + m_c.oy};
    }

    void PaintScrollbar(Element* e, float op)
    {
        RectF pb = PaddingBox(e);
        float track = pb.h - 4;
        float thumb = std::max(16.0f, track * pb.h / e->scrollHeight);
        float y = pb.y + 2 + (track - thumb) * (e->scrollTop / e->MaxScroll());
        FillBox({pb.x + pb.w - 7, y, 5, thumb}, 2.5f, 0x66000000, op);
    }

    static bool HasVisualChildren(Element* e)
    {
        for (auto& c : e->children)
            if (c->IsElement())
                return true;
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
        if (!e->laidOut || e->style.display == Display::None)
            return;
        x1 = std::min(x1, e->border.x);
        y1 = std::min(y1, e->border.y);
        x2 = std::max(x2, e->border.x + e->border.w);
        y2 = std::max(y2, e->border.y + e->border.h);
        for (auto& f : e->lines) {
            x1 = std::min(x1, f.x);
            y1 = std::min(y1, f.y);
            x2 = std::max(x2, f.x + f.w + 4);
            y2 = std::max(y2, f.y + f.h + 4);
        }
        if (e->style.overflowHidden)
            return;
        for (auto& c : e->children)
            if (c->IsElement())
                Bounds(static_cast<Element*>(c.get()), x1, y1, x2, y2);
    }

    // Group opacity: the subtree is painted into a layer and blended once.
    void PaintLayer(Element* e, float opacity)
    {
        float x1 = 1e9f, y1 = 1e9f, x2 = -1e9f, y2 = -1e9f;
        Bounds(e, x1, y1, x2, y2);
        RECT dev = Intersect({static_cast<LONG>(std::floor(x1)) + m_c.ox, static_cast<LONG>(std::floor(y1)) + m_c.oy,
                              static_cast<LONG>(std::ceil(x2)) + m_c.ox, static_cast<LONG>(std::ceil(y2)) + m_c.oy},
                             m_c.clip);
        int lw = dev.right - dev.left, lh = dev.bottom - dev.top;
        if (lw <= 0 || lh <= 0)
            return;
        Picture layer;
        layer.width = lw;
        layer.height = lh;
        layer.pixels.assign(static_cast<size_t>(lw) * lh, 0);
        AttachBitmap(layer);
        {
            Gdiplus::Graphics lg(layer.bitmap.get());
            lg.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            lg.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
            lg.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            lg.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
            int ox = m_c.ox - dev.left, oy = m_c.oy - dev.top;
            lg.TranslateTransform(static_cast<float>(ox), static_cast<float>(oy));
            Canvas lc {layer.pixels.data(), lw, lh, ox, oy, {0, 0, lw, lh}};
            Painter inner(lg, lc, m_state);
            float saved = e->style.opacity;
            e->style.opacity = 1;
            inner.Paint(e, 1);
            e->style.opacity = saved;
            lg.Flush(Gdiplus::FlushIntentionSync);
        }
        BlendPicture(m_c, layer.pixels.data(), lw, lh, dev.left, dev.top, opacity * e->style.opacity);
    }

    void PaintChildren(Element* e, float op)
    {
        std::vector<Element*> flow, positioned;
        for (auto& c : e->children) {
            if (!c->IsElement())
                continue;
            Element* ce = static_cast<Element*>(c.get());
            (ce->style.IsPositioned() ? positioned : flow).push_back(ce);
        }
        std::stable_sort(positioned.begin(), positioned.end(),
                         [](Element* a, Element* b) { return a->style.zIndex < b->style.zIndex; });
        for (Element* p : positioned)
            if (p->style.zIndex < 0)
                Paint(p, op);
        // Blocks in flow, then floats above them.
        for (Element* c : flow)
            if (!c->style.IsFloat())
                Paint(c, op);
        for (Element* c : flow)
            if (c->style.IsFloat())
                Paint(c, op);
        for (Element* p : positioned)
            if (p->style.zIndex >= 0)
                Paint(p, op);
    }

    void DrawPicture(const Picture* pic, const RectF& dst, float op)
    {
        if (!pic || dst.w <= 0 || dst.h <= 0)
            return;
        if (Integral(dst.x) && Integral(dst.y) && std::lround(dst.w) == pic->width &&
            std::lround(dst.h) == pic->height) {
            BlendPicture(m_c, pic->pixels.data(), pic->width, pic->height,
                         static_cast<int>(std::lround(dst.x)) + m_c.ox, static_cast<int>(std::lround(dst.y)) + m_c.oy,
                         op);
            return;
        }
        if (Integral(dst.x) && Integral(dst.y) && Integral(dst.w) && Integral(dst.h)) {
            // Resampled once, then blended like any unscaled picture.
            if (const Picture* s =
                    ScaledPicture(*pic, static_cast<int>(std::lround(dst.w)), static_cast<int>(std::lround(dst.h)))) {
                BlendPicture(m_c, s->pixels.data(), s->width, s->height, static_cast<int>(std::lround(dst.x)) + m_c.ox,
                             static_cast<int>(std::lround(dst.y)) + m_c.oy, op);
                return;
            }
        }
        Gdiplus::RectF r(dst.x, dst.y, dst.w, dst.h);
        if (op >= 0.999f) {
            m_g.DrawImage(pic->bitmap.get(), r);
            return;
        }
        Gdiplus::ColorMatrix cm = {
            {{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, op, 0}, {0, 0, 0, 0, 1}}};
        Gdiplus::ImageAttributes attrs;
        attrs.SetColorMatrix(&cm);
        m_g.DrawImage(pic->bitmap.get(), r, 0, 0, static_cast<float>(pic->width), static_cast<float>(pic->height),
                      Gdiplus::UnitPixel, &attrs);
    }

    static RectF Snap(const RectF& b)
    {
        float x1 = std::round(b.x), y1 = std::round(b.y), x2 = std::round(b.x + b.w), y2 = std::round(b.y + b.h);
        return {x1, y1, x2 - x1, y2 - y1};
    }

    // Fills a box on the pixel grid: straight into the pixels, with only the
    // rounded corners drawn by GDI+ (as quarter pies, so it touches no more).
    void FillBox(const RectF& box, float radius, uint32_t color, float op)
    {
        RectF b = Snap(box);
        if (b.w <= 0 || b.h <= 0)
            return;
        RECT d = Device(b);
        uint32_t pm = Premultiply(color, op);
        float rad = std::min(radius, std::min(b.w, b.h) / 2);
        if (rad <= 0.5f) {
            FillDevice(m_c, d, pm);
            return;
        }
        int r = static_cast<int>(std::ceil(rad));
        FillDevice(m_c, {d.left + r, d.top, d.right - r, d.top + r}, pm);
        FillDevice(m_c, {d.left, d.top + r, d.right, d.bottom - r}, pm);
        FillDevice(m_c, {d.left + r, d.bottom - r, d.right - r, d.bottom}, pm);
        BlendCorners(m_c, d, r, CornerMask(rad, 0, r), pm);
    }

    void PaintBox(Element* e, float op)
    {
        const ComputedStyle& s = e->style;
        const RectF& b = e->border;
        if (b.w <= 0 || b.h <= 0)
            return;
        if ((s.backgroundColor >> 24) != 0 && e != m_canvasSource)
            FillBox(b, s.borderRadius, s.backgroundColor, op);
        if (!s.backgroundImage.empty() && m_state.images) {
            if (const Picture* pic = m_state.images->Find(s.backgroundImage))
                PaintBackgroundImage(e, pic, op);
        }
        const float* bw = s.borderWidth;
        if (bw[0] <= 0 && bw[1] <= 0 && bw[2] <= 0 && bw[3] <= 0)
            return;
        bool uniform = bw[0] == bw[1] && bw[1] == bw[2] && bw[2] == bw[3] && s.borderColor[0] == s.borderColor[1] &&
                       s.borderColor[1] == s.borderColor[2] && s.borderColor[2] == s.borderColor[3];
        if (uniform && s.borderRadius > 0.5f) {
            RectF sb = Snap(b);
            float w = bw[0];
            float r = std::ceil(std::min(std::max(s.borderRadius, w), std::min(sb.w, sb.h) / 2));
            // Straight edges straight into the pixels; the corners as arcs.
            FillBox({sb.x + r, sb.y, sb.w - 2 * r, w}, 0, s.borderColor[0], op);
            FillBox({sb.x + r, sb.y + sb.h - w, sb.w - 2 * r, w}, 0, s.borderColor[0], op);
            FillBox({sb.x, sb.y + r, w, sb.h - 2 * r}, 0, s.borderColor[0], op);
            FillBox({sb.x + sb.w - w, sb.y + r, w, sb.h - 2 * r}, 0, s.borderColor[0], op);
            float rad = std::min(s.borderRadius, std::min(sb.w, sb.h) / 2);
            int ri = static_cast<int>(r);
            BlendCorners(m_c, Device(sb), ri, CornerMask(std::max(rad, w), w, ri), Premultiply(s.borderColor[0], op));
            return;
        }
        PaintEdges(e, op);
    }

    // Four edges: top and bottom full width, the sides between them; each in its own style.
    void PaintEdges(const Element* e, float op)
    {
        const ComputedStyle& s = e->style;
        const RectF& b = e->border;
        const float* bw = s.borderWidth;
        for (int side = 0; side < 4; ++side) {
            float w = bw[side];
            if (w <= 0)
                continue;
            bool horizontal = side == 0 || side == 2;
            RectF strip = side == 0   ? RectF {b.x, b.y, b.w, w}
                          : side == 2 ? RectF {b.x, b.y + b.h - w, b.w, w}
                          : side == 3 ? RectF {b.x, b.y + bw[0], w, b.h - bw[0] - bw[2]}
                                      : RectF {b.x + b.w - w, b.y + bw[0], w, b.h - bw[0] - bw[2]};
            Argb color = s.borderColor[side];
            BorderStyle style = s.borderStyle[side];
            if (style == BorderStyle::Double && w >= 3) {
                // Two lines of a third each, on the outer and the inner edge.
                auto third = [](float v) { return v >= 3 ? std::floor((v + 1) / 3) : 0.0f; };
                float line = third(w);
                float ot = third(bw[0]), orr = third(bw[1]), ob = third(bw[2]), ol = third(bw[3]);
                RectF outer, inner;
                switch (side) {
                case 0:
                    outer = {b.x, b.y, b.w, line};
                    inner = {b.x + bw[3] - ol, b.y + w - line, b.w - bw[3] - bw[1] + ol + orr, line};
                    break;
                case 2:
                    outer = {b.x, b.y + b.h - line, b.w, line};
                    inner = {b.x + bw[3] - ol, b.y + b.h - w, b.w - bw[3] - bw[1] + ol + orr, line};
                    break;
                case 3:
                    outer = {b.x, b.y, line, b.h};
                    inner = {b.x + w - line, b.y + bw[0] - ot, line, b.h - bw[0] - bw[2] + ot + ob};
                    break;
                default:
                    outer = {b.x + b.w - line, b.y, line, b.h};
                    inner = {b.x + b.w - w, b.y + bw[0] - ot, line, b.h - bw[0] - bw[2] + ot + ob};
                    break;
                }
                FillBox(outer, 0, color, op);
                FillBox(inner, 0, color, op);
            } else if (style == BorderStyle::Dashed || style == BorderStyle::Dotted) {
                // Dots as squares of the border width, dashes twice as long, gaps of one width.
                float seg = style == BorderStyle::Dotted ? w : 2 * w, gap = w;
                float from = horizontal ? strip.x : strip.y, to = from + (horizontal ? strip.w : strip.h);
                for (float p = from; p < to; p += seg + gap) {
                    float len = std::min(seg, to - p);
                    FillBox(horizontal ? RectF {p, strip.y, len, w} : RectF {strip.x, p, w, len}, 0, color, op);
                }
            } else {
                FillBox(strip, 0, color, op);
            }
        }
    }

    void PaintBackgroundImage(Element* e, const Picture* pic, float op)
    {
        const ComputedStyle& s = e->style;
        RectF area = PaddingBox(e);
        float iw = static_cast<float>(pic->width), ih = static_cast<float>(pic->height);
        float px = area.x + (s.backgroundX.unit == Length::Percent ? (area.w - iw) * s.backgroundX.value / 100
                                                                   : s.backgroundX.Resolve(0));
        float py = area.y + (s.backgroundY.unit == Length::Percent ? (area.h - ih) * s.backgroundY.value / 100
                                                                   : s.backgroundY.Resolve(0));
        px = std::round(px);
        py = std::round(py);
        Gdiplus::GraphicsState st = m_g.Save();
        RECT savedClip = m_c.clip;
        m_g.IntersectClip(Gdiplus::RectF(area.x, area.y, area.w, area.h));
        m_c.clip = Intersect(m_c.clip, Device(area));
        bool rx = s.backgroundRepeat == Repeat::Repeat || s.backgroundRepeat == Repeat::RepeatX;
        bool ry = s.backgroundRepeat == Repeat::Repeat || s.backgroundRepeat == Repeat::RepeatY;
        float x0 = px, y0 = py;
        if (rx)
            while (x0 > area.x)
                x0 -= iw;
        if (ry)
            while (y0 > area.y)
                y0 -= ih;
        for (float y = y0; y < area.y + area.h; y += ih) {
            for (float x = x0; x < area.x + area.w; x += iw) {
                DrawPicture(pic, {x, y, iw, ih}, op);
                if (!rx)
                    break;
            }
            if (!ry)
                break;
        }
        m_c.clip = savedClip;
        m_g.Restore(st);
    }

    void DrawText(const ComputedStyle& s, const std::wstring& text, float x, float y, float op, float baseline)
    {
        if (text.empty())
            return;
        float ascent, height;
        m_fonts.Metrics(s, ascent, height);
        // Snap to whole pixels: the cached run is blended as it was rendered.
        int ix = static_cast<int>(std::lround(x)), iy = static_cast<int>(std::lround(y));
        const TextImage* img = TextCache::Get().Find(s, text, baseline - y - ascent);
        BlendPicture(m_c, img->pic.pixels.data(), img->pic.width, img->pic.height, ix + m_c.ox - img->offsetX,
                     iy + m_c.oy - img->offsetY, op);
    }

    void PaintContent(Element* e, float op)
    {
        const ComputedStyle& s = e->style;
        if (e->tag == "img") {
            if (m_state.images)
                DrawPicture(m_state.images->Find(ImageUrl(e)), e->content, op);
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
            if (f.atom || f.text.empty())
                continue;
            if (!f.owner->style.visible)
                continue;
            DrawText(f.owner->style, f.text, f.x, f.y, op * InlineOpacity(f.owner, e), f.baseline);
        }
    }

    static float InlineOpacity(Element* owner, Element* block)
    {
        float o = 1;
        for (Element* p = owner; p && p != block; p = p->parent)
            o *= p->style.opacity;
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
            Gdiplus::PointF pts[3] = {{c.x + c.w * 0.22f, c.y + c.h * 0.5f},
                                      {c.x + c.w * 0.42f, c.y + c.h * 0.72f},
                                      {c.x + c.w * 0.8f, c.y + c.h * 0.28f}};
            m_g.DrawLines(&mark, pts, 3);
        }
    }

    void PaintField(Element* e, float op)
    {
        const ComputedStyle& s = e->style;
        const RectF& c = e->content;
        Gdiplus::GraphicsState st = m_g.Save();
        RECT savedClip = m_c.clip;
        m_g.IntersectClip(Gdiplus::RectF(c.x, c.y, c.w + 1, c.h));
        m_c.clip = Intersect(m_c.clip, Device({c.x, c.y, c.w + 1, c.h}));
        float a, h;
        m_fonts.Metrics(s, a, h);
        bool multi = e->tag == "textarea";
        float lineH = multi ? s.LineHeightPx() : h;
        float top = multi ? c.y - e->field.scrollY : c.y + std::max(0.0f, (c.h - h) / 2);
        float x0 = c.x - e->field.scrollX;
        std::wstring text = FieldDisplayText(e);
        const FieldState& fs = e->field;
        size_t s1 = std::min(std::min(fs.anchor, fs.caret), text.size()),
               s2 = std::min(std::max(fs.anchor, fs.caret), text.size());
        bool showSel = e->focused && s2 > s1;
        if (text.empty()) {
            if (const std::wstring* ph = e->Attribute("placeholder")) {
                ComputedStyle grey = s;
                grey.color = 0xFF999999;
                DrawText(grey, *ph, x0, top, op, top + a);
            }
        }
        std::vector<FieldLine> lines = FieldLines(e, text);
        ComputedStyle white = s;
        white.color = 0xFFFFFFFF;
        for (size_t li = 0; li < lines.size() && !text.empty(); ++li) {
            const FieldLine& L = lines[li];
            float y = top + li * lineH + (multi ? (lineH - h) / 2 : 0);
            if (y + lineH < c.y || y > c.y + c.h)
                continue;
            std::wstring part = text.substr(L.start, L.length);
            size_t a1 = std::clamp(s1, L.start, L.start + L.length) - L.start,
                   a2 = std::clamp(s2, L.start, L.start + L.length) - L.start;
            if (showSel && a2 > a1) {
                float sx = x0 + m_fonts.Width(s, part.substr(0, a1));
                float sw = m_fonts.Width(s, part.substr(a1, a2 - a1));
                FillBox({std::round(sx), std::round(y), std::round(sw), std::round(h)}, 0, 0xFF3399FF, op);
                DrawText(s, part.substr(0, a1), x0, y, op, y + a);
                DrawText(white, part.substr(a1, a2 - a1), sx, y, op, y + a);
                DrawText(s, part.substr(a2), sx + sw, y, op, y + a);
            } else {
                DrawText(s, part, x0, y, op, y + a);
            }
        }
        if (e->focused && m_state.caretVisible && e == m_state.focused) {
            size_t caret = std::min(fs.caret, text.size());
            size_t li = FieldLineOf(lines, caret);
            const FieldLine& L = lines[li];
            float y = top + li * lineH + (multi ? (lineH - h) / 2 : 0);
            float cx =
                std::floor(x0 + m_fonts.Width(s, text.substr(L.start, std::min(caret, L.start + L.length) - L.start)));
            FillBox({cx, std::round(y), 1, std::round(h)}, 0, s.color, op);
        }
        m_c.clip = savedClip;
        m_g.Restore(st);
    }

    Gdiplus::Graphics& m_g;
    Canvas& m_c;
    const PaintState& m_state;
    FontCache& m_fonts;
    const Element* m_canvasSource = nullptr;
};

}  // namespace

void PaintDocument(Gdiplus::Graphics& g, Canvas& canvas, Document& doc, const PaintState& state)
{
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
    g.TranslateTransform(static_cast<float>(canvas.ox), static_cast<float>(canvas.oy));
    Painter painter(g, canvas, state);
    painter.PaintCanvas(doc.root.get());
    painter.Paint(doc.root.get(), 1);
    g.Flush(Gdiplus::FlushIntentionSync);
}

}  // namespace he
