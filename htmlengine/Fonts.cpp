#include "htmlengine/Fonts.h"

#include <initializer_list>
#include <mutex>

#include "common/Handles.h"

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

bool IsCjk(wchar_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x3000 && c <= 0x303F);
}

bool IsCombiningMark(wchar_t c)
{
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
           (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F) || c == 0x0E31 ||
           (c >= 0x0E34 && c <= 0x0E3A) || (c >= 0x0E47 && c <= 0x0E4E);
}

FontScript ScriptOf(wchar_t c)
{
    if (IsCjk(c))
        return FontScript::Cjk;
    if (c >= 0x0E00 && c <= 0x0E7F)
        return FontScript::Thai;
    if ((c >= 0x1EA0 && c <= 0x1EF9) || c == 0x01A0 || c == 0x01A1 || c == 0x01AF || c == 0x01B0)
        return FontScript::Vietnamese;
    return FontScript::Main;
}

std::vector<TextRun> SplitRuns(const std::wstring& text)
{
    std::vector<TextRun> runs;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!runs.empty() && IsCombiningMark(text[i])) {
            TextRun& last = runs.back();
            if (last.script == FontScript::Main && text[i] < 0x0E00) {
                // The base letter moves into a run of the family with the marks.
                if (last.length == 1) {
                    last.script = FontScript::Vietnamese;
                } else {
                    --last.length;
                    runs.push_back({i - 1, 1, FontScript::Vietnamese});
                }
                if (runs.size() >= 2 && runs[runs.size() - 2].script == FontScript::Vietnamese &&
                    runs[runs.size() - 2].start + runs[runs.size() - 2].length == runs.back().start) {
                    runs[runs.size() - 2].length += runs.back().length;
                    runs.pop_back();
                }
            }
            ++runs.back().length;
            continue;
        }
        FontScript script = ScriptOf(text[i]);
        if (runs.empty() || runs.back().script != script)
            runs.push_back({i, 0, script});
        ++runs.back().length;
    }
    return runs;
}

namespace {

// Whether an installed family has a glyph for `c` (a family of that name may
// exist without the script: some stand-ins for Windows fonts lack Thai).
bool FamilyHasGlyph(const wchar_t* family, wchar_t c)
{
    UniqueMemoryDC owner(::CreateCompatibleDC(nullptr));
    if (!owner)
        return false;
    const HDC dc = owner.get();
    LOGFONTW lf {};
    lf.lfHeight = -16;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, family, LF_FACESIZE);
    bool has = false;
    if (UniqueFont font {::CreateFontIndirectW(&lf)}) {
        HGDIOBJ old = ::SelectObject(dc, font.get());
        wchar_t face[LF_FACESIZE] = {};
        WORD glyph = 0xFFFF;
        // GDI substitutes a missing face silently; only the named one counts.
        has = ::GetTextFaceW(dc, LF_FACESIZE, face) > 0 && lstrcmpiW(face, family) == 0 &&
              ::GetGlyphIndicesW(dc, &c, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 && glyph != 0xFFFF;
        ::SelectObject(dc, old);
    }
    return has;
}

std::wstring FirstFamilyWith(std::initializer_list<const wchar_t*> names, wchar_t sample, wchar_t sample2 = 0)
{
    for (const wchar_t* name : names) {
        Gdiplus::FontFamily fam(name);
        if (fam.GetLastStatus() == Gdiplus::Ok && fam.IsAvailable() && FamilyHasGlyph(name, sample) &&
            (!sample2 || FamilyHasGlyph(name, sample2)))
            return name;
    }
    return std::wstring();
}

}  // namespace

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
    m_cjkFamily = FirstFamilyWith({L"Microsoft YaHei", L"SimSun", L"WenQuanYi Micro Hei", L"Noto Sans CJK SC",
                                   L"MS UI Gothic", L"Droid Sans Fallback"},
                                  0x5B89);
    // Windows 7 has Leelawadee, 10 Leelawadee UI, XP Thai in Tahoma; Linux
    // desktops (and Wine on them) the TLWG and Noto families.
    m_thaiFamily = FirstFamilyWith({L"Leelawadee UI", L"Leelawadee", L"Tahoma", L"Loma", L"Noto Sans Thai", L"Garuda",
                                    L"Norasi", L"Laksaman", L"Umpush"},
                                   0x0E01);
    m_vietnameseFamily = FirstFamilyWith(
        {L"Segoe UI", L"Arial", L"Tahoma", L"Liberation Sans", L"DejaVu Sans", L"Noto Sans"}, 0x1EC7, 0x0302);
}

