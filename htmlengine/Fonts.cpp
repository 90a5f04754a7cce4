#include "htmlengine/Fonts.h"

#include <mutex>

namespace he {

bool EnsureGdiplus()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        ok = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
        // Kept for the life of the process: shutting GDI+ down at unload would
        // race with windows that still paint.
    });
    return ok;
}

bool NeedsFallback(wchar_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x3000 && c <= 0x303F);
}

std::vector<TextRun> SplitRuns(const std::wstring& text)
{
    std::vector<TextRun> runs;
    for (size_t i = 0; i < text.size(); ++i) {
        bool fb = NeedsFallback(text[i]);
        if (runs.empty() || runs.back().fallback != fb) runs.push_back({i, 0, fb});
        ++runs.back().length;
    }
    return runs;
}

FontCache& FontCache::Instance()
{
    static FontCache cache;
    return cache;
}

FontCache::FontCache()
{
    EnsureGdiplus();
    m_bitmap = std::make_unique<Gdiplus::Bitmap>(4, 4, PixelFormat32bppPARGB);
    m_graphics = std::make_unique<Gdiplus::Graphics>(m_bitmap.get());
    m_graphics->SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    m_format.reset(Gdiplus::StringFormat::GenericTypographic()->Clone());
    m_format->SetFormatFlags(m_format->GetFormatFlags() | Gdiplus::StringFormatFlagsMeasureTrailingSpaces |
                             Gdiplus::StringFormatFlagsNoWrap | Gdiplus::StringFormatFlagsNoClip);
    static const wchar_t* const kCjk[] = {L"Microsoft YaHei", L"SimSun", L"WenQuanYi Micro Hei", L"Noto Sans CJK SC",
                                          L"MS UI Gothic", L"Droid Sans Fallback"};
    for (const wchar_t* name : kCjk) {
        Gdiplus::FontFamily fam(name);
        if (fam.GetLastStatus() == Gdiplus::Ok && fam.IsAvailable()) { m_fallbackFamily = name; break; }
    }
}

const std::wstring& FontCache::FallbackFamily() { return m_fallbackFamily; }
const Gdiplus::StringFormat* FontCache::Format() { return m_format.get(); }

Gdiplus::Font* FontCache::Get(const ComputedStyle& s, bool fallback)
{
    std::wstring family = fallback && !m_fallbackFamily.empty() ? m_fallbackFamily : s.fontFamily;
    int style = (s.fontWeight >= 600 ? Gdiplus::FontStyleBold : 0) | (s.italic ? Gdiplus::FontStyleItalic : 0);
    std::wstring key = family + L"|" + std::to_wstring(static_cast<int>(s.fontSize * 4)) + L"|" + std::to_wstring(style);
    auto it = m_fonts.find(key);
    if (it != m_fonts.end()) return it->second.get();
    std::unique_ptr<Gdiplus::Font> font;
    const wchar_t* tries[] = {family.c_str(), L"Arial", L"Liberation Sans", L"Tahoma", L"DejaVu Sans"};
    for (const wchar_t* name : tries) {
        Gdiplus::FontFamily fam(name);
        if (fam.GetLastStatus() != Gdiplus::Ok || !fam.IsAvailable()) continue;
        int st = style;
        if (!fam.IsStyleAvailable(st)) st = Gdiplus::FontStyleRegular;
        font = std::make_unique<Gdiplus::Font>(&fam, s.fontSize > 0 ? s.fontSize : 1, st, Gdiplus::UnitPixel);
        if (font->GetLastStatus() == Gdiplus::Ok) break;
        font.reset();
    }
    if (!font) {
        const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
        font = std::make_unique<Gdiplus::Font>(generic, s.fontSize > 0 ? s.fontSize : 1, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    }
    Gdiplus::Font* raw = font.get();
    m_fonts[key] = std::move(font);
    return raw;
}

float FontCache::RunWidth(Gdiplus::Font* f, const wchar_t* text, int length)
{
    if (length <= 0) return 0;
    std::wstring key(text, length);
    auto it = m_widths.find({f, key});
    if (it != m_widths.end()) return it->second;
    Gdiplus::RectF box;
    m_graphics->MeasureString(text, length, f, Gdiplus::PointF(0, 0), m_format.get(), &box);
    float w = box.Width;
    if (m_widths.size() > 20000) m_widths.clear();
    m_widths[{f, key}] = w;
    return w;
}

float FontCache::Width(const ComputedStyle& s, const std::wstring& text)
{
    float w = 0;
    for (auto& r : SplitRuns(text)) w += RunWidth(Get(s, r.fallback), text.c_str() + r.start, static_cast<int>(r.length));
    return w;
}

void FontCache::Metrics(const ComputedStyle& s, float& ascent, float& height)
{
    Gdiplus::Font* f = Get(s, false);
    auto known = m_metrics.find(f);
    if (known != m_metrics.end()) {
        ascent = known->second.first;
        height = known->second.second;
        return;
    }
    Gdiplus::FontFamily fam;
    f->GetFamily(&fam);
    int st = f->GetStyle();
    float em = fam.GetEmHeight(st);
    if (em <= 0) em = 2048;
    float size = f->GetSize();
    ascent = size * fam.GetCellAscent(st) / em;
    height = ascent + size * fam.GetCellDescent(st) / em;
    if (height <= 0) { ascent = size * 0.9f; height = size * 1.15f; }
    m_metrics[f] = {ascent, height};
}

}  // namespace he