const std::wstring& FontCache::FallbackFamily(FontScript script)
{
    static const std::wstring none;
    switch (script) {
    case FontScript::Cjk:
        return m_cjkFamily;
    case FontScript::Thai:
        return m_thaiFamily;
    case FontScript::Vietnamese:
        return m_vietnameseFamily;
    default:
        return none;
    }
}
const Gdiplus::StringFormat* FontCache::Format()
{
    return m_format.get();
}

Gdiplus::Font* FontCache::Get(const ComputedStyle& s, FontScript script)
{
    const std::wstring& fallback = FallbackFamily(script);
    std::wstring family = fallback.empty() ? s.fontFamily : fallback;
    int style = (s.fontWeight >= 600 ? Gdiplus::FontStyleBold : 0) | (s.italic ? Gdiplus::FontStyleItalic : 0);
    std::wstring key =
        family + L"|" + std::to_wstring(static_cast<int>(s.fontSize * 4)) + L"|" + std::to_wstring(style);
    auto it = m_fonts.find(key);
    if (it != m_fonts.end())
        return it->second.get();
    std::unique_ptr<Gdiplus::Font> font;
    const wchar_t* tries[] = {family.c_str(), L"Arial", L"Liberation Sans", L"Tahoma", L"DejaVu Sans"};
    for (const wchar_t* name : tries) {
        Gdiplus::FontFamily fam(name);
        if (fam.GetLastStatus() != Gdiplus::Ok || !fam.IsAvailable())
            continue;
        int st = style;
        if (!fam.IsStyleAvailable(st))
            st = Gdiplus::FontStyleRegular;
        font = std::make_unique<Gdiplus::Font>(&fam, s.fontSize > 0 ? s.fontSize : 1, st, Gdiplus::UnitPixel);
        if (font->GetLastStatus() == Gdiplus::Ok)
            break;
        font.reset();
    }
    if (!font) {
        const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
        font = std::make_unique<Gdiplus::Font>(generic, s.fontSize > 0 ? s.fontSize : 1, Gdiplus::FontStyleRegular,
                                               Gdiplus::UnitPixel);
    }
    Gdiplus::Font* raw = font.get();
    m_fonts[key] = std::move(font);
    return raw;
}

float FontCache::RunWidth(Gdiplus::Font* f, const wchar_t* text, int length)
{
    if (length <= 0)
        return 0;
    std::wstring key(text, length);
    auto it = m_widths.find({f, key});
    if (it != m_widths.end())
        return it->second;
    Gdiplus::RectF box;
    m_graphics->MeasureString(text, length, f, Gdiplus::PointF(0, 0), m_format.get(), &box);
    float w = box.Width;
    if (m_widths.size() > 20000)
        m_widths.clear();
    m_widths[{f, key}] = w;
    return w;
}

float FontCache::Width(const ComputedStyle& s, const std::wstring& text)
{
    float w = 0;
    for (auto& r : SplitRuns(text))
        w += RunWidth(Get(s, r.script), text.c_str() + r.start, static_cast<int>(r.length));
    return w;
}

void FontCache::Metrics(const ComputedStyle& s, float& ascent, float& height)
{
    Gdiplus::Font* f = Get(s, FontScript::Main);
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
    if (em <= 0)
        em = 2048;
    float size = f->GetSize();
    ascent = size * fam.GetCellAscent(st) / em;
    height = ascent + size * fam.GetCellDescent(st) / em;
    if (height <= 0) {
        ascent = size * 0.9f;
        height = size * 1.15f;
    }
    m_metrics[f] = {ascent, height};
}

}  // namespace he
